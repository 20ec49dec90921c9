#pragma once
// The desktop's "open" of a mail address ("mailto:...") or a web page.
#include <QString>

class TShellOpen {
public:
    virtual ~TShellOpen() = default;
    // Hands the target to the desktop's handler; false when none takes it.
    virtual bool Open(const QString& target) = 0;
};

TShellOpen& ShellOpen();               // the one in force
void SetShellOpen(TShellOpen* opener); // nullptr: the system's own
TShellOpen& SystemShellOpen();

// "mailto:" + address unless the text already names a scheme.
QString MailToTarget(const QString& address);
