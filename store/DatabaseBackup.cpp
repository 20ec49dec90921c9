#include "store/DatabaseBackup.h"

#include "store/BackupRotation.h"
#include "store/fb/FbConnection.h"
#include "store/fb/FbError.h"
#include "store/fb/FbHandles.h"
#include "store/fb/FbService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// An empty file only this account may open. The engine that writes a backup into it opens it
// again with truncation: file and mode stay, so the backup is never readable by others, not
// even while it is written (a file the engine creates itself follows the umask: 0644).
void CreatePrivateFile(const QString& path) {
    const int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        throw fb::Error("Die Datei \"" + Native(path) + "\" kann nicht angelegt werden\n" +
                        std::strerror(errno));
    ::close(fd);
}

// The finished backup takes the fixed name; the one it replaces is kept under a name with the
// time it was made, and of those only the newest stay. When the earlier one cannot be kept,
// the new one is dropped and nothing changes.
void PlaceNewBackup(const QString& finished, const QString& backupFile) {
    const QFileInfo current(backupFile);
    const QDir dir = current.dir();
    QFile::setPermissions(finished, kOwnerOnly);
    if (current.isFile()) {
        const QString kept =
            dir.filePath(DatedBackupName(current.lastModified(), dir.entryList(QDir::Files | QDir::Hidden)));
        // A second name for the same file first, so that the fixed name never goes missing.
        const bool linked = ::link(Native(backupFile).c_str(), Native(kept).c_str()) == 0;
        if (!linked && std::rename(Native(backupFile).c_str(), Native(kept).c_str()) != 0) {
            const std::string reason = std::strerror(errno);
            RemoveQuietly(finished);
            throw fb::Error("Das bisherige Backup kann nicht als \"" + Native(kept) +
                            "\" aufbewahrt werden; es bleibt unverändert\n" + reason);
        }
        // Backups of earlier versions were readable by everyone.
        QFile::setPermissions(kept, kOwnerOnly);
        try {
            ReplaceFile(finished, backupFile);
        } catch (...) {
            if (linked)
                RemoveQuietly(kept);
            else
                std::rename(Native(kept).c_str(), Native(backupFile).c_str());
            throw;
        }
    } else {
        ReplaceFile(finished, backupFile);
    }
    for (const QString& old : DatedBackupsToDrop(dir.entryList(QDir::Files | QDir::Hidden), kKeptBackups - 1))
        RemoveQuietly(dir.filePath(old));
}

fb::ConnectionText Parsed(const QString& connection) {
    return fb::ParseConnectionText(Native(connection));
}

// A failed job: a German message, the server's own text nested for the details.
template <class F> void AsJob(const std::string& failure, F&& job) {
    try {
        job();
    } catch (const fb::ConnectionError&) {
        throw; // says already what happened
    } catch (const fb::Error& e) {
        std::throw_with_nested(fb::Error(failure, e.GdsCode(), e.SqlCode(), e.Codes()));
    }
}

} // namespace

QString BackupTempFile(const QString& backupFile) {
    return backupFile + QStringLiteral(".neu");
}

QString RestoreTempFile(const QString& database) {
    const QFileInfo info(database);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".restore/") +
           info.fileName();
}

void BackupDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& database,
                        const QString& backupFile, const std::function<void()>& idle) {
    const QString temp = BackupTempFile(backupFile);
    RemoveQuietly(temp);
    CreatePrivateFile(temp);
    try {
        service.Attach(credentials.user.toStdString(), credentials.password.toStdString());
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
    PlaceNewBackup(temp, backupFile);
}

void RestoreDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& backupFile,
                         const QString& database, const std::function<void()>& idle,
                         const std::function<void()>& beforeReplace) {
    const QString temp = RestoreTempFile(database);
    // The engine makes the restored file readable by the group (0660) whatever the umask: it
    // is made in a directory that only this account may enter. A killed restore left it.
    const QString tempDirectory = QFileInfo(temp).path();
    QDir(tempDirectory).removeRecursively();
    if (::mkdir(Native(tempDirectory).c_str(), S_IRWXU) != 0)
        throw fb::Error("Das Verzeichnis \"" + Native(tempDirectory) + "\" kann nicht angelegt werden\n" +
                        std::strerror(errno));
    const struct TRemoveOnExit {
        QString directory;
        ~TRemoveOnExit() { QDir(directory).removeRecursively(); }
    } removeTemp{tempDirectory};
    const std::string user = credentials.user.toStdString();
    const std::string password = credentials.password.toStdString();
    try {
        service.Attach(user, password);
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
    QFile::setPermissions(temp, QFileInfo::exists(database) ? QFile::permissions(database) : kOwnerOnly);
    if (beforeReplace)
        beforeReplace();
    ReplaceFile(temp, database);
}

void BackupServerDatabase(fb::Service& service, const TCredentials& credentials, const QString& connection,
                          const QString& backupFile, const std::function<void()>& idle) {
    const fb::ConnectionText server = Parsed(connection);
    const QString temp = BackupTempFile(backupFile);
    RemoveQuietly(temp);
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly))
        throw fb::Error("Die Datei \"" + Native(temp) + "\" kann nicht angelegt werden\n" +
                        out.errorString().toStdString());
    try {
        AsJob("Der Server hat kein Backup geliefert; ein früheres Backup bleibt unverändert", [&] {
            service.Attach(credentials.user.toStdString(), credentials.password.toStdString(),
                           fb::ServiceManagerName(server));
            service.BackupToClient(
                server.database,
                [&](const char* data, size_t size) {
                    if (out.write(data, static_cast<qint64>(size)) != static_cast<qint64>(size))
                        throw fb::Error("Die Datei \"" + Native(temp) + "\" kann nicht geschrieben werden\n" +
                                        out.errorString().toStdString());
                },
                idle);
        });
        if (!out.flush() || out.size() <= 0)
            throw fb::Error("Das Backup \"" + Native(backupFile) + "\" wurde nicht geschrieben");
        out.close();
    } catch (...) {
        out.close();
        RemoveQuietly(temp);
        throw;
    }
    PlaceNewBackup(temp, backupFile);
}

QString DatabaseFileOnServer(const QString& connection, const TCredentials& credentials) {
    fb::Attachment db;
    db.Attach(Native(connection), credentials.user.toStdString(), credentials.password.toStdString());
    fb::Transaction tr;
    tr.Start(db, fb::Transaction::SharedTpb());
    QString name;
    {
        fb::Statement st(db);
        st.Prepare(tr, QStringLiteral("select mon$database_name from mon$database"), 3);
        st.Execute(tr);
        if (st.Fetch())
            name = st.AsString(0).trimmed();
    }
    tr.Commit();
    db.Detach();
    return name;
}

void RestoreServerDatabase(fb::Service& service, const TCredentials& credentials, const QString& backupFile,
                           const QString& connection, const std::function<void()>& idle,
                           const std::function<void()>& beforeReplace) {
    const fb::ConnectionText server = Parsed(connection);
    const std::string user = credentials.user.toStdString();
    const std::string password = credentials.password.toStdString();
    if (!QFileInfo(backupFile).isFile())
        throw fb::Error("Das Backup \"" + Native(backupFile) +
                        "\" ist nicht vorhanden; die Datenbank bleibt unverändert");

    // The trial lies beside the database on the server; an alias names no file to put it beside.
    std::string file;
    try {
        file = Native(DatabaseFileOnServer(connection, credentials));
    } catch (const fb::ConnectionError&) {
        throw;
    } catch (const fb::Error&) {
        file = server.database; // a database that cannot be opened is what a restore is for
    }
    if (file.empty() || file.front() != '/')
        throw fb::Error("Der Pfad der Datenbank auf dem Server ist nicht bekannt; bitte database= mit dem "
                        "vollen Pfad angeben (Rechner:/Pfad/notizen.gdb)");
    const std::string trial = fb::ConnectionTo(server, file + ".restore");

    const auto restoreInto = [&](const std::string& database) {
        QFile in(backupFile);
        if (!in.open(QIODevice::ReadOnly))
            throw fb::Error("Die Datei \"" + Native(backupFile) + "\" kann nicht gelesen werden\n" +
                            in.errorString().toStdString());
        service.Attach(user, password, fb::ServiceManagerName(server));
        service.RestoreFromClient(
            database, kRestorePageSize, true,
            [&](char* data, size_t size) -> size_t {
                const qint64 got = in.read(data, static_cast<qint64>(size));
                if (got < 0)
                    throw fb::Error("Die Datei \"" + Native(backupFile) + "\" kann nicht gelesen werden\n" +
                                    in.errorString().toStdString());
                return static_cast<size_t>(got);
            },
            idle);
    };
    const auto dropTrial = [&] {
        try {
            fb::DropDatabase(trial, user, password);
        } catch (const std::exception&) {
            // nothing left, or not ours to drop
        }
    };

    AsJob("Das Backup \"" + Native(backupFile) +
              "\" ist unvollständig oder beschädigt; die Datenbank bleibt unverändert",
          [&] {
              try {
                  restoreInto(file + ".restore");
                  // A restore that stopped early may end without an error but leaves the file shut down.
                  if (fb::DatabaseShutdownMode(trial, user, password) != 0)
                      throw fb::Error("The restored database is shut down: the backup ended early");
              } catch (...) {
                  dropTrial();
                  throw;
              }
          });
    dropTrial();
    if (beforeReplace)
        beforeReplace();
    AsJob("Die Datenbank auf dem Server wurde nicht ersetzt (wird sie noch von anderen Programmen benutzt?)",
          [&] { restoreInto(server.database); });
}
