#include "ui/apropos.h"

namespace frontlys::ui {

QString FrontlysVersion() { return QStringLiteral("0.1"); }

Tapropos::Tapropos(Platform& platform, QWidget* parent) : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("apropos"));
    setWindowTitle(QStringLiteral("A propos de Frontlys"));
}

void Tapropos::Execute() { m_platform.runModal(*this); }

}  // namespace frontlys::ui
