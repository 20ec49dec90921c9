// Settings table operations on a fresh copy of the delivered database.
#include "common/TempDatabase.h"
#include "store/FieldText.h"
#include "store/SettingsStatements.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"

#include <QDate>
#include <gtest/gtest.h>
#include <memory>

TEST(SettingsStatements, ExactTexts) {
    EXPECT_EQ(CountSettingsRowsSql(), QStringList{"SELECT COUNT(*) as anzahl from tblinterna"});
    EXPECT_EQ(MarkFirstStartDoneSql(),
              QStringList{"insert into tblinterna (tblinterna.FIRSTSTART) VALUES (0)"});
    EXPECT_EQ(ReadSettingsSql(), QStringList{"select * from tblinterna "});
    EXPECT_EQ(StoreAutomaticUpdateFlagSql(true),
              (QStringList{"update tblinterna ", "set tblinterna.AUTOMATICUPDATE = 1"}));
    EXPECT_EQ(StoreAutomaticUpdateFlagSql(false),
              (QStringList{"update tblinterna ", "set tblinterna.AUTOMATICUPDATE = 0"}));
    EXPECT_EQ(RecordUpdateCheckDateSql(0, "08.12.2026"),
              QStringList{"insert into tblinterna (tblinterna.LASTUPDATETESTDATUM) VALUES ('08.12.2026')"});
    EXPECT_EQ(RecordUpdateCheckDateSql(1, "08.12.2026"),
              (QStringList{"update tblinterna ", "set tblinterna.LASTUPDATETESTDATUM = '08.12.2026'"}));
    EXPECT_TRUE(RecordUpdateCheckDateSql(2, "08.12.2026").isEmpty());
    // A date format with an apostrophe cannot break the statement.
    EXPECT_EQ(RecordUpdateCheckDateSql(1, "8 Dez '26").last(),
              "set tblinterna.LASTUPDATETESTDATUM = '8 Dez ''26'");
}

TEST(SettingsStatements, DateAndFlagTexts) {
    const QDate d(2026, 12, 8);
    EXPECT_EQ(ShortDateText(d, QLocale(QLocale::German, QLocale::Germany)), "08.12.2026");
    EXPECT_TRUE(ShortDateText(d, QLocale(QLocale::English, QLocale::UnitedStates)).endsWith("2026"));
    EXPECT_TRUE(ShortDateText(d, QLocale::c()).contains("2026"));

    EXPECT_EQ(AutomaticUpdateMeaning("1"), std::optional<bool>(true));
    EXPECT_EQ(AutomaticUpdateMeaning("0"), std::optional<bool>(false));
    EXPECT_EQ(AutomaticUpdateMeaning(""), std::optional<bool>(true));
    EXPECT_EQ(AutomaticUpdateMeaning("2"), std::nullopt);
    EXPECT_EQ(AutomaticUpdateMeaning(" 1"), std::nullopt);
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
    }
    void TearDown() override { dm.reset(); }

    // Runs a change through the notes statement object and commits.
    void Exec(const QString& sql) { dm->RunInSharedTransaction(dm->QueryNotizen, {sql}); }

    // The committed rows as another connection sees them: "FIRSTSTART|DATE|FLAG" per row.
    QStringList CommittedRows() {
        TDataModuleNotizen other(db.Directory());
        EXPECT_TRUE(other.DataModuleCreate());
        other.QueryInternes.SetSQL({"select * from tblinterna"});
        other.QueryInternes.Open();
        QStringList rows;
        for (; !other.QueryInternes.Eof(); other.QueryInternes.Next()) {
            auto v = [&](const char* f) {
                return other.QueryInternes.FieldIsNull(f) ? QString("null")
                                                          : other.QueryInternes.FieldAsString(f);
            };
            rows << v("FIRSTSTART") + "|" + v("LASTUPDATETESTDATUM") + "|" + v("AUTOMATICUPDATE");
        }
        return rows;
    }

    template <class F> static std::string ErrorOf(F&& f) {
        try {
            f();
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }

    static QString Today() { return ShortDateText(QDate::currentDate()); }

    TTempDatabase db;
    std::unique_ptr<TDataModuleNotizen> dm;
};

TEST_F(SettingsTest, CountLeavesTheTransactionOpenAndCommitsNothing) {
    EXPECT_EQ(CountSettingsRows(*dm), 0);
    EXPECT_TRUE(dm->SharedTransaction.InTransaction());
    EXPECT_TRUE(dm->QueryInternes.Active());
    dm->SharedTransaction.Commit();
    Exec("insert into tblinterna (FIRSTSTART) values (5)");
    EXPECT_EQ(CountSettingsRows(*dm), 1);
}

TEST_F(SettingsTest, FirstStartMarkIsARowAndIsCommitted) {
    MarkFirstStartDone(*dm);
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    EXPECT_EQ(CommittedRows(), QStringList{"0|null|null"});
    EXPECT_EQ(CountSettingsRows(*dm), 1);
    // It does not count: a second call makes a second row.
    MarkFirstStartDone(*dm);
    EXPECT_EQ(CommittedRows().size(), 2);
}

TEST_F(SettingsTest, EmptyTable) {
    // Reading: no date, the flag counts as on.
    TSettingsRow row = ReadSettings(*dm);
    EXPECT_EQ(row.lastUpdateTestDatum, "");
    EXPECT_EQ(row.automaticUpdate, "");
    EXPECT_EQ(AutomaticUpdateMeaning(row.automaticUpdate), std::optional<bool>(true));
    EXPECT_TRUE(dm->SharedTransaction.InTransaction());

    // Storing the flag without a row stores nothing and ends the transaction.
    StoreAutomaticUpdateFlag(*dm, false);
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    EXPECT_TRUE(CommittedRows().isEmpty());
    EXPECT_EQ(AutomaticUpdateMeaning(ReadSettings(*dm).automaticUpdate), std::optional<bool>(true));

    // The update check date makes the one row; the other columns stay null.
    RecordUpdateCheckDate(*dm);
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    EXPECT_EQ(CommittedRows(), QStringList{"null|" + Today() + "|null"});
    EXPECT_EQ(CountSettingsRows(*dm), 1);
}

TEST_F(SettingsTest, OneRow) {
    MarkFirstStartDone(*dm);
    EXPECT_EQ(ReadSettings(*dm).automaticUpdate, ""); // null: on

    StoreAutomaticUpdateFlag(*dm, false);
    EXPECT_EQ(CommittedRows(), QStringList{"0|null|0"});
    EXPECT_EQ(ReadSettings(*dm).automaticUpdate, "0");
    StoreAutomaticUpdateFlag(*dm, true);
    EXPECT_EQ(ReadSettings(*dm).automaticUpdate, "1");

    // An older date is overwritten; no second row.
    Exec("update tblinterna set LASTUPDATETESTDATUM = '01.01.2000'");
    EXPECT_EQ(ReadSettings(*dm).lastUpdateTestDatum, "01.01.2000");
    RecordUpdateCheckDate(*dm);
    EXPECT_EQ(CommittedRows(), QStringList{"0|" + Today() + "|1"});
    EXPECT_EQ(ReadSettings(*dm).lastUpdateTestDatum, Today());
}

TEST_F(SettingsTest, TwoRowsLeaveNoStatementForTheDate) {
    Exec("insert into tblinterna (FIRSTSTART, LASTUPDATETESTDATUM) values (0, '01.01.2000')");
    Exec("insert into tblinterna (FIRSTSTART, LASTUPDATETESTDATUM) values (0, '02.02.2000')");
    EXPECT_EQ(ErrorOf([&] { RecordUpdateCheckDate(*dm); }), "Empty SQL Statement");
    // Nothing written, nothing committed: the transaction it started is still active.
    EXPECT_TRUE(dm->SharedTransaction.InTransaction());
    const QStringList rows = CommittedRows();
    EXPECT_EQ(rows.size(), 2);
    EXPECT_FALSE(rows.join(",").contains(Today()));
    // Reading takes the first row the server returns.
    EXPECT_TRUE(ReadSettings(*dm).lastUpdateTestDatum.startsWith("0"));
}

TEST_F(SettingsTest, CommitClosesTheOpenList) {
    dm->DataSetNotizliste.Open();
    ASSERT_TRUE(dm->DataSetNotizliste.Active());
    MarkFirstStartDone(*dm);
    EXPECT_FALSE(dm->DataSetNotizliste.Active());

    dm->DataSetNotizliste.Open();
    StoreAutomaticUpdateFlag(*dm, true);
    EXPECT_FALSE(dm->DataSetNotizliste.Active());

    dm->DataSetNotizliste.Open();
    RecordUpdateCheckDate(*dm);
    EXPECT_FALSE(dm->DataSetNotizliste.Active());
}

TEST_F(SettingsTest, ServerErrorsReachTheCaller) {
    Exec("drop table tblinterna");
    EXPECT_NE(ErrorOf([&] { CountSettingsRows(*dm); }), "");
    EXPECT_NE(ErrorOf([&] { MarkFirstStartDone(*dm); }), "");
    EXPECT_NE(ErrorOf([&] { ReadSettings(*dm); }), "");
    EXPECT_NE(ErrorOf([&] { StoreAutomaticUpdateFlag(*dm, true); }), "");
    EXPECT_NE(ErrorOf([&] { RecordUpdateCheckDate(*dm); }), "");
}
