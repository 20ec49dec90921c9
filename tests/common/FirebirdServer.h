#pragma once
// A private Firebird server for a test: Debian's /usr/sbin/firebird as a child process on a
// free loopback port, with a root directory of its own (the installed files linked, its own
// firebird.conf, a fresh security database with the program's account, lock and temporary
// directories). Databases are created on it from store/schema.sql with isql-fb. Stopped when
// the object goes; Stop()/Start() in between play a server that goes away and comes back.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

class TFirebirdServer {
public:
    static QString ServerBinary() { return QStringLiteral("/usr/sbin/firebird"); }
    static QString InstalledRoot() {
        for (const QString& d : {QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0"),
                                 QStringLiteral("/usr/lib/aarch64-linux-gnu/firebird/3.0"),
                                 QStringLiteral("/usr/lib/firebird/3.0")})
            if (QFile::exists(d + "/firebird.msg") && QFile::exists(d + "/plugins"))
                return d;
        return {};
    }
    // Empty when a server can be run here, else why not (for GTEST_SKIP).
    static QString Unavailable() {
        if (!QFile::exists(ServerBinary()))
            return ServerBinary() + " is missing (package firebird3.0-server)";
        if (InstalledRoot().isEmpty())
            return QStringLiteral("no installed Firebird 3 root directory");
        return {};
    }

    // Sets up the root and starts the server; throws when it does not listen.
    TFirebirdServer() {
        if (!root_.isValid())
            throw std::runtime_error("no temporary directory for the server");
        const QString installed = InstalledRoot();
        for (const QString& entry : QDir(installed).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (entry != "firebird.conf" && entry != "databases.conf")
                QFile::link(installed + "/" + entry, Root() + "/" + entry);
        for (const char* sub : {"lock", "tmp", "data"})
            QDir().mkpath(Root() + "/" + sub);
        WriteFile("databases.conf", "notizen = " + DataDirectory() + "/alias.gdb\n");
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = FreePort();
            WriteConfiguration();
            if (attempt == 0)
                CreateSecurityDatabase();
            if (StartProcess())
                return;
        }
        throw std::runtime_error(("the Firebird server did not listen: " + log_).toStdString());
    }
    ~TFirebirdServer() { Stop(); }
    TFirebirdServer(const TFirebirdServer&) = delete;
    TFirebirdServer& operator=(const TFirebirdServer&) = delete;

    QString Root() const { return root_.path(); }
    QString DataDirectory() const { return Root() + "/data"; }
    int Port() const { return port_; }
    // "127.0.0.1/<port>:" followed by a path or alias on this server.
    QString Connection(const QString& database) const {
        return QStringLiteral("127.0.0.1/%1:%2").arg(port_).arg(database);
    }
    QString ServiceManager() const { return Connection(QStringLiteral("service_mgr")); }

    // Creates <data>/<name>.gdb from store/schema.sql, as the delivered file is made; returns
    // its connection text.
    QString CreateDatabase(const QString& name) const {
        const QString file = DataDirectory() + "/" + name + ".gdb";
        QFile schema(qEnvironmentVariable("ZW_SOURCE_DIR") + "/store/schema.sql");
        if (!schema.open(QIODevice::ReadOnly))
            throw std::runtime_error("store/schema.sql not found (ZW_SOURCE_DIR)");
        const QString script =
            "SET SQL DIALECT 3;\nCREATE DATABASE '" + Connection(file) +
            "' USER 'sysdba' PASSWORD 'lanternix' PAGE_SIZE 4096 DEFAULT CHARACTER SET UTF8;\n" +
            QString::fromUtf8(schema.readAll());
        const QString out = Isql(script, {});
        if (!QFile::exists(file))
            throw std::runtime_error(("isql-fb did not create the database: " + out).toStdString());
        return Connection(file);
    }

    // Runs an isql-fb script as a client of this server (on database unless empty); its output.
    QString Isql(const QString& script, const QString& database) const {
        QProcess isql;
        isql.setProcessChannelMode(QProcess::MergedChannels);
        QStringList args{"-q", "-bail"};
        if (!database.isEmpty())
            args << "-user"
                 << "sysdba"
                 << "-password"
                 << "lanternix" << database;
        isql.start("isql-fb", args);
        isql.write(script.toUtf8());
        isql.closeWriteChannel();
        if (!isql.waitForFinished(60000))
            throw std::runtime_error("isql-fb did not end");
        const QString out = QString::fromUtf8(isql.readAll());
        if (isql.exitCode() != 0)
            throw std::runtime_error(("isql-fb failed: " + out).toStdString());
        return out;
    }

    // SIGTERM, and SIGKILL when it does not end within 3 s (a server with clients attached
    // waits for them). Nothing when not running.
    void Stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(3000))
            Kill();
    }
    // The server's end without warning, as in a crash or a power cut.
    void Kill() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill();
        process_.waitForFinished(10000);
    }
    // The same server again, on the same port, with everything it had.
    void Start() {
        if (process_.state() != QProcess::NotRunning)
            return;
        for (int attempt = 0; attempt < 20; ++attempt) { // the port may linger a moment
            if (StartProcess())
                return;
            QThread::msleep(250);
        }
        throw std::runtime_error(("the Firebird server did not come back: " + log_).toStdString());
    }
    bool Running() const { return process_.state() != QProcess::NotRunning; }

private:
    static int FreePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = 0;
        if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(s);
        if (port == 0)
            throw std::runtime_error("no free loopback port");
        return port;
    }
    bool Listening() const {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(s);
        return ok;
    }
    void WriteFile(const QString& name, const QString& text) const {
        QFile f(Root() + "/" + name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
            throw std::runtime_error(("cannot write " + f.fileName()).toStdString());
    }
    void WriteConfiguration() const {
        WriteFile("firebird.conf", QStringLiteral("RemoteServicePort = %1\nRemoteBindAddress = 127.0.0.1\n"
                                                  "SecurityDatabase = %2/security3.fdb\nUdfAccess = None\n")
                                       .arg(port_)
                                       .arg(Root()));
    }
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("FIREBIRD", Root());
        env.insert("FIREBIRD_LOCK", Root() + "/lock");
        env.insert("FIREBIRD_TMP", Root() + "/tmp");
        return env;
    }
    // The program's account in a security database of the server's own, made by the
    // embedded engine before the server runs.
    void CreateSecurityDatabase() const {
        QProcess isql;
        isql.setProcessEnvironment(Environment());
        isql.setProcessChannelMode(QProcess::MergedChannels);
        isql.start("isql-fb", {"-q", "-user", "sysdba"});
        isql.write(("create database '" + Root() +
                    "/security3.fdb';\n"
                    "create user sysdba password 'lanternix';\ncommit;\n")
                       .toUtf8());
        isql.closeWriteChannel();
        if (!isql.waitForFinished(60000) || isql.exitCode() != 0 || !QFile::exists(Root() + "/security3.fdb"))
            throw std::runtime_error(
                ("cannot create the security database: " + isql.readAll()).toStdString());
    }
    bool StartProcess() {
        process_.setProcessEnvironment(Environment());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(ServerBinary(), {});
        if (!process_.waitForStarted(10000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            if (Listening())
                return true;
            if (process_.state() == QProcess::NotRunning)
                break;
            QThread::msleep(50);
        }
        log_ += QString::fromUtf8(process_.readAll());
        Stop();
        return false;
    }

    QTemporaryDir root_;
    QProcess process_;
    int port_ = 0;
    QString log_;
};
