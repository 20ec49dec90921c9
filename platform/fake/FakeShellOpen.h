#pragma once
// Records what would have been opened.
#include "platform/ShellOpen.h"

#include <QStringList>

class TFakeShellOpen : public TShellOpen {
public:
    TFakeShellOpen() { SetShellOpen(this); }
    ~TFakeShellOpen() override { SetShellOpen(nullptr); }
    bool Open(const QString& target) override {
        opened << target;
        return answer;
    }
    QStringList opened;
    bool answer = true;
};
