#pragma once
// Statement texts of the settings table and the meaning of its values.
#include <QStringList>
#include <optional>

QStringList CountSettingsRowsSql();  // "SELECT COUNT(*) as anzahl from tblinterna"
QStringList MarkFirstStartDoneSql(); // "insert into tblinterna (tblinterna.FIRSTSTART) VALUES (0)"
QStringList ReadSettingsSql();       // "select * from tblinterna "
QStringList StoreAutomaticUpdateFlagSql(bool on);
// By the number of rows: an insert for none, an update for one, no line at all for more.
QStringList RecordUpdateCheckDateSql(qint64 rowCount, const QString& dateText);

// The automatic-update flag as read: "1" on, "0" off, empty on, anything else: nothing said.
std::optional<bool> AutomaticUpdateMeaning(const QString& flagText);
