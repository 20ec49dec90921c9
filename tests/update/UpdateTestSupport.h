#pragma once
// Helpers for the update tests: files, versioned ELF files, SZDD data and a loopback HTTP server.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace updtest {

inline QString SourceDir() {
    const QByteArray env = qgetenv("ZW_SOURCE_DIR");
    return env.isEmpty() ? QString(ZW_TEST_SOURCE_DIR) : QString::fromLocal8Bit(env);
}

inline void WriteFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size());
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

// A copy of a small system program with a version block of the given file version.
inline bool MakeVersionedFile(const QString& path, const QString& fileVersion) {
    const QString block = path + ".block";
    QByteArray text = "ZWVERSION 1\n\\FixedFileVersion=" + fileVersion.toUtf8() +
                      "\n\\FixedProductVersion=" + fileVersion.toUtf8() + "\n";
    text.append('\0');
    QFile b(block);
    if (!b.open(QIODevice::WriteOnly))
        return false;
    b.write(text);
    b.close();
    QFile::remove(path);
    const int rc = QProcess::execute("objcopy", {"--add-section", ".zwversion=" + block, "/bin/true", path});
    QFile::remove(block);
    return rc == 0;
}

// SZDD data with literals only (every flag byte 0xFF).
inline QByteArray SzddLiteral(const QByteArray& data, char missingChar) {
    QByteArray out("SZDD\x88\xF0\x27\x33", 8);
    out.append('A');
    out.append(missingChar);
    const quint32 n = quint32(data.size());
    for (int i = 0; i < 4; ++i)
        out.append(char((n >> (8 * i)) & 0xFF));
    for (qsizetype i = 0; i < data.size(); i += 8) {
        out.append(char(0xFF));
        out.append(data.mid(i, 8));
    }
    return out;
}

// The test HTTP server on 127.0.0.1, serving files from Root().
class THttpServer {
public:
    THttpServer() {
        FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        FProcess.start("python3", {SourceDir() + "/tests/update/http_test_server.py", FRoot.path()});
        if (!FProcess.waitForStarted(10000))
            return;
        for (int i = 0; i < 100 && !FProcess.canReadLine(); ++i)
            FProcess.waitForReadyRead(100);
        const QByteArray line = FProcess.readLine().trimmed();
        if (line.startsWith("PORT "))
            FPort = line.mid(5).toInt();
    }
    ~THttpServer() {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(3000)) {
            FProcess.kill();
            FProcess.waitForFinished(3000);
        }
    }
    bool Running() const { return FPort > 0; }
    int Port() const { return FPort; }
    QString Root() const { return FRoot.path(); }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(FPort).arg(path);
    }

private:
    QTemporaryDir FRoot;
    QProcess FProcess;
    int FPort = 0;
};

} // namespace updtest
