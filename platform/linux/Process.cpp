#include "platform/Process.h"

#include "platform/CommandLine.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

class TLinuxProcessFacility : public TProcessFacility {
public:
    qint64 CurrentProcessId() override { return ::getpid(); }

    TProcessStart Start(const QString& commandLine, TWindowShow, bool inheritHandles) override {
        ReapStarted();
        TProcessStart r;
        pid_t pid = 0;
        r.errorNumber = Spawn(commandLine, inheritHandles, pid);
        if (r.errorNumber != 0) {
            r.errorText = QString::fromLocal8Bit(std::strerror(r.errorNumber));
            return r;
        }
        r.ok = true;
        r.pid = pid;
        started_.push_back(pid);
        return r;
    }

    bool RunAndWait(const QString& commandLine, TWindowShow) override {
        pid_t pid = 0;
        if (Spawn(commandLine, false, pid) != 0)
            return false;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return true;
    }

    void WaitForProcessEnd(qint64 pid) override {
        if (pid <= 0)
            return;
        const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
        if (fd < 0)
            return; // ended already, or not ours to open
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
        }
        ::close(fd);
    }

    void Sleep(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

private:
    // Returns 0 or the system's error number.
    static int Spawn(const QString& commandLine, bool inheritHandles, pid_t& pid) {
        const QStringList args = SplitProgramCommandLine(commandLine);
        if (args.isEmpty())
            return ENOENT;
        std::vector<QByteArray> bytes;
        for (const QString& a : args)
            bytes.push_back(a.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!inheritHandles)
            posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attr, &none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        const int rc = ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        return rc;
    }

    // Children started without waiting are collected later so that none stays a zombie.
    void ReapStarted() {
        std::vector<pid_t> open;
        for (pid_t p : started_) {
            int status = 0;
            if (::waitpid(p, &status, WNOHANG) == 0)
                open.push_back(p);
        }
        started_.swap(open);
    }

    std::vector<pid_t> started_;
};

TProcessFacility* g_installed = nullptr;

} // namespace

TProcessFacility& SystemProcessFacility() {
    static TLinuxProcessFacility facility;
    return facility;
}

TProcessFacility& ProcessFacility() {
    return g_installed ? *g_installed : SystemProcessFacility();
}

void SetProcessFacility(TProcessFacility* facility) {
    g_installed = facility;
}
