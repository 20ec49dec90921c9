// zw-publish: writes the update server's tree for a new release of Zettelwerk.
#include "publish/Publisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
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
        "Serve <out> so that <base-url>/update/zettelwerk/zettelwerk.inf is the control file, and sign\n"
        "the control file with minisign (or give --sign): the program refuses an unsigned update.\n"
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
    p.addOptions({releaseOpt, versionOpt, urlOpt, outOpt, packOpt, programOpt, excludeOpt, descrOpt,
                  silentOpt, signOpt});
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

    QStringList sign = SignCommand(p.value(signOpt), r);
    if (!p.isSet(signOpt)) {
        QStringList shown;
        for (const QString& a : sign)
            shown << Quoted(a);
        Print("Now sign the control file (the trusted comment carries the version, so the program\n"
              "refuses older releases):\n  " +
              shown.join(' ') + "\n");
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
