// zw-publish: writes the update server's tree for a new release of Zettelwerk.
#include "publish/AptRepository.h"
#include "publish/Publisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>

namespace {

QString Quoted(const QString& arg) {
    if (!arg.isEmpty() && !arg.contains(QRegularExpression("[^A-Za-z0-9_./:=+-]")))
        return arg;
    QString a = arg;
    return "'" + a.replace("'", "'\\''") + "'";
}

void Print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

QString Shown(const QStringList& command) {
    QStringList shown;
    for (const QString& a : command)
        shown << Quoted(a);
    return shown.join(u' ');
}

// The package source beside the update tree: one upload serves the installed programs too.
bool PublishApt(const QStringList& packages, const QString& out, const QString& key) {
    TAptRequest req;
    req.Packages = packages;
    req.OutputDirectory = out;
    req.SigningKey = key;
    const TAptResult r = PublishAptRepository(req);
    for (const QString& f : r.Added)
        Print("Wrote " + f + "\n");
    if (!r.Ok) {
        std::fprintf(stderr, "zw-publish: %s\n", r.Error.toLocal8Bit().constData());
        return false;
    }
    Print("Wrote " + r.Release + " (" + r.Architectures.join(", ") + ")\n");
    // What software centres show: the screenshot that the package's AppStream file names.
    const QString shots = QDir(out).filePath("screenshots");
    const QString shot = QDir(shots).filePath("zettelwerk-notizenliste.png");
    QFile::remove(shot);
    if (!QDir().mkpath(shots) || !QFile::copy(":/screenshots/zettelwerk-notizenliste.png", shot) ||
        !QFile::setPermissions(shot,
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)) {
        std::fprintf(stderr, "zw-publish: cannot write %s\n", shot.toLocal8Bit().constData());
        return false;
    }
    Print("Wrote " + shot + "\n");
    if (key.isEmpty()) {
        Print("Now sign the package source's Release file (apt refuses an unsigned source), and put the\n"
              "public key (gpg --export KEY) into " +
              QDir(r.Root).filePath(kAptKeyFileName) + ":\n");
        for (const QStringList& command : AptSignCommands(QString(), r))
            Print("  " + Shown(command) + "\n");
        return true;
    }
    Print("Signed " + r.Release + " with " + r.KeyFingerprint + "\nWrote " + r.KeyFile + "\n");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zw-publish");
    QCommandLineParser p;
    p.setApplicationDescription(
        "Writes what the update server must hold for a new release of Zettelwerk:\n"
        "  <out>/update/zettelwerk/zettelwerk.inf  the control file (version, restart, file list with\n"
        "                                          sizes and SHA-256)\n"
        "  <out>/update/zettelwerk/...             the release's files, packed\n"
        "  <out>/apt/                              with --deb: the APT package source (pool, indexes,\n"
        "                                          Release signed with gpg, the key for Signed-By)\n"
        "Serve <out> so that <base-url>/update/zettelwerk/zettelwerk.inf is the control file, and sign\n"
        "the control file with minisign (or give --sign): the program refuses an unsigned update.\n"
        "Keep <out> between releases: the package source's pool keeps the published packages.\n"
        "The database (notizen.gdb), its backup and the logs are never published.");
    p.addHelpOption();
    const QCommandLineOption releaseOpt({"r", "release"}, "Directory with the new release's files.", "dir");
    const QCommandLineOption versionOpt({"v", "version"}, "Version of the new release (e.g. 1.0.1).",
                                        "version");
    const QCommandLineOption urlOpt({"u", "base-url"}, "Scheme and host of the update server.", "url");
    const QCommandLineOption outOpt({"o", "out"}, "Directory the server tree is written into (default: .).",
                                    "dir", ".");
    const QCommandLineOption packOpt("pack", "cab (one cabinet, default) or szdd (each file).", "kind",
                                     "cab");
    const QCommandLineOption programOpt("program", "The executable's name (default: zettelwerk).", "name",
                                        "zettelwerk");
    const QCommandLineOption excludeOpt("exclude", "Leave a file of the release out (repeatable).", "name");
    const QCommandLineOption descrOpt("descr", "Description of the update.", "text");
    const QCommandLineOption silentOpt("silent-restart", "Restart the program without asking the user.");
    const QCommandLineOption signOpt("sign", "Sign the control file with this minisign secret key.", "key");
    const QCommandLineOption debOpt(
        "deb", "The release's Debian package, added to the APT source (repeatable).", "file");
    const QCommandLineOption aptKeyOpt("apt-key", "Sign the APT source's Release file with this gpg key.",
                                       "key");
    p.addOptions({releaseOpt, versionOpt, urlOpt, outOpt, packOpt, programOpt, excludeOpt, descrOpt,
                  silentOpt, signOpt, debOpt, aptKeyOpt});
    p.process(app);

    if (!p.isSet(releaseOpt) || !p.isSet(versionOpt) || !p.isSet(urlOpt)) {
        std::fprintf(stderr, "zw-publish: --release, --version and --base-url are needed (see --help)\n");
        return 2;
    }
    TPublishRequest req;
    req.ReleaseDirectory = p.value(releaseOpt);
    req.Version = p.value(versionOpt);
    req.BaseUrl = p.value(urlOpt);
    req.OutputDirectory = p.value(outOpt);
    req.Program = p.value(programOpt);
    req.Exclude += p.values(excludeOpt);
    req.Description = p.value(descrOpt);
    req.SilentRestart = p.isSet(silentOpt);
    if (p.value(packOpt) == "szdd")
        req.Pack = TPackKind::Szdd;
    else if (p.value(packOpt) != "cab") {
        std::fprintf(stderr, "zw-publish: --pack is cab or szdd\n");
        return 2;
    }

    const TPublishResult r = Publish(req);
    if (!r.Ok) {
        std::fprintf(stderr, "zw-publish: %s\n", r.Error.toLocal8Bit().constData());
        return 1;
    }
    Print("Release " + req.Version + ": " + r.Published.join(", ") + "\n");
    if (!r.Skipped.isEmpty())
        Print("Left out: " + r.Skipped.join(", ") + "\n");
    Print("Wrote " + r.ControlFile + "\n");
    for (const QString& f : r.ServerFiles)
        Print("Wrote " + f + "\n");

    if (p.isSet(debOpt) && !PublishApt(p.values(debOpt), req.OutputDirectory, p.value(aptKeyOpt)))
        return 1;

    QStringList sign = SignCommand(p.value(signOpt), r);
    if (!p.isSet(signOpt)) {
        Print("Now sign the control file (the trusted comment carries the version, so the program\n"
              "refuses older releases):\n  " +
              Shown(sign) + "\n");
        return 0;
    }
    QProcess minisign;
    minisign.setProcessChannelMode(QProcess::ForwardedChannels);
    minisign.setInputChannelMode(QProcess::ForwardedInputChannel); // the key's password, if any
    minisign.start(sign.takeFirst(), sign);
    if (!minisign.waitForStarted(10000)) {
        std::fprintf(stderr, "zw-publish: minisign cannot be started (Debian package minisign)\n");
        return 1;
    }
    minisign.waitForFinished(-1);
    if (minisign.exitStatus() != QProcess::NormalExit || minisign.exitCode() != 0) {
        std::fprintf(stderr, "zw-publish: minisign failed; the control file is not signed\n");
        return 1;
    }
    Print("Signed " + r.ControlFile + ".minisig\n");
    return 0;
}
