#pragma once

#include <QByteArray>

// The page in progress: set by an address codeword, filled by message
// codewords, finished by FlushPage.
struct PageState {
    QByteArray gAddress;     // RIC of the last address codeword, seven digits
    QByteArray gFunction;    // its function letter, "A" to "D"
    QByteArray gPageHeader;  // gAddress & " " & gFunction & " "; empty when no page is open
    QByteArray gMessageText; // 7-bit text collected so far
    QByteArray gMessageType; // "A", "N" or "T" of the last page flushed
};
