#include "update/VersionRules.h"

#include "platform/VersionInfo.h"
#include "update/Checksum.h"
#include "update/ControlFile.h"

namespace {

std::optional<quint32> ParseDecimalPart(const QString& part) {
    bool ok = false;
    const qint32 v = part.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return quint32(v) & 0xFFFFu;
}

} // namespace

std::optional<TFileVersion> ParseVersionText(const QString& text) {
    const QChar sep = text.contains(',') ? QChar(',') : QChar('.');
    // Three separators at most: anything after the third belongs to the fourth part.
    QStringList parts;
    qsizetype start = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype at = text.indexOf(sep, start);
        if (at < 0)
            break;
        parts << text.mid(start, at - start);
        start = at + 1;
    }
    parts << text.mid(start);

    quint32 n[4] = {0, 0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        const std::optional<quint32> v = ParseDecimalPart(parts[i]);
        if (!v) {
            if (parts.size() == 1 || i == 3)
                return std::nullopt;
            continue;
        }
        n[i] = *v;
    }
    return TFileVersion{qint32((n[0] << 16) | n[1]), qint32((n[2] << 16) | n[3])};
}

QString VersionToText(const TFileVersion& v) {
    const quint32 ms = quint32(v.MS), ls = quint32(v.LS);
    return QStringLiteral("%1.%2.%3.%4").arg(ms >> 16).arg(ms & 0xFFFF).arg(ls >> 16).arg(ls & 0xFFFF);
}

std::optional<TFileVersion> ReadFileVersion(const QString& fileName) {
    if (fileName.isEmpty())
        return std::nullopt;
    const std::optional<TVersionResource> res = ReadVersionResource(fileName);
    if (!res)
        return std::nullopt;
    const TFixedVersion& f = res->fileVersion;
    return TFileVersion{qint32((quint32(f.major) << 16) | f.minor),
                        qint32((quint32(f.release) << 16) | f.build)};
}

bool IsFileNewer(const TUpdateRules& rules, const QString& newVersion, const QString& localFile,
                 qint32 newCheckSum, qint32 newSize, QString* normNewVersion, QString* normLocalVersion) {
    if (newVersion.isEmpty() && newSize == 0 && newCheckSum == -1)
        return true;
    if (localFile.isEmpty() && rules.VersionCheck == vcUpdateOnly)
        return true;

    if (newCheckSum != -1) {
        const qint32 local = FileChecksum(localFile, rules.UseCRC32);
        if (rules.Report)
            rules.Report(933, QString(), 3, 0);
        return local != newCheckSum;
    }

    if (newSize > 0) {
        const qint64 local = LocalFileSize(localFile);
        if (local == newSize)
            return false;
        if (local > 0)
            return true;
        return rules.VersionCheck == vcAlways;
    }

    const std::optional<TFileVersion> newer = ParseVersionText(newVersion);
    if (!newer)
        return false;
    std::optional<TFileVersion> local = ReadFileVersion(localFile);
    if (!local) {
        if (rules.VersionCheck == vcUpdateOnly)
            return false;
        local = TFileVersion{-1, -1};
    }
    if (normNewVersion)
        *normNewVersion = VersionToText(*newer);
    if (normLocalVersion)
        *normLocalVersion = VersionToText(*local);
    return newer->MS > local->MS || (newer->MS == local->MS && newer->LS > local->LS);
}
