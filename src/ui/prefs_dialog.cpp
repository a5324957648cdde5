#include "ui/prefs_dialog.h"

#include <utility>

namespace frontlys::ui {

TPrefs::TPrefs(Platform& platform, TestSession& session, HelpFn openHelp, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_session(session), m_openHelp(std::move(openHelp))
{
    setObjectName(QStringLiteral("Prefs"));
    setWindowTitle(QStringLiteral("Préférences"));
}

bool TPrefs::Execute() { return m_platform.runModal(*this) == QDialog::Accepted; }

}  // namespace frontlys::ui
