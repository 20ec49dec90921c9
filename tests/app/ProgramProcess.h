#pragma once
// The real program run to its end as a child process, for the tests that start it.
#include <QProcess>
#include <QString>

struct TProgramEnd {
    int code = 0; // the exit code; -100 when it did not end in time (it was killed), -200 on a crash
    QString out, err;
};

// Starts the prepared process and waits for its end.
inline TProgramEnd RunToEnd(QProcess& p, const QString& program, const QStringList& args, int timeoutMs) {
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-100, {}, {}};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -200,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
