#include "update/unpack/Unpacking.h"

#include "platform/Unpacker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The entry's path below the target directory, or empty when it would leave it.
QString SafeInnerPath(const QString& stored) {
    QString p = stored;
    p.replace('\\', '/');
    if (p.isEmpty() || p.startsWith('/') || (p.size() >= 2 && p[1] == ':'))
        return QString();
    QStringList parts;
    for (const QString& part : p.split('/', Qt::SkipEmptyParts)) {
        if (part == "..")
            return QString();
        if (part != ".")
            parts << part;
    }
    if (parts.isEmpty() || p.endsWith('/'))
        return QString();
    return parts.join('/');
}

// True when some existing part of root/inner is a link (which might lead elsewhere).
bool PassesLink(const QString& root, const QString& inner) {
    QString path = root;
    for (const QString& part : inner.split('/')) {
        path = QDir(path).filePath(part);
        if (QFileInfo(path).isSymLink())
            return true;
    }
    return false;
}

bool IsInside(const QString& path, const QString& root) {
    const QString p = QDir(path).canonicalPath(), r = QDir(root).canonicalPath();
    if (p.isEmpty() || r.isEmpty())
        return false;
    return p == r || p.startsWith(r.endsWith('/') ? r : r + '/');
}

} // namespace

int ExtractCabinet(const QString& cabinetPath, const QString& targetDir) {
    QFile probe(cabinetPath);
    if (!probe.open(QIODevice::ReadOnly))
        return -1;
    probe.close();
    std::unique_ptr<TCabinet> cab = Unpacker().OpenCabinet(cabinetPath);
    if (!cab)
        return -1;

    const QString root = targetDir.isEmpty() ? QDir::currentPath() : targetDir;
    const QList<TCabinetEntry> entries = cab->Entries();
    QStringList inner;
    for (const TCabinetEntry& e : entries) {
        const QString p = SafeInnerPath(e.Name);
        if (p.isEmpty() || PassesLink(root, p))
            return -1; // nothing written: the whole cabinet is refused
        inner << p;
    }
    if (!MakeDirectoryPath(root))
        return -1;
    for (int i = 0; i < entries.size(); ++i) {
        const QString target = QDir(root).filePath(inner[i]);
        const QString dir = QFileInfo(target).absolutePath();
        if (!MakeDirectoryPath(dir) || !IsInside(dir, root))
            return -1;
        if (!cab->Extract(i, target))
            return -1;
        QFile out(target);
        if (entries[i].Time.isValid() && out.open(QIODevice::ReadWrite))
            out.setFileTime(entries[i].Time, QFileDevice::FileModificationTime);
    }
    return 0;
}

QString LzExpandedName(const QString& compressedPath) {
    const std::optional<char> missing = Unpacker().SzddMissingChar(compressedPath);
    if (!missing)
        return QString();
    const QFileInfo info(compressedPath);
    QString name = info.fileName();
    if (*missing != '\0' && !name.isEmpty())
        name[name.size() - 1] = QChar::fromLatin1(*missing);
    else if (name.endsWith('_'))
        name.chop(1);
    return info.dir().filePath(name);
}

bool LzExpandFile(const QString& compressedPath) {
    const QString expanded = LzExpandedName(compressedPath);
    if (expanded.isEmpty())
        return false;
    // Expand beside the target first, so that a failure leaves an existing file as it was.
    const QString part = expanded + ".lzpart";
    QFile::remove(part);
    if (!Unpacker().ExpandSzdd(compressedPath, part)) {
        QFile::remove(part);
        return false;
    }
    if (QFileInfo::exists(expanded) || QFileInfo(expanded).isSymLink()) {
        if (!QFile::remove(expanded)) {
            QFile(expanded).setPermissions(QFile(expanded).permissions() | QFileDevice::WriteOwner);
            if (!QFile::remove(expanded)) {
                QFile::remove(part);
                return false;
            }
        }
    }
    if (!QFile::rename(part, expanded)) {
        QFile::remove(part);
        return false;
    }
    if (QFileInfo(compressedPath).absoluteFilePath() != QFileInfo(expanded).absoluteFilePath())
        QFile::remove(compressedPath);
    return true;
}

bool MakeDirectoryPath(const QString& directory) {
    QString d = directory;
    while (d.size() > 1 && (d.endsWith('/') || d.endsWith('\\')))
        d.chop(1);
    if (d.isEmpty())
        return true;
    const QFileInfo info(d);
    if (info.exists())
        return info.isDir();
    const QString parent = info.absolutePath() == info.absoluteFilePath() ? QString() : info.absolutePath();
    if (!parent.isEmpty() && !MakeDirectoryPath(parent))
        return false;
    return QDir().mkdir(d) || QFileInfo(d).isDir();
}
