// The trash's cost with 100,000 notes: deleting notes one by one, each committed, as the list
// window does, beside isql-fb running the same delete statement on the first release's schema
// (no trash) and on the current one (the trigger copies each note); and the schema upgrade of a
// first-release database of 100,000 notes.
#include "bench/BenchSupport.h"
#include "bench/NotesDatabase.h"
#include "store/NoteStatements.h"
#include "store/SchemaUpgrade.h"
#include "store/StoreInternals.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

constexpr int kDeletes = 200;

struct TMeans {
    double isqlPlain = 0, isqlTrash = 0, program = 0, upgrade = 0;
} means;

// A fresh working copy of a generated database.
QString WorkingCopy(TTempDatabase::TSchema schema) {
    const QString file = CacheDir() + "trash-run.gdb";
    QFile::remove(file);
    if (!QFile::copy(GenerateDatabase(schema), file))
        throw std::runtime_error("cannot copy the generated database");
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file;
}

// kDeletes notes spread over the table.
qint64 VictimId(int i) {
    return 1 + qint64(i) * (kNotes / kDeletes);
}

QString DeleteScript() {
    QString script;
    for (int i = 0; i < kDeletes; ++i)
        script += BuildDeleteStatement(VictimId(i)) + ";\nCOMMIT;\n";
    return script;
}

// Milliseconds per delete, net of isql-fb's start.
void IsqlDeletes(benchmark::State& state, TTempDatabase::TSchema schema, double& mean) {
    double total = 0;
    for (auto _ : state) {
        const QString file = WorkingCopy(schema);
        const double baseline = RunIsql(file, "select 1 from rdb$database;");
        const double ms = RunIsql(file, DeleteScript()) - baseline;
        total += ms;
        state.SetIterationTime(ms / 1000.0);
    }
    mean = total / double(state.iterations()) / kDeletes;
    state.counters["ms_per_delete"] = mean;
}

void BM_Isql_DeleteFirstReleaseSchema(benchmark::State& state) {
    IsqlDeletes(state, TTempDatabase::TSchema::FirstRelease, means.isqlPlain);
}
void BM_Isql_DeleteWithTrash(benchmark::State& state) {
    IsqlDeletes(state, TTempDatabase::TSchema::Delivered, means.isqlTrash);
}

void BM_Program_DeleteWithTrash(benchmark::State& state) {
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString file = WorkingCopy(TTempDatabase::TSchema::Delivered);
        TDataModuleNotizen dm(QFileInfo(file).absolutePath());
        dm.UseDatabase(file, TCredentials{});
        if (!dm.DataModuleCreate())
            throw std::runtime_error(dm.LastConnectError().toStdString());
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kDeletes; ++i)
            dm.DeleteNote(VictimId(i));
        total += timer.nsecsElapsed() / 1e6;
    }
    means.program = total / double(state.iterations()) / kDeletes;
    state.counters["ms_per_delete"] = means.program;
}

void BM_SchemaUpgrade100k(benchmark::State& state) {
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString file = WorkingCopy(TTempDatabase::TSchema::FirstRelease);
        fb::Attachment att;
        att.Attach(QFile::encodeName(file).toStdString(), "sysdba", "lanternix");
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        const TSchemaReport report = UpgradeSchema(att, 3);
        total += timer.nsecsElapsed() / 1e6;
        if (report.state != TSchemaState::Upgraded)
            state.SkipWithError("the upgrade did not run");
    }
    means.upgrade = total / double(state.iterations());
}

} // namespace

BENCHMARK(BM_Isql_DeleteFirstReleaseSchema)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Isql_DeleteWithTrash)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Program_DeleteWithTrash)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SchemaUpgrade100k)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!RunBenchmarks(argc, argv, [] {
            GenerateDatabase(TTempDatabase::TSchema::FirstRelease);
            GenerateDatabase(TTempDatabase::TSchema::Delivered);
        }))
        return 1;
    if (means.isqlPlain > 0) {
        printf("a delete with its trash copy, isql-fb / the same delete without trash: %.2f (goal <= 1.5)\n",
               means.isqlTrash / means.isqlPlain);
        printf("a delete with its trash copy, program / isql-fb's delete without trash: %.2f (goal <= 1.5)\n",
               means.program / means.isqlPlain);
    }
    printf("schema upgrade of 100,000 notes: %.0f ms (goal < 1000 ms)\n", means.upgrade);
    return 0;
}
