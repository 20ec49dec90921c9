#include "store/NoteStatements.h"

#include "store/TDataModuleNotizen.h"

QString BuildInsertStatement() {
    return QStringLiteral("insert into tblnotizen  (tblnotizen.id, tblnotizen.titel, tblnotizen.bemerkung, "
                          "tblnotizen.zeitstempel) VALUES (gen_id(GEN_TBLNOTIZEN_ID, 1), (:TitelParam), "
                          "(:TextParam),'NOW')");
}

QString BuildSearchStatement(const QString& term) {
    const QString quoted = QuoteSqlText(term);
    return QStringLiteral("select * from tblnotizen where ((Upper(tblnotizen.titel) like Upper('") + quoted +
           QStringLiteral("')) or  bemerkung containing '") + quoted + QStringLiteral("')");
}

QString BuildDeleteStatement(qint64 id) {
    return QStringLiteral("delete from tblnotizen where  tblnotizen.id = ") + QString::number(id);
}

QString CountStatement(const QString& selectSql) {
    QString body = selectSql.trimmed();
    const qsizetype order = body.lastIndexOf(QStringLiteral(" order by "), -1, Qt::CaseInsensitive);
    if (order > 0 && !body.mid(order).contains(u'\''))
        body.truncate(order);
    return QStringLiteral("select count(*) from (") + body + u')';
}
