// Publishing a release as the maker does: zw-publish writing the update tree alone, beside the
// same with the signed APT package source (--deb, --apt-key). Goal: the package source adds at
// most 10 s. The package is the build's (test-artifacts/package, else made with cpack); the gpg
// key is made for the run, without a passphrase.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <stdexcept>

namespace {

QTemporaryDir* work = nullptr;
QString deb;

void Run(const QString& program, const QStringList& args, const QString& dir = {}) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(
            (program + " " + args.join(' ') + ": " + QString::fromLocal8Bit(p.readAll())).toStdString());
}

void SetUp() {
    static QTemporaryDir dir;
    work = &dir;
    const QString bin = qEnvironmentVariable("ZW_BIN_DIR");
    const QDir release(dir.filePath("release"));
    QDir().mkpath(release.path());
    for (const char* f : {"zettelwerk", "zettelwerk.chm"})
        if (!QFile::copy(bin + "/" + f, release.filePath(f)))
            throw std::runtime_error(std::string("no ") + f + " in " + bin.toStdString());
    const QDir built(bin + "/../test-artifacts/package");
    const QStringList debs = built.entryList({"*.deb"});
    if (!debs.isEmpty()) {
        deb = built.filePath(debs.first());
    } else {
        Run("cpack", {"--config", bin + "/../CPackConfig.cmake", "-B", dir.filePath("package")});
        deb = QDir(dir.filePath("package"))
                  .filePath(QDir(dir.filePath("package")).entryList({"*.deb"}).value(0));
    }
    const QString gnupg = dir.filePath("gnupg");
    QDir().mkdir(gnupg);
    QFile::setPermissions(gnupg, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("GNUPGHOME", QFile::encodeName(gnupg));
    Run("gpg", {"--batch", "--passphrase", "", "--quick-gen-key", "Bench <bench@zettelwerk.example>",
                "ed25519", "sign", "never"});
}

void Publish(benchmark::State& state, bool packageSource) {
    const QString bin = qEnvironmentVariable("ZW_BIN_DIR");
    int n = 0;
    for (auto _ : state) {
        const QString out = work->filePath(QString("site-%1-%2").arg(packageSource).arg(n++));
        QStringList args = {"--release",  work->filePath("release"),     "--version", "1.0.1",
                            "--base-url", "https://updates.example.org", "--out",     out};
        if (packageSource)
            args << "--deb" << deb << "--apt-key"
                 << "Bench";
        Run(bin + "/zw-publish", args);
        state.PauseTiming();
        QDir(out).removeRecursively();
        state.ResumeTiming();
    }
}

void BM_UpdateTree(benchmark::State& state) {
    Publish(state, false);
}
void BM_UpdateTreeAndPackageSource(benchmark::State& state) {
    Publish(state, true);
}
BENCHMARK(BM_UpdateTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_UpdateTreeAndPackageSource)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool ok = RunBenchmarks(argc, argv, SetUp);
    if (work)
        QProcess::execute("gpgconf", {"--kill", "gpg-agent"});
    return ok ? 0 : 1;
}
