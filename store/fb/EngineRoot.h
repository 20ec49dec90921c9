#pragma once
// The embedded engine's root directory for this process.
#include <string>

namespace fb {

// The system's engine is configured for one process per database file ("Super"). Two
// instances of the program, or the program and a tool, must share the file, so this
// process gets a private root that mirrors the system's Firebird directory with a
// firebird.conf asking for "SuperClassic". Sets FIREBIRD unless it is already set.
// Returns the root in use, or an empty text when the system's directory was not found
// (the engine then runs with the system's settings).
std::string PrepareSharedEngineRoot();

// The private root below a user directory such as ~/.cache (no side effects).
std::string SharedEngineRootPath(const std::string& userDirectory);

} // namespace fb
