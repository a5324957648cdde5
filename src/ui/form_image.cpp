#include "ui/form_image.h"

#include <cmath>
#include <utility>

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>

#include "analysis/crop_command.h"
#include "analysis/window_readout.h"
#include "core/numbers.h"
#include "display/bitmap_files.h"
#include "files/result_files.h"
#include "prep/pupil.h"
#include "ui/named_action.h"
#include "ui/platform.h"
#include "ui/window_host.h"

namespace frontlys::ui {

PictureControl::PictureControl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Image"));
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void PictureControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!picture.isNull()) painter.drawImage(0, 0, picture);
}

void PictureControl::mouseMoveEvent(QMouseEvent* event) { emit mouseMovedTo(event->position().toPoint()); }

void PictureControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit clicked();
}

void PictureControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

TFormImage::TFormImage(WindowHost& host, ImageKind kind, QWidget* parent)
    : QWidget(parent, Qt::Window), m_host(host), m_kind(kind), m_control(new PictureControl(this))
{
    setWindowTitle(tr("Image"));
    // Shown windows do not take the focus: the command that shows them decides which is current.
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_control->setGeometry(0, 0, 128, 139);
    resize(136, 173);
    BuildPopup();
    connect(m_control, &PictureControl::mouseMovedTo, this, &TFormImage::ImageMouseMove);
    connect(m_control, &PictureControl::clicked, this, [this] {
        m_activationOwed = false;  // the user's choice: a later activation is the user's too
        OnActivate();
    });
    connect(m_control, &PictureControl::doubleClicked, this, &TFormImage::Seuilcettevaleur1Click);
    connect(m_control, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        m_popup->popup(m_control->mapToGlobal(at));
    });
}

void TFormImage::BuildPopup()
{
    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](const char* name,
                      const QString& caption,
                      void (TFormImage::*handler)(),
                      const QKeySequence& shortcut = {}) {
        QAction* action = AddNamedAction(m_popup, this, name, caption, handler, shortcut);
        addAction(action);  // the shortcuts work in the window too
        return action;
    };
    add("Seuilcettevaleur1", tr("Seuil à cette valeur"), &TFormImage::Seuilcettevaleur1Click);
    add("Enregistrerpixel1", tr("Enregistrer pixel"), nullptr, QKeySequence(Qt::Key_Insert));
    add("Mesures1", tr("Mesures"), nullptr);
    m_popup->addSeparator();
    add("Extrairelaplage1", tr("Extraire la plage"), &TFormImage::ExtractPupil);
    add("Voirlargionutile1", tr("Voir la région utile"), &TFormImage::ShowUsefulRegion);
    add("Recadrer1", tr("Recadrer"), &TFormImage::Recadrer1Click);
    add("Ajuster1", tr("Ajuster"), &TFormImage::FitPupil);
    m_popup->addSeparator();
    add("Imprimer1", tr("Imprimer"), &TFormImage::Imprimer1Click, QKeySequence(tr("Ctrl+P")));
    add("Enregistrerlimage1",
        tr("Enregistrer l'image"),
        &TFormImage::Enregistrerlimage1Click,
        QKeySequence(tr("Ctrl+S")));
}

TImageRec* TFormImage::image() const { return m_attached ? m_host.RecordOf(m_kind, m_theoretical) : nullptr; }

void TFormImage::Attach(bool theoretical)
{
    m_attached = true;
    m_theoretical = theoretical;
}

void TFormImage::AttachAndSize(int zoomIndex)
{
    hide();
    ZoomIndex = static_cast<std::uint8_t>(std::clamp(zoomIndex, 0, kFitZoomIndex));
    ApplyZoom();
}

void TFormImage::ApplyZoom()
{
    const TImageRec* record = image();
    if (!record) return;
    if (ZoomIndex >= kFitZoomIndex && record->Radius > 0) {
        FitPupil();
        return;
    }
    double z = kZoomFactors[std::min<std::size_t>(ZoomIndex, kZoomFactors.size() - 1)];
    const int longest = std::max(record->Width, record->Height);
    if (m_maxSide > 0 && longest * z > m_maxSide) z = static_cast<double>(m_maxSide) / longest;
    m_scale = z;
    const int w = std::max(1, static_cast<int>(RoundToInt(record->Width * z)));
    const int h = std::max(1, static_cast<int>(RoundToInt(record->Height * z)));
    m_control->setGeometry(0, 0, w, h);
    resize(w, h);
    m_control->picture = QImage();
    Redraw();
}

void TFormImage::FitPupil()
{
    const TImageRec* record = image();
    if (!record || record->Radius <= 0) return;
    ZoomIndex = static_cast<std::uint8_t>(kFitZoomIndex);
    int side = std::max(record->Width, record->Height);
    if (m_maxSide > 0) side = std::min(side, m_maxSide);
    const double across = 2.2 * record->Radius;  // the pupil and a tenth of its radius each side
    m_scale = std::min(kZoomFactors.back(), side / across);
    const int w = std::max(1, static_cast<int>(RoundToInt(record->Width * m_scale)));
    const int h = std::max(1, static_cast<int>(RoundToInt(record->Height * m_scale)));
    // The whole record drawn at the scale, the window over the pupil (1-based centre).
    const int left = std::clamp(
        static_cast<int>(RoundToInt((record->CentreX - 1) * m_scale)) - side / 2, 0, std::max(0, w - side));
    const int top = std::clamp(
        static_cast<int>(RoundToInt((record->CentreY - 1) * m_scale)) - side / 2, 0, std::max(0, h - side));
    m_control->setGeometry(-left, -top, w, h);
    resize(std::min(side, w), std::min(side, h));
    m_control->picture = QImage();
    Redraw();
}

bool TFormImage::PupilMuchSmaller() const
{
    const TImageRec* record = image();
    return record && record->Radius > 0 && 3 * 2 * record->Radius < std::min(record->Width, record->Height);
}

void TFormImage::SetCommandsEnabled(bool enabled)
{
    m_commandsEnabled = enabled;
    for (const char* name : {"Seuilcettevaleur1", "Extrairelaplage1", "Recadrer1"})
        if (QAction* item = m_popup->findChild<QAction*>(QString::fromLatin1(name)))
            item->setEnabled(enabled);
}

void TFormImage::Redraw()
{
    TImageRec* record = image();
    if (!record) return;
    CurrentDisplay& current = m_host.display();
    current.Settings = Settings;
    current.LambdaInterfero = m_host.session().Prefs.LambdaInterfero;
    QImage picture;
    if (RenderImage(record, m_control->size(), current, picture).ok())
        m_control->picture = std::move(picture);
    m_control->update();
}

void TFormImage::RefreshPupil()
{
    TImageRec* record = image();
    if (!record) return;
    MeasurePupil(*record);
    ShowPupil();
}

void TFormImage::ExtractPupil()
{
    TImageRec* record = image();
    if (!record || !m_commandsEnabled) return;
    const TestSession& session = m_host.session();
    const OpenedFrame& frame = record->Kind == 0 ? session.FrameIntra : session.FrameExtra;
    frontlys::ExtractPupil(*record, session.Prefs, ThresholdAsCut(frame));
    ShowPupil();
}

void TFormImage::ShowPupil()
{
    Settings.MaskVisible = true;
    Redraw();
    emit pupilChanged();
}

void TFormImage::Seuilcettevaleur1Click()
{
    TImageRec* record = image();
    if (!record || !m_commandsEnabled) return;
    record->Threshold = ReadoutValue;
    RefreshPupil();
}

void TFormImage::ShowUsefulRegion()
{
    const TImageRec* record = image();
    if (!record || m_control->picture.isNull()) return;
    const UsefulRegion frame = UsefulRegionFrame(record->CentreX, record->CentreY, record->Radius);
    QPainter painter(&m_control->picture);
    painter.setPen(QPen(QColor(255, 0, 0), 0));
    painter.drawRect(frame.left, frame.top, frame.side, frame.side);
    painter.end();
    m_control->update();
}

void TFormImage::Recadrer1Click() { emit cropRequested(); }

void TFormImage::Imprimer1Click()
{
    if (!m_control->picture.isNull()) m_host.platform().print(m_control->picture);
}

void TFormImage::Enregistrerlimage1Click()
{
    const std::optional<QString> chosen = m_host.platform().saveFile(
        {tr("Sauver l'image en cours"),
         tr("Fichiers bitmap (*.BMP)") + QStringLiteral(";;") + tr("Images PNG (*.png)"),
         m_savePath,
         QString()});
    m_savePath = chosen.value_or(QString());
    if (!chosen) return;
    Status saved;
    if (chosen->endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        saved = SavePng(m_control->picture, chosen->toStdString());
    else
        saved = SaveBmp24(m_control->picture, EnsureExtension(chosen->toStdString(), ".bmp"));
    if (!saved.ok())
        m_host.ShowMessage({saved.message.empty() ? saved.reason : saved.message + "\n" + saved.reason});
}

// A platform that activates every window shown (the hint not to is only a hint) does so when its
// events come round, under load long after the command that showed the window made another one
// current: that activation is the program's doing, not the user's choice of a window.
void TFormImage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) m_activationOwed = true;
}

void TFormImage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    if (std::exchange(m_activationOwed, false)) return;
    OnActivate();
}

void TFormImage::OnActivate()
{
    if (image()) emit activated(this);
}

void TFormImage::ImageMouseMove(QPoint position)
{
    const TImageRec* record = image();
    if (record && record->Width > 0 && record->Height > 0) emit pointed(this, position);
}

Readout TFormImage::ReadoutAt(QPoint position, ReadoutOptions choices)
{
    const TImageRec* record = image();
    if (!record) return {};
    choices.zoom = m_scale;
    choices.lambdaRefNm = m_host.session().Prefs.LambdaRef;
    const Readout readout = ReadPixel(*record, m_host.session().Params, position.x(), position.y(), choices);
    ReadoutValue = readout.value;
    return readout;
}

}  // namespace frontlys::ui
