#pragma once
// The updater: waits for the program to end, puts the downloaded components in place and
// starts the program again.
#include <QString>
#include <QStringList>

class TProcessFacility;

class TUpdater {
public:
    TUpdater(TProcessFacility& process, bool logging, const QString& logFileName = "WUPDATE.LOG");

    // One component, names relative to the current directory; the first matching rule applies:
    // name ending in "_NEW", ".INF" instruction file, ".PAT", ".CAB", ".EXE", else LZ-compressed.
    void ProcessComponent(const QString& name, const QString& targetDir);

    // Appends "<time stamp> : <text>" to the log when logging is on; throws EInOutError.
    void Log(const QString& text);

private:
    void ProcessInstructionFile(const QString& name);
    QString TargetPath(const QString& targetDir, const QString& fileName) const;

    TProcessFacility& process_;
    bool logging_;
    QString logFileName_;
    int depth_ = 0;
};

// The whole program: args are the arguments after the program name. Returns the exit code.
int RunUpdater(const QStringList& args, TProcessFacility& process);
