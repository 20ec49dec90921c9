#include "info/ByteSize.h"

#include <QLocale>

namespace {

using Wide = __int128;

// value / divisor rounded to the nearest integer, halves to the even neighbour (value >= 0).
Wide DivRoundEven(Wide value, Wide divisor) {
    Wide q = value / divisor;
    const Wide r = value % divisor;
    if (r * 2 > divisor || (r * 2 == divisor && (q % 2) != 0))
        ++q;
    return q;
}

// value / divisor rounded half away from zero (value >= 0), as a decimal format rounds.
Wide DivRoundUp(Wide value, Wide divisor) {
    return (value + divisor / 2) / divisor;
}

QString WideToString(Wide v) {
    if (v == 0)
        return QStringLiteral("0");
    QString s;
    while (v > 0) {
        s.prepend(QChar(u'0' + int(v % 10)));
        v /= 10;
    }
    return s;
}

} // namespace

QString FormatByteSize(qint64 byteCount, QChar decimalSeparator) {
    static const char* const kUnits[] = {"Byte", "KB", "MB", "GB", "TB"};
    constexpr int kLastUnit = 4;
    if (byteCount < 0)
        return {};

    // Ten-thousandths of the current unit; 128 bits so that no byte count can overflow.
    Wide value = Wide(byteCount) * 10000;
    int unit = 0;
    while (value >= 10240000 && unit < kLastUnit) {
        value = DivRoundEven(value, 1024);
        ++unit;
    }

    QString number;
    if (unit == 0) {
        number = WideToString(value / 10000);
    } else {
        const int decimals = unit == kLastUnit ? 3 : 2;
        const Wide scale = decimals == 3 ? 1000 : 100;
        const Wide scaled = DivRoundUp(value, 10000 / scale);
        QString fraction = WideToString(scaled % scale);
        fraction = fraction.rightJustified(decimals, u'0');
        number = WideToString(scaled / scale) + decimalSeparator + fraction;
    }
    return number + u' ' + QLatin1String(kUnits[unit]);
}

QString FormatByteSize(qint64 byteCount) {
    const QString point = QLocale().decimalPoint();
    return FormatByteSize(byteCount, point.isEmpty() ? QChar(u'.') : point.at(0));
}
