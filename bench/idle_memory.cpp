// Idle memory in the tray: a copy of the real program with 100 notes under an X server of its
// own with a tray host (trayer), its resident set once it has been idle past the first-start
// check and its memory has settled; beside xpad, a GTK notes program with a tray icon, given
// 100 hidden notes of its own and started the same way in the same run. Prints both, the
// ratio and the goal: Zettelwerk at most 40 MB resident. ZW_BIN_DIR names the program to
// measure (default: this build's), so an older build can be measured the same way.
#include "bench/BenchSupport.h"
#include "common/TempDatabase.h"
#include "store/TDataModuleNotizen.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <csignal>
#include <memory>
#include <stdexcept>

namespace {

constexpr int kNotes = 100;
constexpr double kGoalMb = 40.0;

struct TMemory {
    double rssMb = -1;
    double pssMb = -1;
};

struct TResults {
    TMemory zettelwerk, xpad;
} results;

double StatusKb(qint64 pid, const char* file, const QByteArray& key) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble();
    return -1;
}

TMemory MemoryOf(qint64 pid) {
    return {StatusKb(pid, "status", "VmRSS:") / 1024.0, StatusKb(pid, "smaps_rollup", "Pss:") / 1024.0};
}

// Waits until the resident set changes by less than 1 % from one second to the next (at
// least `minimumMs` after the call), then returns it.
TMemory Settled(QProcess& process, int minimumMs) {
    QElapsedTimer timer;
    timer.start();
    TMemory last = MemoryOf(process.processId());
    while (process.state() == QProcess::Running && timer.elapsed() < 60000) {
        process.waitForFinished(1000);
        const TMemory now = MemoryOf(process.processId());
        const bool steady = last.rssMb > 0 && std::abs(now.rssMb - last.rssMb) < last.rssMb * 0.01;
        last = now;
        if (steady && timer.elapsed() >= minimumMs)
            break;
    }
    return last;
}

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool Installed(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// An X server on a display it picks itself, with trayer as the tray host.
class TTrayDisplay {
public:
    TTrayDisplay() {
        for (const char* tool : {"Xvfb", "trayer", "xdotool"})
            if (!Installed(QLatin1String(tool)))
                throw std::runtime_error(std::string(tool) + " missing");
        xvfb_.start(QStringLiteral("Xvfb"),
                    {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
        QByteArray number;
        for (int i = 0; i < 100 && !number.endsWith('\n'); ++i) {
            xvfb_.waitForReadyRead(100);
            number += xvfb_.readAllStandardOutput();
        }
        if (number.trimmed().isEmpty())
            throw std::runtime_error("Xvfb did not start: " + xvfb_.readAllStandardError().toStdString());
        display_ = ':' + QString::fromLatin1(number.trimmed());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        trayer_.setProcessEnvironment(env);
        trayer_.start(QStringLiteral("trayer"), {"--edge", "top", "--align", "right", "--widthtype",
                                                 "request", "--height", "32", "--transparent", "false"});
        for (int i = 0; i < 200; ++i) {
            QProcess search;
            search.setProcessEnvironment(env);
            search.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^panel$"});
            search.waitForFinished(5000);
            if (!search.readAllStandardOutput().trimmed().isEmpty())
                return;
            QThread::msleep(100);
        }
        throw std::runtime_error("the tray host did not come up");
    }
    ~TTrayDisplay() {
        Stop(trayer_);
        Stop(xvfb_);
    }
    QString Name() const { return display_; }

private:
    QProcess xvfb_, trayer_;
    QString display_;
};

std::unique_ptr<TTrayDisplay> display; // ended before the application object

TTrayDisplay& Display() {
    if (!display)
        display = std::make_unique<TTrayDisplay>();
    return *display;
}

// A home of its own: settings, data, cache and runtime directories inside it.
QProcessEnvironment PrivateEnvironment(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"ZW_QUIT_WHEN_IDLE", "ZW_AUTO_ANSWER", "QT_QPA_PLATFORM", "FIREBIRD"})
        env.remove(QLatin1String(name));
    env.insert("DISPLAY", Display().Name());
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CACHE_HOME", home + "/.cache");
    QDir().mkpath(home + "/run");
    QFile::setPermissions(home + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert("XDG_RUNTIME_DIR", home + "/run");
    return env;
}

void BM_Zettelwerk_IdleInTray(benchmark::State& state) {
    const QString bin = qEnvironmentVariable("ZW_BIN_DIR");
    if (!QFile::exists(bin + "/zettelwerk")) {
        state.SkipWithError("zettelwerk not built");
        return;
    }
    for (auto _ : state) {
        TTempDatabase db;
        {
            TDataModuleNotizen dm(db.Directory());
            if (!dm.DataModuleCreate())
                throw std::runtime_error(dm.LastConnectError().toStdString());
            // The first-start question answered, 100 notes of a few lines each.
            dm.RunInSharedTransaction(dm.QueryInternes, {"insert into tblinterna (firststart) values (0)"});
            dm.RunInSharedTransaction(dm.QueryNotizen,
                                      {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
                                       "with recursive n as (select 1 as i from rdb$database union all",
                                       "  select i + 1 from n where i < " + QString::number(kNotes) + ")",
                                       "select gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz ' || i,",
                                       "  'Erste Zeile ' || i || ascii_char(13) || ascii_char(10) || 'Zweite "
                                       "Zeile mit Umlauten: äöü', "
                                       "'NOW' from n"});
        }
        for (const char* f : {"zettelwerk", "zettelwerk.chm"})
            if (QFile::exists(bin + "/" + f))
                QFile::copy(bin + "/" + f, db.Directory() + f);
        QFile::setPermissions(db.Directory() + "zettelwerk", QFile::permissions(bin + "/zettelwerk"));
        QTemporaryDir home;
        QProcessEnvironment env = PrivateEnvironment(home.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("ZW_AUTO_ANSWER", "default"); // "event loop running" on standard error
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(db.Directory());
        QElapsedTimer timer;
        timer.start();
        program.start(db.Directory() + "zettelwerk", {});
        QByteArray log;
        while (program.state() != QProcess::NotRunning && !log.contains("event loop running") &&
               timer.elapsed() < 60000) {
            program.waitForReadyRead(50);
            log += program.readAllStandardError();
        }
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (!log.contains("event loop running")) {
            state.SkipWithError(("zettelwerk did not get ready: " + log).constData());
            Stop(program);
            return;
        }
        // Past the first-start check one second after the start.
        results.zettelwerk = Settled(program, 3000);
        Stop(program);
    }
    state.counters["RSS_MB"] = results.zettelwerk.rssMb;
    state.counters["PSS_MB"] = results.zettelwerk.pssMb;
}

void BM_Xpad_IdleInTray(benchmark::State& state) {
    if (!Installed(QStringLiteral("xpad"))) {
        state.SkipWithError("xpad not installed (scripts/setup.sh installs it)");
        return;
    }
    for (auto _ : state) {
        QTemporaryDir home;
        const QString pads = home.path() + "/.config/xpad";
        QDir().mkpath(pads);
        // 100 hidden notes in xpad's own files: an info file naming its content file.
        for (int i = 1; i <= kNotes; ++i) {
            const QString id = QStringLiteral("%1").arg(i, 6, 10, QChar(u'0'));
            QFile content(pads + "/content-" + id), info(pads + "/info-" + id);
            if (!content.open(QIODevice::WriteOnly) || !info.open(QIODevice::WriteOnly))
                throw std::runtime_error("cannot write xpad's notes");
            content.write(
                QStringLiteral("Notiz %1\nErste Zeile %1\nZweite Zeile mit Umlauten: äöü\n").arg(i).toUtf8());
            info.write(QStringLiteral("width 300\nheight 300\nx 0\ny 0\nfollow_font 1\nfollow_color 1\n"
                                      "sticky 0\nhidden 1\ncontent content-%1\n")
                           .arg(id)
                           .toUtf8());
        }
        QProcess xpad;
        xpad.setProcessEnvironment(PrivateEnvironment(home.path()));
        xpad.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        xpad.start(QStringLiteral("xpad"), {});
        if (!xpad.waitForStarted(10000)) {
            state.SkipWithError("xpad did not start");
            return;
        }
        // xpad says nothing when it is ready: its memory settling is the sign.
        results.xpad = Settled(xpad, 4000);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (xpad.state() != QProcess::Running) {
            state.SkipWithError("xpad ended by itself");
            return;
        }
        Stop(xpad);
    }
    state.counters["RSS_MB"] = results.xpad.rssMb;
    state.counters["PSS_MB"] = results.xpad.pssMb;
}

} // namespace

BENCHMARK(BM_Zettelwerk_IdleInTray)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_Xpad_IdleInTray)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool ran = RunBenchmarks(argc, argv, [] { Display(); });
    display.reset();
    if (!ran)
        return 1;
    const TMemory& z = results.zettelwerk;
    const TMemory& x = results.xpad;
    if (z.rssMb > 0)
        std::printf("Zettelwerk idle in the tray with %d notes: %.1f MB resident (%.1f MB proportional)\n",
                    kNotes, z.rssMb, z.pssMb);
    if (x.rssMb > 0)
        std::printf("xpad idle in the tray with %d notes: %.1f MB resident (%.1f MB proportional)\n", kNotes,
                    x.rssMb, x.pssMb);
    if (z.rssMb > 0 && x.rssMb > 0)
        std::printf("resident Zettelwerk / xpad: %.2f (proportional: %.2f)\n", z.rssMb / x.rssMb,
                    z.pssMb / x.pssMb);
    if (z.rssMb <= 0)
        return 1;
    const bool met = z.rssMb <= kGoalMb;
    std::printf("goal: Zettelwerk at most %.0f MB resident: %s\n", kGoalMb, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
