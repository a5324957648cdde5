#pragma once
// What a command of the main window reports to its driver instead of showing anything: which image
// windows to show or redraw, which to release, whether the information window is refreshed, and
// the message the user must see. A command whose inputs are missing does nothing and returns an
// outcome with `ran` false (the program's silent return).

#include <optional>
#include <string>
#include <vector>

#include "core/image_rec.h"
#include "core/status.h"

namespace frontlys {

// The program's own texts.
inline constexpr const char* kImageNotFoundMessage = "L'image est introuvable";
inline constexpr const char* kSizesDifferMessage = "Les deux images n'ont pas les mêmes dimensions";
inline constexpr const char* kNoThresholdMessage = "Impossible de déterminer le seuil";
inline constexpr const char* kEnterParamsMessage = "Vous devez saisir les parametres du test.";

enum class MessageStyle {
    Box,     // a message box: title "Frontlys", exclamation icon, OK
    Window,  // the main window's red message window ("Message", button "Fermer")
};

struct Message {
    std::string text;
    MessageStyle style = MessageStyle::Box;
};

struct CommandOutcome {
    bool ran = false;                 // false: inputs missing, nothing changed
    std::vector<ImageKind> shown;     // windows to create if needed, then show or redraw, in order
    std::vector<ImageKind> released;  // windows to release (their records are gone or replaced)
    std::vector<ImageKind> outlined;  // windows whose pupil was just found: its outline is shown
    std::vector<ImageKind> opened;    // images read from their file (shown afresh)
    bool refreshInfos = false;
    std::optional<Message> message;  // to show to the user
    Status status;                   // a refusal's technical reason (Ok when the command went through)

    bool failed() const { return !status.ok(); }
    // Appends the effects of a command run after this one.
    void Merge(CommandOutcome next);
};

// A refusal: the message shown to the user, the reason for the command-line tool and the tests.
CommandOutcome Refused(StatusCode code, std::string message, std::string reason, MessageStyle style);

}  // namespace frontlys
