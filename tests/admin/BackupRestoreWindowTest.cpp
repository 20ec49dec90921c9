// Backup and restore from the administration window on a real database copy.
#include "AdminFixture.h"
#include "store/DatabaseBackup.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <sys/stat.h>

namespace {
const QString kBackupQuestion = "Ein evtl. vorhandenes Backup NOTIZENBACKUP wird überschrieben.\n"
                                "Soll jetzt ein Backup gezogen werden?";
const QString kRestoreQuestion = "Das Backup NOTIZENBACKUP wird geladen und ersetzt den aktuellen "
                                 "Datenbankinhalt.\nSoll jetzt die Datenbank wiederhergestellt werden?";

// The specified lines of a question, without the line this program adds between them.
QString SpecifiedLines(const QString& question) {
    const QStringList lines = question.split(u'\n');
    return lines.size() < 2 ? question : lines.first() + u'\n' + lines.last();
}

int Mode(const QString& file) {
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

void SetModificationTime(const QString& file, const QDateTime& time) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(time, QFileDevice::FileModificationTime));
}
} // namespace

class BackupRestoreWindowTest : public AdminFixture {
protected:
    void AddSampleNotes() {
        AddNote("Einkauf", "Milch\r\nBrot\r\n");
        AddNote("Zitat 'O''Brien'", QString::fromUtf8("Umlaute äöüß € – ✓ and a tab\there"));
        AddNote("Leer", "");
        QString big;
        for (int i = 0; i < 20000; ++i)
            big += QString("Zeile %1 mit Text\r\n").arg(i);
        AddNote("Lang", big);
    }
    void Answer(std::initializer_list<TModalResult> a) { answers.insert(answers.end(), a); }
};

TEST_F(BackupRestoreWindowTest, BackupDeleteAllRestoreBringsEveryNoteBack) {
    AddSampleNotes();
    const std::vector<TStoredNote> before = StoredNotes();
    ASSERT_EQ(before.size(), 4u);

    Answer({TModalResult::Yes});
    window->BtnBackup->click();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].text, kBackupQuestion);
    EXPECT_EQ(dialogs[0].caption, "Confirm");
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Confirmation);
    EXPECT_EQ(dialogs[0].buttons, mbYes | mbNo | mbHelp);
    EXPECT_EQ(dialogs[0].helpContext, 1005);
    // The completion names the whole path.
    EXPECT_EQ(dialogs[1].text, "Datenbankbackup NOTIZENBACKUP.GBK wurde erzeugt.\n" + BackupFile());
    EXPECT_EQ(dialogs[1].caption, "Information");
    EXPECT_EQ(dialogs[1].buttons, mbOK);
    EXPECT_GT(QFileInfo(BackupFile()).size(), 0);
    EXPECT_EQ(Mode(BackupFile()), 0600);
    EXPECT_TRUE(dm->Database.Connected());
    EXPECT_EQ(window->StatusBar()->Text(), "Datenbankverbindung wurde wieder geöffnet. Backup beendet.");
    EXPECT_EQ(statusAtDialog[1], window->StatusBar()->Text()) << "not \"läuft\" once the backup has ended";
    EXPECT_EQ(window->StatusBar()->ImageIndex(), 6);
    EXPECT_FALSE(TDbWaitCursor::Active());

    dm->RunInSharedTransaction(dm->QueryNotizen, {"delete from tblnotizen"});
    ASSERT_TRUE(StoredNotes().empty());
    window->StatusBar()->SetImage(-1, "");

    dialogs.clear();
    SetModificationTime(BackupFile(), QDateTime(QDate(2026, 12, 10), QTime(14, 30, 5)));
    Answer({TModalResult::Yes});
    window->BtnRestore->click();
    ASSERT_EQ(dialogs.size(), 2u);
    // The question says how old and how big the backup is.
    EXPECT_EQ(SpecifiedLines(dialogs[0].text), kRestoreQuestion);
    static const QRegularExpression age(
        "\nEs wurde am 10\\.12\\.2026 um 14:30 Uhr erstellt und ist (\\d+,\\d) KB groß\\.\n");
    const QRegularExpressionMatch said = age.match(dialogs[0].text);
    ASSERT_TRUE(said.hasMatch()) << dialogs[0].text.toStdString();
    EXPECT_NEAR(QLocale(QLocale::German).toDouble(said.captured(1)), QFileInfo(BackupFile()).size() / 1024.0,
                0.05);
    EXPECT_EQ(dialogs[0].buttons, mbYes | mbNo | mbHelp);
    EXPECT_EQ(dialogs[0].helpContext, 1005);
    EXPECT_EQ(dialogs[1].text,
              "Datenbank wurde aus Backup NOTIZENBACKUP.GBK wieder hergestellt.\n" + BackupFile());
    EXPECT_EQ(dialogs[1].caption, "Information");

    EXPECT_EQ(StoredNotes(), before);
    EXPECT_TRUE(dm->Database.Connected());
    EXPECT_EQ(window->StatusBar()->Text(), "Datenbankverbindung wurde wieder geöffnet. Restore beendet.");
    // The reconnect ran the connection broadcast.
    EXPECT_EQ(window->StatusBar()->ImageIndex(), 6);
    EXPECT_EQ(window->StatusBar()->ImageHint(), "verbunden mit " + db.File());
    EXPECT_FALSE(TDbWaitCursor::Active());
    // No temporary file is left beside the database.
    EXPECT_EQ(QDir(db.Directory()).entryList(QDir::Files), (QStringList{"notizen.gdb", "notizenbackup.gbk"}));
    // The restored database takes new notes.
    AddNote("Nach Restore", "x");
    EXPECT_EQ(StoredNotes().size(), 5u);
}

TEST_F(BackupRestoreWindowTest, RestoreFromMissingBackupShowsErrorAndKeepsTheNotes) {
    AddSampleNotes();
    const std::vector<TStoredNote> before = StoredNotes();
    Answer({TModalResult::Yes});
    window->BtnRestore->click();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].text,
              "Das Backup NOTIZENBACKUP wird geladen und ersetzt den aktuellen Datenbankinhalt.\n"
              "Es ist kein Backup vorhanden: " +
                  BackupFile() +
                  " fehlt.\n"
                  "Soll jetzt die Datenbank wiederhergestellt werden?");
    EXPECT_EQ(dialogs[1].type, TMsgDlgType::Error);
    EXPECT_TRUE(dialogs[1].text.contains("cannot open backup file")) << dialogs[1].text.toStdString();
    EXPECT_TRUE(dialogs[1].text.contains(BackupFile()));
    // The sequence stopped where it was, and the status says that it ended.
    EXPECT_EQ(window->StatusBar()->Text(), "Datenbankverbindung ist geschlossen. Restore fehlgeschlagen.");
    EXPECT_EQ(window->StatusBar()->ImageIndex(), 13);
    EXPECT_FALSE(dm->Database.Connected());
    EXPECT_FALSE(TDbWaitCursor::Active());
    EXPECT_EQ(StoredNotes(), before);
    EXPECT_EQ(QDir(db.Directory()).entryList(QDir::Files), QStringList{"notizen.gdb"});
    // Opening a list connects again to the untouched database.
    dm->DataSetNotizliste.Open();
    EXPECT_TRUE(dm->Database.Connected());
    EXPECT_FALSE(dm->DataSetNotizliste.IsEmpty());
    AddNote("Danach", "y");
    EXPECT_EQ(StoredNotes().size(), before.size() + 1);
}

TEST_F(BackupRestoreWindowTest, RestoreFromCutOffOrDamagedBackupKeepsTheNotes) {
    AddSampleNotes();
    Answer({TModalResult::Yes});
    window->BtnBackup->click();
    const QByteArray full = Content(BackupFile());
    ASSERT_GT(full.size(), 4096);
    AddNote("Nur in der Datenbank", "nicht im Backup");
    const std::vector<TStoredNote> before = StoredNotes();

    for (const QByteArray& broken : {full.left(full.size() / 2), full.left(600), QByteArray(5000, '\x11')}) {
        QFile f(BackupFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(broken);
        f.close();
        dialogs.clear();
        Answer({TModalResult::Yes});
        window->BtnRestore->click();
        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_EQ(dialogs[1].type, TMsgDlgType::Error);
        EXPECT_EQ(StoredNotes(), before);
        EXPECT_FALSE(QFileInfo::exists(RestoreTempFile(db.File())));
    }
}

TEST_F(BackupRestoreWindowTest, TheLastFiveBackupsAreKeptAndAFailedOneChangesNone) {
    AddSampleNotes();
    std::vector<QByteArray> made; // each backup as it was written
    for (int i = 1; i <= 6; ++i) {
        if (i > 1) {
            // The earlier backup was made on day i - 1; the first as an earlier version wrote it.
            SetModificationTime(BackupFile(), QDateTime(QDate(2026, 12, i - 1), QTime(14, 30, 5)));
            if (i == 2) {
                ASSERT_EQ(::chmod(QFile::encodeName(BackupFile()).constData(), 0644), 0);
            }
        }
        AddNote(QString("Notiz %1").arg(i), "x");
        dialogs.clear();
        Answer({TModalResult::Yes});
        window->BtnBackup->click();
        ASSERT_EQ(dialogs.size(), 2u);
        // The question says where the backup that is there now stays.
        if (i > 1) {
            EXPECT_EQ(dialogs[0].text,
                      QString("Ein evtl. vorhandenes Backup NOTIZENBACKUP wird überschrieben.\n"
                              "Das bisherige vom 0%1.12.2026 um 14:30 Uhr bleibt als "
                              "notizenbackup-2026-12-0%1-143005.gbk erhalten; die letzten fünf Backups "
                              "werden aufbewahrt.\nSoll jetzt ein Backup gezogen werden?")
                          .arg(i - 1));
        }
        EXPECT_EQ(dialogs[1].type, TMsgDlgType::Custom) << dialogs[1].text.toStdString();
        made.push_back(Content(BackupFile()));
        ASSERT_FALSE(made.back().isEmpty());
    }
    EXPECT_NE(made[5], made[4]);
    // The newest under its name, the four before it with their dates; the oldest is gone.
    const QStringList expected{"notizen.gdb",
                               "notizenbackup-2026-12-02-143005.gbk",
                               "notizenbackup-2026-12-03-143005.gbk",
                               "notizenbackup-2026-12-04-143005.gbk",
                               "notizenbackup-2026-12-05-143005.gbk",
                               "notizenbackup.gbk"};
    ASSERT_EQ(QDir(db.Directory()).entryList(QDir::Files | QDir::Hidden), expected);
    const auto expectKept = [&] {
        for (int day = 2; day <= 5; ++day) {
            const QString name = db.Directory() + QString("notizenbackup-2026-12-0%1-143005.gbk").arg(day);
            EXPECT_EQ(Content(name), made[day - 1]) << name.toStdString();
            EXPECT_EQ(Mode(name), 0600) << name.toStdString();
        }
        EXPECT_EQ(Content(BackupFile()), made[5]);
        EXPECT_EQ(Mode(BackupFile()), 0600);
    };
    expectKept();

    // The database file is gone: the backup fails and every kept one stays as it was.
    ASSERT_TRUE(QFile::rename(db.File(), db.File() + ".weg"));
    dialogs.clear();
    Answer({TModalResult::Yes});
    window->BtnBackup->click();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].type, TMsgDlgType::Error);
    EXPECT_EQ(window->StatusBar()->Text(), "Datenbankverbindung ist geschlossen. Backup fehlgeschlagen.");
    EXPECT_EQ(window->StatusBar()->ImageIndex(), 13);
    ASSERT_TRUE(QFile::rename(db.File() + ".weg", db.File()));
    EXPECT_EQ(QDir(db.Directory()).entryList(QDir::Files | QDir::Hidden), expected);
    expectKept();
    EXPECT_FALSE(QFileInfo::exists(BackupTempFile(BackupFile())));
}

TEST_F(BackupRestoreWindowTest, ConfirmationAnswers) {
    // "&No" does nothing at all.
    Answer({TModalResult::No});
    window->BtnBackup->click();
    Answer({TModalResult::Cancel});
    window->BtnRestore->click();
    EXPECT_EQ(dialogs.size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(BackupFile()));
    EXPECT_TRUE(dm->Database.Connected());
    EXPECT_EQ(window->StatusBar()->Text(), "");

    // "&Help" opens topic 1005 and the question stays; "&Yes" afterwards still runs the job.
    dialogs.clear();
    Answer({TModalResult::Help, TModalResult::Yes});
    window->BtnBackup->click();
    EXPECT_EQ(helpRequests, std::vector<int>{1005});
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[1].text, kBackupQuestion);
    EXPECT_TRUE(QFileInfo::exists(BackupFile()));
}

TEST_F(BackupRestoreWindowTest, ToolbarButtonsRunTheSameAsTheButtons) {
    Answer({TModalResult::Yes});
    window->ToolBtnBackup->trigger();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].text, kBackupQuestion);
    EXPECT_TRUE(QFileInfo::exists(BackupFile()));

    dialogs.clear();
    Answer({TModalResult::No});
    window->ToolBtnRestore->trigger();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(SpecifiedLines(dialogs[0].text), kRestoreQuestion);

    EXPECT_EQ(window->ToolBtnBackup->toolTip(), window->BtnBackup->toolTip());
    EXPECT_EQ(window->ToolBtnRestore->toolTip(), window->BtnRestore->toolTip());
    EXPECT_EQ(window->ToolBtnUpdate->toolTip(), window->BtnUpdate->toolTip());
}
