// Start-up of the program to its running event loop: a copy of zettelwerk with a fresh
// notizen.gdb (and the help file) in a temporary directory, started with ZW_QUIT_WHEN_IDLE=1,
// so it ends at the first turn of its event loop. Measured: process start to exit.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct TProgramCopy {
    fs::path dir;
    bool ok = false;
    std::string error;

    TProgramCopy() {
        const fs::path bin = ZW_BIN_DIR;
        for (const char* needed : {"zettelwerk", "notizen.gdb"})
            if (!fs::exists(bin / needed)) {
                error =
                    std::string("missing ") + (bin / needed).string() + " (build zettelwerk and notizen_gdb)";
                return;
            }
        char tmpl[] = "/tmp/zw-bench-startup-XXXXXX";
        if (!mkdtemp(tmpl)) {
            error = "no temporary directory";
            return;
        }
        dir = tmpl;
        for (const char* f : {"zettelwerk", "notizen.gdb", "zettelwerk.chm"})
            if (fs::exists(bin / f))
                fs::copy_file(bin / f, dir / f);
        ok = true;
    }
    ~TProgramCopy() {
        std::error_code ec;
        if (!dir.empty())
            fs::remove_all(dir, ec);
    }
};

// Starts the copy and waits for it; returns its exit status, -1 when it could not start.
int RunOnce(const fs::path& dir) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("QT_QPA_PLATFORM=", 0) != 0 && v.rfind("ZW_QUIT_WHEN_IDLE=", 0) != 0)
            env.push_back(v);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("ZW_QUIT_WHEN_IDLE=1");
    std::vector<char*> envp;
    for (auto& v : env)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    const std::string exe = (dir / "zettelwerk").string();
    std::vector<char*> argv{const_cast<char*>(exe.c_str()), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_StartupToEventLoop(benchmark::State& state) {
    TProgramCopy copy;
    if (!copy.ok) {
        state.SkipWithError(copy.error.c_str());
        return;
    }
    for (auto _ : state) {
        const int exitCode = RunOnce(copy.dir);
        if (exitCode != 0) {
            state.SkipWithError("zettelwerk did not end with exit code 0");
            break;
        }
    }
}
BENCHMARK(BM_StartupToEventLoop)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
