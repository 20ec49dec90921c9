#include "info/TWindowsVersionInfo.h"

#include "platform/OsFacts.h"

TWindowsVersionInfo::TWindowsVersionInfo(const TOsFacts& facts) {
    // Like the Windows names, the name ends with a blank; the kernel takes the service-pack place.
    const QString name = facts.PrettyName().trimmed();
    if (!name.isEmpty())
        windowsVersionsString_ = name + u' ';
    servicePack_ = (facts.KernelName() + u' ' + facts.KernelRelease()).trimmed();
}

TWindowsVersionInfo::TWindowsVersionInfo(const TWindowsVersionInput& input) {
    const TWindowsVersionText text = DescribeWindowsVersion(input);
    windowsVersionsString_ = text.name;
    servicePack_ = text.servicePack;
}
