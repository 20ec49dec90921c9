#pragma once
// Directories of the system that update control files name by prefix.
#include <QString>

// The system's own directory ("/usr" on Linux).
QString WindowsDirectory();
// The directory of the system's libraries ("/usr/lib" on Linux).
QString SystemDirectory();
// The directory programs are installed in ("/opt" on Linux).
QString ProgramFilesDirectory();
