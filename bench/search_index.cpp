// The search while typing with 100,000 notes: the in-memory index's load, its search, its refresh
// from the change journal (nothing changed; one note changed by another program) and its memory
// beside the texts' size; on the embedded file and on the same database on a private server over
// loopback; beside isql-fb running the first release's search statement and the word statement
// used where there is no index.
#include "bench/BenchSupport.h"
#include "bench/NotesDatabase.h"
#include "common/FirebirdServer.h"
#include "store/NoteStatements.h"
#include "store/SearchIndex.h"
#include "store/SearchRules.h"
#include "store/StoreInternals.h"
#include "store/TDataModuleNotizen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

namespace {

const QStringList kTerms = {"Einkauf", "Heizkosten gestiegen", "strasse", "Zauberberg Meißen", "e",
                            "%oma%",   "gibt es nicht"};
const QString kIsqlTerm = QStringLiteral("Einkauf");

struct TResults {
    double loadMs[2] = {0, 0};
    double refreshMs[2] = {0, 0};
    double refreshOneMs[2] = {0, 0};
    std::map<QString, double> findMs;
    double indexMb = 0, residentMb = 0, textsMb = 0;
    double isqlSpecified[2] = {0, 0};
    double isqlWords = 0;
} results;

// A working copy of the 100,000 notes, connected, with a loaded index.
struct TBenchDatabase : TBenchCopy {
    std::unique_ptr<TSearchIndex> index;

    explicit TBenchDatabase(bool onServer) : TBenchCopy(QStringLiteral("search-run"), onServer) { Create(); }
    // A fresh index, loaded in slices of 20 ms as the list window does; milliseconds.
    double Load() {
        Connect();
        index.reset();
        QElapsedTimer timer;
        timer.start();
        index = std::make_unique<TSearchIndex>(*dm);
        while (!index->LoadSlice(20))
            ;
        if (!index->Ready())
            throw std::runtime_error(index->LastError().toStdString());
        return timer.nsecsElapsed() / 1e6;
    }
};

std::unique_ptr<TBenchDatabase> databases[2];
TBenchDatabase& Db(benchmark::State& state) {
    auto& db = databases[state.range(0)];
    if (!db)
        db = std::make_unique<TBenchDatabase>(state.range(0) == 1);
    return *db;
}

void BM_Index_Load(benchmark::State& state) {
    auto& db = Db(state);
    db.index.reset();
    const double before = ResidentMb();
    double total = 0;
    for (auto _ : state)
        total += db.Load();
    results.loadMs[state.range(0)] = total / double(state.iterations());
    state.counters["notes"] = double(db.index->Count());
    state.counters["index_MB"] = double(db.index->MemoryBytes()) / 1e6;
    if (state.range(0) == 0) {
        results.indexMb = double(db.index->MemoryBytes()) / 1024 / 1024;
        results.residentMb = ResidentMb() - before;
        state.counters["resident_MB"] = results.residentMb;
    }
}

void BM_Index_Find(benchmark::State& state) {
    auto& db = Db(state);
    if (!db.index)
        db.Load();
    const QString term = kTerms[int(state.range(1))];
    state.SetLabel(term.toStdString());
    size_t found = 0;
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        const std::vector<qint64> ids = db.index->Find(term);
        found = ids.size();
        benchmark::DoNotOptimize(ids.data());
    }
    results.findMs[term] = timer.nsecsElapsed() / 1e6 / double(state.iterations());
    state.counters["found"] = double(found);
}

void BM_Index_RefreshUnchanged(benchmark::State& state) {
    auto& db = Db(state);
    if (!db.index)
        db.Load();
    db.index->Refresh();
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state)
        db.index->Refresh();
    results.refreshMs[state.range(0)] = timer.nsecsElapsed() / 1e6 / double(state.iterations());
}

// Another program changes one note and commits; the refresh and the search that follow.
void BM_Index_RefreshAfterOneChange(benchmark::State& state) {
    auto& db = Db(state);
    if (!db.index)
        db.Load();
    fb::Attachment other;
    other.Attach(QFile::encodeName(db.connection).toStdString(), "sysdba", "lanternix");
    int round = 0;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString word = QStringLiteral("Wortmarke%1x").arg(++round);
        fb::Transaction tr;
        tr.Start(other, fb::Transaction::SharedTpb());
        fb::Statement s(other);
        s.Prepare(tr, "update tblnotizen set bemerkung = bemerkung || ' " + word + "' where id = 4711", 3);
        s.Execute(tr);
        tr.Commit();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        db.index->Refresh();
        const auto ids = db.index->Find(word);
        total += timer.nsecsElapsed() / 1e6;
        if (ids != std::vector<qint64>{4711})
            state.SkipWithError("the changed note is not found");
    }
    other.Detach();
    results.refreshOneMs[state.range(0)] = total / double(state.iterations());
}

double IsqlBench(benchmark::State& state, const QString& statement) {
    auto& db = Db(state);
    db.index.reset();
    if (db.dm->Database.Connected())
        db.dm->Database.Close(); // an embedded isql-fb needs the file to itself
    const double baseline = RunIsql(db.connection, "select 1 from rdb$database;");
    double total = 0;
    for (auto _ : state) {
        const double ms = RunIsql(db.connection, "SET BLOB OFF;\n" + statement + ";");
        total += ms;
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["startup_ms"] = baseline;
    return total / double(state.iterations()) - baseline;
}

void BM_Isql_SpecifiedSearch(benchmark::State& state) {
    results.isqlSpecified[state.range(0)] = IsqlBench(state, BuildSearchStatement(kIsqlTerm));
}

void BM_Isql_WordStatement(benchmark::State& state) {
    results.isqlWords = IsqlBench(state, SearchStatement("Heizkosten gestiegen"));
}

void TextsSize() {
    TBenchDatabase& db = *databases[0];
    db.Connect();
    fb::Attachment& att = ConnectedAttachment(*db.dm);
    fb::Transaction tr;
    tr.Start(att, fb::Transaction::SharedTpb());
    fb::Statement s(att);
    s.Prepare(tr, "select sum(octet_length(bemerkung)) + sum(octet_length(titel)) from tblnotizen", 3);
    s.Execute(tr);
    s.Fetch();
    results.textsMb = double(s.AsInt64(0)) / 1024 / 1024;
    s.CloseCursor();
    tr.Commit();
}

} // namespace

BENCHMARK(BM_Index_Load)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0)->Arg(1);
BENCHMARK(BM_Index_Find)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->ArgsProduct({{0}, {0, 1, 2, 3, 4, 5, 6}});
BENCHMARK(BM_Index_RefreshUnchanged)->Unit(benchmark::kMillisecond)->Iterations(200)->Arg(0)->Arg(1);
BENCHMARK(BM_Index_RefreshAfterOneChange)->Unit(benchmark::kMillisecond)->Iterations(20)->Arg(0)->Arg(1);
BENCHMARK(BM_Isql_SpecifiedSearch)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3)
    ->Arg(0)
    ->Arg(1);
BENCHMARK(BM_Isql_WordStatement)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Arg(0);

// Argument 0: the embedded file; 1: the same database on a server over loopback.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!RunBenchmarks(argc, argv, [] {
            databases[0] = std::make_unique<TBenchDatabase>(false);
            TextsSize();
            if (TFirebirdServer::Unavailable().isEmpty())
                databases[1] = std::make_unique<TBenchDatabase>(true);
        }))
        return 1;
    databases[1].reset();
    databases[0].reset();
    const char* where[2] = {"embedded", "server over loopback"};
    for (int i = 0; i < 2; ++i) {
        if (results.loadMs[i] > 0)
            printf("index load of %d notes, %s: %.0f ms in slices of 20 ms (searches run as statements "
                   "meanwhile)\n",
                   kNotes, where[i], results.loadMs[i]);
        if (results.isqlSpecified[i] > 0)
            printf("isql-fb running the first release's search statement, %s: %.0f ms (today's search)\n",
                   where[i], results.isqlSpecified[i]);
        if (results.refreshMs[i] > 0)
            printf("refresh with nothing changed, %s: %.2f ms (goal: well under the 50 ms a keystroke may "
                   "wait)\n",
                   where[i], results.refreshMs[i]);
        if (results.refreshOneMs[i] > 0)
            printf("refresh and search after another program changed a note, %s: %.2f ms (goal <= 50 ms)\n",
                   where[i], results.refreshOneMs[i]);
    }
    for (const auto& [term, ms] : results.findMs)
        printf("search of \"%s\" in the index: %.1f ms (goal: with the list's first screen <= 100 ms)\n",
               term.toUtf8().constData(), ms);
    if (results.isqlWords > 0)
        printf("isql-fb running the word statement (no index) for \"Heizkosten gestiegen\": %.0f ms\n",
               results.isqlWords);
    if (results.textsMb > 0)
        printf(
            "index %.1f MB, resident %.1f MB more, for %.1f MB of titles and texts (goal: list and index <= "
            "2 x texts = %.1f MB)\n",
            results.indexMb, results.residentMb, results.textsMb, 2 * results.textsMb);
    return 0;
}
