// signalfd: blocked signals are read in the event loop like any other input.
#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <memory>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

int signalFd = -1;
std::unique_ptr<QSocketNotifier> notifier;
std::function<void()> callback;

sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void BlockTerminationSignals() {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void WatchTerminationSignals(std::function<void()> onRequest) {
    StopWatchingTerminationSignals();
    BlockTerminationSignals();
    const sigset_t set = terminationSet();
    signalFd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd < 0)
        return;
    callback = std::move(onRequest);
    notifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
        signalfd_siginfo info;
        while (::read(signalFd, &info, sizeof info) == ssize_t(sizeof info))
            if (callback)
                callback();
    });
}

void StopWatchingTerminationSignals() {
    notifier.reset();
    callback = nullptr;
    if (signalFd >= 0)
        ::close(signalFd);
    signalFd = -1;
}
