#pragma once
// The hourglass of the long commands, restored when the scope ends, whatever path it ends by.

#include <QApplication>
#include <QCursor>

namespace frontlys::ui {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace frontlys::ui
