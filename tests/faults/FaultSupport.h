#pragma once
// Helpers of the fault tests: a driven program process, the database checker, note counts.
#include "common/TempDatabase.h"
#include "store/TDataModuleNotizen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

inline QString BinDir() {
    return qEnvironmentVariable("ZW_BIN_DIR");
}

// fault_driver on a directory, talked to line by line.
class TDriver {
public:
    explicit TDriver(const QString& directory,
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        process_.setProcessEnvironment(env);
        process_.setProgram(BinDir() + "/fault_driver");
        process_.setArguments({directory});
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
    }
    ~TDriver() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Reads lines until one starts with prefix; every line read is kept in Lines().
    bool WaitFor(const QString& prefix, int timeoutMs = 30000) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (process_.canReadLine()) {
                const QString line = QString::fromUtf8(process_.readLine()).trimmed();
                lines_ << line;
                if (line.startsWith(prefix))
                    return true;
            }
            if (process_.state() == QProcess::NotRunning && !process_.canReadLine())
                return false;
            process_.waitForReadyRead(200);
        }
        return false;
    }

    // Sends a command and waits for its "OK"; the lines it printed are returned.
    QStringList Command(const QString& line, int timeoutMs = 60000) {
        const int first = lines_.size();
        process_.write((line + "\n").toUtf8());
        process_.waitForBytesWritten(5000);
        const bool done = WaitFor("OK " + line.section(' ', 0, 0), timeoutMs);
        EXPECT_TRUE(done) << "no answer to " << line.toStdString()
                          << "; stderr: " << process_.readAllStandardError().toStdString();
        return lines_.mid(first);
    }

    void Kill() {
        ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
        process_.waitForFinished(10000);
    }
    // "quit": the ordinary end; the exit code.
    int Quit() {
        process_.write("quit\n");
        process_.closeWriteChannel();
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(30000))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2;
    }

    QProcess& Process() { return process_; }
    const QStringList& Lines() const { return lines_; }

private:
    QProcess process_;
    QStringList lines_;
};

// A Firebird root directory like the installed one whose engine shares database files
// between processes (ServerMode SuperClassic); empty when the installed root is not found.
class TSharedEngineRoot {
public:
    TSharedEngineRoot() {
        QString installed;
        for (const QString& d : {QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0"),
                                 QStringLiteral("/usr/lib/aarch64-linux-gnu/firebird/3.0"),
                                 QStringLiteral("/usr/lib/firebird/3.0"), QStringLiteral("/opt/firebird")})
            if (QFile::exists(d + "/firebird.msg") && QFile::exists(d + "/plugins"))
                installed = d;
        if (installed.isEmpty() || !dir_.isValid())
            return;
        for (const QString& entry : QDir(installed).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (entry != "firebird.conf")
                QFile::link(installed + "/" + entry, dir_.path() + "/" + entry);
        QFile conf(dir_.path() + "/firebird.conf");
        if (conf.open(QIODevice::WriteOnly))
            conf.write("ServerMode = SuperClassic\nUdfAccess = None\n");
        path_ = dir_.path();
    }
    QString Path() const { return path_; }
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("FIREBIRD", path_);
        return env;
    }

private:
    QTemporaryDir dir_;
    QString path_;
};

// "gfix -v -full" on a database file no one has open: empty output and exit 0 when clean.
struct TCheckResult {
    int exitCode = -1;
    QString output;
};
inline TCheckResult ValidateDatabase(const QString& file) {
    QProcess gfix;
    gfix.setProcessChannelMode(QProcess::MergedChannels);
    gfix.start("gfix", {"-v", "-full", "-user", "sysdba", "-password", "lanternix", file});
    TCheckResult r;
    if (!gfix.waitForFinished(120000))
        return r;
    r.exitCode = gfix.exitStatus() == QProcess::NormalExit ? gfix.exitCode() : -2;
    r.output = QString::fromLocal8Bit(gfix.readAll()).trimmed();
    return r;
}

// Titles of all notes, read through a fresh connection of this process.
inline QStringList NoteTitles(const QString& directory) {
    TDataModuleNotizen dm(directory);
    if (!dm.DataModuleCreate())
        throw std::runtime_error(dm.LastConnectError().toStdString());
    dm.QueryInternes.SetSQL({"select titel from tblnotizen order by titel"});
    dm.QueryInternes.Open();
    QStringList titles;
    for (; !dm.QueryInternes.Eof(); dm.QueryInternes.Next())
        titles << dm.QueryInternes.FieldAsString("TITEL").trimmed();
    dm.QueryInternes.Close();
    return titles;
}

inline QString NoteText(const QString& directory, const QString& title) {
    TDataModuleNotizen dm(directory);
    if (!dm.DataModuleCreate())
        throw std::runtime_error(dm.LastConnectError().toStdString());
    dm.QueryInternes.SetSQL({"select bemerkung from tblnotizen where titel = '" + QuoteSqlText(title) + "'"});
    dm.QueryInternes.Open();
    const QString text = dm.QueryInternes.FieldAsString("BEMERKUNG");
    dm.QueryInternes.Close();
    return text;
}

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(", ").toStdString() << ']';
}
