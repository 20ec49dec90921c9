#pragma once
// The administration window's texts about the backup: they name its directory, the full
// path, and the date and size of the backup that a restore would load.
#include <QDateTime>
#include <QString>
#include <QStringList>

// The backup file as the user meets it before a backup or a restore.
struct TBackupFileFacts {
    QString path; // full path
    bool exists = false;
    QDateTime made; // its modification time
    qint64 size = 0;
    QStringList neighbours; // the names in its directory
};

// Reads the facts from the disk.
TBackupFileFacts BackupFileFacts(const QString& path);

// A directory as the user knows it: the home directory as "~", with a trailing "/".
QString DirectoryForDisplay(const QString& directory, const QString& home);

// The explanation labels beside the Backup and Restore buttons (rich text).
QString BackupLabelText(const QString& displayedDirectory);
QString RestoreLabelText(const QString& displayedDirectory);

// The confirmations: the fixed lines and one about the backup that is there.
QString BackupQuestion(const TBackupFileFacts& backup);
QString RestoreQuestion(const TBackupFileFacts& backup);

// The completion messages: the fixed line and the full path.
QString BackupDoneText(const QString& path);
QString RestoreDoneText(const QString& path);
