#include "store/DatabaseBackup.h"

#include "store/fb/FbError.h"
#include "store/fb/FbService.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void RemoveQuietly(const QString& path) {
    QFile::remove(path);
}

// Moves from over to in one step (the target is replaced, never half written).
void ReplaceFile(const QString& from, const QString& to) {
    if (std::rename(Native(from).c_str(), Native(to).c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        RemoveQuietly(from);
        throw fb::Error("Die Datei \"" + Native(to) + "\" kann nicht ersetzt werden\n" + reason);
    }
}

} // namespace

QString BackupTempFile(const QString& backupFile) {
    return backupFile + QStringLiteral(".neu");
}

QString RestoreTempFile(const QString& database) {
    return database + QStringLiteral(".restore");
}

void BackupDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& database,
                        const QString& backupFile, const std::function<void()>& idle) {
    const QString temp = BackupTempFile(backupFile);
    RemoveQuietly(temp);
    service.Attach(credentials.user.toStdString(), credentials.password.toStdString());
    try {
        service.StartBackup(Native(database), Native(temp));
        service.WaitUntilFinished(idle);
    } catch (...) {
        RemoveQuietly(temp);
        throw;
    }
    if (QFileInfo(temp).size() <= 0) {
        RemoveQuietly(temp);
        throw fb::Error("Das Backup \"" + Native(backupFile) + "\" wurde nicht geschrieben");
    }
    ReplaceFile(temp, backupFile);
}

void RestoreDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& backupFile,
                         const QString& database, const std::function<void()>& idle,
                         const std::function<void()>& beforeReplace) {
    const QString temp = RestoreTempFile(database);
    RemoveQuietly(temp);
    const std::string user = credentials.user.toStdString();
    const std::string password = credentials.password.toStdString();
    service.Attach(user, password);
    try {
        service.StartRestore(Native(backupFile), Native(temp), kRestorePageSize, true);
        service.WaitUntilFinished(idle);
        // A restore that stopped early (a cut-off backup) may end without an error but
        // leaves the new file shut down.
        if (!QFileInfo::exists(temp) || fb::DatabaseShutdownMode(Native(temp), user, password) != 0)
            throw fb::Error("Das Backup \"" + Native(backupFile) +
                            "\" ist unvollständig oder beschädigt; die Datenbank bleibt unverändert");
    } catch (...) {
        RemoveQuietly(temp);
        throw;
    }
    if (QFileInfo::exists(database))
        QFile::setPermissions(temp, QFile::permissions(database));
    if (beforeReplace)
        beforeReplace();
    ReplaceFile(temp, database);
}
