#include "notes/NoteStatements.h"

QString DoubleApostrophes(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return quoted;
}

QString BuildInsertStatement(const QString& title) {
    return QStringLiteral("insert into tblnotizen  (tblnotizen.id, tblnotizen.titel, tblnotizen.bemerkung, "
                          "tblnotizen.zeitstempel) VALUES (gen_id(GEN_TBLNOTIZEN_ID, 1), '") +
           DoubleApostrophes(title) + QStringLiteral("', (:TextParam),'NOW')");
}

QString BuildSearchStatement(const QString& term) {
    const QString quoted = DoubleApostrophes(term);
    return QStringLiteral("select * from tblnotizen where ((Upper(tblnotizen.titel) like Upper('") + quoted +
           QStringLiteral("')) or  bemerkung containing '") + quoted + QStringLiteral("')");
}

QString BuildDeleteStatement(const QString& idText) {
    return QStringLiteral("delete from tblnotizen where  tblnotizen.id = ") + idText;
}

QString BuildDeleteStatement(qint64 id) {
    return BuildDeleteStatement(QString::number(id));
}

QString UpperAtoZ(const QString& text) {
    QString upper = text;
    for (QChar& c : upper) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - (u'a' - u'A')));
    }
    return upper;
}

int TitleColumnWidth(int gridOuterWidth, int markerColumnWidth) {
    return gridOuterWidth - markerColumnWidth - 4;
}

int SearchFieldWidth(int searchPanelWidth) {
    return searchPanelWidth - 20;
}

QString MemoTextToStored(const QString& rawMemoText) {
    QString stored;
    stored.reserve(rawMemoText.size() + rawMemoText.size() / 16);
    for (const QChar c : rawMemoText) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QLatin1Char('\n'))
            stored += QLatin1String("\r\n");
        else
            stored += c;
    }
    return stored;
}

QString StoredTextToMemo(const QString& stored) {
    QString memo = stored;
    memo.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return memo;
}
