#pragma once
// A menu item under its documented object name (the tests find it by that name), wired to its
// handler, or shown disabled when it has none.

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace frontlys::ui {

template <class Form>
QAction* AddNamedAction(QMenu* menu,
                        Form* form,
                        const char* name,
                        const QString& caption,
                        void (Form::*handler)(),
                        const QKeySequence& shortcut = {})
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    if (handler)
        QObject::connect(action, &QAction::triggered, form, handler);
    else
        action->setEnabled(false);
    return action;
}

}  // namespace frontlys::ui
