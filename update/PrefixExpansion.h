#pragma once
// Prefixes in braces in paths and URLs of the update control file: {WIN} {SYS} {APP} {TMP} {PF}.
#include <QString>
#include <functional>
#include <optional>

// Looks up one prefix name (upper case); nullopt for an unknown name.
using TPrefixResolver = std::function<std::optional<QString>(const QString& name)>;

// Scans from the left for "{" and the next "}" after it, replaces known names (compared in upper
// case) and goes on with the first character of the inserted text; unknown names stay unchanged.
QString ExpandPrefixes(const QString& value, const TPrefixResolver& resolve);

// A replacement directory without its trailing separator, except that a root directory, or any
// name whose second character is not ":", gets a separator followed by "." ("C:\" -> "C:\.").
QString FormatPrefixDirectory(const QString& directory);

// The standard lookup: WIN and SYS the system's directories, APP the current directory, TMP the
// user's temporary directory, PF the programs directory; each formatted as above.
std::optional<QString> StandardPrefix(const QString& name);
