// A database file that cannot be written and a disk that runs full.
#include "faults/FaultSupport.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QByteArray Digest(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

constexpr uid_t kNobody = 65534;

// A copy of the program beside a database; the program runs as nobody when we are root.
struct TProgramCopy {
    TTempDatabase db;
    QTemporaryDir home;
    QString Program() const { return db.Directory() + "zettelwerk"; }
    TProgramCopy() {
        QFile::copy(BinDir() + "/zettelwerk", Program());
        QFile::setPermissions(Program(), QFile::permissions(BinDir() + "/zettelwerk") | QFile::ExeOther |
                                             QFile::ReadOther);
    }
};

} // namespace

TEST(ReadOnly, TheProgramStartsWithAClearErrorAndChangesNothing) {
    TProgramCopy copy;
    const bool root = ::geteuid() == 0;
    const QString dir = copy.db.Directory();
    QFile::setPermissions(copy.db.File(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZW_AUTO_ANSWER", "default");
    env.insert("HOME", copy.home.path());
    env.insert("XDG_CONFIG_HOME", copy.home.path() + "/.config");
    env.insert("XDG_RUNTIME_DIR", copy.home.path());
    if (root) {
        // Permissions do not bind root: the program runs as nobody, with lock files of its own.
        QDir(copy.home.path()).mkpath("lock");
        for (const QString& p :
             {dir, copy.db.File(), copy.Program(), copy.home.path(), copy.home.path() + "/lock"})
            ASSERT_EQ(::chown(QFile::encodeName(p).constData(), kNobody, static_cast<gid_t>(-1)), 0);
        ::chmod(QFile::encodeName(dir).constData(), 0755);
        ::chmod(QFile::encodeName(copy.home.path()).constData(), 0755);
        ::chmod(QFile::encodeName(copy.db.File()).constData(), 0444);
        env.insert("FIREBIRD_LOCK", copy.home.path() + "/lock");
        env.insert("FIREBIRD_TMP", copy.home.path() + "/lock");
    }
    const QByteArray before = Digest(copy.db.File());

    QProcess program;
    program.setProcessEnvironment(env);
    if (root)
        program.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(kNobody) != 0)
                ::_exit(99);
        });
    program.start(copy.Program(), {});
    if (!program.waitForStarted(10000))
        GTEST_SKIP() << "the program cannot be started as nobody from " << dir.toStdString()
                     << " (a temporary directory nobody cannot reach?)";
    ASSERT_TRUE(program.state() == QProcess::NotRunning || program.waitForFinished(60000))
        << "the program keeps running on a read-only file";
    const QString err = QString::fromUtf8(program.readAllStandardError());
    ASSERT_EQ(program.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(program.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(
        "dialog: Zettelwerk | Kritischer Fehler beim Öffnen der Datenbank\\nZettelwerk wird beendet ...")))
        << err.toStdString();
    EXPECT_FALSE(err.contains("event loop running")) << err.toStdString();
    EXPECT_EQ(Digest(copy.db.File()), before);
}

// A small file system of its own (tmpfs, when this process may mount) or a file size limit.
class DiskFull : public ::testing::TestWithParam<bool> {
protected:
    bool UseMount() const { return GetParam(); }
    void SetUp() override {
        ASSERT_TRUE(mountPoint_.isValid());
        const qint64 size = QFileInfo(source_.File()).size();
        limit_ = size + 192 * 1024;
        if (UseMount()) {
            const QString options = "size=" + QString::number(limit_);
            mounted_ = ::mount("tmpfs", QFile::encodeName(mountPoint_.path()).constData(), "tmpfs", 0,
                               options.toLatin1().constData()) == 0;
            if (!mounted_)
                GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                             << "); the file size limit case covers a full disk";
        }
        directory_ = mountPoint_.path() + "/";
        ASSERT_TRUE(QFile::copy(source_.File(), directory_ + "notizen.gdb"));
        QFile::setPermissions(directory_ + "notizen.gdb", QFile::ReadOwner | QFile::WriteOwner);
    }
    void TearDown() override {
        if (mounted_)
            ::umount2(QFile::encodeName(mountPoint_.path()).constData(), MNT_DETACH);
    }
    // Copies the database off the full disk and returns the copy's directory.
    QString Rescue() {
        const QString target = rescue_.path() + "/";
        QFile::remove(target + "notizen.gdb");
        EXPECT_TRUE(QFile::copy(directory_ + "notizen.gdb", target + "notizen.gdb"));
        return target;
    }

    TTempDatabase source_;
    QTemporaryDir mountPoint_;
    QTemporaryDir rescue_;
    QString directory_;
    bool mounted_ = false;
    qint64 limit_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Disk, DiskFull, ::testing::Values(true, false), [](const auto& info) {
    return std::string(info.param ? "Tmpfs" : "FileSizeLimit");
});

TEST_P(DiskFull, ASaveThatDoesNotFitIsAClearErrorAndLosesNothing) {
    TDriver driver(directory_);
    ASSERT_TRUE(driver.WaitFor("READY")) << driver.Lines().join('\n').toStdString();
    if (!UseMount()) {
        ASSERT_FALSE(driver.Command("fsize " + QString::number(limit_)).contains("FSIZE FAILED"));
    }
    ASSERT_TRUE(driver.Command("save Vorher").contains("SAVED"));

    const QStringList out = driver.Command("savebig Riesig 4096");
    const QString shown = out.filter("DIALOG ").join('\n');
    EXPECT_FALSE(out.contains("SAVED")) << out.join('\n').toStdString();
    EXPECT_TRUE(shown.startsWith("DIALOG Zettelwerk|")) << out.join('\n').toStdString();
    std::printf("disk full (%s): %s\n", UseMount() ? "tmpfs" : "file size limit", shown.toUtf8().constData());

    // The program goes on: a small note still fits in the free pages, and it ends normally.
    EXPECT_TRUE(driver.Command("save Nachher").contains("SAVED"));
    EXPECT_EQ(driver.Quit(), 0) << driver.Lines().join('\n').toStdString();

    const QString copy = Rescue();
    const TCheckResult check = ValidateDatabase(copy + "notizen.gdb");
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_EQ(check.output, "");
    const QStringList titles = NoteTitles(copy);
    EXPECT_TRUE(titles.contains("Vorher")) << titles.join(", ").toStdString();
    EXPECT_TRUE(titles.contains("Nachher")) << titles.join(", ").toStdString();
    EXPECT_FALSE(titles.contains("Riesig")) << titles.join(", ").toStdString();
    EXPECT_EQ(NoteText(copy, "Vorher"), "Text Vorher");
}
