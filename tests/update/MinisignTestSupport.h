#pragma once
// Key pairs and signatures made by the real minisign command, an independent signer.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace updtest {

inline bool HaveMinisign() {
    return !QStandardPaths::findExecutable("minisign").isEmpty();
}

// One unencrypted key pair in a directory of its own.
class TMinisignKey {
public:
    TMinisignKey() {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.start("minisign", {"-G", "-W", "-p", PublicKeyFile(), "-s", SecretKeyFile()});
        ok_ = p.waitForFinished(30000) && p.exitCode() == 0 && QFile::exists(PublicKeyFile());
    }
    bool Ok() const { return ok_; }
    QString PublicKeyFile() const { return dir_.filePath("update.pub"); }
    QString SecretKeyFile() const { return dir_.filePath("update.sec"); }
    QByteArray PublicKeyText() const {
        QFile f(PublicKeyFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Signs file into signatureFile (default: file + ".minisig"); legacy: the "Ed" form.
    bool Sign(const QString& file, const QString& trustedComment, const QString& signatureFile = {},
              bool legacy = false) const {
        QStringList args = {"-S", "-s", SecretKeyFile(), "-m", file, "-t", trustedComment};
        if (legacy)
            args << "-l";
        if (!signatureFile.isEmpty())
            args << "-x" << signatureFile;
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.start("minisign", args);
        return p.waitForFinished(30000) && p.exitCode() == 0;
    }

private:
    QTemporaryDir dir_;
    bool ok_ = false;
};

} // namespace updtest
