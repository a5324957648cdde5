#include "ui/form_mess.h"

#include <array>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/language.h"
#include "ui/platform.h"

namespace frontlys::ui {

QString MessageText(int index)
{
    static const std::array<const char*, 8> texts = {
        QT_TRANSLATE_NOOP("Tmess", "L'image est introuvable"),
        QT_TRANSLATE_NOOP("Tmess", "L'image extrafocale est introuvable"),
        QT_TRANSLATE_NOOP("Tmess", "Saisir tous les paramètres obligatoires"),
        QT_TRANSLATE_NOOP("Tmess", "L'image n'a pas les dimensions correctes"),
        QT_TRANSLATE_NOOP("Tmess", "L'image extrafocale n'a pas les dimensions correctes"),
        QT_TRANSLATE_NOOP("Tmess", "Calculer d'abord le front d'onde"),
        QT_TRANSLATE_NOOP("Tmess", "Les deux images n'ont pas les mêmes dimensions"),
        QT_TRANSLATE_NOOP("Tmess", "Impossible de déterminer le seuil"),
    };
    if (index < 0 || index >= static_cast<int>(texts.size())) return {};
    return QCoreApplication::translate("Tmess", texts[static_cast<std::size_t>(index)]);
}

Tmess::Tmess(QWidget* parent) : QDialog(parent), m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("mess"));
    setWindowTitle(tr("Message"));
    setModal(true);
    resize(483, 152);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setStyleSheet(QStringLiteral("color: red;"));
    QFont font = m_label->font();
    font.setPixelSize(15);
    m_label->setFont(font);
    auto* close = new QPushButton(tr("Fermer"), this);
    close->setObjectName(QStringLiteral("Button1"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label, 1);
    layout->addWidget(close, 0, Qt::AlignCenter);
}

void Tmess::ShowMessage(Platform& platform, const QString& text)
{
    m_label->setText(Displayed(text));
    platform.runModal(*this);
}

QString Tmess::text() const { return m_label->text(); }

}  // namespace frontlys::ui
