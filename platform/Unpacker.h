#pragma once
// Cabinet and SZDD decoding. Linux: libmspack (linux/unpack/MspackUnpacker.cpp).
#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

struct TCabinetEntry {
    QString Name; // path inside the cabinet as stored ("sub\file.txt")
    qint64 Size = 0;
    QDateTime Time; // local time of the entry
};

class TCabinet {
public:
    virtual ~TCabinet() = default;
    virtual QList<TCabinetEntry> Entries() const = 0;
    // Writes entry index to outPath (created or truncated); false on failure.
    virtual bool Extract(int index, const QString& outPath) = 0;
};

class TUnpacker {
public:
    virtual ~TUnpacker() = default;
    // nullptr when the file cannot be opened or is no cabinet.
    virtual std::unique_ptr<TCabinet> OpenCabinet(const QString& path) = 0;
    // The stored last character of the name of an SZDD file ('\0' when none stored);
    // nullopt when the file is no SZDD file.
    virtual std::optional<char> SzddMissingChar(const QString& path) = 0;
    // Expands an SZDD file into outPath; false on failure.
    virtual bool ExpandSzdd(const QString& path, const QString& outPath) = 0;
};

// The platform's unpacker.
TUnpacker& Unpacker();
