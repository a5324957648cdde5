#pragma once
// The red message window "Message" with its "Fermer" button, and the program's table of messages.

#include <QDialog>

class QLabel;

namespace frontlys::ui {

class Platform;

// The eight messages, in the order of the table.
QString MessageText(int index);

class Tmess final : public QDialog {
    Q_OBJECT
public:
    explicit Tmess(QWidget* parent = nullptr);
    // Sets the text and shows the window modally through the platform.
    void ShowMessage(Platform& platform, const QString& text);
    QString text() const;

private:
    QLabel* m_label;
};

}  // namespace frontlys::ui
