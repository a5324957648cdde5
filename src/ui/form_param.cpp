#include "ui/form_param.h"

namespace frontlys::ui {

TFormParam::TFormParam(Platform& platform, TestSession& session, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_session(session)
{
    setObjectName(QStringLiteral("FormParam"));
    setWindowTitle(QStringLiteral("Paramètres du test"));
}

bool TFormParam::FormShow()
{
    m_saved = m_session.Params;
    const bool accepted = m_platform.runModal(*this) == QDialog::Accepted;
    if (!accepted) m_session.Params = m_saved;
    return accepted;
}

}  // namespace frontlys::ui
