#pragma once
// A byte count as text with "Byte", "KB", "MB", "GB" or "TB".
#include <QChar>
#include <QString>
#include <QtGlobal>

// Negative counts give the empty text. The number is scaled by 1024 while it reaches 1024 of
// the current unit; bytes are written as plain digits, KB to GB with two decimals, TB with
// three. No thousands separator.
QString FormatByteSize(qint64 byteCount, QChar decimalSeparator);

// The same with the decimal separator of the user's number settings.
QString FormatByteSize(qint64 byteCount);
