#pragma once
// Starting processes and waiting for them.
#include <QString>

enum class TWindowShow { Normal, Hidden };

struct TProcessStart {
    bool ok = false;
    qint64 pid = 0;
    int errorNumber = 0; // the system's error number when not started
    QString errorText;   // the system's text for it
};

class TProcessFacility {
public:
    virtual ~TProcessFacility() = default;

    virtual qint64 CurrentProcessId() = 0;
    // Starts a command line (split by SplitCommandLine, the program looked up by the
    // system's rules) and returns at once.
    virtual TProcessStart Start(const QString& commandLine, TWindowShow show, bool inheritHandles) = 0;
    // Starts a command line without inherited handles and waits without time limit.
    // false when it could not be started; the exit code is not looked at.
    virtual bool RunAndWait(const QString& commandLine, TWindowShow show) = 0;
    // Waits without time limit until the process has ended. A process that has already
    // ended, or cannot be opened for waiting, returns at once.
    virtual void WaitForProcessEnd(qint64 pid) = 0;
    virtual void Sleep(int milliseconds) = 0;
};

// The facility in use: the system's unless a test installed another one (nullptr: the system's).
TProcessFacility& ProcessFacility();
void SetProcessFacility(TProcessFacility* facility);
TProcessFacility& SystemProcessFacility();
