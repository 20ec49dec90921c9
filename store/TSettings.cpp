#include "store/TSettings.h"

#include "store/FieldText.h"
#include "store/SettingsStatements.h"
#include "store/TDataModuleNotizen.h"

#include <QDate>

qint64 CountSettingsRows(TDataModuleNotizen& dm) {
    TQuery& query = dm.QueryInternes;
    query.Close();
    query.SetSQL(CountSettingsRowsSql());
    query.Open();
    return query.FieldAsInteger(QStringLiteral("ANZAHL"));
}

void MarkFirstStartDone(TDataModuleNotizen& dm) {
    dm.RunInSharedTransaction(dm.QueryInternes, MarkFirstStartDoneSql());
}

void RecordUpdateCheckDate(TDataModuleNotizen& dm) {
    TWriteScope write(dm.SharedTransaction);
    const qint64 rows = CountSettingsRows(dm);
    dm.QueryInternes.SetSQL(RecordUpdateCheckDateSql(rows, ShortDateText(QDate::currentDate())));
    dm.QueryInternes.ExecSQL();
    write.Commit();
}

TSettingsRow ReadSettings(TDataModuleNotizen& dm) {
    TQuery& query = dm.QueryInternes;
    query.Close();
    query.SetSQL(ReadSettingsSql());
    query.Open();
    TSettingsRow row;
    if (!query.Eof()) {
        row.lastUpdateTestDatum = query.FieldAsString(QStringLiteral("LASTUPDATETESTDATUM"));
        row.automaticUpdate = query.FieldAsString(QStringLiteral("AUTOMATICUPDATE"));
    }
    return row;
}

void StoreAutomaticUpdateFlag(TDataModuleNotizen& dm, bool on) {
    TWriteScope write(dm.SharedTransaction);
    dm.QueryInternes.SetSQL(StoreAutomaticUpdateFlagSql(on));
    dm.QueryInternes.ExecSQL();
    dm.SharedTransaction.CommitRetaining();
    write.Commit();
}
