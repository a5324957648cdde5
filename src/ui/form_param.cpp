#include "ui/form_param.h"

#include <algorithm>
#include <climits>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "analysis/compensated_command.h"
#include "core/numbers.h"
#include "ui/language.h"
#include "ui/reader_labels.h"

namespace frontlys::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QSpinBox* SpinBox(const char* name, int low, int high, int step)
{
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setSingleStep(step);
    return box;
}

QLineEdit* LineEdit(const char* name, bool enabled = true)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    edit->setEnabled(enabled);
    return edit;
}

QGroupBox* Group(const QString& title, QLayout* layout)
{
    auto* group = new QGroupBox(title);
    group->setLayout(layout);
    return group;
}

// The header page's two boxes of a row: intra-focal and extra-focal values. The label names the
// intra box; a pair's boxes are told apart by name.
void AddPair(QGridLayout* grid, int row, const QString& label, QLineEdit* intra, QLineEdit* extra)
{
    grid->addWidget(Caption(label, intra), row, 0);
    grid->addWidget(intra, row, 1);
    if (!extra) return;
    const QString name =
        label.trimmed().chopped(label.trimmed().endsWith(QLatin1Char(':')) ? 1 : 0).trimmed();
    intra->setAccessibleName(TFormParam::tr("%1, intra").arg(name));
    extra->setAccessibleName(TFormParam::tr("%1, extra").arg(name));
    grid->addWidget(extra, row, 2);
}

constexpr double kPercent = 100.0;

}  // namespace

TFormParam::TFormParam(Platform& platform, TestSession& session, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_session(session)
{
    setObjectName(QStringLiteral("FormParam"));
    setWindowTitle(tr("Paramètres du test"));

    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(BuildMainPage(), tr("Paramètres du test"));
    m_pages->addTab(BuildHeaderPage(), tr("Paramètres supplémentaires"));

    auto* buttons = new QDialogButtonBox;
    auto* ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto* cancel = buttons->addButton(tr("Annuler"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    // The buttons run their handlers only: a refused OK must keep the dialog open.
    connect(ok, &QPushButton::clicked, this, &TFormParam::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &TFormParam::BitBtn2Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
}

QWidget* TFormParam::BuildMainPage()
{
    SpinEdit2 = SpinBox("SpinEdit2", 0, 10000, 10);
    SpinEdit3 = SpinBox("SpinEdit3", 0, INT_MAX, 100);
    Edit3 = LineEdit("Edit3");
    SpinEdit4 = SpinBox("SpinEdit4", 1, 1000, 1);
    SpinEdit1 = SpinBox("SpinEdit1", 1, 1000, 1);
    Edit9 = LineEdit("Edit9", false);
    Edit10 = LineEdit("Edit10", false);
    Edit4 = LineEdit("Edit4");
    Edit4->setToolTip(tr("Distance en millimètres"));
    EditObstruction = LineEdit("EditObstruction");
    EditObstruction->setToolTip(tr(
        "Diamètre de l'obstruction en % du diamètre de l'instrument ; vide ou 0 : mesurée sur les images"));
    // One step below 0 asks for the vanes to be measured on the images.
    SpinEditVanes = SpinBox("SpinEditVanes", kVanesMeasured, kMaxVanes, 1);
    SpinEditVanes->setSpecialValueText(tr("mesurées"));
    SpinEditVanes->setToolTip(
        tr("Branches de l'araignée du secondaire, prises dans le modèle de la pupille ; 0 : aucune ; "
           "« mesurées » : comptées et mesurées sur les images"));
    EditVaneWidth = LineEdit("EditVaneWidth");
    EditVaneWidth->setToolTip(tr("Largeur de chaque branche en millimètres"));
    EditVaneAngle = LineEdit("EditVaneAngle");
    EditVaneAngle->setToolTip(
        tr("Direction de la première branche, en degrés depuis la droite vers le haut de l'image intra"));
    auto* distance = new QToolButton;
    distance->setObjectName(QStringLiteral("SpeedButton1"));
    distance->setText(tr("Calculer"));
    distance->setToolTip(tr("Calculer les distances intra et extra"));
    connect(distance, &QToolButton::clicked, this, &TFormParam::SpeedButton1Click);

    auto* instrument = new QFormLayout;
    instrument->addRow(tr("Diamètre (mm) : "), SpinEdit2);
    instrument->addRow(tr("Distance focale (mm) :"), SpinEdit3);
    instrument->addRow(tr("Obstruction centrale (%) :"), EditObstruction);
    instrument->addRow(tr("Branches de l'araignée :"), SpinEditVanes);
    instrument->addRow(tr("Largeur des branches (mm) :"), EditVaneWidth);
    instrument->addRow(tr("Angle de la première branche (°) :"), EditVaneAngle);
    auto* acquisition = new QFormLayout;
    acquisition->addRow(tr("Taille pixels CCD (um):"), Edit3);
    acquisition->addRow(tr("Binning acquisition :"), SpinEdit4);
    auto* defocusRow = new QHBoxLayout;
    defocusRow->addWidget(Edit4);
    defocusRow->addWidget(distance);
    auto* geometry = new QFormLayout;
    geometry->addRow(tr("Binning logiciel :"), SpinEdit1);
    geometry->addRow(tr("Rayon image intra (pix) :"), Edit9);
    geometry->addRow(tr("Rayon image extra (pix) :"), Edit10);
    // The row holds the field and the button: the form would give its label no buddy.
    geometry->addRow(Caption(tr("Défocalisation (mm) :"), Edit4), defocusRow);

    auto* mainPage = new QWidget;
    mainPage->setObjectName(QStringLiteral("TabSheet1"));
    auto* mainLayout = new QVBoxLayout(mainPage);
    mainLayout->addWidget(Group(tr("Instrument"), instrument));
    mainLayout->addWidget(Group(tr("Acquisition"), acquisition));
    mainLayout->addWidget(Group(tr("Géométrie"), geometry));
    return mainPage;
}

QWidget* TFormParam::BuildHeaderPage()
{
    auto* headerPage = new QWidget;
    headerPage->setObjectName(QStringLiteral("TabSheet2"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Intra")), 0, 1);
    grid->addWidget(new QLabel(tr("Extra")), 0, 2);
    const char* names[] = {
        "Edit12", "Edit13", "Edit14", "Edit15", "Edit16", "Edit27", "Edit28", "Edit17", "Edit25", "Edit26"};
    QLineEdit* e[10];
    for (int i = 0; i < 10; ++i) {
        e[i] = LineEdit(names[i]);
        e[i]->setReadOnly(true);
    }
    AddPair(grid, 1, tr("Date (aaaa-mm-jj) :"), e[0], nullptr);
    AddPair(grid, 2, tr("Heure début :"), e[1], e[2]);
    AddPair(grid, 3, tr("Temps de pose (s) :"), e[3], e[4]);
    AddPair(grid, 4, tr("Température (°C) :"), e[5], e[6]);
    AddPair(grid, 5, tr("Alpha :"), e[7], nullptr);
    AddPair(grid, 6, tr("Delta :"), e[8], nullptr);
    AddPair(grid, 7, tr("Seeing :"), e[9], nullptr);
    ListBox2 = new QListWidget;
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->setAccessibleName(tr("Champs de l'en-tête"));
    ListBox1 = new QListWidget;
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setAccessibleName(tr("Valeurs de l'en-tête"));
    auto* lists = new QHBoxLayout;
    lists->addWidget(ListBox2, 1);
    lists->addWidget(ListBox1, 2);
    auto* headerLayout = new QVBoxLayout(headerPage);
    headerLayout->addLayout(grid);
    headerLayout->addLayout(lists);
    return headerPage;
}

bool TFormParam::FormShow()
{
    FillMainPage();
    FillHeaderPage();
    m_computedDefocusText = m_session.Params.DefocusMesure ? Edit4->text() : QString();
    m_pages->setCurrentIndex(0);
    m_saved = m_session.Params;
    const bool accepted = m_platform.runModal(*this) == QDialog::Accepted;
    // Escape and the close box cancel as the cancel button does.
    if (!accepted) m_session.Params = m_saved;
    return accepted;
}

void TFormParam::FillMainPage()
{
    const TFitsHeader& header = m_session.HeaderIntra;
    const ParamsEntry entry = EntryFromParams(m_session.Params, header.PixelSizeX, header.BinX);
    SpinEdit2->setValue(
        static_cast<int>(std::clamp<std::int64_t>(entry.DiameterMm, 0, SpinEdit2->maximum())));
    SpinEdit3->setValue(static_cast<int>(std::clamp<std::int64_t>(entry.FocalMm, 0, INT_MAX)));
    Edit3->setText(Q(entry.PixelSizeUm));
    SpinEdit4->setValue(
        static_cast<int>(std::clamp<std::int64_t>(entry.AcquisitionBinning, 1, SpinEdit4->maximum())));
    SpinEdit1->setValue(1);
    Edit4->setText(Q(entry.DefocusMm));
    const double obstruction = m_session.Params.Obstruction;
    EditObstruction->setText(obstruction > 0 ? Q(FormatGeneral(obstruction * kPercent)) : QString());
    SpinEditVanes->setValue(
        static_cast<int>(std::clamp<std::int64_t>(entry.VaneCount, kVanesMeasured, kMaxVanes)));
    EditVaneWidth->setText(Q(entry.VaneWidthMm));
    EditVaneAngle->setText(Q(entry.VaneAngleDeg));
    Edit9->clear();
    Edit10->clear();
    RefreshRadii();
}

void TFormParam::RefreshRadii()
{
    if (m_session.ImageIntra) Edit9->setText(Q(RadiusText(m_session.ImageIntra->Radius)));
    if (m_session.ImageExtra) Edit10->setText(Q(RadiusText(m_session.ImageExtra->Radius)));
}

void TFormParam::FillHeaderPage()
{
    const TFitsHeader& intra = m_session.HeaderIntra;
    const TFitsHeader& extra = m_session.HeaderExtra;
    auto set = [this](const char* name, const std::string& text) {
        findChild<QLineEdit*>(QLatin1String(name))->setText(Q(text));
    };
    set("Edit12", DatePart(intra.DateObs));
    set("Edit13", TimePart(intra.DateObs));
    set("Edit14", TimePart(extra.DateObs));
    set("Edit15", std::to_string(intra.Exposure));
    set("Edit16", std::to_string(extra.Exposure));
    set("Edit27", FormatGeneral(intra.Temperature));
    set("Edit28", FormatGeneral(extra.Temperature));
    set("Edit17", FormatRightAscension(intra.RightAscension));
    set("Edit25", FormatDeclination(intra.Declination));
    set("Edit26", FormatGeneral(intra.Seeing));

    const std::pair<const char*, const std::string*> rows[] = {
        {QT_TR_NOOP("Observateur :"), &intra.Observer},
        {QT_TR_NOOP("Observatoire :"), &intra.Observatory},
        {QT_TR_NOOP("Instrument :"), &intra.Telescope},
        {QT_TR_NOOP("Camera :"), &intra.Instrument},
        {QT_TR_NOOP("Filtre :"), &intra.Filters},
        {QT_TR_NOOP("Commentaire 1 :"), &intra.Comments[0]},
        {QT_TR_NOOP("Commentaire 2 :"), &intra.Comments[1]},
        {QT_TR_NOOP("Commentaire 3 :"), &intra.Comments[2]},
        {QT_TR_NOOP("Commentaire 4 :"), &intra.Comments[3]},
    };
    ListBox2->clear();
    ListBox1->clear();
    for (const auto& [label, text] : rows) {
        ListBox2->addItem(tr(label));
        ListBox1->addItem(Q(*text));
    }
}

ParamsEntry TFormParam::Entry() const
{
    ParamsEntry entry;
    entry.DiameterMm = SpinEdit2->value();
    entry.FocalMm = SpinEdit3->value();
    entry.PixelSizeUm = Edit3->text().toStdString();
    entry.AcquisitionBinning = SpinEdit4->value();
    entry.SoftwareBinning = SpinEdit1->value();
    entry.DefocusMm = Edit4->text().toStdString();
    entry.ObstructionPercent = EditObstruction->text().toStdString();
    entry.VaneCount = SpinEditVanes->value();
    entry.VaneWidthMm = EditVaneWidth->text().toStdString();
    entry.VaneAngleDeg = EditVaneAngle->text().toStdString();
    return entry;
}

void TFormParam::SpeedButton1Click()
{
    RefreshRadii();
    Result<TTestParams> computed =
        ComputeDefocus(m_session.Params, Entry(), m_session.ImageIntra.get(), m_session.ImageExtra.get());
    if (!computed.ok()) {
        m_platform.warn(Displayed(computed.status().message));
        return;
    }
    TTestParams params = computed.take();
    // The measurement renders the vanes as typed, when they read (OK checks them).
    (void)ReadVanes(Entry(), params);
    // With the analytic correction the analysis measures the image scale itself: the button gives
    // the same measurement, so the dialog and the analysis agree on the defocus.
    const ParamsEntry entry = Entry();
    const std::optional<double> pixelUm = ParseNumber(entry.PixelSizeUm);
    if (m_session.Prefs.CorrectionAnalytique && pixelUm && *pixelUm > 0 && !m_session.FileIntra.empty()) {
        const double pixelNm = double(entry.SoftwareBinning) * entry.AcquisitionBinning * *pixelUm * 1000;
        if (auto measured = MeasureCompensatedDefocus(m_session, params, pixelNm); measured.ok())
            params.Defocus = measured.value();
    }
    m_session.Params = params;
    Edit4->setText(Q(DefocusText(m_session.Params)));
    m_computedDefocusText = Edit4->text();
}

void TFormParam::BitBtn1Click()
{
    const ParamsEntry entry = Entry();
    Result<TTestParams> accepted = AcceptParams(entry);
    if (!accepted.ok() && accepted.status().code == StatusCode::BadFormat) {
        m_platform.warn(Q(accepted.status().message));  // a typed value is not a number
        return;
    }
    // A pixel size that is not a number would give the pupils a physical radius of 0 unnoticed.
    if (!ParseNumber(entry.PixelSizeUm)) {
        m_platform.warn(QStringLiteral("'%1' %2").arg(
            Edit3->text(), QString::fromUtf8(kNotANumberMessage.data(), kNotANumberMessage.size())));
        return;
    }
    StoreRadiiNm(entry, m_session.ImageIntra.get(), m_session.ImageExtra.get());
    if (!accepted.ok()) {  // a rule of the test parameters is broken
        m_session.ParamsSaisis = false;
        m_platform.warn(Q(accepted.status().message));
        return;
    }
    TTestParams params = accepted.take();
    // A computed defocus stays "measured" until the user types another one.
    params.DefocusMesure = !m_computedDefocusText.isEmpty() && Edit4->text() == m_computedDefocusText;
    m_session.Params = params;
    m_session.ParamsSaisis = true;
    accept();
}

void TFormParam::BitBtn2Click()
{
    m_session.Params = m_saved;
    reject();
}

}  // namespace frontlys::ui
