#include "platform/OsFacts.h"

#include <QStringList>

namespace {
TOsFacts* g_osFacts = nullptr;
}

TOsFacts& OsFacts() {
    return g_osFacts ? *g_osFacts : SystemOsFacts();
}

void SetOsFacts(TOsFacts* facts) {
    g_osFacts = facts;
}

QString OsReleasePrettyName(const QString& osReleaseText) {
    QString result;
    const QStringList lines = osReleaseText.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (!line.startsWith(QLatin1String("PRETTY_NAME=")))
            continue;
        QString value = line.mid(12);
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        result.clear();
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value.at(i) == u'\\' && i + 1 < value.size())
                ++i;
            result += value.at(i);
        }
    }
    return result;
}
