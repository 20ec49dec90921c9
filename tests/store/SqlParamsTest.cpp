// Named parameters turned into Firebird's '?' markers.
#include "store/SqlParams.h"

#include "store/FieldText.h"
#include "store/TDataModuleNotizen.h"

#include <gtest/gtest.h>

TEST(SqlParams, NamedParametersBecomeMarkersInOrder) {
    const TTranslatedSql t =
        TranslateNamedParams("update TBLNOTIZEN\nset\n  ID = :ID,\n  TITEL = :TITEL\nwhere\n  ID = :OLD_ID");
    EXPECT_EQ(t.sql.toStdString(), "update TBLNOTIZEN\nset\n  ID = ?,\n  TITEL = ?\nwhere\n  ID = ?");
    EXPECT_EQ(t.names, (QStringList{"ID", "TITEL", "OLD_ID"}));
}

TEST(SqlParams, ParameterInParenthesesNextToQuotes) {
    const TTranslatedSql t =
        TranslateNamedParams("insert into t (a, b, c) VALUES (gen_id(G, 1), 'x', (:TextParam),'NOW')");
    EXPECT_EQ(t.sql.toStdString(), "insert into t (a, b, c) VALUES (gen_id(G, 1), 'x', (?),'NOW')");
    EXPECT_EQ(t.names, QStringList{"TextParam"});
}

TEST(SqlParams, QuotedTextAndCommentsAreLeftAlone) {
    const TTranslatedSql t = TranslateNamedParams(
        "select ':no', 'it''s :no', \"A:no\" -- :no\n/* :no */ from t where x = :yes and y = '12:30'");
    EXPECT_EQ(t.names, QStringList{"yes"});
    EXPECT_EQ(t.sql.toStdString(),
              "select ':no', 'it''s :no', \"A:no\" -- :no\n/* :no */ from t where x = ? and y = '12:30'");
}

TEST(SqlParams, UnterminatedQuoteAndPositionalMarkers) {
    TTranslatedSql t = TranslateNamedParams("select ? from t where a = :A and b = 'open :x");
    EXPECT_EQ(t.names, (QStringList{"", "A"}));
    EXPECT_EQ(t.sql.toStdString(), "select ? from t where a = ? and b = 'open :x");
    t = TranslateNamedParams("select a:b, x : y, 1:");
    EXPECT_EQ(t.names, QStringList{"b"});
}

TEST(SqlParams, ProceduralBodiesKeepTheirVariables) {
    const TTranslatedSql t = TranslateNamedParams("execute block (n integer = :N) returns (r integer) as\n"
                                                  "declare i integer = 0; begin while (i < :n) do begin\n"
                                                  "  i = i + 1; r = :i; suspend; end end");
    EXPECT_EQ(t.names, QStringList{"N"});
    EXPECT_EQ(t.sql.toStdString(), "execute block (n integer = ?) returns (r integer) as\n"
                                   "declare i integer = 0; begin while (i < :n) do begin\n"
                                   "  i = i + 1; r = :i; suspend; end end");
    // an alias named like the keyword elsewhere does not switch anything off
    EXPECT_EQ(TranslateNamedParams("select a as b from t where c = :C").names, QStringList{"C"});
}

TEST(FieldText, MidnightLeavesTheTimeOutAndTheYearIsWrittenInFull) {
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(DateTimeToText(QDateTime(QDate(2026, 12, 8), QTime(0, 0)), de).toStdString(), "08.12.2026");
    EXPECT_EQ(DateTimeToText(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)), de).toStdString(),
              "08.12.2026 14:05:09");
    EXPECT_EQ(DateTimeToText(QDateTime()), "");
}

TEST(ClientVersion, ProductVersionFromTheVersionText) {
    EXPECT_EQ(ClientVersionNumbers("LI-V6.3.11.33637 Firebird 3.0").toStdString(), "3.0.11.33637");
    EXPECT_EQ(ClientVersionNumbers("WI-V6.3.5.32224 Firebird 3.0").toStdString(), "3.0.5.32224");
    EXPECT_EQ(ClientVersionNumbers("WI-V2.5.9.27139 Firebird 2.5").toStdString(), "2.5.9.27139");
    EXPECT_EQ(ClientVersionNumbers("something 1.2.3").toStdString(), "1.2.3");
    EXPECT_EQ(QuoteSqlText("it's 'x'").toStdString(), "it''s ''x''");
}
