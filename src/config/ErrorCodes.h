#pragma once

#include <QString>

class System;

// The warning report of every routine that catches an error: the text of the
// error site's row of ErrorCodes, shown in the window's warning box, and the
// platform's text in the error log.
class ErrorCodes {
public:
    explicit ErrorCodes(System& system);

    void ShowWarning(int errorNumber, const QString& platformText, int socket);

    // The report's text, without the date-time the box puts in front of it.
    static QString Report(int errorNumber, const QString& socketText, const QString* function,
                          const QString* description, const QString& platformText);

private:
    System& sys_;
};
