#pragma once
// The embedded engine's root directory and the directories of its lock and temporary files.
#include <string>
#include <vector>

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

// Where the engine's lock and temporary files may go, best first; each is a base directory
// holding "lock" and "tmp". The engine's default, /tmp/firebird, belongs to whichever account
// used it first. Lock files must be found by every process of the account that opens the
// database, so the account's own directories come before values of the environment that a
// single process may have changed (HOME).
struct TEngineStateFacts {
    std::string xdgRuntimeDir;     // $XDG_RUNTIME_DIR
    std::string accountRuntimeDir; // /run/user/<uid> when it exists and is the account's own
    std::string xdgCacheHome;      // $XDG_CACHE_HOME
    std::string accountHome;       // the home directory in the password database
    std::string home;              // $HOME
};
std::vector<std::string> EngineStateCandidates(const TEngineStateFacts& facts);

// Sets FIREBIRD_LOCK and FIREBIRD_TMP, unless already set, to <base>/lock and <base>/tmp of
// the first candidate that can be made this user's own (0700). Returns the lock directory in
// use; empty when none could be made (the engine then keeps its default).
std::string PrepareEngineStateDirectories();

} // namespace fb
