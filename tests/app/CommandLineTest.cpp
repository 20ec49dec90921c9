// The program's options, and the door of the running program for later starts.
#include "app/CommandLineOptions.h"
#include "app/NoteSearchCommand.h"
#include "app/ProgramChannel.h"
#include "store/NoteSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

TEST(CommandLine, WindowsExportImportAndWhatIsRefused) {
    EXPECT_EQ(ParseCommandLine({}).command, TStartCommand::Run);
    // Qt's own options and the help switches are not ours to judge.
    EXPECT_EQ(ParseCommandLine({"-platform", "offscreen", "/debug"}).command, TStartCommand::Run);

    TCommandLine line = ParseCommandLine({"--suchen", "--neue-notiz"});
    EXPECT_EQ(line.command, TStartCommand::Run);
    EXPECT_EQ(line.windows, QList<TProgramWindow>({TProgramWindow::Search, TProgramWindow::NewNote}));

    line = ParseCommandLine({"--export", "/tmp/x y"});
    EXPECT_EQ(line.command, TStartCommand::Export);
    EXPECT_EQ(line.exportDirectory, "/tmp/x y");

    // After --import every argument is a file, even one that looks like an option.
    line = ParseCommandLine({"--import", "a.txt", "--help", "b c.txt"});
    EXPECT_EQ(line.command, TStartCommand::Import);
    EXPECT_EQ(line.importFiles, QStringList({"a.txt", "--help", "b c.txt"}));
    EXPECT_EQ(ParseCommandLine({"--help", "--import", "a"}).command, TStartCommand::Help);
    EXPECT_EQ(ParseCommandLine({"--neue-notiz", "--version"}).command, TStartCommand::Version);

    for (const QStringList& wrong :
         {QStringList{"--export"}, QStringList{"--export", ""}, QStringList{"--import"},
          QStringList{"--export", "d", "--export", "e"}, QStringList{"--export", "d", "--import", "f"},
          QStringList{"--neue-notiz", "--export", "d"}, QStringList{"--suchen", "--import", "f"}}) {
        line = ParseCommandLine(wrong);
        EXPECT_EQ(line.command, TStartCommand::Error) << wrong.join(' ').toStdString();
        EXPECT_FALSE(line.error.isEmpty());
    }

    // --finden takes every argument after it; --suchen the words up to the next option.
    line = ParseCommandLine({"--finden", "Weiß", "Käse", "--help"});
    EXPECT_EQ(line.command, TStartCommand::Find);
    EXPECT_EQ(line.findTerm, "Weiß Käse --help");
    EXPECT_EQ(ParseCommandLine({"--finden", ""}).findTerm, "");
    line = ParseCommandLine({"--suchen", "Oma", "\"zwei Worte\"", "-platform", "offscreen", "--neue-notiz"});
    EXPECT_EQ(line.command, TStartCommand::Run);
    EXPECT_EQ(line.searchTerm, "Oma \"zwei Worte\"");
    EXPECT_EQ(line.windows, QList<TProgramWindow>({TProgramWindow::Search, TProgramWindow::NewNote}));
    EXPECT_TRUE(ParseCommandLine({"--suchen", "/debug"}).searchTerm.isNull());
    EXPECT_EQ(ParseCommandLine({"--suchen=-x y"}).searchTerm, "-x y");
    EXPECT_TRUE(ParseCommandLine({"--suchen=", "--neue-notiz"}).searchTerm.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"--suchen=", "--neue-notiz"}).searchTerm.isNull());
    // The term travels to the running program as one word and comes back as it was typed.
    line = ParseCommandLine({"--neue-notiz", "--suchen", "Straße 50% \"a b\" token=x"});
    const QStringList words = RequestWords(line);
    ASSERT_EQ(words.size(), 2);
    EXPECT_EQ(words[0], "neue-notiz");
    EXPECT_EQ(ParseRequestLine(RequestLine(words, "tok")).words, words);
    QString term;
    ASSERT_TRUE(SearchTermFromRequestWord(words[1], &term));
    EXPECT_EQ(term, "Straße 50% \"a b\" token=x");
    EXPECT_FALSE(SearchTermFromRequestWord("suchen", &term));
    EXPECT_EQ(RequestWords(ParseCommandLine({"--suchen"})), QStringList{"suchen"});
    for (const QStringList& wrong :
         {QStringList{"--finden"}, QStringList{"--export", "d", "--finden", "x"},
          QStringList{"--suchen", "--finden", "x"}, QStringList{"--suchen", QString(2000, u'ß')}}) {
        line = ParseCommandLine(wrong);
        EXPECT_EQ(line.command, TStartCommand::Error) << wrong.join(' ').left(40).toStdString();
        EXPECT_FALSE(line.error.isEmpty());
    }

    // One line per note found, whatever its title holds.
    EXPECT_EQ(FoundNoteLine({1, "Geburtstag Oma", QDateTime(QDate(2024, 3, 5), QTime(14, 22, 59))}),
              "2024-03-05 14:22  Geburtstag Oma");
    EXPECT_EQ(FoundNoteLine({2, "Zwei\nZeilen\tund Tab", {}}), "                  Zwei Zeilen und Tab");

    TProgramWindow w;
    for (TProgramWindow each : {TProgramWindow::NewNote, TProgramWindow::Search}) {
        ASSERT_TRUE(WindowFromRequestWord(WindowRequestWord(each), &w));
        EXPECT_EQ(w, each);
    }
    EXPECT_FALSE(WindowFromRequestWord("verwaltung", &w));
}

TEST(ProgramChannelRules, DirectoryNameAndRequestLine) {
    // The session's directory of the user, beside the engine's lock files, made the user's own.
    QTemporaryDir runtime;
    const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString chosen = ProgramChannelDirectory();
    if (wasSet)
        qputenv("XDG_RUNTIME_DIR", before);
    else
        qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(chosen, runtime.path() + "/zettelwerk");
    EXPECT_EQ(QFileInfo(chosen).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                                   QFileDevice::WriteUser | QFileDevice::ExeUser);

    // One door per database file; the same file however it is written.
    QTemporaryDir dir;
    const QString a = dir.filePath("a/notizen.gdb"), b = dir.filePath("b/notizen.gdb");
    EXPECT_NE(ProgramChannelName(a), ProgramChannelName(b));
    EXPECT_EQ(ProgramChannelName(a), ProgramChannelName(dir.filePath("a/../a/notizen.gdb")));
    EXPECT_TRUE(ProgramChannelName(a).startsWith("zettelwerk-"));

    EXPECT_EQ(RequestLine({"neue-notiz", "suchen"}, "abc_1"), "neue-notiz suchen token=abc_1");
    EXPECT_EQ(RequestLine({"suchen"}, "zwei worte"), "suchen"); // not a token
    const TChannelRequest r = ParseRequestLine("  neue-notiz  token=t-9 suchen\n");
    EXPECT_EQ(r.words, QStringList({"neue-notiz", "suchen"}));
    EXPECT_EQ(r.activationToken, "t-9");
}

namespace {

class ProgramChannel : public ::testing::Test {
protected:
    QString Path() const { return dir.filePath("zettelwerk-test"); }

    // A later start, in a thread of its own, while this thread's event loop serves.
    TDelivery SendFromAnotherStart(const QStringList& words, const QString& token = {},
                                   int timeoutMs = 5000) {
        auto result = std::async(std::launch::async, [&] {
            TProgramChannel later(Path());
            return later.Send(words, token, timeoutMs);
        });
        while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            QCoreApplication::processEvents();
        return result.get();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ProgramChannel, TheRunningProgramTakesRequestsOfLaterStarts) {
    TProgramChannel running(Path());
    ASSERT_TRUE(running.Listen());
    QList<QPair<QStringList, QString>> requests;
    QObject::connect(&running, &TProgramChannel::Requested,
                     [&](const QStringList& words, const QString& token) {
                         requests.append({words, token});
                     });

    EXPECT_EQ(SendFromAnotherStart({"neue-notiz"}, "tok"), TDelivery::Delivered);
    EXPECT_EQ(SendFromAnotherStart({"suchen"}), TDelivery::Delivered);
    QElapsedTimer t;
    t.start();
    while (requests.size() < 2 && t.elapsed() < 5000)
        QCoreApplication::processEvents();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].first, QStringList({"neue-notiz"}));
    EXPECT_EQ(requests[0].second, "tok");
    EXPECT_EQ(requests[1].first, QStringList({"suchen"}));

    // A second program on the same database does not take the door away.
    {
        TProgramChannel second(Path());
        QString error;
        EXPECT_FALSE(second.Listen(&error));
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(Path()));
    EXPECT_EQ(SendFromAnotherStart({"suchen"}), TDelivery::Delivered);
}

TEST_F(ProgramChannel, NobodyThereStaleSocketsAndSilentPrograms) {
    EXPECT_EQ(SendFromAnotherStart({"neue-notiz"}), TDelivery::NoProgram);

    // The socket of a killed program: bound, nobody listening, the file left behind.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(Path());
        ASSERT_LT(name.size(), static_cast<qsizetype>(sizeof(address.sun_path)));
        std::memcpy(address.sun_path, name.constData(), name.size());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFileInfo::exists(Path()));
    EXPECT_EQ(SendFromAnotherStart({"neue-notiz"}), TDelivery::NoProgram);
    TProgramChannel next(Path());
    ASSERT_TRUE(next.Listen());
    EXPECT_EQ(SendFromAnotherStart({"suchen"}), TDelivery::Delivered);

    // A program that listens but never answers (hanging) is reported, not waited for forever.
    TProgramChannel hanging(dir.filePath("zettelwerk-hanging"));
    ASSERT_TRUE(hanging.Listen());
    TProgramChannel later(dir.filePath("zettelwerk-hanging"));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(later.Send({"suchen"}, {}, 300), TDelivery::NoAnswer); // this thread's loop is not running
    EXPECT_LT(t.elapsed(), 3000);
}

TEST_F(ProgramChannel, TheEndOfTheProgramRemovesItsSocket) {
    {
        TProgramChannel running(Path());
        ASSERT_TRUE(running.Listen());
        EXPECT_TRUE(QFileInfo::exists(Path()));
        // A caller that says nothing and one with an over-long line change nothing.
        QLocalSocket quiet, noisy;
        quiet.connectToServer(Path());
        noisy.connectToServer(Path());
        ASSERT_TRUE(quiet.waitForConnected(1000) && noisy.waitForConnected(1000));
        noisy.write(QByteArray(10000, 'x'));
        noisy.flush();
        QElapsedTimer t;
        t.start();
        while (noisy.state() == QLocalSocket::ConnectedState && t.elapsed() < 3000) {
            QCoreApplication::processEvents();
            noisy.waitForDisconnected(10);
        }
        EXPECT_NE(noisy.state(), QLocalSocket::ConnectedState) << "an over-long request is cut off";
    }
    EXPECT_FALSE(QFileInfo::exists(Path()));
}
