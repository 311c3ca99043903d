#pragma once

#include <QString>

// Conversions of setting texts to the values they stand for.

// The whole number at the start of a setting's text ("24", " 1000000", "12 h"):
// leading blanks and a sign are read, reading stops at the first other
// character, and a text without digits is 0. Values are clamped to 32 bits.
qint32 WholeNumber(const QString& text);
// The same, clamped to 64 bits: for counters that must never wrap round.
qint64 WholeNumber64(const QString& text);

// The Boolean a setting's text stands for: "True" (any letter case) or a
// non-zero number. Anything else, an unreadable word too, is False, so a
// mistyped setting cannot stop the relay from starting.
bool BooleanValue(const QString& text);

// The word a Boolean setting is written as.
inline QString BooleanWord(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// A whole number written as a whole number and nothing else (blanks around it
// allowed); raises platform::Error otherwise.
qint32 LongValue(const QString& text);

// A port as the relay listens on or connects to: a whole number without
// blanks around it ("6001 " would be read as 6001 by the socket but as
// another port by the port check), and not 0, which would listen on a port
// the system picks at random. Raises platform::Error otherwise. Numbers
// beyond 65535 are the socket's to refuse.
qint32 PortValue(const QString& text);

// Why a connection table's Port cannot be committed: "" for a whole number
// from 1 to 65535 written in digits alone (no blank, no sign), else the reason.
QString PortProblem(const QString& text);

// FeedSilenceSeconds: how long a connected carrier may send no frames before
// it is reported quiet. A whole number of seconds from 0 (never reported) to
// a day; an empty or any other text is the default, 120.
constexpr qint32 kDefaultFeedSilenceSeconds = 120;
constexpr qint32 kLongestFeedSilenceSeconds = 24 * 60 * 60;
qint32 FeedSilenceSeconds(const QString& text);

// HistoryDays: how many days relayed pages, their trail and the audit stay in
// history.mdb. A whole number of days from 0 (the archive is off: nothing is
// written, nothing deleted) to 100 years; an empty or any other text is the
// default, 90.
constexpr qint32 kDefaultHistoryDays = 90;
constexpr qint32 kLongestHistoryDays = 36500;
qint32 HistoryDays(const QString& text);
