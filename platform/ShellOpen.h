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

// QDesktopServices::openUrl of web and mail addresses goes through ShellOpen() from now on.
void RouteDesktopUrlsThroughShellOpen();

// "mailto:" + address unless the text already names a scheme.
QString MailToTarget(const QString& address);
