#pragma once
// How a screen reader learns what a control is: the platform bridge names an edit or a spin box by
// the label whose buddy it is, a combo box only by that relation (its name is its current item),
// and a control with no such label by the title of the group around it. Both helpers give the
// relation, and keep the label just before the control in the order the reader walks.

#include <QString>

class QComboBox;
class QLabel;
class QWidget;

namespace frontlys::ui {

// A visible caption naming `field`. Created beside the field when it has a parent already, else
// left for the layout to place before the field.
QLabel* Caption(const QString& text, QWidget* field);

// A name heard but not seen, for a control whose caption is the control beside it (the information
// window's selector boxes) or the tool bar's zoom: a hidden caption and the accessible name.
void NameForReader(QWidget* field, const QString& name);

}  // namespace frontlys::ui
