// Downloading a 64 MB file from a loopback server: DownloadFile (4096-byte blocks, one progress
// event and one event-loop pump per block) against "curl -o" on the same server in the same run.
#include "bench/BenchSupport.h"
#include "platform/InternetSession.h"
#include "update/FileTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr qint64 FileSize = 64 * 1024 * 1024;

struct TServer {
    QTemporaryDir root;
    QTemporaryDir work;
    QProcess process;
    int port = 0;

    bool Start() {
        QFile f(root.filePath("big.bin"));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i * 31 + 7);
        for (qint64 written = 0; written < FileSize; written += block.size())
            f.write(block);
        f.close();
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
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/files/big.bin").arg(port); }
};

TServer* server = nullptr;
double downloadSeconds = 0, curlSeconds = 0;
int downloadRuns = 0, curlRuns = 0;

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

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TServer s;
    const bool ran = RunBenchmarks(argc, argv, [&s] {
        if (!s.Start())
            throw std::runtime_error("test server did not start");
        server = &s;
    });
    server = nullptr;
    if (!ran)
        return 1;
    if (downloadRuns && curlRuns) {
        const double ratio = (downloadSeconds / downloadRuns) / (curlSeconds / curlRuns);
        std::printf("DownloadFile / curl -o: %.2f (goal: at most 1.30)\n", ratio);
    }
    return 0;
}
