// The data module on a real copy of the delivered database: connection, shared transaction,
// statement objects and the behaviour rules they follow.
#include "StoreTestSupport.h"
#include "store/StoreInternals.h"

#include <QRegularExpression>

TEST_F(StoreFixture, ConnectsToTheDatabaseInTheProgramDirectory) {
    EXPECT_TRUE(dm->Database.Connected());
    EXPECT_EQ(dm->ProgramDirectory(), db.Directory());
    EXPECT_TRUE(dm->ProgramDirectory().endsWith('/'));
    EXPECT_EQ(dm->DatabaseFileName(), db.Directory() + "notizen.gdb");
    EXPECT_EQ(dm->Database.DatabaseName(), dm->DatabaseFileName());
    EXPECT_EQ(dm->Database.SqlDialect(), 3);
}

TEST_F(StoreFixture, DatabaseInfoItems) {
    const TDatabaseInfo info = dm->DatabaseInfo();
    EXPECT_EQ(info.pageSize, 4096);
    EXPECT_EQ(info.sqlDialect, 3);
    EXPECT_GE(info.odsVersion, 12);
    EXPECT_GT(info.allocation, 0);
    EXPECT_NE(info.serverVersion.indexOf("Firebird"), -1) << info.serverVersion.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(^\d+\.\d+\.\d+\.\d+$)")
                    .match(TDataModuleNotizen::ClientLibraryVersion())
                    .hasMatch())
        << TDataModuleNotizen::ClientLibraryVersion().toStdString();
}

TEST(DataModuleConnect, MissingFileFailsWithAMessage) {
    QTemporaryDir dir;
    TDataModuleNotizen m(dir.path());
    int broadcasts = 0;
    QObject::connect(&m, &TDataModuleNotizen::Connected, [&] { ++broadcasts; });
    EXPECT_FALSE(m.DataModuleCreate());
    EXPECT_FALSE(m.LastConnectError().isEmpty());
    EXPECT_FALSE(m.LastConnectError().endsWith('.'));
    EXPECT_NE(m.LastConnectError().indexOf("notizen.gdb"), -1) << m.LastConnectError().toStdString();
    EXPECT_FALSE(m.Database.Connected());
    EXPECT_EQ(broadcasts, 0);
}

TEST_F(StoreFixture, ClosedConnectionRules) {
    QStringList broadcasts;
    QObject::connect(dm.get(), &TDataModuleNotizen::Connected, [&](const QString& f) { broadcasts << f; });
    dm->Database.Close();
    EXPECT_FALSE(dm->Database.Connected());
    EXPECT_TRUE(broadcasts.isEmpty()) << "closing does not broadcast";

    // starting the transaction does not connect
    EXPECT_EQ(ErrorOf([&] { dm->SharedTransaction.StartTransaction(); }),
              "Cannot perform operation -- DB is not open");
    EXPECT_FALSE(dm->Database.Connected());
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());

    // opening a query connects (with the broadcast) and starts the transaction
    dm->QueryInternes.SetSQL({"SELECT COUNT(*) as anzahl from tblinterna"});
    dm->QueryInternes.Open();
    EXPECT_TRUE(dm->Database.Connected());
    EXPECT_TRUE(dm->SharedTransaction.InTransaction());
    EXPECT_EQ(dm->QueryInternes.FieldAsInteger("ANZAHL"), 0);
    ASSERT_EQ(broadcasts.size(), 1);
    EXPECT_EQ(broadcasts[0], dm->DatabaseFileName());

    // executing while closed connects too
    dm->Database.Close();
    EXPECT_FALSE(dm->QueryInternes.Active()) << "closing the connection closes result sets";
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    dm->QueryNotizen.SetSQL({"update tblinterna set firststart = 1"});
    dm->QueryNotizen.ExecSQL();
    EXPECT_TRUE(dm->SharedTransaction.InTransaction());
    EXPECT_EQ(broadcasts.size(), 2);
}

TEST_F(StoreFixture, EmptyStatementIsRefusedWithoutTouchingTheServer) {
    dm->QueryInternes.SetSQL({});
    EXPECT_EQ(ErrorOf([&] { dm->QueryInternes.ExecSQL(); }), "Empty SQL Statement");
    EXPECT_FALSE(dm->SharedTransaction.InTransaction()) << "nothing was sent, no transaction started";
    dm->Database.Close();
    EXPECT_EQ(ErrorOf([&] { dm->QueryInternes.ExecSQL(); }), "Empty SQL Statement");
    EXPECT_FALSE(dm->Database.Connected());
}

TEST_F(StoreFixture, InsertWithBlobParameterAndApostrophes) {
    const QString title = "O'Brien's \"Grüße\"";
    const QString text = "Zeile 1\r\nZeile 2 mit 'Apostroph' und :Doppelpunkt\r\nÄÖÜß €";
    AddNote(title, text);
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    dm->QueryNotizen.SetSQL({"select * from tblnotizen"});
    dm->QueryNotizen.Open();
    ASSERT_FALSE(dm->QueryNotizen.Eof());
    EXPECT_EQ(dm->QueryNotizen.FieldAsString("TITEL"), title);
    EXPECT_EQ(dm->QueryNotizen.FieldAsString("bemerkung"), text);
    EXPECT_EQ(dm->QueryNotizen.FieldAsInteger("ID"), 1);
    EXPECT_FALSE(dm->QueryNotizen.FieldIsNull("ZEITSTEMPEL"));
    dm->QueryNotizen.Next();
    EXPECT_TRUE(dm->QueryNotizen.Eof());
}

TEST_F(StoreFixture, EmptyTextIsStoredAsIs) {
    AddNote("", "");
    EXPECT_EQ(Scalar(*dm, "select count(*) as n from tblnotizen where titel = ''", "N"), "1");
}

TEST_F(StoreFixture, SettingsFlagReadsBackAsText) {
    dm->RunInSharedTransaction(dm->QueryInternes,
                               {"insert into tblinterna (tblinterna.FIRSTSTART) VALUES (0)"});
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    dm->RunInSharedTransaction(dm->QueryInternes,
                               {"update tblinterna ", "set tblinterna.AUTOMATICUPDATE = 1"});
    EXPECT_EQ(Scalar(*dm, "select * from tblinterna ", "automaticupdate"), "1");
    dm->RunInSharedTransaction(dm->QueryInternes,
                               {"update tblinterna ", "set tblinterna.AUTOMATICUPDATE = 0"});
    EXPECT_EQ(Scalar(*dm, "select * from tblinterna ", "automaticupdate"), "0");
    EXPECT_EQ(Scalar(*dm, "select * from tblinterna ", "lastupdatetestdatum"), "");
    dm->RunInSharedTransaction(dm->QueryInternes,
                               {"update tblinterna ", "set tblinterna.LASTUPDATETESTDATUM = '08.12.2026'"});
    EXPECT_EQ(Scalar(*dm, "select * from tblinterna ", "LASTUPDATETESTDATUM"), "08.12.2026");
}

TEST_F(StoreFixture, ServerErrorsCarryTheInterpretedLines) {
    dm->QueryNotizen.SetSQL({"select * from nosuchtable"});
    try {
        dm->QueryNotizen.Open();
        FAIL() << "no error";
    } catch (const fb::Error& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find('\n'), std::string::npos) << m;
        EXPECT_NE(m.find("NOSUCHTABLE"), std::string::npos) << m;
        EXPECT_NE(m.back(), '.');
        EXPECT_NE(e.GdsCode(), 0);
    }
    EXPECT_TRUE(dm->SharedTransaction.InTransaction()) << "a failed statement neither commits nor rolls back";
}

TEST_F(StoreFixture, ReplacingTheTextClosesTheResult) {
    AddNote("a", "x");
    dm->QueryNotizen.SetSQL({"select * from tblnotizen"});
    dm->QueryNotizen.Open();
    EXPECT_TRUE(dm->QueryNotizen.Active());
    dm->QueryNotizen.SetSQL({"select count(*) from tblnotizen"});
    EXPECT_FALSE(dm->QueryNotizen.Active());
    EXPECT_EQ(ErrorOf([&] { dm->QueryNotizen.FieldAsString("TITEL"); }),
              "QueryNotizen: Field 'TITEL' not found");
}

TEST_F(StoreFixture, LongTextTravelsInManySegments) {
    QString text;
    for (int i = 0; text.size() < 200000; ++i)
        text += QString("Zeile %1 mit Umlauten äöüß und Zeichen ' \" : ?\r\n").arg(i);
    AddNote("lang", text);
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "BEMERKUNG"), text);
    dm->DataSetNotizliste.Open();
    EXPECT_EQ(dm->DataSetNotizliste.FieldAsString("BEMERKUNG"), text);
    dm->DataSetNotizliste.Edit();
    dm->DataSetNotizliste.SetFieldValue("BEMERKUNG", text + "Ende");
    dm->DataSetNotizliste.Post();
    dm->SharedTransaction.Commit();
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "BEMERKUNG"), text + "Ende");
}

TEST_F(StoreFixture, InformationNeedsAConnection) {
    dm->Database.Close();
    EXPECT_EQ(ErrorOf([&] { dm->DatabaseInfo(); }), "Cannot perform operation -- DB is not open");
    dm->Database.Close(); // a closed connection stays closed
    EXPECT_FALSE(dm->Database.Connected());
    dm->Database.Open();
    EXPECT_EQ(dm->DatabaseInfo().pageSize, 4096);
}

TEST_F(StoreFixture, TitleSearchWithUmlautsIgnoresLetterCase) {
    AddNote("Grüße", "an alle");
    AddNote("Einkauf", "Milch");
    AddNote("Einkaufsliste", "Brot");
    auto search = [&](const QString& term) {
        const QString q = QuoteSqlText(term);
        dm->QueryNotizen.SetSQL({"select * from tblnotizen where ((Upper(tblnotizen.titel) like Upper('" + q +
                                 "')) or  bemerkung containing '" + q + "')"});
        dm->QueryNotizen.Open();
        QStringList titles;
        for (; !dm->QueryNotizen.Eof(); dm->QueryNotizen.Next())
            titles << dm->QueryNotizen.FieldAsString("TITEL");
        titles.sort();
        return titles;
    };
    EXPECT_EQ(search("Grüße"), QStringList{"Grüße"});
    EXPECT_EQ(search("grüße"), QStringList{"Grüße"});
    EXPECT_EQ(search("GRÜSSE"), QStringList{}) << "no letter expansion";
    EXPECT_EQ(search("einkauf"), QStringList{"Einkauf"});
    EXPECT_EQ(search("einkauf%"), (QStringList{"Einkauf", "Einkaufsliste"}));
    EXPECT_EQ(search("MILCH"), QStringList{"Einkauf"});
}

TEST_F(StoreFixture, ProceduralBlockRunsWithItsOwnVariables) {
    dm->RunInSharedTransaction(
        dm->QueryNotizen,
        {"execute block as declare i integer = 0; begin", "  while (i < 3) do begin", "    i = i + 1;",
         "    insert into tblnotizen (id, titel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), :i);", "  end",
         "end"});
    EXPECT_EQ(Scalar(*dm, "select count(*) as n from tblnotizen where titel in ('1', '2', '3')", "N"), "3");
}

TEST_F(StoreFixture, ColumnValuesAsText) {
    dm->QueryNotizen.SetSQL({"select cast(1.50 as numeric(9,2)) as a, cast(-0.05 as numeric(18,2)) as b,",
                             " cast('2026-12-08 14:05:09' as timestamp) as c, cast(null as integer) as d,",
                             " cast('abc' as char(6)) as e, cast(-42 as smallint) as f, 7 as g",
                             "from rdb$database"});
    dm->QueryNotizen.Open();
    EXPECT_EQ(dm->QueryNotizen.FieldAsString("A"), "1.50");
    EXPECT_EQ(dm->QueryNotizen.FieldAsString("B"), "-0.05");
    EXPECT_EQ(dm->QueryNotizen.FieldAsString("C"), "2026-12-08 14:05:09");
    EXPECT_EQ(dm->QueryNotizen.FieldAsString("D"), "");
    EXPECT_TRUE(dm->QueryNotizen.FieldIsNull("D"));
    EXPECT_EQ(dm->QueryNotizen.FieldAsInteger("D"), 0);
    EXPECT_EQ(dm->QueryNotizen.FieldAsString("E"), "abc");
    EXPECT_EQ(dm->QueryNotizen.FieldAsInteger("F"), -42);
    EXPECT_EQ(dm->QueryNotizen.FieldAsInteger("G"), 7);
    EXPECT_EQ(dm->QueryNotizen.FieldAsInteger("A"), 1);
    EXPECT_NE(ErrorOf([&] { dm->QueryNotizen.FieldAsInteger("E"); }), "");
}

TEST_F(StoreFixture, SavedNotesKeepTitleAndTextExactly) {
    const QString title = QString::fromUtf8("Peter's \"Grüße\" -- ' or 1=1");
    const QString text = QString::fromUtf8("Zeile 1\r\n\tZeile 2 mit ä, ö, ü und €");
    dm->SaveNewNote(title, text);
    EXPECT_FALSE(dm->SharedTransaction.InTransaction()) << "the save commits";
    EXPECT_EQ(Scalar(*dm, "select titel from tblnotizen", "TITEL"), title);
    EXPECT_EQ(Scalar(*dm, "select bemerkung from tblnotizen", "BEMERKUNG"), text);
    // What the title literal of a statement stores, the bound title stores too.
    dm->RunInSharedTransaction(
        dm->QueryNotizen, {"insert into tblnotizen (id, titel) values (99, '" + QuoteSqlText(title) + "')"});
    EXPECT_EQ(Scalar(*dm, "select count(distinct titel) as n from tblnotizen", "N"), "1");
    EXPECT_EQ(
        Scalar(*dm, "select count(*) as n from tblnotizen where titel = '" + QuoteSqlText(title) + "'", "N"),
        "2");
    dm->DeleteNote(99);
    EXPECT_EQ(Scalar(*dm, "select count(*) as n from tblnotizen", "N"), "1");
}

TEST_F(StoreFixture, ATextTooLongForItsParameterIsRefusedNotWrapped) {
    // The length of a text parameter is a 16-bit number: 40,000 bytes must not become 7,232.
    dm->QueryInternes.SetSQL({"select cast(:P as varchar(32765)) as v from rdb$database"});
    dm->QueryInternes.SetTextParam("P", QString(40000, QLatin1Char('x')));
    const std::string error = ErrorOf([&] { dm->QueryInternes.Open(); });
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
    EXPECT_FALSE(dm->QueryInternes.Active());
    // The largest text that fits still travels whole.
    dm->QueryInternes.SetSQL({"select char_length(cast(:P as varchar(32765))) as n from rdb$database"});
    dm->QueryInternes.SetTextParam("P", QString(32765, QLatin1Char('y')));
    dm->QueryInternes.Open();
    EXPECT_EQ(dm->QueryInternes.FieldAsInteger("N"), 32765);
}

TEST_F(StoreFixture, ClosingRunsEveryStepAndReportsTheFirstError) {
    // A second transaction on the same connection holds a note that must not be lost.
    TSharedTransaction second(dm->Database);
    TQuery insert(dm->Database, second, "Insert");
    insert.SetSQL({"insert into tblnotizen (id, titel) values (7, 'zweite')"});
    insert.ExecSQL();
    // The shared transaction's handle is ended behind its back: its commit will fail.
    dm->SharedTransaction.StartTransaction();
    isc_tr_handle stale = *dm->SharedTransaction.impl()->tr.Handle();
    ISC_STATUS_ARRAY status;
    fb::Client().isc_commit_transaction(status, &stale);

    const std::string error = ErrorOf([&] { dm->Database.Close(); });
    EXPECT_NE(error, "") << "the failed commit is reported";
    EXPECT_FALSE(dm->Database.Connected()) << "the detach ran all the same";
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    EXPECT_FALSE(second.InTransaction());
    TDataModuleNotizen other(db.Directory());
    ASSERT_TRUE(other.DataModuleCreate());
    EXPECT_EQ(Scalar(other, "select titel from tblnotizen where id = 7", "TITEL"), "zweite")
        << "the other transaction was committed";
    // The connection opens again.
    EXPECT_EQ(Scalar(*dm, "select titel from tblnotizen where id = 7", "TITEL"), "zweite");
}
