#include "update/UpdateKey.h"

#include "platform/VersionInfo.h"
#include "update/TUpdateEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

std::optional<TMinisignPublicKey> BuiltInUpdatePublicKey() {
    const QByteArray line(ZW_UPDATE_PUBLIC_KEY);
    if (line.isEmpty())
        return std::nullopt;
    return ParseMinisignPublicKey(line);
}

TUpdateKeyLookup FindUpdatePublicKey(const QString& exeDirectory) {
    TUpdateKeyLookup r;
    const QDir exe(exeDirectory);
    const QStringList candidates = {
        exe.filePath(kUpdateKeyFileName),
        QDir::cleanPath(exe.filePath("../share/zettelwerk/" + kUpdateKeyFileName))};
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        r.Origin = path;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            r.Error = f.errorString();
            return r;
        }
        QString why;
        r.Key = ParseMinisignPublicKey(f.read(kMaxMinisignFileSize + 1), &why);
        if (!r.Key)
            r.Error = why;
        return r;
    }
    if ((r.Key = BuiltInUpdatePublicKey()))
        r.Origin = QStringLiteral("built in");
    return r;
}

QString RunningProgramVersion() {
    if (const std::optional<TVersionResource> own = ReadOwnVersionResource())
        return own->fileVersion.Text();
    return TUpdateEngine::Version();
}
