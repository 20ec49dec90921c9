#pragma once
// Compression into the SZDD format that LZ expansion reads: the 14-byte header ("SZDD" magic,
// mode 'A', the missing last character of the file name, the expanded length) and LZSS data
// over a 4096-byte window filled with blanks.
#include <QByteArray>

QByteArray SzddCompress(const QByteArray& data, char missingChar);
