// The list result set with 100,000 notes: opening (first rows only), moving to the last row,
// reading the current row's text, and editing one row.
#include "bench/BenchSupport.h"
#include "common/TempDatabase.h"
#include "store/TDataModuleNotizen.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>
#include <stdexcept>

namespace {

constexpr int kNotes = 100000;

struct BenchDb {
    TTempDatabase copy;
    std::unique_ptr<TDataModuleNotizen> dm;
};

BenchDb& Db() {
    static BenchDb* db = [] {
        auto* b = new BenchDb;
        b->dm = std::make_unique<TDataModuleNotizen>(b->copy.Directory());
        if (!b->dm->DataModuleCreate())
            throw std::runtime_error(b->dm->LastConnectError().toStdString());
        // recursion is limited, so 100 x 1000 rows from two generated ranges
        b->dm->RunInSharedTransaction(
            b->dm->QueryNotizen,
            {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
             "with recursive a as (select 0 as i from rdb$database union all select i + 1 from a where i < "
             "99),",
             " b as (select 0 as j from rdb$database union all select j + 1 from b where j < 999)",
             "select gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz ' || (a.i * 1000 + b.j),",
             "  'Text der Notiz ' || (a.i * 1000 + b.j) || ' ' || lpad('', 300, 'abc def '), 'NOW'",
             "from a cross join b"});
        return b;
    }();
    return *db;
}

void Reopen(TNotizListe& list, const QString& sql) {
    list.Close();
    list.SetSelectSQL(sql);
    list.Open();
}

void BM_List_OpenOrdered(benchmark::State& state) {
    TNotizListe& list = Db().dm->DataSetNotizliste;
    for (auto _ : state)
        Reopen(list, "select * from tblnotizen order by tblnotizen.titel asc ");
    state.counters["rows_held"] = list.RowCount();
}

void BM_List_OpenUnordered(benchmark::State& state) {
    TNotizListe& list = Db().dm->DataSetNotizliste;
    for (auto _ : state)
        Reopen(list, "select * from tblnotizen");
    state.counters["rows_held"] = list.RowCount();
}

void BM_List_OpenAndGoToLast(benchmark::State& state) {
    TNotizListe& list = Db().dm->DataSetNotizliste;
    for (auto _ : state) {
        Reopen(list, "select * from tblnotizen order by tblnotizen.titel asc ");
        list.Last();
    }
    state.counters["rows"] = list.RowCount();
}

void BM_List_StepAndReadText(benchmark::State& state) {
    TNotizListe& list = Db().dm->DataSetNotizliste;
    Reopen(list, "select * from tblnotizen");
    for (auto _ : state) {
        list.Next();
        if (list.Eof())
            list.First();
        benchmark::DoNotOptimize(list.FieldAsString("BEMERKUNG"));
    }
}

void BM_List_EditAndPost(benchmark::State& state) {
    TNotizListe& list = Db().dm->DataSetNotizliste;
    Reopen(list, "select * from tblnotizen");
    int n = 0;
    for (auto _ : state) {
        list.Edit();
        list.SetFieldValue("TITEL", QString("Geändert %1").arg(++n));
        list.Post();
    }
    Db().dm->SharedTransaction.Commit();
}

} // namespace

BENCHMARK(BM_List_OpenOrdered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_List_OpenUnordered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_List_OpenAndGoToLast)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_List_StepAndReadText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_List_EditAndPost)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!RunBenchmarks(argc, argv, [] { Db(); }))
        return 1;
    Db().dm.reset();
    return 0;
}
