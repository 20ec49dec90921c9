#pragma once
// The current user's autostart list: entries by name that start a program at log-on.
#include <QString>

class TAutostart {
public:
    virtual ~TAutostart() = default;

    // The list can be opened with full access (read and write).
    virtual bool CanWrite() const = 0;
    // An entry of that name exists, whatever it holds; false when the list cannot be opened
    // with full access.
    virtual bool Exists(const QString& name) const = 0;
    // The program path the entry starts; empty when there is none or it cannot be read.
    virtual QString Read(const QString& name) const = 0;
    // Creates the list when missing and enters the program under that name, replacing any
    // entry of that name. false when the list or the entry cannot be written.
    virtual bool Write(const QString& name, const QString& programPath) = 0;
    // Creates the list when missing and removes the entry; a missing entry is no error.
    virtual void Remove(const QString& name) = 0;
};

// The list in use: the system's unless a test installed another one (nullptr: the system's).
TAutostart& Autostart();
void SetAutostart(TAutostart* autostart);
TAutostart& SystemAutostart();
