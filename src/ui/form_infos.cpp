#include "ui/form_infos.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "analysis/analysis_commands.h"
#include "analysis/results.h"
#include "core/numbers.h"
#include "display/palettes.h"
#include "prep/threshold.h"
#include "ui/form_image.h"
#include "ui/form_transfer.h"
#include "ui/language.h"
#include "ui/window_host.h"

namespace frontlys::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool IsPupil(ImageKind kind) { return kind == ImageKind::Intra || kind == ImageKind::Extra; }
bool IsWavefront(ImageKind kind) { return kind == ImageKind::Wavefront || kind == ImageKind::Residual; }

// The family of a kind (the star images and the signal; the wavefronts; the derived images) and its
// item in the family list.
int FamilyOf(ImageKind kind)
{
    if (IsWavefront(kind)) return 1;
    return kind == ImageKind::Intra || kind == ImageKind::Extra || kind == ImageKind::Signal ? 0 : 2;
}
int FamilyItemOf(ImageKind kind)
{
    switch (kind) {
        case ImageKind::Extra:
        case ImageKind::Interferogram:
        case ImageKind::Residual:
            return 1;
        case ImageKind::Signal:
        case ImageKind::Ronchigram:
            return 2;
        default:
            return 0;
    }
}

// The kind of a record, as its window shows it.
ImageKind KindOf(const TImageRec& image) { return static_cast<ImageKind>(image.Kind); }

}  // namespace

void TFormInfos::RefreshInfos()
{
    UpdateTransfer();
    TFormImage* courante = m_host.formCourante();
    TImageRec* image = courante ? courante->image() : nullptr;
    if (!image) return;
    const ImageKind kind = KindOf(*image);
    MinMaxAll(image);
    setWindowTitle(courante->windowTitle());
    m_settings = courante->Settings;
    m_host.display().Settings = courante->Settings;
    ShowPageValues(*image, kind);
    if (m_listShown) RefreshList(kind);
    FillDisplayControls();
    ShowFamily(kind);
}

void TFormInfos::UpdateTransfer()
{
    const TestSession& s = m_host.session();
    if (!s.ImagePSF || !s.ImageFront) {
        if (m_transfer) m_transfer->hide();
        m_transferSource = {};
        return;
    }
    const TransferSource source{s.ImagePSF.get(),
                                s.ImageFront.get(),
                                s.ImagePSF->MaxValue,
                                s.ImageFront->MinValue,
                                s.ImageFront->MaxValue,
                                s.Prefs.LambdaRef};
    if (source == m_transferSource) return;
    m_transferSource = source;
    const bool created = !m_transfer;
    if (created) m_transfer = new TFormTransfer(this);
    if (!m_transfer->ShowFor(s)) return;
    if (created) {
        // Below this window if that is free, else wherever it covers no other window.
        m_transfer->adjustSize();
        m_transfer->move(m_host.FreeSpot(*m_transfer, frameGeometry().bottomLeft() + QPoint(0, 1)));
    }
    m_transfer->show();
}

void TFormInfos::ShowPageValues(TImageRec& image, ImageKind kind)
{
    const CurrentDisplay& current = m_host.display();
    if (m_pages->currentWidget() == m_valuesPage) {
        QImage bar(m_imageEchelle->size(), QImage::Format_RGB888);
        if (RenderColourBar(bar, image.MaxValue, image.MinValue, current).ok())
            m_imageEchelle->setPixmap(QPixmap::fromImage(bar));
    }
    QString min = Q(FormatFloat("0.0", image.MinValue)), max = Q(FormatFloat("0.0", image.MaxValue));
    m_editSeuil->setText(Q(FormatFloat("0.0", image.Threshold)));
    m_editXCentre->setText(Q(FormatFloat("0.0", image.CentreX)));
    m_editYCentre->setText(Q(FormatFloat("0.0", image.CentreY)));
    RewriteSizeAndRadius();
    const bool pupil = IsPupil(kind);
    m_trackBar->setVisible(pupil);
    m_buttonSeuil->setVisible(pupil);
    m_editSeuil->setVisible(pupil);
    m_comboUnite->setVisible(IsWavefront(kind));
    m_label8->setText(tr("I ="));
    if (pupil) {
        const QSignalBlocker quiet(m_trackBar);
        m_trackBar->setValue(FollowThreshold(image));
    } else if (kind == ImageKind::Signal) {
        m_label8->setText(tr("S ="));
    } else if (IsWavefront(kind)) {
        m_label8->setText(tr("W="));
        min += tr(" nm");
        max += tr(" nm");
    }
    m_labelMin->setText(min);
    m_labelMax->setText(max);
    if (IsWavefront(kind)) ShowResults();
}

void TFormInfos::RewriteSizeAndRadius()
{
    TFormImage* courante = m_host.formCourante();
    const TImageRec* image = courante ? courante->image() : nullptr;
    if (!image) return;
    m_edit1->setText(Q(SizeText(*image, m_comboSize->currentIndex() == 1)));
    m_editRayon->setText(
        Q(PupilRadiusText(*image,
                          m_comboRadius->currentIndex() == 1,
                          static_cast<CoordSystem>(std::max(0, m_comboCoord->currentIndex())))));
}

void TFormInfos::FillDisplayControls()
{
    TFormImage* courante = m_host.formCourante();
    const QSignalBlocker a(m_comboPalette), b(m_checkMasque), c(m_checkEchelle), d(m_comboZoom);
    m_comboPalette->setCurrentIndex(
        courante->Settings.PaletteIndex < kPaletteCount ? courante->Settings.PaletteIndex : 0);
    m_checkMasque->setChecked(courante->Settings.MaskVisible);
    m_checkEchelle->setChecked(courante->Settings.ScaleVisible);
    m_comboZoom->setCurrentIndex(courante->ZoomIndex);
}

void TFormInfos::ShowFamily(ImageKind kind)
{
    static const char* families[3][3] = {
        {QT_TR_NOOP("Intra"), QT_TR_NOOP("Extra"), QT_TR_NOOP("Signal")},
        {QT_TR_NOOP("Front d'onde"), QT_TR_NOOP("Front résiduel"), nullptr},
        {QT_TR_NOOP("PSF"), QT_TR_NOOP("Interférogramme"), QT_TR_NOOP("Ronchigramme")}};
    const int family = FamilyOf(kind);
    m_radioGroup->setProperty("family", family);
    for (int i = 0; i < 3; ++i) {
        const char* text = families[family][i];
        m_family[i]->setVisible(text != nullptr);
        m_family[i]->setText(text ? tr(text) : QString());
    }
    m_family[FamilyItemOf(kind)]->setChecked(true);
}

void TFormInfos::ShowResults()
{
    TFormImage* courante = m_host.formCourante();
    const WaveError e =
        frontlys::ShowResults(courante ? courante->image() : nullptr, m_host.session().Prefs.LambdaRef);
    m_ptvNm->setText(Q(e.ptvText));
    m_rmsNm->setText(Q(e.rmsText));
    m_ptvWaves->setText(Q(e.ptvWaves));
    m_rmsWaves->setText(Q(e.rmsWaves));
    m_strehl->setText(Q(e.strehlText));
    ShowNotes();
}

void TFormInfos::ShowNotes()
{
    const TestSession& s = m_host.session();
    QStringList lines;
    for (const Note& note : s.Notes) lines << NoteText(note);
    for (const Note& warning : s.Warnings) lines << QStringLiteral("⚠ ") + NoteText(warning);
    m_notes->setText(lines.join(QLatin1Char('\n')));
    m_notes->setStyleSheet(s.Warnings.empty() ? QString() : QStringLiteral("color: #b00000;"));
    m_pages->setTabIcon(1,
                        s.Warnings.empty() ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
}

void TFormInfos::ShowCoefficientList(const ZernikeCoefficients& coefficients,
                                     const ZernikeSelection& selection,
                                     bool higherOrders,
                                     const ZernikeCoefficients* sigmaRmsNm)
{
    const ZernikeBasis& basis = m_host.session().Basis;
    const CoefficientList list =
        frontlys::ShowCoefficientList(basis, coefficients, selection, higherOrders, sigmaRmsNm);
    m_list = MakeCoefficientList(basis.Count(), selection, higherOrders);
    const QSignalBlocker quiet(m_checkList);
    m_checkList->clear();
    m_valueList->clear();
    for (const CoefficientItem& item : list.items) {
        auto* row = new QListWidgetItem(Displayed(item.name), m_checkList);
        row->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    for (const std::string& line : list.values) m_valueList->addItem(Displayed(line));
    FillListStates();
    m_checkList->setFixedHeight(310);
    m_valueList->setFixedHeight(310);
    m_checkList->show();
    m_valueList->show();
    m_listShown = true;
    m_button2->setText(tr("Masquer les aberrations"));
}

void TFormInfos::FillListStates()
{
    const QSignalBlocker quiet(m_checkList);
    for (int i = 0; i < m_checkList->count() && i < static_cast<int>(m_list.checked.size()); ++i) {
        QListWidgetItem* row = m_checkList->item(i);
        row->setCheckState(m_list.checked[i] ? Qt::Checked : Qt::Unchecked);
        const Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        row->setFlags(m_list.enabled[i] ? flags | Qt::ItemIsEnabled : flags);
    }
}

void TFormInfos::RefreshList(ImageKind kind)
{
    TestSession& s = m_host.session();
    if (kind == ImageKind::Wavefront) {
        ShowCoefficientList(s.CoefFront, s.MasqueFrontAffiche, s.OrdresSup, &s.SigmaFront);
        m_checkList->setEnabled(true);
    } else if (kind == ImageKind::Residual) {
        ShowCoefficientList(s.CoefResidu, MasqueAjustement, true);
        m_checkList->setEnabled(false);
    }
}

void TFormInfos::Button2Click()
{
    if (m_listShown) {
        m_checkList->hide();
        m_valueList->hide();
        m_listShown = false;
        m_button2->setText(tr("Afficher les aberrations"));
        resize(width(), m_savedHeight);
        return;
    }
    m_savedHeight = height();
    TestSession& s = m_host.session();
    TFormImage* courante = m_host.formCourante();
    const TImageRec* image = courante ? courante->image() : nullptr;
    if (image && IsWavefront(KindOf(*image)))
        RefreshList(KindOf(*image));
    else
        ShowCoefficientList(ZernikeCoefficients{}, s.MasqueFrontAffiche, s.OrdresSup);
    resize(width(), 600);
}

void TFormInfos::RebuildDisplayedFront()
{
    const CommandOutcome outcome = frontlys::RebuildDisplayedFront(m_host.session());
    if (!outcome.ran) return;
    if (TFormImage* front = m_host.form(ImageKind::Wavefront)) {
        front->Attach();
        front->Redraw();
    }
    ShowResults();
}

void TFormInfos::CoefficientChanged(QListWidgetItem* item)
{
    const int row = m_checkList->row(item);
    if (row < 0 || row >= static_cast<int>(m_list.checked.size())) return;
    TestSession& s = m_host.session();
    ClickCoefficient(m_list, row, item->checkState() == Qt::Checked, s.MasqueFrontAffiche, s.OrdresSup);
    FillListStates();
    RebuildDisplayedFront();
}

void TFormInfos::ListAction(void (*action)(CoefficientListModel&, ZernikeSelection&, bool&))
{
    if (m_list.checked.empty()) return;
    TestSession& s = m_host.session();
    action(m_list, s.MasqueFrontAffiche, s.OrdresSup);
    FillListStates();
    RebuildDisplayedFront();
}

void TFormInfos::SelectThisAberration()
{
    if (m_list.checked.empty()) return;
    TestSession& s = m_host.session();
    SelectOnlyCoefficient(m_list, m_checkList->currentRow(), s.MasqueFrontAffiche, s.OrdresSup);
    FillListStates();
    RebuildDisplayedFront();
}

void TFormInfos::ToggleTiltAndFocusClick()
{
    ToggleTiltAndFocus(m_list);
    FillListStates();
}

void TFormInfos::ReadoutChoices(ReadoutOptions& options) const
{
    options.coord = static_cast<CoordSystem>(std::max(0, m_comboCoord->currentIndex()));
    options.polar = m_comboRectPol->currentIndex() == 1;
    options.waves = m_comboUnite->currentIndex() == 1;
}

void TFormInfos::ShowReadout(const Readout& readout, bool polar)
{
    m_label6->setText(polar ? tr("r =") : tr("X ="));
    m_label7->setVisible(!polar);
    m_label2->setVisible(polar);
    m_label7->setBuddy(polar ? nullptr : m_editY);
    m_label2->setBuddy(polar ? m_editY : nullptr);
    m_editX->setText(Q(readout.xText));
    m_editY->setText(Q(readout.yText));
    m_editValeur->setText(Q(readout.valueText));
}

void TFormInfos::ShowResultsPage()
{
    m_pages->setTabVisible(1, true);
    RefreshInfos();
    m_pages->setCurrentWidget(m_resultsPage);
}

void TFormInfos::ShowOptionsPage(bool psfGroup)
{
    m_pages->setTabVisible(3, true);
    (psfGroup ? m_groupPsf : m_groupFringes)->setEnabled(true);
    m_pages->setCurrentWidget(m_optionsPage);
}

PsfOptions TFormInfos::psfOptions() const
{
    PsfOptions o;
    o.sizeIndex = m_comboTaille->currentIndex();
    o.defocusText = m_edit2->text().toStdString();
    o.theoretical = m_comboPsf->currentIndex() == 1;
    o.logScale = m_comboEchelle->currentIndex() == 1;
    return o;
}

FringeOptions TFormInfos::fringeOptions() const
{
    return {m_spinFranges->value(), double(m_spinAngle->value())};
}

void TFormInfos::TrackBar1Change(int position)
{
    TFormImage* courante = m_host.formCourante();
    TImageRec* image = courante ? courante->image() : nullptr;
    if (!image || !IsPupil(KindOf(*image))) return;
    ThresholdFromSlider(*image, position);
    m_editSeuil->setText(Q(FormatFloat("0.0", image->Threshold)));
    courante->Redraw();
}

void TFormInfos::ButtonSeuilClick()
{
    if (TFormImage* courante = m_host.formCourante()) courante->ExtractPupil();
}

void TFormInfos::ComboBoxPaletteChange(int index)
{
    m_settings.PaletteIndex = static_cast<std::uint8_t>(std::max(0, index));
    if (TFormImage* courante = m_host.formCourante()) {
        courante->Settings = m_settings;
        courante->Redraw();
    }
}

void TFormInfos::CheckBoxMasqueClick()
{
    m_settings.MaskVisible = m_checkMasque->isChecked();
    if (TFormImage* courante = m_host.formCourante()) {
        courante->Settings = m_settings;
        courante->Redraw();
    }
}

void TFormInfos::CheckBoxEchelleClick()
{
    if (TFormImage* courante = m_host.formCourante()) {
        courante->Settings.ScaleVisible = m_checkEchelle->isChecked();
        courante->Redraw();
    }
}

void TFormInfos::ComboBoxZoomChange(int index)
{
    if (TFormImage* courante = m_host.formCourante()) {
        courante->ZoomIndex = static_cast<std::uint8_t>(std::max(0, index));
        courante->ApplyZoom();
    }
}

void TFormInfos::RadioGroup1Click(int item)
{
    static const ImageKind families[3][3] = {
        {ImageKind::Intra, ImageKind::Extra, ImageKind::Signal},
        {ImageKind::Wavefront, ImageKind::Residual, ImageKind::Residual},
        {ImageKind::Psf, ImageKind::Interferogram, ImageKind::Ronchigram}};
    const int family = m_radioGroup->property("family").toInt();
    if (TFormImage* form = m_host.form(families[family][item])) {
        form->show();
        form->raise();
    }
}

void TFormInfos::FringeOptionChange()
{
    TFormImage* courante = m_host.formCourante();
    if (!courante) return;
    if (courante->kind() == ImageKind::Interferogram || courante->kind() == ImageKind::Ronchigram)
        emit fringeOptionsChanged(courante->kind());
}

void TFormInfos::ComboBoxPSFChange()
{
    if (TFormImage* psf = m_host.form(ImageKind::Psf)) {
        psf->Attach(m_comboPsf->currentIndex() == 1);
        psf->Redraw();
    }
}

void TFormInfos::ComboBoxEchelleChange()
{
    if (TFormImage* psf = m_host.form(ImageKind::Psf)) {
        psf->Settings.LogDisplay = m_comboEchelle->currentIndex() == 1;
        psf->Redraw();
    }
}

}  // namespace frontlys::ui
