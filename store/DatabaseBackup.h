#pragma once
// Backup and restore of the notes database file through the services manager. Both wait
// until the server has finished the job and replace their target only when it succeeded.
#include "store/TDataModuleNotizen.h"

#include <QString>
#include <functional>

namespace fb {
class Service;
}

inline const QString kBackupFileName = QStringLiteral("notizenbackup.gbk");
constexpr int kRestorePageSize = 4096;

// Writes the backup to a temporary file beside backupFile and moves it over backupFile once
// the job has ended without error; a failed backup leaves the earlier one in place.
void BackupDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& database,
                        const QString& backupFile, const std::function<void()>& idle = {});

// Restores into a temporary file beside database, checks that the restore ran to its end,
// then runs beforeReplace and moves the file over database. A missing or damaged backup
// raises an error and leaves database as it was.
void RestoreDatabaseFile(fb::Service& service, const TCredentials& credentials, const QString& backupFile,
                         const QString& database, const std::function<void()>& idle = {},
                         const std::function<void()>& beforeReplace = {});

// The temporary files used on the way.
QString BackupTempFile(const QString& backupFile);
QString RestoreTempFile(const QString& database);
