#include "ui/form_saisie_zern.h"

namespace frontlys::ui {

TFormSaisieZern::TFormSaisieZern(Platform& platform, TestSession& session, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_session(session)
{
    setObjectName(QStringLiteral("FormSaisieZern"));
    setWindowTitle(QStringLiteral("Paramètres de simulation"));
}

bool TFormSaisieZern::Execute() { return m_platform.runModal(*this) == QDialog::Accepted; }

}  // namespace frontlys::ui
