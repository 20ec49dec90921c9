#pragma once
// Where the notes database lives. A directory holding the executable and a writable notizen.gdb
// (the build tree, a portable copy) stays the program directory. An installed program
// (<prefix>/bin/zettelwerk with <prefix>/share/zettelwerk/notizen.gdb) works in the user's
// data directory instead and gets its own copy of the delivered database on first start.
#include <QString>

// Facts about the file system, gathered by GatherProgramDirectoryFacts() or given by tests.
struct TProgramDirectoryFacts {
    QString exeDirectory;              // with trailing separator
    QString dataDirectory;             // $XDG_DATA_HOME/zettelwerk/, with trailing separator
    bool exeDatabaseWritable = false;  // <exe dir>/notizen.gdb exists and may be written
    bool sharedDatabaseExists = false; // <exe dir>/../share/zettelwerk/notizen.gdb exists
    bool dataDatabaseExists = false;   // <data dir>/notizen.gdb exists (in any state)
};

struct TProgramDirectoryChoice {
    QString directory;         // with trailing separator
    bool copyDatabase = false; // copy the shared database into `directory` first
    bool operator==(const TProgramDirectoryChoice&) const = default;
};

// The rule, without touching the disk.
TProgramDirectoryChoice ChooseProgramDirectory(const TProgramDirectoryFacts& facts);

// $XDG_DATA_HOME/zettelwerk/; a relative or empty XDG_DATA_HOME means ~/.local/share.
QString UserDataDirectory(const QString& xdgDataHome, const QString& home);
// <exe dir>/../share/zettelwerk/, cleaned, with trailing separator.
QString SharedDataDirectory(const QString& exeDirectory);

TProgramDirectoryFacts GatherProgramDirectoryFacts(const QString& exeDirectory, const QString& dataDirectory);

// Copies `source` to `targetDirectory`/notizen.gdb through a temporary name; an existing
// notizen.gdb is never replaced (that is success, not an error). Creates the directory.
// Returns false with `error` set when the copy could not be made.
bool InstallDatabaseCopy(const QString& source, const QString& targetDirectory, QString* error);

// Makes the directory (and its parents) when missing, closed to other accounts (0700), and
// closes an existing one. Returns false with `error` set when that fails.
bool MakePrivateDirectory(const QString& directory, QString* error);

// The whole start-up step for the running program: chooses and, if needed, fills the program
// directory; the user's data directory is made private (0700) whenever it is used or exists.
// A failed copy leaves `error` set; the directory is returned all the same, so the connect
// fails with the usual message.
QString PrepareProgramDirectory(const QString& exeDirectory, QString* error);

// zettelwerk.chm beside the executable, else in the shared data directory; the name beside
// the executable when neither exists.
QString FindHelpFile(const QString& exeDirectory);
