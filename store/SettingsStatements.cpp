#include "store/SettingsStatements.h"

#include "store/TDataModuleNotizen.h"

QStringList CountSettingsRowsSql() {
    return {QStringLiteral("SELECT COUNT(*) as anzahl from tblinterna")};
}

QStringList MarkFirstStartDoneSql() {
    return {QStringLiteral("insert into tblinterna (tblinterna.FIRSTSTART) VALUES (0)")};
}

QStringList ReadSettingsSql() {
    return {QStringLiteral("select * from tblinterna ")};
}

QStringList StoreAutomaticUpdateFlagSql(bool on) {
    return {QStringLiteral("update tblinterna "), on ? QStringLiteral("set tblinterna.AUTOMATICUPDATE = 1")
                                                     : QStringLiteral("set tblinterna.AUTOMATICUPDATE = 0")};
}

QStringList RecordUpdateCheckDateSql(qint64 rowCount, const QString& dateText) {
    const QString quoted = QuoteSqlText(dateText);
    if (rowCount == 0)
        return {QStringLiteral("insert into tblinterna (tblinterna.LASTUPDATETESTDATUM) VALUES ('") + quoted +
                QStringLiteral("')")};
    if (rowCount == 1)
        return {QStringLiteral("update tblinterna "),
                QStringLiteral("set tblinterna.LASTUPDATETESTDATUM = '") + quoted + u'\''};
    return {};
}

std::optional<bool> AutomaticUpdateMeaning(const QString& flagText) {
    if (flagText == QStringLiteral("1") || flagText.isEmpty())
        return true;
    if (flagText == QStringLiteral("0"))
        return false;
    return std::nullopt;
}
