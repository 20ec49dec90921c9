#pragma once
// Operating-system facts set by a test.
#include "platform/OsFacts.h"

class TFakeOsFacts : public TOsFacts {
public:
    QString prettyName = "Debian GNU/Linux 12 (bookworm)";
    QString kernelName = "Linux";
    QString kernelRelease = "6.1.0-test-amd64";

    QString PrettyName() const override { return prettyName; }
    QString KernelName() const override { return kernelName; }
    QString KernelRelease() const override { return kernelRelease; }
};
