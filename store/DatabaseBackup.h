#pragma once
// Backup and restore of the notes database file through the services manager. Both wait
// until the server has finished the job and replace their target only when it succeeded.
// Every backup file is the user's alone (0600). A new backup takes the name backupFile; the
// one it replaces stays beside it under a name with its date (BackupRotation.h), and of
// those the newest kKeptBackups - 1 are kept.
#include "store/TDataModuleNotizen.h"

#include <QString>
#include <functional>

namespace fb {
class Service;
}

inline const QString kBackupFileName = QStringLiteral("notizenbackup.gbk");
constexpr int kRestorePageSize = 4096;

// Writes the backup to a temporary file beside backupFile and moves it over backupFile once
// the job has ended without error; a failed backup leaves the earlier ones as they were.
void BackupDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& database,
                        const QString& backupFile, const std::function<void()>& idle = {});

// Restores into a temporary file in a private directory beside database, checks that the
// restore ran to its end, then runs beforeReplace and moves the file over database. A missing
// or damaged backup raises an error and leaves database as it was.
void RestoreDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& backupFile,
                         const QString& database, const std::function<void()>& idle = {},
                         const std::function<void()>& beforeReplace = {});

// A database on a server: the server sends the backup through its services manager and this
// program writes it to backupFile in the user's directory (through the same temporary file),
// so the user keeps the backup on the own machine whatever the server may write.
void BackupServerDatabase(fb::Service& service, const TCredentials& credentials, const QString& connection,
                          const QString& backupFile, const std::function<void()>& idle = {});

// Sends backupFile from the user's directory to the server, which restores it first into a
// trial database beside the real one (its name + ".restore"). Only when that ran to its end
// is the trial dropped, beforeReplace run and the real database replaced from the same file;
// a missing or damaged backup, or a database that other programs still use, leaves it as it
// was. serverFile: the database's file on the server, empty to ask the server for it.
void RestoreServerDatabase(fb::Service& service, const TCredentials& credentials, const QString& backupFile,
                           const QString& connection, const std::function<void()>& idle = {},
                           const std::function<void()>& beforeReplace = {});

// The database's own file name on its server (mon$database_name).
QString DatabaseFileOnServer(const QString& connection, const TCredentials& credentials);

// The temporary files used on the way.
QString BackupTempFile(const QString& backupFile);
QString RestoreTempFile(const QString& database);
