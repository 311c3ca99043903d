#pragma once

#include <QString>
#include <stdexcept>

namespace platform {

// Raised by every platform operation that fails; carries the engine's or the
// operating system's own text, which callers pass on to the warning report.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

} // namespace platform
