#pragma once
// Version numbers of the update control file and of local files, and the rule that decides
// whether a file announced by the control file is newer than the local one.
#include "update/UpdateTypes.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// A version as two 32-bit numbers: major * 65536 + minor, release * 65536 + build.
struct TFileVersion {
    qint32 MS = 0;
    qint32 LS = 0;
    bool operator==(const TFileVersion&) const = default;
};

// "1", "1.2", "1.2.3", "1.2.3.4" (or with commas when the text contains one); each part kept
// modulo 65536. nullopt when the text is no version (a non-number single part, or five parts).
std::optional<TFileVersion> ParseVersionText(const QString& text);

// The four numbers joined by ".": "1.2.0.0".
QString VersionToText(const TFileVersion& version);

// File version of the version block of a local file; nullopt without one.
std::optional<TFileVersion> ReadFileVersion(const QString& fileName);

struct TUpdateRules;

// The newness rule for one announced file. NewCheckSum -1 and NewSize 0 mean "not given".
// NormNewVersion/NormLocalVersion receive the normalised version texts when the version
// comparison is reached. May throw EIntOverflow (byte-sum checksum).
bool IsFileNewer(const TUpdateRules& rules, const QString& newVersion, const QString& localFile,
                 qint32 newCheckSum, qint32 newSize, QString* normNewVersion = nullptr,
                 QString* normLocalVersion = nullptr);
