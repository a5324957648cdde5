// The desktop program driven through its menus and tool bar, the file choices answered by the
// scripted platform.
#include <atomic>
#include <chrono>
#include <fstream>
#include <stop_token>
#include <thread>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "analysis/analysis_commands.h"
#include "analysis/derived_commands.h"
#include "analysis/open_commands.h"
#include "analysis/results.h"
#include "core/numbers.h"
#include "support/donut_pair.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_image.h"
#include "ui/form_infos.h"
#include "ui/form_orvane.h"

namespace frontlys::ui {
namespace {

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// A loaded machine while it lives: every image window takes 150 ms to show, so the activations the
// platform owes come that much later after the command's end.
class SlowShows : public QObject {
public:
    SlowShows() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<TFormImage*>(target))
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return false;
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        files = testing::WriteDonutPair(dir.path(), testing::DonutSpec{}, 128);
        window.SetPlacementArea(QRect(0, 0, 1920, 1080));
        window.show();
    }

    void trigger(const char* name)
    {
        QAction* action = window.findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
        window.WaitForIdle();  // a long command ends on the worker
    }
    template <class W>
    W* child(QWidget* in, const char* name)
    {
        W* w = in ? in->findChild<W*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void OpenPair()
    {
        platform.fileAnswers = {Q(files.intra), Q(files.extra)};
        trigger("Ouvririntrapuisextra1");
    }
    void OpenAndComputeWavefront()
    {
        OpenPair();
        window.session().Params.Defocus = 5'000'000;
        window.session().ParamsSaisis = true;
        trigger("Front1");
    }
    TFormImage* form(ImageKind kind) { return window.form(kind); }
    // The activations a platform owes for the windows a command showed, until `last` is active (5 s
    // at most; none comes where the platform honours the hint not to activate).
    static void DeliverActivations(const QWidget* last)
    {
        static_cast<void>(QTest::qWaitFor([last] { return last->isActiveWindow(); }, 5000));
    }
    QPoint rightOf(const TFormImage* f) { return {f->frameGeometry().right() + 1, f->frameGeometry().y()}; }
    int mainBottom() { return window.frameGeometry().bottom() + 1; }

    TempDir dir;
    testing::DonutFiles files;
    FakePlatform platform;
    TFormOrvane window{platform, Q(dir.path())};
};

TEST_F(MainWindowTest, StartShowsOnlyTheMainStrip)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Frontlys 2.2"));
    EXPECT_LE(window.width(), 1280);
    EXPECT_TRUE(window.findChildren<TFormImage*>().isEmpty());
    EXPECT_EQ(window.infos(), nullptr);
    for (const char* name : {"Simulerlesplages1", "Script1", "Afficherlescript1"})
        EXPECT_FALSE(window.findChild<QAction*>(name)->isEnabled()) << name;
    EXPECT_EQ(window.findChild<QAction*>("Ouvririntrapuisextra1")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_FALSE(window.findChild<QAction*>("Front1")->icon().pixmap(24).isNull());  // the glyphs are found
    EXPECT_EQ(child<QComboBox>(&window, "ComboBox1")->currentText(), QStringLiteral("100%"));
}

TEST_F(MainWindowTest, OpeningThePairShowsIntraExtraSignalAndTheInformationWindow)
{
    OpenPair();
    ASSERT_EQ(platform.fileRequests.size(), 2u);
    EXPECT_EQ(platform.fileRequests[0].title, QStringLiteral("Ouvrir l'image intrafocale"));
    EXPECT_EQ(platform.fileRequests[1].title, QStringLiteral("Ouvrir l'image extrafocale"));
    EXPECT_TRUE(platform.fileRequests[0].filter.contains(QStringLiteral("*.fits")));
    TFormImage *intra = form(ImageKind::Intra), *extra = form(ImageKind::Extra),
               *signal = form(ImageKind::Signal);
    ASSERT_TRUE(intra && extra && signal);
    EXPECT_EQ(intra->windowTitle(), QStringLiteral("Intra [intra.fits]"));
    EXPECT_EQ(extra->windowTitle(), QStringLiteral("Extra [extra.fits]"));
    EXPECT_EQ(signal->windowTitle(), QStringLiteral("Signal"));
    EXPECT_EQ(intra->frameGeometry().topLeft(), QPoint(window.x(), mainBottom()));
    EXPECT_EQ(extra->frameGeometry().topLeft(), rightOf(intra));
    EXPECT_EQ(signal->frameGeometry().topLeft(), rightOf(extra));
    EXPECT_EQ(intra->picture().size(), QSize(128, 128));
    for (TFormImage* f : {intra, extra, signal})
        EXPECT_EQ(f->Settings.PaletteIndex, window.session().Prefs.PltSignal);
    EXPECT_TRUE(intra->Settings.MaskVisible);  // extracted at opening (ExtractAuto)
    EXPECT_EQ(window.formCourante(), signal);
    ASSERT_NE(window.infos(), nullptr);
    EXPECT_EQ(child<QLineEdit>(window.infos(), "Edit1")->text(), QStringLiteral("[128x128]"));
}

TEST_F(MainWindowTest, ACancelledOpenOrAnUnreadableFileChangesNothing)
{
    platform.fileAnswers = {std::nullopt, std::nullopt};
    trigger("Ouvririntrapuisextra1");
    EXPECT_TRUE(window.findChildren<TFormImage*>().isEmpty());
    EXPECT_EQ(window.infos(), nullptr);

    platform.fileAnswers = {Q(files.intra)};
    trigger("Ouvrir1");
    const TTestParams params = window.session().Params;
    const TImageRec loaded = *window.session().ImageIntra;
    const auto garbage = dir.path() / "garbage.fits";
    std::ofstream(garbage) << "no FITS here";
    QStringList shown;
    platform.dialogScript = [&](QDialog& d) {
        shown << d.objectName() + ':' + d.findChild<QLabel*>("Label1")->text();
        return int(QDialog::Accepted);
    };
    platform.fileAnswers = {Q(garbage)};
    trigger("Ouvrir1");
    EXPECT_EQ(shown, QStringList{QStringLiteral("mess:L'image est introuvable")});
    EXPECT_EQ(window.session().ImageIntra->Planes, loaded.Planes);
    EXPECT_EQ(window.session().Params, params);
    EXPECT_EQ(form(ImageKind::Intra)->windowTitle(), QStringLiteral("Intra [intra.fits]"));
}

// The window opens through the analysis' command: a camera frame far larger than its star is cut
// at opening exactly as the command-line tool cuts it.
TEST_F(MainWindowTest, ALargePairIsCutAtOpeningAsTheAnalysisCutsIt)
{
    testing::DonutSpec large;
    large.width = large.height = 600;
    large.centreX = 250.3;
    large.centreY = 330.7;
    large.radiusPx = 20;
    const TempDir bigDir;
    const testing::DonutFiles big = testing::WriteDonutPair(bigDir.path(), large, large.width);
    platform.fileAnswers = {Q(big.intra), Q(big.extra)};
    trigger("Ouvririntrapuisextra1");
    TestSession analysed = NewSession();
    ASSERT_FALSE(OpenBoth(analysed, big.intra, big.extra).failed());
    const TImageRec& shown = *window.session().ImageIntra;
    EXPECT_EQ(shown.Width, 128);
    EXPECT_EQ(form(ImageKind::Intra)->size(), QSize(128, 128));
    EXPECT_EQ(shown.Planes, analysed.ImageIntra->Planes);
    EXPECT_EQ(window.session().ImageSignal->Planes, analysed.ImageSignal->Planes);
}

TEST_F(MainWindowTest, TheSameFrameGivenTwiceOpensNothing)
{
    platform.fileAnswers = {Q(files.intra), Q(files.intra)};
    trigger("Ouvririntrapuisextra1");
    ASSERT_EQ(platform.warnings.size(), 1u);
    EXPECT_TRUE(window.findChildren<TFormImage*>().isEmpty());
    EXPECT_FALSE(window.session().ImageIntra);
}

TEST_F(MainWindowTest, WavefrontWithoutParametersOnlyWarns)
{
    OpenPair();
    trigger("Front1");
    EXPECT_EQ(platform.warnings,
              std::vector<QString>{QStringLiteral("Vous devez saisir les parametres du test.")});
    EXPECT_EQ(form(ImageKind::Wavefront), nullptr);
}

// The wavefront and the derived images, their places, and the figures of the analysis layer.
TEST_F(MainWindowTest, WavefrontAndDerivedImagesShowTheAnalysisResults)
{
    OpenPair();
    window.session().Params.Defocus = 5'000'000;
    window.session().ParamsSaisis = true;
    {
        SlowShows slow;
        trigger("Front1");
    }
    TFormImage* front = form(ImageKind::Wavefront);
    ASSERT_NE(front, nullptr);
    DeliverActivations(form(ImageKind::Residual));  // shown after the wavefront
    EXPECT_EQ(front->windowTitle(), QStringLiteral("Front d'onde"));
    EXPECT_EQ(front->frameGeometry().topLeft(),
              QPoint(window.x(), mainBottom() + form(ImageKind::Signal)->frameGeometry().height()));
    EXPECT_EQ(window.formCourante(), front);
    const WaveError e = ShowResults(window.session().ImageFront.get(), window.session().Prefs.LambdaRef);
    ASSERT_TRUE(e.valid);
    TFormInfos* infos = window.infos();
    EXPECT_EQ(child<QTabWidget>(infos, "PageControl1")->currentWidget()->objectName(),
              QStringLiteral("TabSheet2"));
    EXPECT_EQ(child<QLabel>(infos, "Label13")->text().toStdString(), e.ptvText);
    EXPECT_EQ(child<QLabel>(infos, "Label14")->text().toStdString(), e.rmsText);
    EXPECT_EQ(child<QLabel>(infos, "LabelStrehl")->text().toStdString(), e.strehlText);
    window.session().Warnings = {{"test", "Attention aux bords", "Mind the edges"}};
    infos->ShowResults();
    EXPECT_TRUE(child<QLabel>(infos, "LabelNotes")->text().endsWith(QStringLiteral("⚠ Attention aux bords")));

    for (const char* item : {"PSF1", "Interfrogramme1", "Ronchigramme1"}) trigger(item);
    for (ImageKind kind : {ImageKind::Psf, ImageKind::Interferogram, ImageKind::Ronchigram})
        ASSERT_NE(form(kind), nullptr);
    EXPECT_EQ(form(ImageKind::Residual)->frameGeometry().topLeft(), rightOf(front));
    // Every window within the 1920 x 1080 area, none over another.
    std::vector<QWidget*> shown{&window, infos};
    for (TFormImage* f : window.findChildren<TFormImage*>()) shown.push_back(f);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_TRUE(window.PlacementArea().contains(shown[i]->frameGeometry())) << i;
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->frameGeometry().intersects(shown[j]->frameGeometry()))
                << shown[i]->objectName().toStdString() << " " << shown[j]->objectName().toStdString();
    }
    EXPECT_EQ(form(ImageKind::Ronchigram)->Settings.PaletteIndex, 0);
    EXPECT_EQ(window.formCourante(), form(ImageKind::Ronchigram));
    EXPECT_TRUE(child<QWidget>(infos, "GroupBox3")->isEnabled());
    EXPECT_TRUE(child<QWidget>(infos, "GroupBox4")->isEnabled());

    // The user's own activation of a window still makes it current.
    TFormImage* intra = form(ImageKind::Intra);
    intra->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([intra] { return intra->isActiveWindow(); }, 5000));
    EXPECT_EQ(window.formCourante(), intra);
}

// The commands run on a worker give what they give run in place on the same session.
TEST_F(MainWindowTest, LongCommandsGiveTheNumbersOfTheCommandsRunInPlace)
{
    TestSession direct = NewSession(window.session().Prefs);
    direct.Sim.SimMasque = MasqueAjustement;
    OpenAndComputeWavefront();
    trigger("PSF1");
    ASSERT_FALSE(OpenBoth(direct, files.intra, files.extra).failed());
    direct.Params.Defocus = 5'000'000;
    direct.ParamsSaisis = true;
    ASSERT_FALSE(ComputeWavefront(direct).failed());
    ASSERT_FALSE(ComputePsfCommand(direct, window.infos()->psfOptions()).failed());
    const TestSession& s = window.session();
    EXPECT_EQ(s.CoefFront, direct.CoefFront);
    EXPECT_EQ(s.CoefResidu, direct.CoefResidu);
    EXPECT_EQ(s.ImageFront->Planes, direct.ImageFront->Planes);
    EXPECT_EQ(s.ImagePSF->Planes, direct.ImagePSF->Planes);
    EXPECT_EQ(s.FrameIntra.Pixels, direct.FrameIntra.Pixels);  // the frames lent come back
}

// While a command runs the window answers, shows the step and refuses what would conflict; a
// cancelled command leaves the test as it was.
TEST_F(MainWindowTest, TheWindowAnswersWhileACommandRunsAndCancelKeepsTheState)
{
    OpenPair();
    const TImageRec before = *window.session().ImageIntra;
    std::atomic<bool> release = false;
    bool shown = false;
    const auto job = [&release](TestSession& s, const ProgressFn& progress, std::stop_token) {
        progress("Étape 2");
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        s.ImageIntra.reset();
        CommandOutcome outcome;
        outcome.ran = true;
        return outcome;
    };
    ASSERT_TRUE(
        window.RunLong(QStringLiteral("Essai"), false, job, [&](const CommandOutcome&) { shown = true; }));
    EXPECT_TRUE(window.busy());
    EXPECT_FALSE(window.RunLong(QStringLiteral("Autre"), false, job, {}));
    for (const char* name : {"Front1",
                             "Ouvririntrapuisextra1",
                             "Recadrerlesplages1",
                             "PSF1",
                             "Paramtresdutest1",
                             "Nouveautest1"})
        EXPECT_FALSE(window.findChild<QAction*>(name)->isEnabled()) << name;
    EXPECT_TRUE(window.findChild<QAction*>("Afficherintra1")->isEnabled());
    EXPECT_FALSE(form(ImageKind::Intra)->findChild<QAction*>("Extrairelaplage1")->isEnabled());
    EXPECT_FALSE(window.infos()->isEnabled());
    bool answered = false;
    QTimer::singleShot(0, &window, [&answered] { answered = true; });
    for (int i = 0; i < 200 && !answered; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(window.busy());
    EXPECT_TRUE(window.findChild<QAction*>("Annuler1")->isVisible());
    // The step comes from the worker thread: it shows once the worker has started, which on a loaded
    // machine takes longer than a few hundred idle passes of the event loop.
    QLabel* step = child<QLabel>(&window, "LabelEtape");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (step->text() != QStringLiteral("Étape 2") && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(step->text(), QStringLiteral("Étape 2"));

    window.findChild<QAction*>("Annuler1")->trigger();
    release = true;
    window.WaitForIdle();
    EXPECT_FALSE(shown);
    ASSERT_NE(window.session().ImageIntra, nullptr);
    EXPECT_EQ(window.session().ImageIntra->Planes, before.Planes);
    EXPECT_FALSE(window.session().FrameIntra.Pixels.empty());
    EXPECT_TRUE(window.findChild<QAction*>("Front1")->isEnabled());
    EXPECT_TRUE(window.infos()->isEnabled());
    EXPECT_FALSE(window.findChild<QAction*>("Annuler1")->isVisible());
}

// Cancel during "Front d'onde" (the analytic correction, in its refinement) stops the analysis: the
// previous wavefront and coefficients stay, and the window runs the next command.
TEST_F(MainWindowTest, CancellingARunningWavefrontKeepsThePreviousResults)
{
    OpenAndComputeWavefront();
    TestSession& s = window.session();
    const ZernikeCoefficients coefs = s.CoefFront;
    const TImageRec front = *s.ImageFront;
    ASSERT_EQ(s.Prefs.CorrectionAnalytique, 1);
    window.findChild<QAction*>("Front1")->trigger();
    ASSERT_TRUE(window.busy());
    QLabel* step = child<QLabel>(&window, "LabelEtape");
    for (int i = 0; i < 1000 && step->text() != QStringLiteral("Affinage par modèle direct"); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.findChild<QAction*>("Annuler1")->trigger();
    window.WaitForIdle();
    EXPECT_FALSE(window.busy());
    EXPECT_EQ(s.CoefFront, coefs);
    ASSERT_NE(s.ImageFront, nullptr);
    EXPECT_EQ(s.ImageFront->Planes, front.Planes);
    ASSERT_TRUE(window.findChild<QAction*>("Front1")->isEnabled());
    s.Prefs.CorrectionAnalytique = 0;
    trigger("Front1");
    EXPECT_NE(s.CoefFront, coefs);  // the other correction's answer: the window took the command
}

// A window opening on a pupil much smaller than its frame fits the pupil; "Ajuster" does it on
// demand and the zoom box's factors undo it.
TEST_F(MainWindowTest, AjusterFitsThePupilToItsWindow)
{
    testing::DonutSpec small;
    small.width = small.height = 128;
    small.centreX = 50.3;
    small.centreY = 70.7;
    small.radiusPx = 14;
    const TempDir smallDir;
    const testing::DonutFiles pair = testing::WriteDonutPair(smallDir.path(), small, small.width);
    platform.fileAnswers = {Q(pair.intra), Q(pair.extra)};
    trigger("Ouvririntrapuisextra1");
    TFormImage* intra = form(ImageKind::Intra);
    const TImageRec& record = *window.session().ImageIntra;
    ASSERT_GT(record.Radius, 0);
    EXPECT_EQ(intra->ZoomIndex, kFitZoomIndex);
    EXPECT_EQ(intra->size(), QSize(128, 128));
    EXPECT_NEAR(intra->scale(), std::min(4.0, 128 / (2.2 * record.Radius)), 1e-9);
    // The pupil centre at the window's centre, and the read-out on the record's pixel there.
    const QPointF centre((record.CentreX - 0.5) * intra->scale(), (record.CentreY - 0.5) * intra->scale());
    const QPoint inWindow = intra->control()->mapTo(intra, centre.toPoint());
    EXPECT_NEAR(inWindow.x(), 64, 2);
    EXPECT_NEAR(inWindow.y(), 64, 2);

    auto* zoom = child<QComboBox>(&window, "ComboBox1");
    window.SetFormCourante(intra);
    zoom->setCurrentIndex(1);
    emit zoom->activated(1);
    EXPECT_DOUBLE_EQ(intra->scale(), 1.0);
    EXPECT_EQ(intra->control()->pos(), QPoint(0, 0));
    intra->findChild<QAction*>("Ajuster1")->trigger();
    EXPECT_EQ(intra->ZoomIndex, kFitZoomIndex);
    EXPECT_GT(intra->scale(), 2.0);
    zoom->setCurrentIndex(kFitZoomIndex);
    EXPECT_EQ(zoom->currentText(), QStringLiteral("Ajuster"));
}

TEST_F(MainWindowTest, ZoomStopsAtItsEndsAndTheReadoutFollowsIt)
{
    ScopedDecimalSeparator point('.');
    OpenPair();
    TFormImage* signal = form(ImageKind::Signal);
    for (int i = 0; i < 6; ++i) trigger("ToolButton7");
    EXPECT_EQ(signal->picture().size(), QSize(512, 512));
    for (int i = 0; i < 7; ++i) trigger("ToolButton8");
    EXPECT_EQ(signal->picture().size(), QSize(64, 64));
    trigger("ToolButton7");
    trigger("ToolButton7");
    trigger("ToolButton7");  // 200 %
    EXPECT_EQ(signal->size(), QSize(256, 256));
    QMouseEvent move(
        QEvent::MouseMove, QPointF(0, 0), QPointF(0, 0), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(signal->control(), &move);
    EXPECT_EQ(child<QLineEdit>(window.infos(), "EditX")->text(), QStringLiteral("1.0"));
    EXPECT_EQ(child<QLineEdit>(window.infos(), "EditY")->text(), QStringLiteral("1.0"));
    EXPECT_EQ(child<QLineEdit>(window.infos(), "EditValeur")->text().toDouble(),
              window.session().ImageSignal->Planes(0, 0, 0));
}

// A click makes a window current; the threshold slider shows for the star images only.
TEST_F(MainWindowTest, InformationWindowControlsActOnTheCurrentWindow)
{
    OpenPair();
    TFormInfos* infos = window.infos();
    auto* slider = child<QSlider>(infos, "TrackBar1");
    EXPECT_TRUE(slider->isHidden());  // the signal is current
    TFormImage* intra = form(ImageKind::Intra);
    QMouseEvent click(QEvent::MouseButtonPress,
                      QPointF(5, 5),
                      QPointF(5, 5),
                      Qt::LeftButton,
                      Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(intra->control(), &click);
    ASSERT_EQ(window.formCourante(), intra);
    EXPECT_FALSE(slider->isHidden());
    TImageRec& image = *window.session().ImageIntra;
    slider->setValue(30);
    EXPECT_DOUBLE_EQ(image.Threshold, image.MinValue + 0.7 * (image.MaxValue - image.MinValue));
    auto* palette = child<QComboBox>(infos, "ComboBoxPalette");
    palette->setCurrentIndex(3);
    emit palette->activated(3);
    EXPECT_EQ(intra->Settings.PaletteIndex, 3);
}

TEST_F(MainWindowTest, SuperposeByFamilyAndJuxtapose)
{
    OpenAndComputeWavefront();
    TFormImage *intra = form(ImageKind::Intra), *extra = form(ImageKind::Extra),
               *signal = form(ImageKind::Signal), *front = form(ImageKind::Wavefront);
    trigger("Superposerpargroupe1");
    const QPoint corner(window.x(), mainBottom());
    for (TFormImage* f : {intra, extra, signal}) EXPECT_EQ(f->frameGeometry().topLeft(), corner);
    EXPECT_EQ(front->frameGeometry().topLeft(), rightOf(signal));
    trigger("Juxtaposer1");
    EXPECT_EQ(intra->frameGeometry().topLeft(), corner);
    EXPECT_EQ(extra->frameGeometry().topLeft(), rightOf(intra));
    EXPECT_EQ(signal->frameGeometry().topLeft(), rightOf(extra));
    EXPECT_EQ(front->frameGeometry().topLeft(),
              QPoint(window.x(), mainBottom() + signal->frameGeometry().height()));
}

TEST_F(MainWindowTest, UntickingHigherOrdersRebuildsTheDisplayedWavefront)
{
    OpenAndComputeWavefront();
    TestSession& s = window.session();
    child<QPushButton>(window.infos(), "Button2")->click();
    auto* list = child<QListWidget>(window.infos(), "CheckListBoxZern");
    ASSERT_EQ(list->count(), s.Basis.Count() + 1);
    EXPECT_EQ(list->item(list->count() - 1)->text(), QStringLiteral("Ordres sup."));
    list->item(list->count() - 1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(s.OrdresSup);
    TImageRec expected = *s.ImageFront;
    RebuildDisplayedFront(
        s.ImageFrontBrut.get(), &expected, s.Basis, s.CoefFront, s.MasqueFrontAffiche, false);
    TImageRec measured = *s.ImageFront;
    RebuildDisplayedFront(
        s.ImageFrontBrut.get(), &measured, s.Basis, s.CoefFront, s.MasqueFrontAffiche, true);
    ASSERT_NE(expected.Planes(0, 64, 70), measured.Planes(0, 64, 70));
    EXPECT_EQ(s.ImageFront->Planes(0, 64, 70), expected.Planes(0, 64, 70));
}

TEST_F(MainWindowTest, SavingTheImageAddsTheBitmapExtensionOrWritesPng)
{
    OpenPair();
    const auto base = dir.path() / "essai";
    platform.fileAnswers = {Q(base), Q(dir.path() / "essai.BMP"), Q(dir.path() / "vue.png")};
    for (int i = 0; i < 3; ++i) trigger("Enregistrerlimage1");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "essai.bmp"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "essai.BMP.bmp"));
    EXPECT_EQ(QImage(Q(dir.path() / "vue.png"), "PNG").size(), QSize(128, 128));
    EXPECT_EQ(platform.fileRequests[2].title, QStringLiteral("Sauver l'image en cours"));
}

TEST_F(MainWindowTest, OutputCommandsWriteOrReportTheErrorInABox)
{
    OpenAndComputeWavefront();
    trigger("Imprimerlimageencours1");
    ASSERT_EQ(platform.printed.size(), 1u);
    EXPECT_EQ(platform.printed[0], window.formCourante()->picture());
    platform.fileAnswers = {Q(dir.path() / "front"), Q(dir.path() / "absent" / "coefficients.txt")};
    trigger("Exporterlefrontversquorvex1");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "front.opd"));
    EXPECT_TRUE(platform.warnings.empty());
    trigger("Enregistrerlescoefficients1");
    EXPECT_EQ(platform.fileRequests.back().folder, Q(dir.path() / "front"));  // NomDernierExport
    ASSERT_EQ(platform.warnings.size(), 1u);
    EXPECT_TRUE(platform.warnings[0].startsWith(QStringLiteral("Erreur d'écriture du fichier")));
}

TEST_F(MainWindowTest, FilesGivenAtStartOrDroppedOpenLikeOpenBoth)
{
    window.OpenFiles({Q(files.intra)});
    window.WaitForIdle();
    EXPECT_NE(form(ImageKind::Intra), nullptr);
    EXPECT_EQ(form(ImageKind::Extra), nullptr);
    window.OpenFiles({Q(files.extra)});
    window.WaitForIdle();
    EXPECT_EQ(form(ImageKind::Extra)->windowTitle(), QStringLiteral("Extra [extra.fits]"));
    EXPECT_NE(form(ImageKind::Signal), nullptr);  // both open: extracted, co-centred, signal
    EXPECT_TRUE(platform.fileRequests.empty());
}

TEST_F(MainWindowTest, NewTestClosesEveryWindow)
{
    OpenAndComputeWavefront();
    trigger("PSF1");
    trigger("Nouveautest1");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.findChildren<TFormImage*>().isEmpty());
    EXPECT_EQ(window.infos(), nullptr);
    EXPECT_EQ(window.formCourante(), nullptr);
    EXPECT_FALSE(window.session().ParamsSaisis);
    EXPECT_FALSE(window.session().ImageIntra);
}

}  // namespace
}  // namespace frontlys::ui
