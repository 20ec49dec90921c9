#pragma once
// Facts about the running operating system for the about window.
#include <QString>

class TOsFacts {
public:
    virtual ~TOsFacts() = default;
    virtual QString PrettyName() const = 0;    // "Debian GNU/Linux 12 (bookworm)"; empty when unknown
    virtual QString KernelName() const = 0;    // "Linux"
    virtual QString KernelRelease() const = 0; // "6.1.0-18-amd64"
};

// The facts in use (nullptr: the system's).
TOsFacts& OsFacts();
void SetOsFacts(TOsFacts* facts);
TOsFacts& SystemOsFacts();

// PRETTY_NAME of an os-release text (quotes and backslash escapes removed); empty when absent.
QString OsReleasePrettyName(const QString& osReleaseText);
