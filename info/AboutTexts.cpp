#include "info/AboutTexts.h"

#include "info/ByteSize.h"

QString ServerVersionFromFire(const QString& serverVersion) {
    const qsizetype at = serverVersion.indexOf(QLatin1String("Fire"), 0, Qt::CaseSensitive);
    return at < 0 ? serverVersion : serverVersion.mid(at);
}

QString DbVersionText(const QString& serverVersion, const QString& clientFileVersion) {
    return ServerVersionFromFire(serverVersion) + QStringLiteral(": ") + QStringLiteral(" (") +
           clientFileVersion + QStringLiteral(")");
}

QString OdsText(int major, int minor) {
    return QStringLiteral("ODS-Version: %1.%2").arg(major).arg(minor);
}

namespace {
qint64 Bytes(qint64 pages, qint64 pageSize) {
    qint64 product = 0;
    // An impossible product (negative or overflowing) gives a negative count: an empty size text.
    if (pages < 0 || pageSize < 0 || __builtin_mul_overflow(pages, pageSize, &product))
        return -1;
    return product;
}
} // namespace

QString DbSizeText(qint64 allocatedPages, qint64 pageSize) {
    return QString::fromUtf8("DB-Grösse: ") + FormatByteSize(Bytes(allocatedPages, pageSize));
}

QString DbSizeText(qint64 allocatedPages, qint64 pageSize, QChar decimalSeparator) {
    return QString::fromUtf8("DB-Grösse: ") +
           FormatByteSize(Bytes(allocatedPages, pageSize), decimalSeparator);
}
