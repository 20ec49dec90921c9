#pragma once
// Whether the application is ending: its windows then close without their questions.

// Installs the watch on the application once; later calls do nothing.
void WatchApplicationQuit();

// True from the application's quit request until the event loop ends or runs on (a refused quit).
bool ApplicationQuitting();
