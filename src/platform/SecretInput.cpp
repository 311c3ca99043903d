#include "platform/SecretInput.h"

#include <QByteArray>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

// Turns the terminal's echo off for its lifetime, and back on however the
// read ends.
class EchoOff {
public:
    EchoOff() {
        if (::tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        restore_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (restore_)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios saved_{};
    bool restore_ = false;
};

std::optional<QByteArray> ReadLine() {
    QByteArray line;
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (c == EOF && line.isEmpty())
        return std::nullopt;
    // A line typed or saved on Windows ends in CR LF; the CR is not part of it.
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

bool InputIsTerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}

std::optional<QString> ReadSecretLine(const QString& prompt) {
    std::optional<QByteArray> line;
    if (InputIsTerminal()) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        const EchoOff quiet;
        line = ReadLine();
    } else {
        line = ReadLine();
    }
    if (!line)
        return std::nullopt;
    return QString::fromUtf8(*line);
}

} // namespace platform
