#pragma once
// Start-up of the sound system: the texts it may show and the order it runs in.
#include <string>

#include "shell/ui_language.h"

namespace jov {

class Shell;

// String resources 500-503 in the given language; "" for any other id.
std::string StringResource(int id, UiLanguage language);

// What start-up needs from the window side. Tests record the calls.
class AudioSetupHooks {
public:
    virtual ~AudioSetupHooks() = default;
    // A modal critical-error box with an OK button; returns once it is dismissed.
    virtual void ShowCriticalMessage(const std::string& text) = 0;
    // Sets up the notes window's drawing surface (runs between the root and the sound).
    virtual void InitDirectDraw() {}
};

}  // namespace jov
