#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>

TEST(TerminationSignals, SignalBecomesOneCallOnTheEventLoop) {
    int calls = 0;
    WatchTerminationSignals([&] { ++calls; });
    struct sigaction before = {};
    sigaction(SIGTERM, nullptr, &before);
    EXPECT_EQ(before.sa_handler, SIG_DFL); // no handler: the signal waits in the descriptor
    ASSERT_EQ(std::raise(SIGTERM), 0);     // blocked: the process goes on
    EXPECT_EQ(calls, 0);                   // nothing runs inside the handler
    for (int i = 0; i < 100 && calls == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(std::raise(SIGHUP), 0);
    for (int i = 0; i < 100 && calls == 1; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(calls, 2);
    StopWatchingTerminationSignals();
}
