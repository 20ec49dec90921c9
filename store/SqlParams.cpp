#include "store/SqlParams.h"

#include <QRegularExpression>

namespace {
bool IsNameStart(QChar c) {
    return c.isLetter() || c == '_';
}
bool IsNameChar(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '$';
}
} // namespace

namespace {
// Procedural text (EXECUTE BLOCK, procedures, triggers, functions) refers to its own variables
// as :name after the AS that starts the body; those stay as they are.
bool IsProcedural(const QString& sql) {
    static const QRegularExpression re(
        R"(^\s*(execute\s+block|(create\s+or\s+alter|create|alter|recreate)\s+(procedure|trigger|function))\b)",
        QRegularExpression::CaseInsensitiveOption);
    return re.match(sql).hasMatch();
}
} // namespace

TTranslatedSql TranslateNamedParams(const QString& sql) {
    TTranslatedSql out;
    bool inBody = false;
    const bool procedural = IsProcedural(sql);
    out.sql.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == '\'' || c == '"') { // quoted text or identifier; a doubled quote stays inside
            qsizetype j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = j < n ? j + 1 : n;
            out.sql += sql.mid(i, end - i);
            i = end;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            qsizetype j = sql.indexOf('\n', i);
            if (j < 0)
                j = n;
            out.sql += sql.mid(i, j - i);
            i = j;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            qsizetype j = sql.indexOf("*/", i + 2);
            j = j < 0 ? n : j + 2;
            out.sql += sql.mid(i, j - i);
            i = j;
        } else if (procedural && !inBody && IsNameStart(c) && (i == 0 || !IsNameChar(sql[i - 1]))) {
            qsizetype j = i;
            while (j < n && IsNameChar(sql[j]))
                ++j;
            const QString word = sql.mid(i, j - i);
            if (word.compare("AS", Qt::CaseInsensitive) == 0)
                inBody = true;
            out.sql += word;
            i = j;
        } else if (c == ':' && !inBody && i + 1 < n && IsNameStart(sql[i + 1])) {
            qsizetype j = i + 1;
            while (j < n && IsNameChar(sql[j]))
                ++j;
            out.names << sql.mid(i + 1, j - i - 1);
            out.sql += '?';
            i = j;
        } else {
            if (c == '?' && !inBody)
                out.names << QString();
            out.sql += c;
            ++i;
        }
    }
    return out;
}
