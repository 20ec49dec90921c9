#include "store/fb/EngineRoot.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace fb {

namespace {

// A program that idles in the tray all day: a smaller page cache per connection, old record
// versions collected by the connection that meets them instead of a thread of their own, and
// no trace plugin (nobody traces a notes file; loading it costs more than half a megabyte).
constexpr const char* kLeanEngineSettings = "DefaultDbCachePages = 128\n"
                                            "GCPolicy = cooperative\n"
                                            "TracePlugin =\n";

std::string SystemRoot() {
#ifdef ZW_FIREBIRD_SYSTEM_ROOT
    if (fs::exists(fs::path(ZW_FIREBIRD_SYSTEM_ROOT) / "firebird.msg"))
        return ZW_FIREBIRD_SYSTEM_ROOT;
#endif
    for (const char* candidate :
         {"/usr/lib/x86_64-linux-gnu/firebird/3.0", "/usr/lib/firebird/3.0", "/opt/firebird"}) {
        if (fs::exists(fs::path(candidate) / "firebird.msg"))
            return candidate;
    }
    return {};
}

std::string UserDirectory() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return cache;
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.cache";
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir == '/')
        return std::string(pw->pw_dir) + "/.cache";
    return {};
}

// A directory of our own: created 0700 if missing, and refused when it is a link or
// belongs to someone else.
bool OwnDirectory(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        return false;
    chmod(dir.c_str(), 0700);
    return true;
}

bool WriteFileAtomically(const fs::path& target, const std::string& content) {
    const fs::path temp = target.string() + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush())
            return false;
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec)
        fs::remove(temp, ec);
    return !ec;
}

} // namespace

std::vector<std::string> EngineStateCandidates(const TEngineStateFacts& facts) {
    std::vector<std::string> out;
    auto add = [&out](const std::string& dir, const char* below) {
        if (dir.empty() || dir.front() != '/')
            return;
        std::string base = fs::path(dir + below).lexically_normal().string();
        while (base.size() > 1 && base.back() == '/')
            base.pop_back();
        if (std::find(out.begin(), out.end(), base) == out.end())
            out.push_back(base);
    };
    add(facts.xdgRuntimeDir, "/zettelwerk");
    add(facts.accountRuntimeDir, "/zettelwerk");
    add(facts.xdgCacheHome, "/zettelwerk");
    add(facts.accountHome, "/.cache/zettelwerk");
    add(facts.home, "/.cache/zettelwerk");
    return out;
}

std::string PrepareEngineStateDirectories() {
    const char* lockSet = std::getenv("FIREBIRD_LOCK");
    const char* tempSet = std::getenv("FIREBIRD_TMP");
    if (lockSet && *lockSet && tempSet && *tempSet)
        return lockSet;

    TEngineStateFacts facts;
    auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    facts.xdgRuntimeDir = env("XDG_RUNTIME_DIR");
    const std::string standardRuntime = "/run/user/" + std::to_string(getuid());
    struct stat st {};
    if (lstat(standardRuntime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid())
        facts.accountRuntimeDir = standardRuntime;
    facts.xdgCacheHome = env("XDG_CACHE_HOME");
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        facts.accountHome = pw->pw_dir;
    facts.home = env("HOME");

    for (const std::string& base : EngineStateCandidates(facts)) {
        const fs::path lock = fs::path(base) / "lock";
        const fs::path temp = fs::path(base) / "tmp";
        if (!OwnDirectory(base) || !OwnDirectory(lock) || !OwnDirectory(temp))
            continue;
        if (!(lockSet && *lockSet))
            setenv("FIREBIRD_LOCK", lock.c_str(), 1);
        if (!(tempSet && *tempSet))
            setenv("FIREBIRD_TMP", temp.c_str(), 1);
        return std::getenv("FIREBIRD_LOCK");
    }
    return lockSet ? lockSet : "";
}

std::string SharedEngineRootPath(const std::string& userDirectory) {
    return userDirectory + "/zettelwerk/firebird";
}

std::string PrepareSharedEngineRoot() {
    if (const char* set = std::getenv("FIREBIRD"); set && *set)
        return set;
    const std::string system = SystemRoot();
    const std::string user = UserDirectory();
    if (system.empty() || user.empty())
        return {};
    const fs::path root = SharedEngineRootPath(user);
    if (!OwnDirectory(root))
        return {};

    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(system, ec)) {
        const fs::path name = entry.path().filename();
        if (name == "firebird.conf")
            continue;
        const fs::path link = root / name;
        if (fs::read_symlink(link, ec) != entry.path()) {
            fs::remove(link, ec);
            fs::create_symlink(entry.path(), link, ec);
        }
    }

    std::ostringstream conf;
    {
        std::ifstream in(fs::path(system) / "firebird.conf", std::ios::binary);
        conf << in.rdbuf();
    }
    conf << "\n# Written by Zettelwerk: several processes share one database file.\n"
         << "ServerMode = SuperClassic\n"
         << kLeanEngineSettings;
    const fs::path confFile = root / "firebird.conf";
    std::ifstream current(confFile, std::ios::binary);
    std::ostringstream currentText;
    currentText << current.rdbuf();
    if (currentText.str() != conf.str() && !WriteFileAtomically(confFile, conf.str()))
        return {};

    setenv("FIREBIRD", root.c_str(), 1);
    return root.string();
}

} // namespace fb
