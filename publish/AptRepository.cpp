#include "publish/AptRepository.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

struct TRun {
    bool Ok = false;
    QByteArray Out;
    QString Error;
};

// A tool of Debian's; its output read, its errors kept for the message. With the standard input
// passed on: gpg may ask for the key's passphrase.
TRun Run(const QString& program, const QStringList& args, const QString& dir = {}, bool interactive = false) {
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    if (interactive) {
        p.setInputChannelMode(QProcess::ForwardedInputChannel);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    p.start(program, args);
    TRun r;
    if (!p.waitForStarted(10000)) {
        r.Error = program + " cannot be started: " + p.errorString();
        return r;
    }
    // A gpg set to read passphrases from its standard input reads it at start: it gets none.
    if (!interactive)
        p.closeWriteChannel();
    p.waitForFinished(-1);
    r.Out = p.readAllStandardOutput();
    r.Ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!r.Ok)
        r.Error = program + " " + args.join(u' ') +
                  " failed: " + QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return r;
}

bool Write(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        *error = "cannot write " + path + ": " + f.errorString();
        return false;
    }
    return true;
}

QByteArray Sha256(const QString& path) {
    QFile f(path);
    QCryptographicHash h(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && h.addData(&f) ? h.result() : QByteArray();
}

TAptResult Failed(TAptResult r, const QString& error) {
    r.Ok = false;
    r.Error = error;
    return r;
}

// Names that stand in a path and in a Release file: no blank, no slash, no dot at the start.
bool Plain(const QString& s) {
    static const QRegularExpression plain("^[A-Za-z0-9][A-Za-z0-9.+~-]*$");
    return plain.match(s).hasMatch();
}

} // namespace

QString PoolPath(const TDebFields& deb, const QString& component) {
    QString version = deb.Version;
    version.remove(QRegularExpression("^[0-9]+:"));
    return "pool/" + component + u'/' + deb.Package.left(1) + u'/' + deb.Package + u'/' + deb.Package + u'_' +
           version + u'_' + deb.Architecture + ".deb";
}

QStringList ReleaseOptions(const TAptRequest& req, const QStringList& architectures) {
    const QString o = QStringLiteral("APT::FTPArchive::Release::");
    return {"-o", o + "Origin=Zettelwerk",
            "-o", o + "Label=Zettelwerk",
            "-o", o + "Suite=" + req.Suite,
            "-o", o + "Codename=" + req.Suite,
            "-o", o + "Architectures=" + architectures.join(u' '),
            "-o", o + "Components=" + req.Component,
            "-o", o + "Description=Zettelwerk, Notizen im Infobereich der Taskleiste"};
}

QList<QStringList> AptSignCommands(const QString& key, const TAptResult& r) {
    const QString dir = QFileInfo(r.Release).path();
    QStringList user;
    if (!key.isEmpty())
        user << "--local-user" << key;
    return {QStringList{"gpg", "--yes"} + user +
                QStringList{"--clearsign", "--output", dir + "/InRelease", r.Release},
            QStringList{"gpg", "--yes"} + user +
                QStringList{"--armor", "--detach-sign", "--output", dir + "/Release.gpg", r.Release}};
}

TAptResult PublishAptRepository(const TAptRequest& req) {
    TAptResult r;
    if (!Plain(req.Suite) || !Plain(req.Component))
        return Failed(r, "suite and component are plain names: " + req.Suite + ", " + req.Component);
    r.Root = QDir(req.OutputDirectory).filePath(kAptTreePath);
    const QDir root(r.Root);

    // Into the pool: each package under its Debian name; one of that name stays as it was.
    for (const QString& deb : req.Packages) {
        const TRun fields = Run("dpkg-deb", {"--field", deb, "Package", "Version", "Architecture"});
        if (!fields.Ok)
            return Failed(r, "not a Debian package: " + deb + " (" + fields.Error + ")");
        TDebFields f;
        for (const QString& line : QString::fromUtf8(fields.Out).split(u'\n')) {
            const QString value = line.section(u':', 1).trimmed();
            if (line.startsWith("Package:"))
                f.Package = value;
            else if (line.startsWith("Version:"))
                f.Version = value;
            else if (line.startsWith("Architecture:"))
                f.Architecture = value;
        }
        if (!Plain(f.Package) || f.Version.isEmpty() || !Plain(f.Architecture))
            return Failed(r, "the package lacks Package, Version or Architecture: " + deb);
        const QString target = root.filePath(PoolPath(f, req.Component));
        if (QFileInfo::exists(target)) {
            if (Sha256(target) != Sha256(deb))
                return Failed(r, target + " was published with other contents; a published package is "
                                          "never changed (apt refuses it): give the release a new version");
            continue;
        }
        QString error;
        QFile in(deb);
        if (!QDir().mkpath(QFileInfo(target).path()) || !in.open(QIODevice::ReadOnly) ||
            !Write(target, in.readAll(), &error))
            return Failed(r, error.isEmpty() ? "cannot copy " + deb + " to " + target : error);
        r.Added << target;
    }
    if (!root.exists("pool"))
        return Failed(r, "no package to publish in " + r.Root + " (give --deb)");

    // One index per architecture of the pool (packages for all architectures are in each).
    const TRun all = Run("apt-ftparchive", {"packages", "pool"}, r.Root);
    if (!all.Ok)
        return Failed(r, all.Error + " (is the Debian package apt-utils installed?)");
    static const QRegularExpression archLine("^Architecture: *(\\S+)", QRegularExpression::MultilineOption);
    for (auto it = archLine.globalMatch(QString::fromUtf8(all.Out)); it.hasNext();) {
        const QString arch = it.next().captured(1);
        if (arch != "all" && !r.Architectures.contains(arch))
            r.Architectures << arch;
    }
    if (r.Architectures.isEmpty())
        r.Architectures << "all";
    r.Architectures.sort();
    const QString suite = "dists/" + req.Suite;
    QDir(root.filePath(suite)).removeRecursively(); // indexes of architectures no longer in the pool
    for (const QString& arch : r.Architectures) {
        const QString dir = suite + u'/' + req.Component + "/binary-" + arch;
        const TRun packages = Run("apt-ftparchive", {"--arch", arch, "packages", "pool"}, r.Root);
        QString error;
        if (!packages.Ok || !QDir().mkpath(root.filePath(dir)) ||
            !Write(root.filePath(dir + "/Packages"), packages.Out, &error))
            return Failed(r, packages.Ok ? error : packages.Error);
        const TRun gz = Run("gzip", {"-9nkf", "Packages"}, root.filePath(dir));
        if (!gz.Ok)
            return Failed(r, gz.Error);
    }
    const TRun release =
        Run("apt-ftparchive", ReleaseOptions(req, r.Architectures) + QStringList{"release", suite}, r.Root);
    r.Release = root.filePath(suite + "/Release");
    QString error;
    if (!release.Ok || !Write(r.Release, release.Out, &error))
        return Failed(r, release.Ok ? error : release.Error);

    if (req.SigningKey.isEmpty()) {
        r.Ok = true;
        return r;
    }
    // Exactly one secret key: its fingerprint names what is exported for the users.
    const TRun keys = Run("gpg", {"--batch", "--with-colons", "--list-secret-keys", req.SigningKey});
    QStringList fingerprints;
    bool inKey = false;
    for (const QString& line : QString::fromUtf8(keys.Out).split(u'\n')) {
        if (line.startsWith("sec:"))
            inKey = true;
        else if (inKey && line.startsWith("fpr:")) {
            fingerprints << line.section(u':', 9, 9);
            inKey = false;
        }
    }
    if (!keys.Ok || fingerprints.size() != 1)
        return Failed(r, fingerprints.size() > 1
                             ? "the key name " + req.SigningKey + " matches " +
                                   QString::number(fingerprints.size()) + " secret keys; give the fingerprint"
                             : "no secret gpg key " + req.SigningKey + " (gpg --list-secret-keys)");
    r.KeyFingerprint = fingerprints.first();
    for (const QStringList& command : AptSignCommands(r.KeyFingerprint, r)) {
        const TRun sign = Run(command.first(), command.mid(1), {}, true);
        if (!sign.Ok)
            return Failed(r, "gpg could not sign " + r.Release + "; the package source is not signed");
    }
    const TRun exported = Run("gpg", {"--batch", "--export", r.KeyFingerprint});
    r.KeyFile = root.filePath(kAptKeyFileName);
    if (!exported.Ok || exported.Out.isEmpty() || !Write(r.KeyFile, exported.Out, &error))
        return Failed(r, exported.Ok ? error : exported.Error);
    r.Ok = true;
    return r;
}
