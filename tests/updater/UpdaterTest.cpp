// The updater: arguments, components by kind, instruction files, its log, waiting and restart.
#include "platform/CommandLine.h"
#include "platform/Process.h"
#include "platform/Unpacker.h"
#include "update/SzddEncoder.h"
#include "update/UpdateLog.h"
#include "update/UpdateTypes.h"
#include "updater/UpdaterCore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

class TRecordingProcess : public TProcessFacility {
public:
    QStringList started, runs;
    QList<qint64> waited;
    int slept = 0;
    qint64 CurrentProcessId() override { return 1; }
    TProcessStart Start(const QString& cmd, TWindowShow, bool) override {
        started << cmd;
        return {true, 99, 0, {}};
    }
    bool RunAndWait(const QString& cmd, TWindowShow) override {
        runs << cmd;
        return true;
    }
    void WaitForProcessEnd(qint64 pid) override { waited << pid; }
    void Sleep(int ms) override { slept += ms; }
};

void Write(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class UpdaterFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        old = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(old); }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }
    QStringList LogTexts() const {
        QStringList out;
        for (const QByteArray& line : Read(Path("WUPDATE.LOG")).split('\n')) {
            if (line.size() > 22)
                out << QString::fromLocal8Bit(line.mid(22));
        }
        return out;
    }

    QTemporaryDir dir;
    QString old;
    TRecordingProcess process;
};

} // namespace

TEST(CommandLineRules, QuotesGroupBlanksAndAreRemoved) {
    EXPECT_EQ(SplitCommandLine(R"(a  "b c" d"e f"g "")"), (QStringList{"a", "b c", "de fg", ""}));
    EXPECT_EQ(SplitCommandLine("  "), QStringList{});
    EXPECT_EQ(QuoteArgument("a b"), "\"a b\"");
    EXPECT_EQ(QuoteArgument("ab"), "ab");
}

TEST_F(UpdaterFixture, ProgramPathWithBlanksIsFoundWithoutQuotes) {
    Write(Path("a b/prog"), "x");
    EXPECT_EQ(SplitProgramCommandLine(Path("a b/prog") + " -x y"),
              (QStringList{Path("a b/prog"), "-x", "y"}));
    EXPECT_EQ(SplitProgramCommandLine("/no/such thing"), (QStringList{"/no/such", "thing"}));
}

TEST_F(UpdaterFixture, FirstArgumentNotANumberDoesNothing) {
    Write(Path("prog_new"), "new");
    EXPECT_EQ(RunUpdater({"12x", "L", "prog", "prog_new"}, process), 0);
    EXPECT_TRUE(process.waited.isEmpty());
    EXPECT_TRUE(process.started.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(Path("prog_new")));
    EXPECT_FALSE(QFileInfo::exists(Path("WUPDATE.LOG")));
}

TEST_F(UpdaterFixture, WaitsThenReplacesBothSpellingsAndRestarts) {
    Write(Path("prog"), "old");
    QFile::setPermissions(Path("prog"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Write(Path("prog_new"), "new");
    Write(Path("lib.so"), "old lib");
    Write(Path("lib.so_NEW"), "new lib");
    RunUpdater({"777", "L", Path("prog") + " -x", "prog_new", "lib.so_NEW"}, process);

    EXPECT_EQ(process.waited, QList<qint64>{777});
    EXPECT_EQ(process.slept, 500);
    EXPECT_EQ(Read(Path("prog")), "new");
    EXPECT_TRUE(QFileInfo(Path("prog")).isExecutable()) << "the replacement keeps the old permissions";
    EXPECT_FALSE(QFileInfo::exists(Path("prog_new")));
    EXPECT_EQ(Read(Path("lib.so")), "new lib");
    EXPECT_EQ(process.started, QStringList{Path("prog") + " -x"});
    // Components produce no log lines of their own; the restart does.
    EXPECT_EQ(LogTexts(), QStringList{"upd restart " + Path("prog") + " -x"});
    static const QRegularExpression stamp(R"(^\d\d.\d\d.\d{4} \d\d.\d\d.\d\d : upd restart )");
    EXPECT_TRUE(stamp.match(QString::fromLocal8Bit(Read(Path("WUPDATE.LOG")))).hasMatch());
}

TEST_F(UpdaterFixture, NullRestartAndLoggingOff) {
    Write(Path("prog_new"), "new");
    RunUpdater({"1", "X", "null", "prog_new"}, process);
    EXPECT_TRUE(process.started.isEmpty());
    EXPECT_EQ(Read(Path("prog")), "new");
    EXPECT_FALSE(QFileInfo::exists(Path("WUPDATE.LOG")));
}

TEST_F(UpdaterFixture, OnlyRestartWithoutComponents) {
    RunUpdater({"1", "L", "prog"}, process);
    EXPECT_EQ(process.started, QStringList{"prog"});
    EXPECT_EQ(LogTexts(), QStringList{"upd restart prog"});
}

TEST_F(UpdaterFixture, MissingReplacementIsLoggedAndTheRestGoesOn) {
    Write(Path("b_new"), "b");
    RunUpdater({"1", "L", "null", "a_new", "b_new"}, process);
    EXPECT_EQ(Read(Path("b")), "b");
    const QStringList log = LogTexts();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0], "upd io error 2 in rename file:a");
}

TEST_F(UpdaterFixture, InstructionFileWithAppPrefixTarget) {
    Write(Path("data.txt_new"), "data");
    Write(Path("more.inf"), "[FILES]\nCOUNT=1\nFILE1=x.txt_NEW\nTARGET1={APP}/deep\n");
    Write(Path("x.txt_NEW"), "x");
    Write(Path("set.INF"), "[files]\ncount=2\nfile1=data.txt_new\ntarget1={app}/sub/\nFILE2=more.inf\n");
    RunUpdater({"1", "L", "null", "set.INF"}, process);

    EXPECT_EQ(Read(Path("sub/data.txt")), "data");
    EXPECT_EQ(Read(Path("deep/x.txt")), "x") << "a target without trailing separator still names a directory";
    const QStringList log = LogTexts();
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log[0], "upd inf file set.INF");
    EXPECT_EQ(log[1], "upd inf: data.txt_new {app}/sub/");
    // The old file of the base name is removed from the current directory; there is none here.
    EXPECT_EQ(log[2], "upd io error 2 in delete file:data.txt");
    EXPECT_EQ(log[3], "upd inf: more.inf ");
    EXPECT_EQ(log[4], "upd inf file more.inf");
}

TEST_F(UpdaterFixture, InstructionFileNamingItselfEnds) {
    Write(Path("loop.inf"), "[FILES]\nCOUNT=1\nFILE1=loop.inf\n");
    RunUpdater({"1", "X", "null", "loop.inf"}, process);
    SUCCEED();
}

TEST_F(UpdaterFixture, PatchAndExecutable) {
    Write(Path("prog.pat"), "patch");
    Write(Path("setup.exe"), "#!/bin/sh\n");
    RunUpdater({"1", "L", "null", "prog.pat", "setup.exe"}, process);

    EXPECT_EQ(process.runs, (QStringList{"patcher.exe -v prog.pat prog.EXE >> WUPDATE.LOG", "./setup.exe"}));
    EXPECT_FALSE(QFileInfo::exists(Path("prog.pat")));
    EXPECT_FALSE(QFileInfo::exists(Path("setup.exe")));
    EXPECT_EQ(process.slept, 1000);
    EXPECT_EQ(LogTexts(), QStringList{"upd execute setup.exe "});
}

TEST_F(UpdaterFixture, CabinetIsUnpackedAndDeleted) {
    Write(Path("inner/readme.txt"), "read me");
    ASSERT_EQ(QProcess::execute("gcab", {"-c", Path("pack.cab"), "inner/readme.txt"}), 0);
    QFile::remove(Path("inner/readme.txt"));
    RunUpdater({"1", "L", "null", "pack.cab"}, process);

    EXPECT_EQ(Read(Path("inner/readme.txt")), "read me");
    EXPECT_FALSE(QFileInfo::exists(Path("pack.cab")));
    EXPECT_EQ(LogTexts(), QStringList{"upd cab extract pack.cab "});
}

TEST_F(UpdaterFixture, LzCompressedFileIsExpandedAndMoved) {
    Write(Path("notes.tx_"), SzddCompress("expanded text", 't'));
    Write(Path("broken.dl_"), "no szdd");
    QDir().mkpath(Path("target"));
    TUpdater updater(process, true);
    updater.ProcessComponent("notes.tx_", Path("target/"));
    updater.ProcessComponent("broken.dl_", "");

    EXPECT_EQ(Read(Path("target/notes.txt")), "expanded text");
    EXPECT_TRUE(QFileInfo::exists(Path("notes.tx_"))) << "the compressed file stays";
    const QStringList log = LogTexts();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0], "upd lzexpand notes.tx_ " + Path("target/"));
    EXPECT_TRUE(log[1].startsWith("upd lzexpand dest. filename ") && log[1].endsWith("notes.txt"));
    EXPECT_EQ(log[2], "upd lzexpand broken.dl_ ");
}

TEST_F(UpdaterFixture, UnwritableLogStopsTheUpdater) {
    QDir().mkpath(Path("WUPDATE.LOG")); // a directory cannot be appended to
    Write(Path("prog_new"), "new");
    EXPECT_THROW(RunUpdater({"1", "L", "prog", "x_new", "prog_new"}, process), EInOutError);
    EXPECT_TRUE(process.started.isEmpty()) << "no restart after the log failed";
}

TEST(SzddEncoder, RoundTripsThroughTheExpander) {
    QTemporaryDir dir;
    QByteArray random(70000, '\0');
    for (auto& c : random)
        c = char(QRandomGenerator::global()->bounded(4) * 40);
    QByteArray text;
    for (int i = 0; i < 3000; ++i)
        text += "line " + QByteArray::number(i % 37) + " of the same text   \n";
    const QList<QByteArray> samples = {QByteArray(), "a",    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
                                       "       ",    random, text};
    for (const QByteArray& sample : samples) {
        const QByteArray packed = SzddCompress(sample, 'x');
        ASSERT_TRUE(packed.startsWith(QByteArray("SZDD\x88\xF0\x27\x33"
                                                 "A"
                                                 "x",
                                                 10)));
        const QString in = dir.path() + "/f.ex_";
        Write(in, packed);
        EXPECT_EQ(Unpacker().SzddMissingChar(in), std::optional<char>('x'));
        ASSERT_TRUE(Unpacker().ExpandSzdd(in, dir.path() + "/f.exx")) << sample.size();
        EXPECT_EQ(Read(dir.path() + "/f.exx"), sample) << sample.size();
        if (sample.size() > 1000) {
            EXPECT_LT(packed.size(), sample.size() * 3 / 4);
        }
    }
}

TEST(ProcessFacility, WaitsForARealProcessAndReturnsAtOnceForAnEndedOne) {
    TProcessFacility& p = SystemProcessFacility();
    const TProcessStart s = p.Start("sleep 1", TWindowShow::Hidden, false);
    ASSERT_TRUE(s.ok);
    QElapsedTimer t;
    t.start();
    p.WaitForProcessEnd(s.pid);
    EXPECT_GE(t.elapsed(), 900);
    t.restart();
    p.WaitForProcessEnd(s.pid); // ended (a zombie until collected) or gone
    p.WaitForProcessEnd(0x3fffffff);
    EXPECT_LT(t.elapsed(), 500);

    const TProcessStart bad = p.Start("/no/such/program", TWindowShow::Normal, false);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.errorNumber, ENOENT);
    EXPECT_FALSE(bad.errorText.isEmpty());
}

TEST_F(UpdaterFixture, RestartCommandInDirectoryWithBlankRunsAsOneProgram) {
    Write(Path("a b/prog"), "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/ran.txt\"\n");
    QFile::setPermissions(Path("a b/prog"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    RunUpdater({"0x", "L"}, SystemProcessFacility()); // not a number: nothing
    RunUpdater({QString::number(0x3fffffff), "X", Path("a b/prog") + " one two"}, SystemProcessFacility());
    for (int i = 0; i < 100 && !QFileInfo::exists(Path("a b/ran.txt")); ++i)
        QThread::msleep(50);
    EXPECT_EQ(Read(Path("a b/ran.txt")), "one two\n");
}
