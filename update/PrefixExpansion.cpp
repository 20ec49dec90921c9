#include "update/PrefixExpansion.h"

#include "platform/SystemDirectories.h"

#include <QDir>

namespace {
// A replacement that contains its own prefix would expand without end.
constexpr int MaxReplacements = 256;
} // namespace

QString ExpandPrefixes(const QString& value, const TPrefixResolver& resolve) {
    QString result = value;
    qsizetype pos = 0;
    int replacements = 0;
    while (replacements < MaxReplacements) {
        const qsizetype open = result.indexOf('{', pos);
        if (open < 0)
            break;
        const qsizetype close = result.indexOf('}', open + 1);
        if (close < 0)
            break;
        const QString name = result.mid(open + 1, close - open - 1).toUpper();
        const std::optional<QString> replacement = resolve ? resolve(name) : std::nullopt;
        if (!replacement) {
            pos = open + 1;
            continue;
        }
        result.replace(open, close - open + 1, *replacement);
        pos = open;
        ++replacements;
    }
    return result;
}

QString FormatPrefixDirectory(const QString& directory) {
    const QChar sep = directory.contains('\\') && !directory.contains('/') ? QChar('\\') : QChar('/');
    QString d = directory;
    while (d.size() > 1 && (d.endsWith('/') || d.endsWith('\\')))
        d.chop(1);
    const bool root = d == "/" || d == "\\" || (d.size() == 2 && d[1] == ':');
    if (root) {
        if (!d.endsWith('/') && !d.endsWith('\\'))
            d += sep;
        return d + '.';
    }
    if (d.size() < 2 || d[1] != ':')
        return d + sep + '.';
    return d;
}

std::optional<QString> StandardPrefix(const QString& name) {
    const QString n = name.toUpper();
    if (n == "WIN")
        return FormatPrefixDirectory(WindowsDirectory());
    if (n == "SYS")
        return FormatPrefixDirectory(SystemDirectory());
    if (n == "APP")
        return FormatPrefixDirectory(QDir::currentPath());
    if (n == "TMP")
        return FormatPrefixDirectory(QDir::tempPath());
    if (n == "PF")
        return FormatPrefixDirectory(ProgramFilesDirectory());
    return std::nullopt;
}
