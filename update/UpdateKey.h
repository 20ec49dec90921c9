#pragma once
// Where the program finds what it trusts updates by: the minisign public key that ships with it,
// and its own release version.
#include "update/Minisign.h"

#include <QString>
#include <optional>

inline const QString kUpdateKeyFileName = QStringLiteral("zettelwerk-update.pub");

struct TUpdateKeyLookup {
    std::optional<TMinisignPublicKey> Key;
    QString Origin; // the file it was read from, "built in", or empty when none was found
    QString Error;  // a key file that exists but cannot be used
};

// zettelwerk-update.pub beside the executable, else in the installed data directory
// (<exe dir>/../share/zettelwerk/), else the key built in with ZW_UPDATE_PUBLIC_KEY.
// A key file that exists but is malformed is not passed over: the lookup ends with its error.
TUpdateKeyLookup FindUpdatePublicKey(const QString& exeDirectory);

// The key built in at configure time; nullopt when none.
std::optional<TMinisignPublicKey> BuiltInUpdatePublicKey();

// The running executable's file version from its version block; the build's version when the
// executable carries none.
QString RunningProgramVersion();
