#include "store/BackupRotation.h"

#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace {

const QString kDatedPrefix = QStringLiteral("notizenbackup-");
const QString kDatedSuffix = QStringLiteral(".gbk");

// The time part and the number of a dated name (1 without one); an empty time for other names.
std::pair<QString, int> DatedParts(const QString& name) {
    static const QRegularExpression dated(
        QStringLiteral("^notizenbackup-(\\d{4}-\\d{2}-\\d{2}-\\d{6})(?:-([2-9]|[1-9]\\d+))?\\.gbk$"));
    const QRegularExpressionMatch m = dated.match(name);
    if (!m.hasMatch())
        return {QString(), 0};
    return {m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()};
}

} // namespace

QString DatedBackupName(const QDateTime& made, const QStringList& taken) {
    const QString base = kDatedPrefix + made.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString name = base + kDatedSuffix;
    for (int n = 2; taken.contains(name); ++n)
        name = base + QStringLiteral("-%1").arg(n) + kDatedSuffix;
    return name;
}

QStringList DatedBackupsToDrop(const QStringList& names, int keep) {
    struct TDated {
        QString time;
        int number;
        QString name;
    };
    std::vector<TDated> dated;
    for (const QString& name : names)
        if (const auto [time, number] = DatedParts(name); !time.isEmpty())
            dated.push_back({time, number, name});
    // Newest first; the time reads in order as text.
    std::sort(dated.begin(), dated.end(), [](const TDated& a, const TDated& b) {
        return a.time != b.time ? a.time > b.time : a.number > b.number;
    });
    QStringList drop;
    for (size_t i = dated.size(); i > static_cast<size_t>(std::max(keep, 0)); --i)
        drop << dated[i - 1].name;
    return drop;
}
