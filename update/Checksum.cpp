#include "update/Checksum.h"

#include "update/UpdateTypes.h"

#include <QFile>
#include <QFileInfo>
#include <array>

namespace {

constexpr qint64 BlockSize = 4096;

std::array<quint32, 256> MakeCrcTable() {
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

} // namespace

quint32 Crc32Update(quint32 crc, const char* data, qint64 size) {
    static const std::array<quint32, 256> table = MakeCrcTable();
    quint32 c = ~crc;
    for (qint64 i = 0; i < size; ++i)
        c = table[(c ^ quint8(data[i])) & 0xFF] ^ (c >> 8);
    return ~c;
}

qint64 LocalFileSize(const QString& fileName) {
    if (fileName.isEmpty())
        return -1;
    QFileInfo info(fileName);
    if (!info.exists() || !info.isFile())
        return -1;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.size();
}

qint32 FileChecksum(const QString& fileName, bool useCrc32) {
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return -1;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    char buffer[BlockSize];
    if (useCrc32) {
        quint32 crc = 0;
        qint64 n;
        while ((n = file.read(buffer, BlockSize)) > 0)
            crc = Crc32Update(crc, buffer, n);
        return qint32(crc);
    }
    qint64 sum = -1;
    qint64 n;
    while ((n = file.read(buffer, BlockSize)) > 0) {
        for (qint64 i = 0; i < n; ++i)
            sum += quint8(buffer[i]);
        if (sum > INT32_MAX)
            throw EIntOverflow();
    }
    return qint32(sum);
}
