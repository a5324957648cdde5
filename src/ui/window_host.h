#pragma once
// What the image and information windows need of the window that owns the test: the session, the
// platform services, the display state the renderings share, and the image windows by kind. The
// main window implements it; the windows ask for commands through their signals, so they see
// neither its menus nor its handlers.

#include <QPoint>
#include <QWidget>

#include "analysis/commands.h"
#include "analysis/test_session.h"
#include "display/render.h"
#include "ui/platform.h"

namespace frontlys::ui {

class TFormImage;

class WindowHost {
public:
    virtual TestSession& session() = 0;
    virtual Platform& platform() = 0;
    virtual CurrentDisplay& display() = 0;
    // The session's record a window of this kind shows (for the PSF, the aberration-free one when
    // theoretical).
    virtual TImageRec* RecordOf(ImageKind kind, bool theoretical) = 0;
    virtual TFormImage* form(ImageKind kind) const = 0;
    virtual TFormImage* formCourante() const = 0;
    virtual void ShowMessage(const Message& message) = 0;
    // Where a new window of its own size covers none of the others and stays on the screen, the
    // preferred spot when it is free.
    virtual QPoint FreeSpot(const QWidget& window, QPoint preferred) const = 0;

protected:
    ~WindowHost() = default;
};

}  // namespace frontlys::ui
