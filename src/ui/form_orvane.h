#pragma once
// The main window: a thin strip across the top of the screen with the menus and the tool bar. It
// owns the state of the current test (a TestSession) and the windows that show it; every command
// is a handler of a few lines that calls the analysis layer and shows what the outcome names. The
// image and information windows see it as their WindowHost and ask for commands by their signals.

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "analysis/commands.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"
#include "display/render.h"
#include "ui/platform.h"
#include "ui/window_host.h"

class QComboBox;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QThread;

namespace frontlys::ui {

class TFormAide;
class TFormImage;
class TFormInfos;
class TFormParam;
class TFormSaisieZern;
class TPrefs;
class Tapropos;
class Tmess;

class TFormOrvane final : public QMainWindow, public WindowHost {
    Q_OBJECT
public:
    // Reads prefs.txt from prefsFolder (the program's folder); a missing or bad file keeps defaults.
    TFormOrvane(Platform& platform, const QString& prefsFolder, QWidget* parent = nullptr);
    ~TFormOrvane() override;

    TestSession& session() override { return m_session; }
    Platform& platform() override { return m_platform; }
    CurrentDisplay& display() override { return m_display; }
    TImageRec* RecordOf(ImageKind kind, bool theoretical) override;
    TFormImage* form(ImageKind kind) const override;
    TFormImage* formCourante() const override;
    void ShowMessage(const Message& message) override;

    void SetFormCourante(TFormImage* form);
    TFormInfos* infos() const;
    int zoomIndex() const;

    // Opens the files given at start or dropped: one file fills the intra slot if it is empty,
    // else the extra one; two files are the intra and the extra image.
    void OpenFiles(const QStringList& files);

    // A long command: `job` runs on a worker thread on a copy of the session (the frames as read
    // lent to it unless it is an opening, which reads its own), the step shown in the strip with a
    // cancel button and the conflicting commands disabled; when it ends, its session replaces the
    // window's and `done` shows the outcome, unless it was cancelled: then the previous state stays.
    // Cancel also asks `stop`, which the analysis checks between its steps. Refused (false) while
    // another runs.
    using LongJob =
        std::function<CommandOutcome(TestSession& work, const ProgressFn& progress, std::stop_token stop)>;
    bool RunLong(const QString& step,
                 bool opening,
                 LongJob job,
                 std::function<void(const CommandOutcome&)> done);
    bool busy() const { return m_job != nullptr; }
    // The screen area the windows are placed in: the screen's available area unless set.
    QRect PlacementArea() const;
    void SetPlacementArea(const QRect& area) { m_area = area; }
    // Discards the running command's result when it arrives.
    void CancelLong();
    // Runs the event loop until no command runs (the tests, and the program before it closes).
    void WaitForIdle();

signals:
    void idle();  // a long command ended and its outcome is shown

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate(const QString& prefsFolder);
    void BuildMenus();
    void BuildFileMenu();
    void BuildImagesMenu();
    void BuildEntryMenu();
    void BuildComputeMenu();
    void BuildViewMenu();
    void BuildHelpMenu();
    void BuildToolBar();
    QAction* AddItem(QMenu* menu,
                     const char* name,
                     const QString& caption,
                     void (TFormOrvane::*handler)() = nullptr,
                     const QKeySequence& shortcut = {});

    // Showing an image in its window, the common sequence.
    TFormImage* CreateForm(ImageKind kind);
    QString CaptionOf(ImageKind kind) const;
    void ShowKind(ImageKind kind);
    TFormImage* ShowImage(ImageKind kind);
    void ShowDerived(ImageKind kind);
    void PlaceByTable(TFormImage& form);
    // The first of the preferred places on the screen and free, else the first free place.
    QPoint FreePlace(const QWidget& window, std::vector<QPoint> preferred) const;
    QPoint FreeSpot(const QWidget& window, QPoint preferred) const override
    {
        return FreePlace(window, {preferred});
    }
    std::vector<QRect> Occupied(const QWidget* except) const;
    int MaxImageSide() const;
    void SizeForScreen(TFormImage& form, bool created);
    void ApplyFringes(const CommandOutcome& outcome, ImageKind kind);
    void ShowSimulated(const CommandOutcome& outcome);
    void ResetSettings(TFormImage& form);
    std::uint8_t PaletteOf(ImageKind kind) const;
    void ReleaseForm(ImageKind kind);
    void ShowInfos(bool place);
    void ShowWavefrontResults();
    void ShowHelp(const QString& page);
    void ZoomAll();
    // The outcome of a command: released windows closed, the fresh kinds shown by their sequence
    // the first time the outcome names them, the other shown ones redrawn, the outlines of the
    // pupils found shown, the message shown, the information window refreshed.
    void Apply(const CommandOutcome& outcome, const std::vector<ImageKind>& fresh = {});
    // The outcome of an opening, with the information window shown.
    void ApplyOpened(const CommandOutcome& outcome);
    // What the image and information windows ask for.
    void Activate(TFormImage* form);
    void ShowReadout(TFormImage* form, QPoint position);
    void RefreshInfos();
    void RedrawFringes(ImageKind kind);

    // Handlers, by the names of their items.
    void Nouveautest1Click();
    void Ouvrir1Click();
    void Ouvrirlimageextrafocale1Click();
    void Ouvririntrapuisextra1Click();
    void OpenIntraFile(const QString& file);
    void OpenExtraFile(const QString& file);
    FileRequest IntraRequest() const;
    FileRequest ExtraRequest() const;
    void Imprimerlimageencours1Click();
    void Enregistrerlimage1Click();
    void Exporterlefrontversquorvex1Click();
    void Rapportdetest1Click();
    void Prfrences1Click();
    void Sessionendirect1Click();
    void Quitter1Click();
    void Seuilsauto1Click();
    void Cocentrer1Click();
    void Redimensionner1Click();
    void Corrigerlesimages1Click();
    void Paramtresdutest1Click();
    void Paramtresdessimulations1Click();
    void Signal1Click();
    void Interfrogramme1Click();
    void Ronchigramme1Click();
    void Enregistrerlescoefficients1Click();
    void Recadrerlesplages1Click();
    void Front1Click();
    void Ajusterlefrontdonde1Click();
    void PSF1Click();
    void Simulerlefrontdonde1Click();
    void Superposerpargroupe1Click();
    void Juxtaposer1Click();
    void Documentation1Click();
    void Apropos1Click();
    void ComboBox1Change();
    void ToolButton7Click();
    void ToolButton8Click();
    void ShowForm(ImageKind kind);

    // The long command's strip and its end.
    void BuildProgressStrip(class QToolBar* bar);
    void SetBusy(bool busy);
    void LongEnded();

    Platform& m_platform;
    TestSession m_session;
    CurrentDisplay m_display;
    std::array<QPointer<TFormImage>, kImageKinds> m_forms;
    QPointer<TFormImage> m_courante;
    QPointer<TFormInfos> m_infos;
    QPointer<Tmess> m_mess;
    QComboBox* m_zoom = nullptr;
    QAction* m_reportItem = nullptr;  // enabled once the test has a wavefront
    QString m_programDir;
    TFormParam* m_formParam = nullptr;  // FormParam
    TPrefs* m_prefs = nullptr;          // Prefs
    Tapropos* m_apropos = nullptr;      // apropos
    QPointer<TFormSaisieZern> m_saisieZern;
    QPointer<TFormAide> m_aide;

    struct RunningJob {
        std::unique_ptr<TestSession> work;
        bool lent = false;  // the frames as read are in `work` for the run
        CommandOutcome outcome;
        std::function<void(const CommandOutcome&)> done;
        std::atomic<bool> cancelled = false;
        std::stop_source stop;
        QThread* thread = nullptr;
    };
    std::unique_ptr<RunningJob> m_job;
    QRect m_area;
    QLabel* m_step = nullptr;
    QProgressBar* m_progress = nullptr;
    QAction* m_cancel = nullptr;
    std::vector<QAction*> m_progressItems;  // the strip's step, bar and cancel
    std::vector<QAction*> m_disabled;       // the items a running command disabled
};

}  // namespace frontlys::ui
