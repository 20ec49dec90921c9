#include "publish/Publisher.h"

#include "update/Minisign.h"
#include "update/SzddEncoder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {

QByteArray Sha256Of(const QString& path) {
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f))
        return QByteArray();
    return hash.result().toHex();
}

bool WriteAtomically(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        *error = "cannot write " + path + ": " + f.errorString();
        return false;
    }
    return true;
}

TPublishResult Failed(TPublishResult r, const QString& error) {
    r.Ok = false;
    r.Error = error;
    return r;
}

// A value on one line of the control file: no line breaks, no blanks around it.
bool OneLine(const QString& value) {
    return !value.contains(u'\n') && !value.contains(u'\r') && value == value.trimmed();
}

} // namespace

TPublishResult Publish(const TPublishRequest& req) {
    TPublishResult r;
    // One to four numbers of at most 65535, as the version block holds them.
    static const QRegularExpression versionText(R"(^\d{1,5}(\.\d{1,5}){0,3}$)");
    bool versionOk = versionText.match(req.Version).hasMatch();
    for (const QString& part : req.Version.split(u'.'))
        versionOk = versionOk && part.toInt() <= 65535;
    if (!versionOk)
        return Failed(r, "no version of one to four numbers: " + req.Version);
    QString base = req.BaseUrl;
    while (base.endsWith(u'/'))
        base.chop(1);
    if (!base.startsWith("http://") && !base.startsWith("https://"))
        return Failed(r, "the base URL must start with http:// or https://: " + req.BaseUrl);
    const QString description = req.Description.isEmpty() ? "Zettelwerk " + req.Version : req.Description;
    if (!OneLine(base) || base.contains(u' '))
        return Failed(r, "the base URL may hold no blank: " + base);
    if (req.Program.isEmpty() || !OneLine(req.Program) || req.Program.contains(u' ') ||
        req.Program.contains(u'/'))
        return Failed(r, "no program file name: " + req.Program);
    if (!OneLine(description))
        return Failed(r, "the description must be one line: " + description);

    const QDir release(req.ReleaseDirectory);
    if (!release.exists())
        return Failed(r, "no release directory " + req.ReleaseDirectory);
    for (const QFileInfo& f : release.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (req.Exclude.contains(f.fileName(), Qt::CaseInsensitive) || f.fileName().endsWith(".minisig"))
            r.Skipped << f.fileName();
        else if (f.fileName().contains(u' ') || f.fileName().endsWith("_new", Qt::CaseInsensitive))
            return Failed(r, "a release file name may hold no blank and not end in _new: " + f.fileName());
        else
            r.Published << f.fileName();
    }
    if (!r.Published.contains(req.Program))
        return Failed(r, "the release has no program file " + req.Program);
    // The program first: a restart needs it in place before anything else.
    r.Published.removeAll(req.Program);
    r.Published.prepend(req.Program);

    const QString out = QDir(req.OutputDirectory).filePath(kUpdateTreePath);
    if (!QDir().mkpath(out))
        return Failed(r, "cannot create " + out);
    const QString url = base + u'/' + kUpdateTreePath + u'/';
    const QString local = "{APP}/" + req.Program;

    QStringList components;
    QString entries;
    int count = 0;
    auto entry = [&](const QString& name, bool compressed) {
        const QString path = QDir(out).filePath(name);
        entries += QString("\n[file%1]\nurl=%2\ndescr=%3\nnewversion=%4\nlocalversion=%5\nfilesize=%6\n"
                           "sha256=%7\n")
                       .arg(++count)
                       .arg(url + name, description, req.Version, local)
                       .arg(QFileInfo(path).size())
                       .arg(QString::fromLatin1(Sha256Of(path)));
        if (compressed)
            entries += "compressed=1\n";
        r.ServerFiles << path;
    };

    if (req.Pack == TPackKind::Cabinet) {
        // Staged under the names the updater puts in place; gcab stores them without a path.
        QTemporaryDir stage;
        if (!stage.isValid())
            return Failed(r, "no temporary directory: " + stage.errorString());
        QStringList args = {"--create", "--zip", "--nopath"};
        const QString cab = "zettelwerk-" + req.Version + ".cab";
        args << QDir(out).filePath(cab);
        for (const QString& name : r.Published) {
            const QString staged = stage.filePath(name + "_new");
            if (!QFile::copy(release.filePath(name), staged))
                return Failed(r, "cannot read " + release.filePath(name));
            args << staged;
        }
        QFile::remove(QDir(out).filePath(cab));
        QProcess gcab;
        gcab.setProcessChannelMode(QProcess::MergedChannels);
        gcab.start("gcab", args);
        if (!gcab.waitForFinished(600000) || gcab.exitStatus() != QProcess::NormalExit ||
            gcab.exitCode() != 0)
            return Failed(r, "gcab failed (is the Debian package gcab installed?): " +
                                 QString::fromLocal8Bit(gcab.readAll()).trimmed() + gcab.errorString());
        components << cab;
        entry(cab, false);
    } else {
        for (const QString& name : r.Published) {
            QFile in(release.filePath(name));
            if (!in.open(QIODevice::ReadOnly))
                return Failed(r, "cannot read " + in.fileName());
            // "<name>_new" packed as "<name>_ne_", the last letter kept in the header.
            const QString packed = name + "_ne_";
            QString error;
            if (!WriteAtomically(QDir(out).filePath(packed), SzddCompress(in.readAll(), 'w'), &error))
                return Failed(r, error);
            entry(packed, true);
        }
    }
    for (const QString& name : r.Published)
        components << name + "_new";

    const QString control =
        QString("; Written by zw-publish for Zettelwerk %1. Sign it before publishing.\n"
                "[update]\ndescr=%2\nnewversion=%1\nlocalversion=%3\n\n"
                "[application]\nappupdate=1\nappname=%4\nappcomps=%5\nsilentrestart=%6\n\n"
                "[files]\ncount=%7\n")
            .arg(req.Version, description, local, req.Program, components.join(u' '))
            .arg(req.SilentRestart ? 1 : 0)
            .arg(count) +
        entries;
    r.ControlFile = QDir(out).filePath("zettelwerk.inf");
    QString error;
    if (!WriteAtomically(r.ControlFile, control.toUtf8(), &error))
        return Failed(r, error);
    // A signature of an earlier control file would not fit this one.
    QFile::remove(r.ControlFile + ".minisig");
    r.TrustedComment = QString::fromUtf8(ReleaseTrustedComment(req.Version, "zettelwerk.inf"));
    r.Ok = true;
    return r;
}

QStringList SignCommand(const QString& secretKey, const TPublishResult& result) {
    QStringList args = {"minisign", "-S"};
    if (!secretKey.isEmpty())
        args << "-s" << secretKey;
    args << "-m" << result.ControlFile << "-t" << result.TrustedComment;
    return args;
}
