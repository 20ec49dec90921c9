#include "notes/NoteRules.h"

#include <QLocale>

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

int TitleColumnWidth(int gridOuterWidth, int markerColumnWidth, int viewportWidth) {
    return qMin(TitleColumnWidth(gridOuterWidth, markerColumnWidth), viewportWidth - markerColumnWidth);
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

QString DraftRestoredText(const QDateTime& written) {
    const QString when =
        written.isValid() ? written.toString(QStringLiteral(" 'vom' dd.MM.yyyy 'um' HH:mm")) : QString();
    return QStringLiteral("Ungesicherter Entwurf%1 wiederhergestellt").arg(when);
}

QString TrashUnavailableText() {
    return QStringLiteral(
        "Der Papierkorb ist für diese Datenbank nicht verfügbar: Ihr Konto darf sie nicht um "
        "den Papierkorb erweitern.\nGelöschte Notizen lassen sich daher nicht wiederherstellen; "
        "alles andere funktioniert wie gewohnt.");
}

QString ListedCountText(int count, bool search) {
    const QString n = QLocale(QLocale::German).toString(count);
    if (search) {
        if (count == 0)
            return QStringLiteral("Keine Notiz gefunden");
        return count == 1 ? QStringLiteral("1 Notiz gefunden") : n + QStringLiteral(" Notizen gefunden");
    }
    if (count == 0)
        return QStringLiteral("Keine Notizen");
    return count == 1 ? QStringLiteral("1 Notiz") : n + QStringLiteral(" Notizen");
}
