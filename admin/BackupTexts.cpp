#include "admin/BackupTexts.h"

#include "store/BackupRotation.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {

QString DateAndTime(const QDateTime& t) {
    return t.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" um ") +
           t.toString(QStringLiteral("HH:mm")) + QStringLiteral(" Uhr");
}

QString Size(qint64 bytes) {
    const QLocale german(QLocale::German);
    if (bytes < 1024)
        return QStringLiteral("%1 Byte").arg(bytes);
    if (bytes < 1024 * 1024)
        return german.toString(bytes / 1024.0, 'f', 1) + QStringLiteral(" KB");
    if (bytes < 1024LL * 1024 * 1024)
        return german.toString(bytes / (1024.0 * 1024), 'f', 1) + QStringLiteral(" MB");
    return german.toString(bytes / (1024.0 * 1024 * 1024), 'f', 1) + QStringLiteral(" GB");
}

} // namespace

TBackupFileFacts BackupFileFacts(const QString& path) {
    const QFileInfo info(path);
    TBackupFileFacts facts;
    facts.path = info.absoluteFilePath();
    facts.exists = info.isFile();
    if (facts.exists) {
        facts.made = info.lastModified();
        facts.size = info.size();
        facts.neighbours = info.dir().entryList(QDir::Files | QDir::Hidden);
    }
    return facts;
}

QString DirectoryForDisplay(const QString& directory, const QString& home) {
    QString dir = QDir::cleanPath(directory) + u'/';
    const QString homeDir = QDir::cleanPath(home) + u'/';
    if (home.isEmpty() || homeDir == QLatin1String("//"))
        return dir;
    if (dir.startsWith(homeDir))
        dir.replace(0, homeDir.size(), QStringLiteral("~/"));
    return dir;
}

QString BackupLabelText(const QString& displayedDirectory) {
    return QStringLiteral("Erstellt ein <b>Datenbankbackup</b> der Notizen in<br>") +
           displayedDirectory.toHtmlEscaped() + QStringLiteral(" (die letzten fünf bleiben erhalten).");
}

QString RestoreLabelText(const QString& displayedDirectory) {
    return QStringLiteral("Stellt die <b>Datenbank</b> aus dem letzten Backup in<br>") +
           displayedDirectory.toHtmlEscaped() + QStringLiteral(" wieder her.");
}

QString BackupQuestion(const TBackupFileFacts& backup) {
    QString text = QStringLiteral("Ein evtl. vorhandenes Backup NOTIZENBACKUP wird überschrieben.\n");
    // It is not lost: say where it stays.
    if (backup.exists)
        text += QStringLiteral("Das bisherige vom %1 bleibt als %2 erhalten; die letzten fünf Backups "
                               "werden aufbewahrt.\n")
                    .arg(DateAndTime(backup.made), DatedBackupName(backup.made, backup.neighbours));
    return text + QStringLiteral("Soll jetzt ein Backup gezogen werden?");
}

QString RestoreQuestion(const TBackupFileFacts& backup) {
    const QString age = backup.exists
                            ? QStringLiteral("Es wurde am %1 erstellt und ist %2 groß.\n")
                                  .arg(DateAndTime(backup.made), Size(backup.size))
                            : QStringLiteral("Es ist kein Backup vorhanden: %1 fehlt.\n").arg(backup.path);
    return QStringLiteral(
               "Das Backup NOTIZENBACKUP wird geladen und ersetzt den aktuellen Datenbankinhalt.\n") +
           age + QStringLiteral("Soll jetzt die Datenbank wiederhergestellt werden?");
}

QString BackupDoneText(const QString& path) {
    return QStringLiteral("Datenbankbackup NOTIZENBACKUP.GBK wurde erzeugt.\n") + path;
}

QString RestoreDoneText(const QString& path) {
    return QStringLiteral("Datenbank wurde aus Backup NOTIZENBACKUP.GBK wieder hergestellt.\n") + path;
}
