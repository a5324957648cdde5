#include "ui/reader_labels.h"

#include <QLabel>
#include <QWidget>

namespace frontlys::ui {

QLabel* Caption(const QString& text, QWidget* field)
{
    QWidget* parent = field->parentWidget();
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    if (parent) label->stackUnder(field);  // read just before the field
    return label;
}

void NameForReader(QWidget* field, const QString& name)
{
    field->setAccessibleName(name);
    if (!field->parentWidget()) return;
    QLabel* caption = Caption(name, field);
    caption->setObjectName(field->objectName() + QStringLiteral("_reader"));
    caption->hide();
}

}  // namespace frontlys::ui
