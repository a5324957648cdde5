// Draws the dialogs and the help window for the help pages:
//   frontlys-screenshots-dialogs OUTPUT_FOLDER HELP_FOLDER
#include <cstdio>

#include <QApplication>

#include "ui/dialog_screenshots.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER HELP_FOLDER\n", argv[0]);
        return 2;
    }
    const QStringList written =
        frontlys::ui::SaveDialogScreenshots(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    for (const QString& file : written) std::printf("%s\n", qPrintable(file));
    return written.size() == 5 ? 0 : 1;
}
