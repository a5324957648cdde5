#include "ui/form_aide.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace frontlys::ui {

QString HelpHomePage(const Tpreferences& prefs, const QString& programDir)
{
    if (!prefs.Aide.empty()) return QString::fromStdString(prefs.Aide);
    return QDir(programDir).filePath(QStringLiteral("help/index.htm"));
}

QString HelpPageBeside(const QString& homePage, const QString& page)
{
    return QFileInfo(homePage).dir().filePath(page);
}

TFormAide::TFormAide(const TestSession& session, QString programDir, QWidget* parent)
    : QWidget(parent, Qt::Window), m_session(session), m_programDir(std::move(programDir))
{
    setObjectName(QStringLiteral("FormAide"));
    setWindowTitle(QStringLiteral("Aide de Frontlys"));
}

void TFormAide::ShowPage(const QString& file)
{
    m_adresse = file;
    show();
    raise();
}

void TFormAide::ShowHome() { ShowPage(HelpHomePage(m_session.Prefs, m_programDir)); }

void TFormAide::UpdateButtons() {}

}  // namespace frontlys::ui
