#pragma once
// Pictures of the dialogs and of the help window for the help pages, drawn from the real widgets
// filled with a worked example.

#include <QString>
#include <QStringList>

namespace frontlys::ui {

// Writes frontlys-parametres.png, frontlys-simulation.png, frontlys-preferences.png,
// frontlys-preferences-algorithmes.png and frontlys-aide.png into `folder`; the help window shows
// helpFolder/index.htm. Returns the files written. Needs a QApplication.
QStringList SaveDialogScreenshots(const QString& folder, const QString& helpFolder);

}  // namespace frontlys::ui
