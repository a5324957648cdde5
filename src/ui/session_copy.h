#pragma once
// The copy of the test a long command works on while the window keeps showing the original.
// The frames as read are the one large part of a session (192 MB each for a 6000 x 4000 frame), so
// they are never copied: a command that reads them borrows them for its run and gives them back.

#include "analysis/test_session.h"

namespace frontlys::ui {

// Every record, coefficient, parameter and preference copied; the frames left empty.
TestSession CopyWithoutFrames(const TestSession& session);

// The frames moved from one session to the other (the source's left empty).
void MoveFrames(TestSession& from, TestSession& to);
// After an opening: each frame the command did not read is taken from the session before it.
void KeepUnreadFrames(TestSession& before, TestSession& after);

}  // namespace frontlys::ui
