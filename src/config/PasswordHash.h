#pragma once

#include <QString>

// The form in which the web console's passwords are kept: salted PBKDF2 over
// SHA-256, so that a copy of Ombrixsys.mdb does not give the passwords away.

namespace config {

// Rounds of PBKDF2 for a new hash; a stored hash says its own count.
constexpr int kPasswordIterations = 100000;

// "pbkdf2-sha256$<iterations>$<salt base64>$<key base64>": a fresh random salt
// for every hash, so two accounts with one password have different texts.
QString HashPassword(const QString& password);

// True when PASSWORD derives the key of STORED. A stored text that is not
// such a hash (garbled, cut short, with an absurd count of rounds) never
// matches. The keys are compared in constant time.
bool PasswordMatches(const QString& password, const QString& stored);

// A password for a new account: letters and digits that cannot be mistaken
// for one another when read off a screen or a sheet of paper.
QString RandomPassword();

} // namespace config
