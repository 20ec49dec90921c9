#pragma once
// Size and checksum of a local file, compared with what the update control file announces.
#include <QString>
#include <QtGlobal>

// Size in bytes; -1 for a missing or unreadable file.
qint64 LocalFileSize(const QString& fileName);

// Read in blocks of 4096 bytes. useCrc32 false: -1 plus the sum of all bytes (0..255) as a
// signed 32-bit number; -1 for an empty or unreadable file; throws EIntOverflow when the sum
// leaves the signed 32-bit range. useCrc32 true: the standard CRC-32 (polynomial EDB88320,
// reflected, start all ones, final complement) as a signed 32-bit pattern; -1 when unreadable.
qint32 FileChecksum(const QString& fileName, bool useCrc32);

// CRC-32 of a memory block, continuing from crc (start with 0).
quint32 Crc32Update(quint32 crc, const char* data, qint64 size);
