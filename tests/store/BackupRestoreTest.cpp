// The services-manager wrapper against the embedded server, on copies of the delivered database.
#include "StoreTestSupport.h"
#include "common/TempDatabase.h"
#include "store/BackupRotation.h"
#include "store/DatabaseBackup.h"
#include "store/NoteTransfer.h"
#include "store/fb/FbError.h"
#include "store/fb/FbService.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace {

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

const std::string kUser = "sysdba";
const std::string kPassword = "lanternix";

} // namespace

TEST(FbServiceBlocks, ParameterLayout) {
    const std::string spb = fb::ServiceAttachSpb("sysdba", "lanternix");
    EXPECT_EQ(spb, std::string("\x02\x02\x1c\x06sysdba\x1d\x09lanternix", 21));

    const std::string backup = fb::BackupRequest("/a.gdb", "/b.gbk");
    EXPECT_EQ(backup, std::string("\x01\x6a\x06\x00/a.gdb\x05\x06\x00/b.gbk", 19));

    const std::string restore = fb::RestoreRequest("/b.gbk", "/a.gdb", 4096, true);
    // file, database, options = replace (0x1000), page size 4096
    EXPECT_EQ(restore, std::string("\x02\x05\x06\x00/b.gbk\x6a\x06\x00/a.gdb"
                                   "\x6c\x00\x10\x00\x00"
                                   "\x0a\x00\x10\x00\x00",
                                   29));
    EXPECT_THROW(fb::BackupRequest(std::string(70000, 'x'), "/b.gbk"), fb::Error);
}

TEST(BackupRotation, NamesSortByTimeAndOnlyDatedBackupsAreDropped) {
    const QDateTime made(QDate(2026, 12, 10), QTime(14, 30, 5));
    EXPECT_EQ(DatedBackupName(made, {}), "notizenbackup-2026-12-10-143005.gbk");
    // Two backups in one second.
    EXPECT_EQ(DatedBackupName(made, {"notizenbackup-2026-12-10-143005.gbk"}),
              "notizenbackup-2026-12-10-143005-2.gbk");
    EXPECT_EQ(DatedBackupName(
                  made, {"notizenbackup-2026-12-10-143005.gbk", "notizenbackup-2026-12-10-143005-2.gbk"}),
              "notizenbackup-2026-12-10-143005-3.gbk");

    const QStringList names{"notizenbackup-2026-12-10-143005-10.gbk",
                            "notizenbackup-2026-12-10-143005.gbk",
                            "notizenbackup-2026-12-10-143005-2.gbk",
                            "notizenbackup-2025-01-31-235959.gbk",
                            "notizenbackup.gbk",
                            "notizen.gdb",
                            "notizenbackup-kopie.gbk",
                            "notizenbackup-2026-12-10-143005.gbk.neu",
                            "notizenbackup-2027-01-01-000000-0.gbk"};
    // Within one second the number orders: 10 after 2.
    EXPECT_EQ(DatedBackupsToDrop(names, 2),
              (QStringList{"notizenbackup-2025-01-31-235959.gbk", "notizenbackup-2026-12-10-143005.gbk"}));
    EXPECT_EQ(DatedBackupsToDrop(names, 4), QStringList{});
    EXPECT_EQ(DatedBackupsToDrop(names, 0).size(), 4);
}

using PrivateBackup = StoreFixture;

// The engine writes the backup; with the usual umask a file it made would be 0644 while it
// writes. Watched from beside the job: never anything but 0600.
TEST_F(PrivateBackup, NoMomentWhereAnotherAccountCouldReadIt) {
    AddNotes(*dm, {{0, "groß", QString(1024 * 1024, u'x'), {}}}); // long enough for the job to be watched
    dm->Database.Close();
    const QString backup = db.Directory() + "notizenbackup.gbk";
    const QByteArray temp = QFile::encodeName(BackupTempFile(backup));
    std::set<int> modes;
    int seen = 0;
    std::atomic<bool> done = false;
    std::thread watch([&] {
        while (!done) {
            struct stat st {};
            if (::stat(temp.constData(), &st) == 0) {
                modes.insert(int(st.st_mode & 07777));
                ++seen;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const mode_t umaskBefore = ::umask(022);
    fb::Service service;
    BackupDatabaseFile(service, dm->Database.Credentials(), db.File(), backup);
    ::umask(umaskBefore);
    done = true;
    watch.join();
    EXPECT_FALSE(modes.empty()) << "the job ended before it could be watched";
    EXPECT_EQ(modes, std::set<int>{0600}) << "in " << seen << " looks";
    EXPECT_EQ(QFileInfo(backup).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
}

class FbServiceTest : public ::testing::Test {
protected:
    QString Backup() const { return db.Directory() + "notizenbackup.gbk"; }
    TTempDatabase db;
    fb::Service service;
};

TEST_F(FbServiceTest, BackupThenRestoreIntoANewFile) {
    service.Attach(kUser, kPassword);
    ASSERT_TRUE(service.Attached());
    service.Attach(kUser, kPassword); // still the same attachment
    service.StartBackup(Native(db.File()), Native(Backup()));
    service.WaitUntilFinished();
    ASSERT_GT(QFileInfo(Backup()).size(), 0);

    // The same attachment runs the next job.
    const QString restored = db.Directory() + "restored.gdb";
    int idles = 0;
    service.StartRestore(Native(Backup()), Native(restored), 4096, true);
    service.WaitUntilFinished([&] { ++idles; });
    ASSERT_TRUE(QFileInfo::exists(restored));
    EXPECT_EQ(fb::DatabaseShutdownMode(Native(restored), kUser, kPassword), 0);
    EXPECT_GE(idles, 0);
}

TEST_F(FbServiceTest, FailedJobsRaiseTheServerMessage) {
    service.Attach(kUser, kPassword);
    auto restoreFrom = [&](const QString& backup) -> std::string {
        try {
            service.StartRestore(Native(backup), Native(db.Directory() + "x.gdb"), 4096, true);
            service.WaitUntilFinished();
        } catch (const fb::Error& e) {
            return e.what();
        }
        return {};
    };
    EXPECT_NE(restoreFrom(db.Directory() + "missing.gbk").find("cannot open backup file"), std::string::npos);

    QFile junk(db.Directory() + "junk.gbk");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4000, '\x5a'));
    junk.close();
    EXPECT_NE(restoreFrom(junk.fileName()), "");
    EXPECT_FALSE(QFileInfo::exists(db.Directory() + "x.gdb"));

    // The attachment is still usable after failures.
    std::string message;
    try {
        service.StartBackup(Native(db.Directory() + "none.gdb"), Native(Backup()));
        service.WaitUntilFinished();
    } catch (const fb::Error& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("none.gdb"), std::string::npos) << message;
    EXPECT_NE(message.back(), '.');
}

TEST_F(FbServiceTest, NotAttached) {
    EXPECT_FALSE(service.Attached());
    EXPECT_THROW(service.StartBackup(Native(db.File()), Native(Backup())), fb::Error);
    EXPECT_THROW(service.WaitUntilFinished(), fb::Error);
}
