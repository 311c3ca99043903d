#pragma once

#include <QString>
#include <optional>

namespace platform {

// True when standard input is a terminal (someone typing), not a pipe or a file.
bool InputIsTerminal();

// One line of standard input without its line end, or nothing at the end of
// the input. On a terminal PROMPT is shown on standard error and what is typed
// is not echoed, so that a password never appears on the screen.
std::optional<QString> ReadSecretLine(const QString& prompt);

} // namespace platform
