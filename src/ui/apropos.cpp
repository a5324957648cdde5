#include "ui/apropos.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace frontlys::ui {

QString FrontlysVersion() { return QStringLiteral(FRONTLYS_VERSION); }

Tapropos::Tapropos(Platform& platform, QWidget* parent) : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("apropos"));
    setWindowTitle(tr("A propos de Frontlys"));
    auto* name = new QLabel(QStringLiteral("<h2>Frontlys</h2>"));
    name->setObjectName(QStringLiteral("LabelProduit"));
    auto* version = new QLabel(tr("Version %1").arg(FrontlysVersion()));
    version->setObjectName(QStringLiteral("LabelVersion"));
    auto* about =
        new QLabel(tr("Mesure de la qualité optique d'un télescope à partir de deux images défocalisées "
                      "d'une étoile (analyse de courbure du front d'onde)."));
    about->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    for (QLabel* label : {name, version, about}) {
        label->setAlignment(Qt::AlignHCenter);
        layout->addWidget(label);
    }
    layout->addWidget(buttons);
    setFixedWidth(360);
}

void Tapropos::Execute() { m_platform.runModal(*this); }

}  // namespace frontlys::ui
