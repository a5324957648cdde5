#include "ui/dialog_screenshots.h"

#include <cmath>

#include <QApplication>
#include <QDir>
#include <QTabWidget>

#include "ui/form_aide.h"
#include "ui/form_param.h"
#include "ui/form_saisie_zern.h"
#include "ui/prefs_dialog.h"

namespace frontlys::ui {
namespace {

// Shows nothing and asks nothing: each dialog is drawn in the state its script leaves it.
class PicturePlatform final : public Platform {
public:
    std::function<void(QDialog&)> onModal;
    std::optional<QString> openFile(const FileRequest&) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileRequest&) override { return std::nullopt; }
    std::optional<QString> browseFolder(const FileRequest&) override { return std::nullopt; }
    void warn(const QString&) override {}
    int ask(const QString&, const QStringList&) override { return -1; }
    int runModal(QDialog& dialog) override
    {
        if (onModal) onModal(dialog);
        return QDialog::Rejected;
    }
    bool print(const QImage&) override { return false; }
};

bool Save(QWidget& widget, const QString& file)
{
    widget.show();
    QApplication::processEvents();
    const bool saved = widget.grab().save(file);
    widget.hide();
    return saved;
}

// A 200 mm f/10 tested with 9 um pixels; pupils of 40 and 44 pixels.
TestSession Example()
{
    TestSession session = NewSession();
    session.Params = {2e9, 1e8, 7'560'000, 0.25};
    session.HeaderIntra.PixelSizeX = 9;
    session.HeaderIntra.DateObs = "2026-05-14T22:41:07";
    session.HeaderExtra.DateObs = "2026-05-14T22:43:52";
    session.HeaderIntra.Exposure = session.HeaderExtra.Exposure = 5;
    session.HeaderIntra.Observer = "Observatoire amateur";
    session.ImageIntra = NewImage(8, 8);
    session.ImageIntra->Radius = 40;
    session.ImageExtra = NewImage(8, 8);
    session.ImageExtra->Radius = 44;
    session.Sim.SimCoef[10] = 40 * std::sqrt(5.0);
    session.Sim.SimCoef[4] = 15 * std::sqrt(6.0);
    session.Sim.SimObstruction = 0.25;
    session.Sim.SimIndexTaille = 2;
    session.Sim.SimRayon = 100;
    return session;
}

}  // namespace

QStringList SaveDialogScreenshots(const QString& folder, const QString& helpFolder)
{
    QStringList written;
    const QDir out(folder);
    auto keep = [&](QWidget& widget, const char* name) {
        const QString file = out.filePath(QLatin1String(name));
        if (Save(widget, file)) written << file;
    };
    PicturePlatform platform;
    TestSession session = Example();

    TFormParam params(platform, session);
    platform.onModal = [&](QDialog& d) { keep(d, "frontlys-parametres.png"); };
    params.FormShow();

    TFormSaisieZern simulation(platform, session);
    keep(simulation, "frontlys-simulation.png");

    TPrefs prefs(platform, session, {});
    platform.onModal = [&](QDialog& d) {
        keep(d, "frontlys-preferences.png");
        d.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
        keep(d, "frontlys-preferences-algorithmes.png");
    };
    prefs.Execute();

    TFormAide help(session, {});
    help.ShowPage(QDir(helpFolder).filePath(QStringLiteral("index.htm")));
    keep(help, "frontlys-aide.png");
    return written;
}

}  // namespace frontlys::ui
