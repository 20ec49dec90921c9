// Faults of a database on a server, with the note windows and with the real program: the
// server dies while the program runs and comes back; wrong password, unknown host, refused
// connection and a settings file whose password others can read, at the start.
#include "common/FirebirdServer.h"
#include "faults/FaultSupport.h"

#include <QFile>
#include <sys/stat.h>

namespace {

QProcessEnvironment ServerEnvironment(const QString& database) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZETTELWERK_DATABASE", database);
    return env;
}

QStringList Titles(const QStringList& lines) {
    QStringList titles;
    for (const QString& l : lines)
        if (l.startsWith("TITLE "))
            titles << l.mid(6);
    return titles;
}

// The real program with its own home, answering every message with its default button.
struct TProgramRun {
    int exitCode = -1;
    QString err;
};
TProgramRun RunProgram(const QString& home, const QMap<QString, QString>& vars) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("ZETTELWERK_DATABASE");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZW_AUTO_ANSWER", "default");
    env.insert("ZW_QUIT_WHEN_IDLE", "1");
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    for (auto it = vars.begin(); it != vars.end(); ++it)
        env.insert(it.key(), it.value());
    p.setProcessEnvironment(env);
    p.start(BinDir() + "/zettelwerk", {});
    TProgramRun run;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

void WriteSettings(const QString& home, const QByteArray& text, unsigned mode) {
    QDir().mkpath(home + "/.config/zettelwerk");
    const QString path = home + "/.config/zettelwerk/zettelwerk.conf";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
}

const char* const kCritical =
    "dialog: Zettelwerk | Kritischer Fehler beim Öffnen der Datenbank\\nZettelwerk wird beendet ...";

} // namespace

class ServerFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString why = TFirebirdServer::Unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = std::make_unique<TFirebirdServer>();
        database = server->CreateDatabase("notizen");
    }
    std::unique_ptr<TFirebirdServer> server;
    QString database;
    QTemporaryDir home;
};

TEST_F(ServerFaults, TheServerDiesWhileTheWindowsWorkAndTheProgramGoesOnWhenItIsBack) {
    TDriver program(home.path(), ServerEnvironment(database));
    ASSERT_TRUE(program.WaitFor("READY")) << program.Lines().join('\n').toStdString();
    program.Command("save Eins");
    ASSERT_TRUE(program.Command("list").contains("ROWS 1"));
    ASSERT_TRUE(program.Command("edit Einsneu").contains("POSTED"));

    server->Kill();
    QStringList out = program.Command("save Zwei");
    QString shown = out.filter("DIALOG ").join('\n');
    EXPECT_TRUE(shown.startsWith("DIALOG Zettelwerk|Die Verbindung zum Datenbankserver auf „127.0.0.1“ ist "
                                 "unterbrochen."))
        << out.join('\n').toStdString();
    EXPECT_TRUE(out.filter("DETAILS ").join('\n').contains("connection")) << out.join('\n').toStdString();
    EXPECT_FALSE(out.contains("SAVED")) << "the note was not saved";

    out = program.Command("list");
    shown = out.filter("DIALOG ").join('\n');
    EXPECT_TRUE(shown.contains("nimmt keine Verbindung an")) << out.join('\n').toStdString();
    EXPECT_TRUE(out.filter("DETAILS ").join('\n').contains("Failed to establish a connection"))
        << out.join('\n').toStdString();
    EXPECT_EQ(program.Process().state(), QProcess::Running) << "no crash";

    server->Start();
    out = program.Command("save Drei");
    EXPECT_TRUE(out.contains("SAVED")) << out.join('\n').toStdString();
    EXPECT_TRUE(out.filter("DIALOG ").isEmpty()) << out.join('\n').toStdString();
    EXPECT_EQ(Titles(program.Command("titles")), (QStringList{"Drei", "Einsneu"}))
        << "nothing committed is lost";
    ASSERT_TRUE(program.Command("list").contains("ROWS 2"));
    EXPECT_TRUE(program.Command("edit Dreineu").contains("POSTED"));

    // A note typed while the server was away is saved by the first save after its return,
    // whether or not a save failed meanwhile.
    server->Kill();
    EXPECT_FALSE(program.Command("save Vier").contains("SAVED"));
    server->Start();
    out = program.Command("save Vier");
    EXPECT_TRUE(out.contains("SAVED")) << out.join('\n').toStdString();
    server->Kill();
    server->Start();
    out = program.Command("save Fuenf");
    EXPECT_TRUE(out.contains("SAVED")) << out.join('\n').toStdString();
    EXPECT_EQ(program.Quit(), 0);
    const QString titles = server->Isql("select titel from tblnotizen;", database);
    EXPECT_TRUE(titles.contains("Dreineu") && titles.contains("Vier") && titles.contains("Fuenf"))
        << titles.toStdString();
}

TEST_F(ServerFaults, TheProgramNamesWhatStopsItAtTheStart) {
    // It runs against the server as configured.
    WriteSettings(home.path(), "database=" + database.toUtf8() + "\nuser=sysdba\npassword=lanternix\n", 0600);
    TProgramRun run = RunProgram(home.path(), {});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Kritischer Fehler")) << run.err.toStdString();

    // A password that others can read.
    WriteSettings(home.path(), "database=" + database.toUtf8() + "\npassword=lanternix\n", 0644);
    run = RunProgram(home.path(), {});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("enthält ein Kennwort und kann von anderen gelesen werden"))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Kritischer Fehler")) << "refused before any connection";

    // Wrong password.
    WriteSettings(home.path(), "database=" + database.toUtf8() + "\npassword=falsch\n", 0600);
    run = RunProgram(home.path(), {});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QString(kCritical) + "\\n\\nDer Datenbankserver auf „127.0.0.1“ lehnt die "
                                                      "Anmeldung ab"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Your user name and password are not defined")) << run.err.toStdString();

    // Unknown host, for one run through the variable.
    WriteSettings(home.path(), "# nichts\n", 0600);
    run = RunProgram(home.path(),
                     {{"ZETTELWERK_DATABASE", "zettelwerk-gibt-es-nicht.invalid:/srv/notizen.gdb"}});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(
        run.err.contains("Der Rechner „zettelwerk-gibt-es-nicht.invalid“ des Datenbankservers ist nicht "
                         "bekannt"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Failed to locate host machine")) << run.err.toStdString();

    // The server refuses: nothing listens on its port.
    server->Kill();
    run = RunProgram(home.path(), {{"ZETTELWERK_DATABASE", database}});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QString(kCritical) + "\\n\\nDer Datenbankserver auf „127.0.0.1“ nimmt keine "
                                                      "Verbindung an"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Failed to establish a connection")) << run.err.toStdString();
}
