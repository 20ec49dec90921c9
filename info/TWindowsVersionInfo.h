#pragma once
// The operating-system description shown by the about window; computed once when created.
#include "info/WindowsVersionRules.h"

#include <QString>

class TOsFacts;

class TWindowsVersionInfo {
public:
    // From the running system's facts: on Linux the os-release name and the kernel release.
    explicit TWindowsVersionInfo(const TOsFacts& facts);
    // From a Windows version record and its companions.
    explicit TWindowsVersionInfo(const TWindowsVersionInput& input);

    QString WindowsVersionsString() const { return windowsVersionsString_; }
    QString ServicePack() const { return servicePack_; }

private:
    QString windowsVersionsString_;
    QString servicePack_;
};
