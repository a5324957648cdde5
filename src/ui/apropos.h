#pragma once
// "A propos...": the product name and version.

#include <QDialog>

#include "ui/platform.h"

namespace frontlys::ui {

// The version of this build, e.g. "2.2".
QString FrontlysVersion();

class Tapropos final : public QDialog {
    Q_OBJECT

public:
    Tapropos(Platform& platform, QWidget* parent = nullptr);
    // Shows the box modally.
    void Execute();

private:
    Platform& m_platform;
};

}  // namespace frontlys::ui
