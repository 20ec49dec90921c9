// The trash's cost with 100,000 notes: deleting notes one by one, each committed, as the list
// window does, beside isql-fb running the same delete statement on the first release's schema
// (no trash, no journal) and on the current one (the triggers copy each note into the trash and
// note its id in the change journal); and the schema upgrade of a first-release database of
// 100,000 notes.
#include "bench/BenchSupport.h"
#include "bench/NotesDatabase.h"
#include "store/NoteStatements.h"
#include "store/SchemaUpgrade.h"
#include "store/StoreInternals.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

constexpr int kDeletes = 1000;

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
double IsqlDeletes(TTempDatabase::TSchema schema) {
    const QString file = WorkingCopy(schema);
    const double baseline = RunIsql(file, "select 1 from rdb$database;");
    return (RunIsql(file, DeleteScript()) - baseline) / kDeletes;
}

// Milliseconds per delete through the data module, as the list window deletes.
double ProgramDeletes() {
    const QString file = WorkingCopy(TTempDatabase::TSchema::Delivered);
    TDataModuleNotizen dm(QFileInfo(file).absolutePath());
    dm.UseDatabase(file, TCredentials{});
    if (!dm.DataModuleCreate())
        throw std::runtime_error(dm.LastConnectError().toStdString());
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kDeletes; ++i)
        dm.DeleteNote(VictimId(i));
    return timer.nsecsElapsed() / 1e6 / kDeletes;
}

// The three kinds take turns within each iteration, in a rotating order, so that the disk's slow
// moments do not favour one of them.
void BM_DeletesTakingTurns(benchmark::State& state) {
    double sum[3] = {0, 0, 0};
    int turn = 0;
    for (auto _ : state) {
        for (int k = 0; k < 3; ++k) {
            switch ((turn + k) % 3) {
            case 0:
                sum[0] += IsqlDeletes(TTempDatabase::TSchema::FirstRelease);
                break;
            case 1:
                sum[1] += IsqlDeletes(TTempDatabase::TSchema::Delivered);
                break;
            default:
                sum[2] += ProgramDeletes();
                break;
            }
        }
        ++turn;
    }
    const double n = double(state.iterations());
    means.isqlPlain = sum[0] / n;
    means.isqlTrash = sum[1] / n;
    means.program = sum[2] / n;
    state.counters["isql_plain_ms"] = means.isqlPlain;
    state.counters["isql_trash_ms"] = means.isqlTrash;
    state.counters["program_ms"] = means.program;
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

BENCHMARK(BM_DeletesTakingTurns)->Unit(benchmark::kMillisecond)->Iterations(6);
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
