#pragma once
// An autostart list in memory that counts what is done to it.
#include "platform/Autostart.h"

#include <QMap>

class TFakeAutostart : public TAutostart {
public:
    QMap<QString, QString> entries; // name -> program path
    bool writable = true;           // false: cannot be opened with full access
    mutable int reads = 0;          // CanWrite, Exists and Read
    int writes = 0;
    int removes = 0;

    bool CanWrite() const override {
        ++reads;
        return writable;
    }
    bool Exists(const QString& name) const override {
        ++reads;
        return writable && entries.contains(name);
    }
    QString Read(const QString& name) const override {
        ++reads;
        return writable ? entries.value(name) : QString();
    }
    bool Write(const QString& name, const QString& programPath) override {
        ++writes;
        if (!writable)
            return false;
        entries[name] = programPath;
        return true;
    }
    void Remove(const QString& name) override {
        ++removes;
        if (writable)
            entries.remove(name);
    }
    int Accesses() const { return reads + writes + removes; }
};
