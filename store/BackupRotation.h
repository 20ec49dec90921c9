#pragma once
// The backups kept beside the database: the newest under the fixed name, the ones before it
// under names that carry the time each was made, so that they sort by it.
#include <QDateTime>
#include <QString>
#include <QStringList>

// The newest backup and the four before it.
constexpr int kKeptBackups = 5;

// notizenbackup-2026-12-10-143005.gbk for a backup made at that local time; when that name is
// among `taken` (two backups in one second), notizenbackup-2026-12-10-143005-2.gbk and so on.
QString DatedBackupName(const QDateTime& made, const QStringList& taken);

// Of the file names in the backup directory, the dated backups beyond the newest `keep` of
// them, the oldest first. Any other name is never among them.
QStringList DatedBackupsToDrop(const QStringList& names, int keep);
