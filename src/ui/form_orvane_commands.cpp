// The commands of the main window: each calls the analysis layer and shows what the outcome names.
#include <filesystem>
#include <optional>
#include <vector>

#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "analysis/analysis_commands.h"
#include "analysis/crop_command.h"
#include "analysis/derived_commands.h"
#include "analysis/open_commands.h"
#include "analysis/output_commands.h"
#include "analysis/prep_commands.h"
#include "display/window_settings.h"
#include "ui/apropos.h"
#include "ui/busy_cursor.h"
#include "ui/form_aide.h"
#include "ui/form_image.h"
#include "ui/form_infos.h"
#include "ui/form_orvane.h"
#include "ui/form_param.h"
#include "ui/form_saisie_zern.h"
#include "ui/form_session.h"
#include "ui/platform.h"
#include "ui/prefs_dialog.h"
#include "ui/window_report.h"

namespace frontlys::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool Contains(const std::vector<ImageKind>& kinds, ImageKind kind)
{
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

std::optional<std::filesystem::path> PathOf(const std::optional<QString>& file)
{
    if (!file) return std::nullopt;
    return std::filesystem::path(file->toStdString());
}

// A window's frame, as the placement rules count Left, Top, Width and Height.
QRect Frame(const QWidget* w) { return w->frameGeometry(); }

}  // namespace

void TFormOrvane::Apply(const CommandOutcome& outcome, const std::vector<ImageKind>& fresh)
{
    for (ImageKind kind : outcome.released) ReleaseForm(kind);
    std::vector<ImageKind> done;  // fresh kinds already shown: a later mention only redraws
    for (ImageKind kind : outcome.shown) {
        if (Contains(fresh, kind) && !Contains(done, kind)) {
            ShowKind(kind);
            done.push_back(kind);
        } else if (TFormImage* f = form(kind)) {
            f->Attach(f->theoretical());
            f->Redraw();
        }
    }
    for (ImageKind kind : outcome.outlined) {
        if (TFormImage* f = form(kind)) {
            f->Settings.MaskVisible = true;
            f->Redraw();
        }
    }
    // A write error also says why (disk full, no such folder): the user can act on it.
    if (outcome.message && outcome.status.code == StatusCode::IoError && !outcome.status.reason.empty())
        ShowMessage({outcome.message->text + "\n" + outcome.status.reason, outcome.message->style});
    else if (outcome.message)
        ShowMessage(*outcome.message);
    else if (outcome.failed())
        ShowMessage({outcome.status.message.empty() ? outcome.status.reason : outcome.status.message});
    if (outcome.refreshInfos && m_infos) m_infos->RefreshInfos();
    m_reportItem->setEnabled(m_session.ImageFront != nullptr);
}

QString TFormOrvane::CaptionOf(ImageKind kind) const
{
    switch (kind) {
        case ImageKind::Intra:
            return tr("Intra [%1]").arg(QFileInfo(Q(m_session.FileIntra)).fileName());
        case ImageKind::Extra:
            return tr("Extra [%1]").arg(QFileInfo(Q(m_session.FileExtra)).fileName());
        case ImageKind::Signal:
            return tr("Signal");
        case ImageKind::Wavefront:
            return tr("Front d'onde");
        case ImageKind::Residual:
            return tr("Front résiduel");
        case ImageKind::Psf:
            return tr("PSF");
        case ImageKind::Interferogram:
            return tr("Interférogramme");
        case ImageKind::Ronchigram:
            return tr("Ronchigramme");
    }
    return {};
}

TFormImage* TFormOrvane::CreateForm(ImageKind kind)
{
    static const char* names[kImageKinds] = {"FormIntra",
                                             "FormExtra",
                                             "FormSignal",
                                             "FormFront",
                                             "FormPSF",
                                             "FormInterfero",
                                             "FormResidu",
                                             "FormRonchi"};
    auto& slot = m_forms[static_cast<std::size_t>(kind)];
    if (!slot) {
        slot = new TFormImage(*this, kind, this);
        slot->setObjectName(QString::fromLatin1(names[static_cast<int>(kind)]));
        connect(slot, &TFormImage::activated, this, &TFormOrvane::Activate);
        connect(slot, &TFormImage::pointed, this, &TFormOrvane::ShowReadout);
        connect(slot, &TFormImage::pupilChanged, this, &TFormOrvane::RefreshInfos);
        connect(slot, &TFormImage::cropRequested, this, &TFormOrvane::Recadrerlesplages1Click);
    }
    return slot;
}

void TFormOrvane::Activate(TFormImage* f)
{
    SetFormCourante(f);
    if (m_infos) {
        m_infos->SetSettingsCopy(f->Settings);
        m_infos->RefreshInfos();
    }
}

// The current window's read-out, with the information window's choices, shown there.
void TFormOrvane::ShowReadout(TFormImage* f, QPoint position)
{
    if (f != m_courante) return;
    ReadoutOptions choices;
    if (m_infos) m_infos->ReadoutChoices(choices);
    const Readout readout = f->ReadoutAt(position, choices);
    if (m_infos) m_infos->ShowReadout(readout, choices.polar);
}

void TFormOrvane::RefreshInfos()
{
    if (m_infos) m_infos->RefreshInfos();
}

void TFormOrvane::RedrawFringes(ImageKind kind)
{
    if (kind == ImageKind::Interferogram) Interfrogramme1Click();
    if (kind == ImageKind::Ronchigram) Ronchigramme1Click();
}

void TFormOrvane::ShowKind(ImageKind kind)
{
    if (kind == ImageKind::Psf || kind == ImageKind::Interferogram || kind == ImageKind::Ronchigram)
        ShowDerived(kind);
    else
        ShowImage(kind);
}

std::uint8_t TFormOrvane::PaletteOf(ImageKind kind) const
{
    const Tpreferences& p = m_session.Prefs;
    return PaletteForKind(static_cast<std::uint8_t>(kind),
                          {p.PltSignal, p.PltFront, p.PltPSF, p.PltInterfero});
}

void TFormOrvane::ResetSettings(TFormImage& f)
{
    const ImageKind kind = f.kind();
    f.Settings = {};
    f.Settings.PaletteIndex = PaletteOf(kind);
    f.Settings.MaskVisible = kind != ImageKind::Intra && kind != ImageKind::Extra && kind != ImageKind::Psf;
}

// Create, make current, attach and size at the zoom, place by the table, caption, settings, redraw.
TFormImage* TFormOrvane::ShowImage(ImageKind kind)
{
    const bool created = !form(kind);
    TFormImage* f = CreateForm(kind);
    SetFormCourante(f);
    f->Attach();
    SizeForScreen(*f, created);
    f->setWindowTitle(CaptionOf(kind));
    ResetSettings(*f);
    f->Redraw();
    f->show();
    PlaceByTable(*f);  // once shown, so that the platform knows the frame the rules place
    f->raise();
    return f;
}

// The PSF is attached and sized at every run; the interferogram and the Ronchigram on creation only.
void TFormOrvane::ShowDerived(ImageKind kind)
{
    const bool created = !form(kind);
    TFormImage* f = CreateForm(kind);
    SetFormCourante(f);
    if (kind == ImageKind::Psf) {
        f->Attach(m_infos && m_infos->psfOptions().theoretical);
        SizeForScreen(*f, false);  // the PSF's record is no pupil: never fitted
    } else if (created) {
        f->Attach();
        SizeForScreen(*f, true);
    }
    ResetSettings(*f);
    if (kind == ImageKind::Psf) f->Settings.LogDisplay = m_infos && m_infos->psfOptions().logScale;
    f->setWindowTitle(CaptionOf(kind));
    f->Redraw();
    f->show();
    PlaceByTable(*f);
    f->raise();
}

// The documented place when it is on the screen and free, else the first free place, scanning the
// area under the strip below and right of the windows already there; with none free, the top left
// of the area (an overlap cannot be helped).
void TFormOrvane::PlaceByTable(TFormImage& f)
{
    const QRect main = Frame(this);
    const int top = main.y() + main.height();
    auto rightOf = [](const TFormImage* w, int fallback) {
        return w ? Frame(w).x() + Frame(w).width() : fallback;
    };
    TFormImage* intra = form(ImageKind::Intra);
    TFormImage* extra = form(ImageKind::Extra);
    TFormImage* front = form(ImageKind::Wavefront);
    QPoint documented;
    switch (f.kind()) {
        case ImageKind::Intra:
            documented = {main.x(), top};
            break;
        case ImageKind::Extra:
            documented = {rightOf(intra, main.x()), top};
            break;
        case ImageKind::Signal:
            documented = {rightOf(extra, main.x()), top};
            break;
        case ImageKind::Wavefront: {
            const TFormImage* signal = form(ImageKind::Signal);
            documented = {main.x(), top + (signal ? Frame(signal).height() : 0)};
            break;
        }
        default:
            documented = {rightOf(front, main.x()), front ? Frame(front).y() : top};
    }
    f.move(FreePlace(f, {documented}));
    // The extra image follows the intra one when that one changes size.
    if (f.kind() == ImageKind::Intra && extra && extra->isVisible())
        extra->move(FreePlace(*extra, {{rightOf(&f, main.x()), Frame(extra).y()}}));
}

QRect TFormOrvane::PlacementArea() const
{
    if (m_area.isValid()) return m_area;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
}

// The windows another may not cover: the strip, the information window and the shown image windows.
std::vector<QRect> TFormOrvane::Occupied(const QWidget* except) const
{
    std::vector<QRect> taken{Frame(this)};
    if (m_infos && m_infos->isVisible()) taken.push_back(Frame(m_infos));
    for (const auto& f : m_forms)
        if (f && f != except && f->isVisible()) taken.push_back(Frame(f));
    return taken;
}

QPoint TFormOrvane::FreePlace(const QWidget& w, std::vector<QPoint> preferred) const
{
    QRect area = PlacementArea();
    area.setTop(std::max(area.top(), Frame(this).y() + Frame(this).height()));
    const QSize size = Frame(&w).size();
    const std::vector<QRect> taken = Occupied(&w);
    auto fits = [&](QPoint at) {
        const QRect r(at, size);
        if (!area.contains(r)) return false;
        for (const QRect& t : taken)
            if (t.intersects(r)) return false;
        return true;
    };
    // The frame's offset from the window's position (the title bar on a decorated platform).
    const QPoint offset = w.pos() - Frame(&w).topLeft();
    for (QPoint at : preferred)
        if (fits(at)) return at + offset;
    std::vector<QPoint> candidates{area.topLeft()};
    for (const QRect& t : taken) {
        candidates.emplace_back(t.x() + t.width(), t.y());
        candidates.emplace_back(t.x(), t.y() + t.height());
        candidates.emplace_back(area.x(), t.y() + t.height());
    }
    std::sort(candidates.begin(), candidates.end(), [](QPoint a, QPoint b) {
        return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
    });
    for (QPoint at : candidates)
        if (fits(at)) return at + offset;
    const int below = Frame(this).y() + Frame(this).height();
    return QPoint(area.x(), std::max(area.y(), below)) + offset;
}

// An image window at most half the area high and a third of it wide, so that the usual windows of
// a test find a free place on the screen.
int TFormOrvane::MaxImageSide() const
{
    const QRect area = PlacementArea();
    const int strip = Frame(this).height();
    return std::max(64, std::min((area.height() - strip) / 2 - 40, area.width() / 3));
}

// At the zoom box's item, within the screen; a window opening on a pupil much smaller than its
// frame fits the pupil.
void TFormOrvane::SizeForScreen(TFormImage& f, bool created)
{
    f.SetMaxSide(MaxImageSide());
    f.AttachAndSize(zoomIndex());
    if (created && f.PupilMuchSmaller()) f.FitPupil();
    // A zoom the user chooses later is only kept within the screen.
    f.SetMaxSide(std::max(64, PlacementArea().height() - Frame(this).height()));
}

void TFormOrvane::ReleaseForm(ImageKind kind)
{
    auto& slot = m_forms[static_cast<std::size_t>(kind)];
    if (!slot) return;
    TFormImage* f = slot;
    slot = nullptr;
    if (m_courante == f) m_courante = nullptr;
    f->Detach();
    f->hide();
    f->deleteLater();  // the window may be handling the event that released it
}

void TFormOrvane::ShowInfos(bool place)
{
    const bool created = !m_infos;
    if (created) {
        m_infos = new TFormInfos(*this, this);
        connect(m_infos, &TFormInfos::fringeOptionsChanged, this, &TFormOrvane::RedrawFringes);
        connect(m_infos,
                &TFormInfos::saveCoefficientsRequested,
                this,
                &TFormOrvane::Enregistrerlescoefficients1Click);
    }
    m_infos->RefreshInfos();
    m_infos->show();
    if (place || created) {
        const QRect main = Frame(this);
        const QRect area = PlacementArea();
        const int right = std::min(main.x() + main.width(), area.x() + area.width());
        const int below = main.y() + main.height();
        m_infos->move(FreePlace(*m_infos,
                                {{right - Frame(m_infos).width(), below},
                                 {area.x() + area.width() - Frame(m_infos).width(), below}}));
    }
}

// The end of the wavefront and fit commands: the wavefront window current, the "Résultats" page.
void TFormOrvane::ShowWavefrontResults()
{
    if (TFormImage* front = form(ImageKind::Wavefront)) SetFormCourante(front);
    ShowInfos(false);
    m_infos->ShowResultsPage();
}

// The images read shown afresh with the signal, then the information window, placed again when
// the intra image came in.
void TFormOrvane::ApplyOpened(const CommandOutcome& outcome)
{
    std::vector<ImageKind> fresh = outcome.opened;
    fresh.push_back(ImageKind::Signal);
    Apply(outcome, fresh);
    if (!outcome.opened.empty()) ShowInfos(Contains(outcome.opened, ImageKind::Intra));
}

void TFormOrvane::OpenFiles(const QStringList& files)
{
    if (files.isEmpty() || files.size() > 2) return;
    // Files given replace the images already open, unlike the menu's opening.
    std::vector<std::filesystem::path> paths;
    for (const QString& file : files) paths.emplace_back(file.toStdString());
    RunLong(
        tr("Ouverture des images..."),
        true,
        [paths](TestSession& s, const ProgressFn& progress, std::stop_token) {
            CommandOutcome outcome;
            if (paths.size() == 2)
                outcome = OpenPair(s, paths[0], paths[1], CropMode::Auto, progress);
            else
                outcome = s.ImageIntra ? OpenExtra(s, paths[0]) : OpenIntra(s, paths[0]);
            outcome.Merge(PreparePair(s, progress));
            return outcome;
        },
        [this](const CommandOutcome& outcome) { ApplyOpened(outcome); });
}

void TFormOrvane::Nouveautest1Click()
{
    const CommandOutcome outcome = NewTest(m_session);
    for (ImageKind kind : outcome.released) ReleaseForm(kind);
    for (std::size_t k = 0; k < m_forms.size(); ++k) ReleaseForm(static_cast<ImageKind>(k));
    if (m_infos) {
        m_infos->hide();
        m_infos->deleteLater();
        m_infos = nullptr;
    }
    m_courante = nullptr;
    m_reportItem->setEnabled(false);
}

FileRequest TFormOrvane::IntraRequest() const
{
    return {tr("Ouvrir l'image intrafocale"),
            tr("Images Fits (*.fit *.fits)"),
            Q(m_session.Prefs.Images),
            QString()};
}

FileRequest TFormOrvane::ExtraRequest() const
{
    return {tr("Ouvrir l'image extrafocale"),
            tr("Images Fits (*.fit *.fits)"),
            Q(m_session.Prefs.Images),
            QString()};
}

void TFormOrvane::Ouvrir1Click()
{
    if (const auto file = m_platform.openFile(IntraRequest())) OpenIntraFile(*file);
}

void TFormOrvane::Ouvrirlimageextrafocale1Click()
{
    if (const auto file = m_platform.openFile(ExtraRequest())) OpenExtraFile(*file);
}

void TFormOrvane::OpenIntraFile(const QString& file)
{
    const std::filesystem::path path = file.toStdString();
    RunLong(
        tr("Ouverture de l'image intrafocale..."),
        true,
        [path](TestSession& s, const ProgressFn&, std::stop_token) { return OpenIntra(s, path); },
        [this](const CommandOutcome& outcome) {
            Apply(outcome, {ImageKind::Intra});
            if (!outcome.failed()) ShowInfos(true);
        });
}

void TFormOrvane::OpenExtraFile(const QString& file)
{
    const std::filesystem::path path = file.toStdString();
    RunLong(
        tr("Ouverture de l'image extrafocale..."),
        true,
        [path](TestSession& s, const ProgressFn&, std::stop_token) { return OpenExtra(s, path); },
        [this](const CommandOutcome& outcome) {
            Apply(outcome, {ImageKind::Extra});
            if (!outcome.failed()) ShowInfos(false);
        });
}

void TFormOrvane::Ouvririntrapuisextra1Click()
{
    std::optional<QString> intra, extra;
    if (!form(ImageKind::Intra)) intra = m_platform.openFile(IntraRequest());
    if (!form(ImageKind::Extra)) extra = m_platform.openFile(ExtraRequest());
    RunLong(
        tr("Ouverture des images..."),
        true,
        [intra = PathOf(intra), extra = PathOf(extra)](
            TestSession& s, const ProgressFn& progress, std::stop_token) {
            return OpenBoth(s, intra, extra, CropMode::Auto, progress);
        },
        [this](const CommandOutcome& outcome) { ApplyOpened(outcome); });
}

void TFormOrvane::Seuilsauto1Click() { Apply(ExtractPupils(m_session)); }

void TFormOrvane::Cocentrer1Click() { Apply(CoCentrePupils(m_session)); }
void TFormOrvane::Redimensionner1Click() { Apply(ResizePupils(m_session)); }

// The two images change size: their windows are sized again and the extra one follows the intra one.
void TFormOrvane::Recadrerlesplages1Click()
{
    RunLong(
        tr("Recadrage..."),
        false,
        [](TestSession& s, const ProgressFn& progress, std::stop_token) { return CropImages(s, progress); },
        [this](const CommandOutcome& outcome) {
            Apply(outcome);
            if (!outcome.ran || outcome.failed()) return;
            for (ImageKind kind : {ImageKind::Intra, ImageKind::Extra})
                if (TFormImage* f = form(kind)) f->ApplyZoom();
            if (TFormImage* intra = form(ImageKind::Intra)) PlaceByTable(*intra);
            if (m_infos) m_infos->RefreshInfos();
        });
}

void TFormOrvane::Corrigerlesimages1Click()
{
    BusyCursor busy;
    Apply(CorrectImages(m_session));
}

void TFormOrvane::Signal1Click() { Apply(ComputeSignalCommand(m_session), {ImageKind::Signal}); }

void TFormOrvane::Front1Click()
{
    RunLong(
        tr("Front d'onde..."),
        false,
        [](TestSession& s, const ProgressFn& progress, std::stop_token stop) {
            return ComputeWavefront(s, progress, std::move(stop));
        },
        [this](const CommandOutcome& outcome) {
            Apply(outcome, {ImageKind::Wavefront, ImageKind::Residual});
            if (!outcome.failed()) ShowWavefrontResults();
        });
}

void TFormOrvane::Ajusterlefrontdonde1Click()
{
    const CommandOutcome outcome = FitWavefront(m_session);
    if (!outcome.ran) return;
    Apply(outcome);
    ShowWavefrontResults();
}

void TFormOrvane::PSF1Click()
{
    const PsfOptions options = m_infos ? m_infos->psfOptions() : PsfOptions{};
    RunLong(
        tr("PSF..."),
        false,
        [options](TestSession& s, const ProgressFn& progress, std::stop_token) {
            return ComputePsfCommand(s, options, progress);
        },
        [this](const CommandOutcome& outcome) {
            Apply(outcome, {ImageKind::Psf});
            if (outcome.ran && !outcome.failed() && m_infos) m_infos->ShowOptionsPage(true);
        });
}

void TFormOrvane::ApplyFringes(const CommandOutcome& outcome, ImageKind kind)
{
    Apply(outcome, {kind});
    if (outcome.ran && !outcome.failed() && m_infos) {
        m_infos->ShowOptionsPage(false);
        m_infos->RefreshInfos();
    }
}

void TFormOrvane::Interfrogramme1Click()
{
    const FringeOptions options = m_infos ? m_infos->fringeOptions() : FringeOptions{};
    RunLong(
        tr("Interférogramme..."),
        false,
        [options](TestSession& s, const ProgressFn& progress, std::stop_token) {
            return ComputeInterferogram(s, options, progress);
        },
        [this](const CommandOutcome& outcome) { ApplyFringes(outcome, ImageKind::Interferogram); });
}

void TFormOrvane::Ronchigramme1Click()
{
    const FringeOptions options = m_infos ? m_infos->fringeOptions() : FringeOptions{};
    RunLong(
        tr("Ronchigramme..."),
        false,
        [options](TestSession& s, const ProgressFn& progress, std::stop_token) {
            return ComputeRonchigram(s, options, progress);
        },
        [this](const CommandOutcome& outcome) { ApplyFringes(outcome, ImageKind::Ronchigram); });
}

void TFormOrvane::Simulerlefrontdonde1Click()
{
    RunLong(
        tr("Simulation du front d'onde..."),
        false,
        [](TestSession& s, const ProgressFn& progress, std::stop_token) {
            return SimulateWavefront(s, progress);
        },
        [this](const CommandOutcome& outcome) { ShowSimulated(outcome); });
}

void TFormOrvane::ShowSimulated(const CommandOutcome& outcome)
{
    if (!outcome.ran) return;
    const bool created = !form(ImageKind::Wavefront);
    TFormImage* f = CreateForm(ImageKind::Wavefront);
    SetFormCourante(f);
    f->Attach();
    SizeForScreen(*f, created);
    f->setWindowTitle(tr("Front simulé"));
    ResetSettings(*f);
    f->Redraw();
    f->show();
    if (created) PlaceByTable(*f);  // a new window needs a place; an existing one is not moved
    ShowInfos(false);
}

void TFormOrvane::ShowForm(ImageKind kind)
{
    if (TFormImage* f = form(kind)) {
        f->show();
        f->raise();
    }
}

void TFormOrvane::ComboBox1Change()
{
    if (!m_courante) return;
    m_courante->ZoomIndex = static_cast<std::uint8_t>(std::max(0, m_zoom->currentIndex()));
    m_courante->ApplyZoom();
}

void TFormOrvane::ToolButton7Click()
{
    if (m_zoom->currentIndex() + 1 <= 5) m_zoom->setCurrentIndex(m_zoom->currentIndex() + 1);
    ComboBox1Change();
}

void TFormOrvane::ToolButton8Click()
{
    m_zoom->setCurrentIndex(std::max(m_zoom->currentIndex() - 1, 0));
    ComboBox1Change();
}

void TFormOrvane::Imprimerlimageencours1Click()
{
    if (m_courante) m_courante->Imprimer1Click();
}

void TFormOrvane::Enregistrerlimage1Click()
{
    if (m_courante) m_courante->Enregistrerlimage1Click();
}

void TFormOrvane::Enregistrerlescoefficients1Click()
{
    const auto file = m_platform.saveFile({tr("Enregistrer les coefficients"),
                                           tr("Fichiers texte (*.txt)"),
                                           Q(m_session.NomDernierExport),
                                           QString()});
    std::optional<std::string> chosen;
    if (file) chosen = file->toStdString();
    Apply(SaveCoefficients(m_session, chosen));
}

void TFormOrvane::Exporterlefrontversquorvex1Click()
{
    const auto file = m_platform.saveFile({tr("Exporter le Front vers Quorvex"),
                                           tr("Fichiers texte Optical Path Difference (*.OPD)"),
                                           Q(m_session.NomDernierExport),
                                           QString()});
    std::optional<std::string> chosen;
    if (file) chosen = file->toStdString();
    Apply(ExportWavefront(m_session, chosen));
}

void TFormOrvane::Rapportdetest1Click()
{
    if (!m_session.ImageFront) return;
    const auto file = m_platform.saveFile({tr("Rapport de test"),
                                           tr("Page HTML (*.html);;Document PDF (*.pdf)"),
                                           QFileInfo(Q(m_session.FileIntra)).absolutePath(),
                                           tr("rapport.html")});
    if (!file) return;
    // HTML or PDF by the name's extension, written whole or not at all.
    if (const Status s = WriteReport(WindowReport(*this), file->toStdString()); !s.ok())
        ShowMessage({s.message + "\n" + s.reason});
}

void TFormOrvane::Prfrences1Click()
{
    m_prefs->Execute();
    // Some choices apply even when the dialog is cancelled: recolour whatever the answer.
    for (const auto& f : m_forms) {
        if (!f) continue;
        f->Settings.PaletteIndex = PaletteOf(f->kind());
        f->Redraw();
    }
    UseBasis(m_session, m_session.Prefs.NPolyZern);
    if (m_infos) m_infos->RefreshInfos();
}

void TFormOrvane::Paramtresdutest1Click() { m_formParam->FormShow(); }

void TFormOrvane::Paramtresdessimulations1Click()
{
    if (!m_saisieZern) {
        m_saisieZern = new TFormSaisieZern(m_platform, m_session, this);
        m_saisieZern->setObjectName(QStringLiteral("FormSaisieZern"));
    }
    m_saisieZern->Execute();
}

void TFormOrvane::ShowHelp(const QString& page)
{
    if (!m_aide) {
        m_aide = new TFormAide(m_session, m_programDir, this);
        m_aide->setObjectName(QStringLiteral("FormAide"));
    }
    m_aide->ShowPage(page);
}

void TFormOrvane::Documentation1Click() { ShowHelp(HelpHomePage(m_session.Prefs, m_programDir)); }
void TFormOrvane::Apropos1Click() { m_apropos->Execute(); }

void TFormOrvane::Quitter1Click()
{
    Nouveautest1Click();
    close();
}

// One session window, kept when closed: its pairs are still there when it is shown again.
void TFormOrvane::Sessionendirect1Click()
{
    auto* window = findChild<TFormSession*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) window = new TFormSession(m_platform, m_programDir, this);
    window->show();
    window->raise();
    if (!window->running()) window->ChooseFolder();
}

}  // namespace frontlys::ui
