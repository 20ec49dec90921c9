#include "store/TSettings.h"

#include "platform/DbWaitCursor.h"
#include "store/FieldText.h"
#include "store/SettingsStatements.h"
#include "store/TDataModuleNotizen.h"

#include <QDate>

namespace {

TDataModuleNotizen& Module() {
    return *DataModuleNotizen;
}

} // namespace

qint64 CountSettingsRows() {
    TQuery& query = Module().QueryInternes;
    query.Close();
    query.SetSQL(CountSettingsRowsSql());
    query.Open();
    return query.FieldAsInteger(QStringLiteral("ANZAHL"));
}

void MarkFirstStartDone() {
    TDbWaitCursor wait;
    Module().RunInSharedTransaction(Module().QueryInternes, MarkFirstStartDoneSql());
}

void RecordUpdateCheckDate() {
    TDataModuleNotizen& dm = Module();
    if (!dm.SharedTransaction.InTransaction())
        dm.SharedTransaction.StartTransaction();
    const qint64 rows = CountSettingsRows();
    dm.QueryInternes.SetSQL(RecordUpdateCheckDateSql(rows, ShortDateText(QDate::currentDate())));
    dm.QueryInternes.ExecSQL();
    if (dm.SharedTransaction.InTransaction())
        dm.SharedTransaction.Commit();
}

TSettingsRow ReadSettings() {
    TDbWaitCursor wait;
    TQuery& query = Module().QueryInternes;
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

void StoreAutomaticUpdateFlag(bool on) {
    TDbWaitCursor wait;
    TDataModuleNotizen& dm = Module();
    if (!dm.SharedTransaction.InTransaction())
        dm.SharedTransaction.StartTransaction();
    dm.QueryInternes.SetSQL(StoreAutomaticUpdateFlagSql(on));
    dm.QueryInternes.ExecSQL();
    dm.SharedTransaction.CommitRetaining();
    if (dm.SharedTransaction.InTransaction())
        dm.SharedTransaction.Commit();
}
