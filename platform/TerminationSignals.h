#pragma once
// The desktop session or the user asks the process to end (SIGTERM, SIGINT, SIGHUP): the
// request becomes a call on the event loop, so the program closes as on "quit".
// The signals are blocked in every thread and read from a descriptor, so no handler of a
// library (the database client starts its own shutdown on them) ever sees them.
#include <functional>

// First thing in main, before any thread exists: threads inherit the blocked signals.
void BlockTerminationSignals();
// Needs the application object; onRequest runs on the user-interface thread, once per signal.
void WatchTerminationSignals(std::function<void()> onRequest);
// Stops reading; the signals stay blocked until the process ends.
void StopWatchingTerminationSignals();
