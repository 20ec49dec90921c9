#pragma once
// Named parameters (":Name") in statement text, turned into the '?' markers that Firebird's
// DSQL expects. Text inside quotes and comments is left alone.
#include <QString>
#include <QStringList>

struct TTranslatedSql {
    QString sql;       // the text with every named parameter replaced by '?'
    QStringList names; // one per marker, in order; "" for a '?' already in the text
};

TTranslatedSql TranslateNamedParams(const QString& sql);
