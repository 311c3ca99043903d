#pragma once

#include <QString>

class System;

// The warning report of every routine that catches an error.
class ErrorCodes {
public:
    explicit ErrorCodes(System& system);

    void ShowWarning(int errorNumber, const QString& platformText, int socket);

private:
    System& sys_;
};
