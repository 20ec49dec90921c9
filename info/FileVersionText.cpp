#include "info/FileVersionText.h"

#include "platform/VersionInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <dlfcn.h>
#include <link.h>

QString FourPartVersion(const QString& dotted) {
    const QStringList parts = dotted.split(u'.');
    if (dotted.isEmpty())
        return {};
    QStringList numbers;
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok);
        if (!ok || value > 0xFFFF)
            return {};
        numbers << QString::number(value);
    }
    while (numbers.size() < 4)
        numbers << QStringLiteral("0");
    return numbers.mid(0, 4).join(u'.');
}

QString VersionFromLibraryFileName(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype at = name.indexOf(QLatin1String(".so."));
    return at < 0 ? QString() : FourPartVersion(name.mid(at + 4));
}

QString FindLibraryFile(const QString& name) {
    if (name.isEmpty())
        return {};
    if (name.contains(u'/'))
        return QFileInfo(name).isFile() ? QFileInfo(name).absoluteFilePath() : QString();
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (QFileInfo(beside).isFile())
        return beside;
    const QByteArray bare = QFile::encodeName(name);
    // A library already in the process is found without loading anything.
    void* handle = dlopen(bare.constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        handle = dlopen(bare.constData(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle)
        return {};
    QString path;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name)
        path = QFile::decodeName(map->l_name);
    dlclose(handle);
    return path;
}

QString GetFileVersionText(const QString& file) {
    const QString noVersion = QString::fromLatin1(kNoVersionInfo);
    const QString path = FindLibraryFile(file);
    if (path.isEmpty())
        return noVersion;
    if (const auto resource = ReadVersionResource(path))
        return resource->fileVersion.Text();
    const QString fromName = VersionFromLibraryFileName(QFileInfo(path).canonicalFilePath());
    return fromName.isEmpty() ? noVersion : fromName;
}
