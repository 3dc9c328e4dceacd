#pragma once
// Failures the program cannot continue from: a message box naming what could not be made, with
// the caption "Fatal error, program will now exit.", after which the program ends with status 1.

#include <QWidget>
#include <functional>
#include <string_view>

namespace pelorus {

// Reports a fatal failure to the user; `text` names the window that could not be made.
using FatalReporter = std::function<void(std::string_view text)>;

// The message box without owner: `text`, caption kFatalCaption, the error icon, one OK button.
void ShowFatalMessage(std::string_view text);

// True when `window` (shown) has a native window on the platform.
bool WindowWasMade(const QWidget& window);

}  // namespace pelorus
