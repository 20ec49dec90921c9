// Connect and first statement: a data module connects to a copy of notizen.gdb and reads
// "select * from tblnotizen" to the last row (title and text of every note), beside isql-fb
// doing the same connect and select as a subprocess. Both run in the same process run.
#include "bench/BenchSupport.h"
#include "common/TempDatabase.h"
#include "store/TDataModuleNotizen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <benchmark/benchmark.h>
#include <stdexcept>

namespace {

constexpr int kNotes = 1000;

// A copy of the delivered database with kNotes notes (texts of a few hundred characters).
TTempDatabase& Db() {
    static TTempDatabase* db = [] {
        auto* b = new TTempDatabase;
        TDataModuleNotizen m(b->Directory());
        if (!m.DataModuleCreate())
            throw std::runtime_error(m.LastConnectError().toStdString());
        m.RunInSharedTransaction(
            m.QueryNotizen, {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
                             "with recursive n as (select 1 as i from rdb$database union all",
                             "  select i + 1 from n where i < " + QString::number(kNotes) + ")",
                             "select gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz Nummer ' || i,",
                             "  'Erste Zeile der Notiz ' || i || ascii_char(13) || ascii_char(10) ||",
                             "  lpad('', 200, 'Text mit etwas Inhalt und Umlauten: äöü. '), 'NOW' from n"});
        return b;
    }();
    return *db;
}

void BM_DataModule_ConnectSelectAll(benchmark::State& state) {
    const QString dir = Db().Directory();
    qint64 rows = 0;
    for (auto _ : state) {
        TDataModuleNotizen m(dir);
        if (!m.DataModuleCreate()) {
            state.SkipWithError(m.LastConnectError().toStdString().c_str());
            return;
        }
        m.QueryNotizen.SetSQL({"select * from tblnotizen"});
        m.QueryNotizen.Open();
        rows = 0;
        for (; !m.QueryNotizen.Eof(); m.QueryNotizen.Next()) {
            benchmark::DoNotOptimize(m.QueryNotizen.FieldAsString("TITEL"));
            benchmark::DoNotOptimize(m.QueryNotizen.FieldAsString("BEMERKUNG"));
            ++rows;
        }
    } // the module commits and disconnects here
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_DataModule_ConnectOnly(benchmark::State& state) {
    const QString dir = Db().Directory();
    for (auto _ : state) {
        TDataModuleNotizen m(dir);
        if (!m.DataModuleCreate()) {
            state.SkipWithError(m.LastConnectError().toStdString().c_str());
            return;
        }
    }
}

// isql-fb with the same connect and select; its output goes nowhere.
void IsqlRun(benchmark::State& state, const QString& statements) {
    const QString script = Db().Directory() + "bench.sql";
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        state.SkipWithError("cannot write the isql script");
        return;
    }
    file.write(QStringLiteral("CONNECT '%1' USER 'sysdba' PASSWORD 'lanternix';\n%2\nQUIT;\n")
                   .arg(Db().File(), statements)
                   .toUtf8());
    file.close();
    for (auto _ : state) {
        QProcess isql;
        isql.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        isql.start("isql-fb", {"-q", "-bail", "-i", script});
        const bool ok = isql.waitForFinished(120000) && isql.exitCode() == 0;
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (!ok) {
            state.SkipWithError(("isql-fb failed: " + isql.readAllStandardError()).constData());
            return;
        }
    }
}

void BM_Isql_ConnectSelectAll(benchmark::State& state) {
    IsqlRun(state, "select * from tblnotizen;");
}
void BM_Isql_ConnectOnly(benchmark::State& state) {
    IsqlRun(state, "");
}

} // namespace

BENCHMARK(BM_DataModule_ConnectOnly)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Isql_ConnectOnly)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_DataModule_ConnectSelectAll)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Isql_ConnectSelectAll)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv, [] { Db(); }) ? 0 : 1;
}
