// The desktop program: the main window, with the two images given on the command line opened as
// "&Ouvrir les images" opens them (so that a file manager's "open with" works).
#include <QApplication>
#include <QLocale>
#include <QTimer>

#include "core/numbers.h"
#include "files/prefs.h"
#include "ui/form_orvane.h"
#include "ui/language.h"
#include "ui/platform.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Frontlys"));
    // The windows are written in French; English when the preference or the locale says so. The
    // main window reads the same prefs.txt again for the rest of its settings.
    frontlys::Tpreferences prefs = frontlys::DefaultPreferences();
    prefs.Preferences = QApplication::applicationDirPath().toStdString();
    (void)frontlys::ReadPrefs(prefs);  // missing or malformed: the defaults
    frontlys::ui::InstallLanguage(frontlys::ui::LanguageFor(prefs.Langue, QLocale()));
    const QString point = QLocale().decimalPoint();
    frontlys::SetDecimalSeparator(point == QStringLiteral(",") ? ',' : '.');

    frontlys::ui::QtPlatform platform;
    frontlys::ui::TFormOrvane window(platform, QApplication::applicationDirPath());
    window.show();
    QStringList files = QApplication::arguments().mid(1);
    if (files.size() > 2) files = files.mid(0, 2);
    // Once the main window is on screen, so that the image windows are placed below it.
    if (!files.isEmpty()) QTimer::singleShot(0, &window, [&window, files] { window.OpenFiles(files); });
    return app.exec();
}
