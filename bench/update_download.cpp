// Downloading a 64 MB file from a loopback server: DownloadFile (4096-byte blocks, one progress
// event and one event-loop pump per block; unsigned, so no hash) against "curl -o" on the same
// server in the same run.
// And a whole update run of a 20 MB release, signed (signature fetched and verified, SHA-256 of
// the download checked) against the same run unsigned: what verification adds.
#include "bench/BenchSupport.h"
#include "platform/InternetSession.h"
#include "update/FileTransfer.h"
#include "update/MinisignTestSupport.h"
#include "update/TUpdateEngine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

constexpr qint64 FileSize = 64 * 1024 * 1024;
constexpr qint64 ReleaseSize = 20 * 1024 * 1024;

struct TServer {
    QTemporaryDir root;
    QTemporaryDir work;
    QProcess process;
    int port = 0;

    updtest::TMinisignKey key;

    static bool WriteFile(const QString& path, qint64 size) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i * 31 + 7);
        for (qint64 written = 0; written < size; written += block.size())
            f.write(block);
        return true;
    }

    bool Start() {
        if (!WriteFile(root.filePath("big.bin"), FileSize) ||
            !WriteFile(root.filePath("release_new"), ReleaseSize))
            return false;
        process.start("python3", {QString(ZW_SOURCE_DIR) + "/tests/update/http_test_server.py", root.path()});
        if (!process.waitForStarted(10000))
            return false;
        for (int i = 0; i < 100 && !process.canReadLine(); ++i)
            process.waitForReadyRead(100);
        const QByteArray line = process.readLine().trimmed();
        if (line.startsWith("PORT "))
            port = line.mid(5).toInt();
        return port > 0;
    }
    ~TServer() {
        process.closeWriteChannel();
        if (!process.waitForFinished(3000))
            process.kill();
    }
    QString Url(const QString& name = "big.bin") const {
        return QStringLiteral("http://127.0.0.1:%1/files/%2").arg(port).arg(name);
    }

    // The control files of the release: one signed (with the checksum), one plain.
    bool PrepareRelease() {
        QFile release(root.filePath("release_new"));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!key.Ok() || !release.open(QIODevice::ReadOnly) || !hash.addData(&release))
            return false;
        const QByteArray entry =
            "[update]\nunconditional=yes\n[files]\ncount=1\n[file1]\nurl=" + Url("release_new").toUtf8() +
            "\n";
        auto write = [this](const QString& name, const QByteArray& text) {
            QFile f(root.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
        };
        return write("plain.inf", entry) &&
               write("signed.inf", entry + "sha256=" + hash.result().toHex() + "\n") &&
               key.Sign(root.filePath("signed.inf"), "version:9.0 file:signed.inf");
    }
};

class TYesHost : public TUpdateHost {
public:
    TModalResult Ask(const QString&, TMsgDlgType, int buttons) override {
        return (buttons & mbYes) ? TModalResult::Yes : TModalResult::OK;
    }
    bool ShowText(const TTextDialogRequest&) override { return true; }
    void TerminateApplication() override {}
};

TServer* server = nullptr;
double downloadSeconds = 0, curlSeconds = 0;
int downloadRuns = 0, curlRuns = 0;
// Each run's time by kind (unsigned, signed, checksum only); compared by their medians, which a
// busy moment of the shared machine moves less than the means.
std::vector<double> runSeconds[3];

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One kind of update run of the 20 MB release, each into a scratch program directory of its own.
struct TUpdateRun {
    // 0 unsigned, 1 signed, 2 unsigned but with the checksum checked (what hashing alone costs).
    explicit TUpdateRun(int kind) : kind(kind) {
        engine.SetHost(&host);
        engine.UpdateType = httpUpdate;
        engine.URL = server->Url(kind == 0 ? "plain.inf" : "signed.inf");
        engine.RequireSignature = kind == 1;
        engine.PublicKey = ParseMinisignPublicKey(server->key.PublicKeyText());
    }
    bool Run() {
        const QString old = QDir::currentPath();
        QDir::setCurrent(program.path());
        QFile::remove(program.filePath("release_new"));
        QElapsedTimer t;
        t.start();
        engine.RunUpdate();
        runSeconds[kind].push_back(t.nsecsElapsed() / 1e9);
        const bool placed = engine.RunEnd() == TRunEnd::Finished &&
                            QFileInfo(program.filePath("release_new")).size() == ReleaseSize;
        QDir::setCurrent(old);
        return placed;
    }
    int kind;
    QTemporaryDir program;
    TYesHost host;
    TUpdateEngine engine;
};

// The three kinds take turns within each iteration, in an order that rotates, so neither the
// machine's slow moments nor the write-back of the previous run's 20 MB favour one of them.
void BM_UpdateRuns(benchmark::State& state) {
    TUpdateRun runs[3] = {TUpdateRun(0), TUpdateRun(1), TUpdateRun(2)};
    int turn = 0;
    for (auto _ : state) {
        for (int i = 0; i < 3; ++i)
            if (!runs[(turn + i) % 3].Run())
                state.SkipWithError("an update run did not put the release in place");
        ++turn;
    }
    state.SetBytesProcessed(state.iterations() * 3 * ReleaseSize);
}

void BM_DownloadFile(benchmark::State& state) {
    std::unique_ptr<TInternetSession> session = Internet().Open("TUpdateEngine", QString());
    TTransferContext ctx;
    ctx.Settings.TempDirectory = server->work.path();
    qint64 events = 0;
    ctx.Events.FileProgress = [&](const QString&, qint64, qint64) { ++events; };
    const QString target = server->work.path() + "/";
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const bool ok = DownloadFile(ctx, session.get(), server->Url(), false, target);
        downloadSeconds += t.nsecsElapsed() / 1e9;
        ++downloadRuns;
        if (!ok || QFileInfo(target + "big.bin").size() != FileSize)
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(state.iterations() * FileSize);
    state.counters["blocks"] = double(events) / double(state.iterations());
}

void BM_CurlCommand(benchmark::State& state) {
    const QString target = server->work.filePath("curl.bin");
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const int rc = QProcess::execute("curl", {"-s", "-o", target, server->Url()});
        curlSeconds += t.nsecsElapsed() / 1e9;
        ++curlRuns;
        if (rc != 0 || QFileInfo(target).size() != FileSize)
            state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(state.iterations() * FileSize);
}

} // namespace

BENCHMARK(BM_CurlCommand)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_DownloadFile)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_CurlCommand)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_UpdateRuns)->Unit(benchmark::kMillisecond)->Iterations(60)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TServer s;
    const bool ran = RunBenchmarks(argc, argv, [&s] {
        if (!s.Start())
            throw std::runtime_error("test server did not start");
        if (!s.PrepareRelease())
            throw std::runtime_error("the release could not be signed (minisign installed?)");
        server = &s;
    });
    server = nullptr;
    if (!ran)
        return 1;
    if (downloadRuns && curlRuns) {
        const double ratio = (downloadSeconds / downloadRuns) / (curlSeconds / curlRuns);
        std::printf("DownloadFile / curl -o: %.2f (goal: at most 1.10)\n", ratio);
    }
    if (!runSeconds[0].empty() && !runSeconds[1].empty()) {
        const double ratio = Median(runSeconds[1]) / Median(runSeconds[0]);
        std::printf(
            "update run of 20 MB (median of %zu runs each), signed / unsigned: %.3f (goal: at most 1.05)\n",
            runSeconds[0].size(), ratio);
    }
    if (!runSeconds[0].empty() && !runSeconds[2].empty())
        std::printf("update run of 20 MB, checksum only / unsigned: %.3f\n",
                    Median(runSeconds[2]) / Median(runSeconds[0]));
    return 0;
}
