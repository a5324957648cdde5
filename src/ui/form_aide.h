#pragma once
// "Aide de Frontlys": the HTML help pages in a browser with "Sommaire", "<<" and ">>". One window,
// created on first use and reused; not modal.

#include <QString>
#include <QWidget>

#include "analysis/test_session.h"

class QPushButton;
class QTextBrowser;

namespace frontlys::ui {

// The help home page: the [Aide] preference, or the index.htm of the language's help folder
// beside the program (programDir: help/en in English, help) when the preference is empty.
QString HelpHomePage(const frontlys::Tpreferences& prefs, const QString& programDir);
// A page of the folder of the home page, e.g. "preferences.htm".
QString HelpPageBeside(const QString& homePage, const QString& page);

class TFormAide final : public QWidget {
    Q_OBJECT

public:
    // programDir: where the program file lies (its help/ folder is the fallback home).
    TFormAide(const TestSession& session, QString programDir, QWidget* parent = nullptr);

    // Shows `file` (a path or a file:// address) and brings the window up. Over a modal dialog the
    // window is made modal itself, so that it can be used.
    void ShowPage(const QString& file);
    // "Sommaire": the current home page.
    void ShowHome();

    QString AdresseAide() const { return m_adresse; }

private:
    const TestSession& m_session;
    QString m_programDir;
    QString m_adresse;  // AdresseAide
    QPushButton* m_back = nullptr;
    QPushButton* m_forward = nullptr;
    QTextBrowser* WebBrowserAide = nullptr;
};

}  // namespace frontlys::ui
