#pragma once
// An update run works in one directory (the log, the run's private directory and the control
// file's relative names mean it); the caller's directory comes back afterwards.
#include <QDir>

class TCurrentDirectory {
public:
    explicit TCurrentDirectory(const QString& dir) : old_(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~TCurrentDirectory() { QDir::setCurrent(old_); }
    TCurrentDirectory(const TCurrentDirectory&) = delete;
    TCurrentDirectory& operator=(const TCurrentDirectory&) = delete;

private:
    QString old_;
};
