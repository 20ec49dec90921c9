// The schema upgrade and the trash on real database files: an old file is upgraded once and
// still serves the first release's statements, every delete (also one by isql-fb) lands in the
// trash and comes back whole, two programs upgrade at once, and a file the program does not
// know is left as it is.
#include "common/FirebirdServer.h"
#include "common/TempDatabase.h"
#include "store/NoteTrash.h"
#include "store/SchemaUpgrade.h"
#include "store/StoreInternals.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbHandles.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

// Runs a script with isql-fb on the file, as another program would; its output.
QString Isql(const QString& file, const QString& script) {
    QProcess isql;
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start("isql-fb", {"-q", "-bail", "-user", "sysdba", "-password", "lanternix", file});
    isql.write(("SET LIST ON;\n" + script + "\nCOMMIT;\n").toUtf8());
    isql.closeWriteChannel();
    if (!isql.waitForFinished(60000) || isql.exitCode() != 0)
        throw std::runtime_error(("isql-fb failed: " + isql.readAll()).toStdString());
    return QString::fromUtf8(isql.readAll());
}

std::unique_ptr<TDataModuleNotizen> Open(const TTempDatabase& db) {
    auto dm = std::make_unique<TDataModuleNotizen>(db.Directory());
    EXPECT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
    return dm;
}

// One note as stored, read by the program's own layer.
struct TRow {
    QString title;
    QByteArray text;
    QString stamp;
};
TRow Stored(TDataModuleNotizen& dm, qint64 id) {
    fb::Attachment& att = dm.Database.impl()->att;
    fb::Transaction tr;
    tr.Start(att, fb::Transaction::SharedTpb());
    fb::Statement s(att);
    s.Prepare(
        tr, QStringLiteral("select titel, bemerkung, zeitstempel from tblnotizen where id = %1").arg(id), 3);
    s.Execute(tr);
    TRow row;
    if (s.Fetch())
        row = {s.AsString(0), fb::ReadBlob(att, tr, s.AsBlobId(1)), s.AsString(2)};
    s.CloseCursor();
    tr.Commit();
    return row;
}

} // namespace

TEST(SchemaRules, TheTrashCopiesEachColumnInItsOwnTypeAndRefusesOneItDoesNotKnow) {
    const std::vector<TColumnFacts> notes = {{"ID", 8, 0, 0, {}},
                                             {"TITEL", 37, 0, 50, "UTF8"},
                                             {"BEMERKUNG", 261, 1, 0, "UTF8"},
                                             {"BILD", 261, 0, 0, {}},
                                             {"ZEITSTEMPEL", 35, 0, 0, {}}};
    const auto steps = SchemaSteps(1, {notes, {"USER ALICE"}});
    ASSERT_TRUE(steps && steps->size() == 2); // the trash, then the change journal
    const QString table = steps->front().statements.filter("CREATE TABLE").join("");
    EXPECT_TRUE(table.contains("TITEL VARCHAR(50) CHARACTER SET UTF8,")) << table.toStdString();
    EXPECT_TRUE(table.contains("BEMERKUNG BLOB SUB_TYPE 1 CHARACTER SET UTF8,")) << table.toStdString();
    EXPECT_TRUE(table.contains("BILD BLOB SUB_TYPE 0,")) << table.toStdString();
    EXPECT_TRUE(steps->front().statements.contains("GRANT SELECT, DELETE ON TBLPAPIERKORB TO USER ALICE"));
    EXPECT_FALSE(steps->front().statements.join(' ').contains("INDEX"))
        << "nothing that makes every delete slower";
    EXPECT_TRUE(steps->front().statements.contains(SchemaVersionStatement(2)));
    const auto journal = SchemaSteps(2, {notes, {"USER ALICE"}});
    ASSERT_TRUE(journal && journal->size() == 1);
    EXPECT_TRUE(journal->front().statements.contains("GRANT DELETE ON TBLAENDERUNGEN TO USER ALICE"));
    EXPECT_TRUE(journal->front().statements.contains(SchemaVersionStatement(3)));
    EXPECT_TRUE(SchemaSteps(kSchemaVersion, {notes, {}})->empty());
    EXPECT_TRUE(SchemaSteps(7, {notes, {}})->empty());

    std::vector<TColumnFacts> odd = notes;
    odd[1].fieldType = 27; // a title of type double precision
    EXPECT_FALSE(SchemaSteps(1, {odd, {}}));
    EXPECT_FALSE(SchemaSteps(1, {{notes[0], notes[1]}, {}})) << "no text column";
}

TEST(Schema, AnOldDatabaseIsUpgradedOnceAndStillServesTheFirstReleasesStatements) {
    TTempDatabase db(TTempDatabase::TSchema::FirstRelease);
    Isql(db.File(), "insert into tblnotizen  (tblnotizen.id, tblnotizen.titel, tblnotizen.bemerkung, "
                    "tblnotizen.zeitstempel) VALUES (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Alt', 'Text','NOW');");
    {
        auto dm = Open(db);
        EXPECT_EQ(dm->Schema().state, TSchemaState::Upgraded);
        EXPECT_EQ(dm->Schema().found, 1);
        EXPECT_EQ(dm->Schema().version, kSchemaVersion);
        EXPECT_TRUE(dm->Schema().TrashAvailable());
    }
    auto dm = Open(db);
    EXPECT_EQ(dm->Schema().state, TSchemaState::Current) << "upgraded once";
    dm->Close();

    // What the first release runs, as it runs it, through another program.
    const QString out =
        Isql(db.File(),
             "insert into tblnotizen  (tblnotizen.id, tblnotizen.titel, tblnotizen.bemerkung, "
             "tblnotizen.zeitstempel) "
             "VALUES (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Neu', 'mehr','NOW');\n"
             "select titel as listed from tblnotizen order by tblnotizen.titel asc ;\n"
             "select titel as found from tblnotizen where ((Upper(tblnotizen.titel) like Upper('neu')) or  "
             "bemerkung "
             "containing 'neu');\n"
             "update TBLNOTIZEN set ID = 1, TITEL = 'Alt2', BEMERKUNG = 'Text2', BILD = NULL, ZEITSTEMPEL = "
             "ZEITSTEMPEL where ID = 1;\n"
             "delete from tblnotizen where  tblnotizen.id = 1;\n"
             "insert into TBLINTERNA (FIRSTSTART) values (0);\n"
             "select count(*) as trashed from tblpapierkorb where titel = 'Alt2';");
    EXPECT_TRUE(out.contains(QRegularExpression("LISTED +Alt\\s+LISTED +Neu"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression("FOUND +Neu"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression("TRASHED +1"))) << "the old program's delete is kept";
}

TEST(Trash, EveryDeleteLandsInTheTrashAndComesBackWhole) {
    TTempDatabase db;
    auto dm = Open(db);
    // Line breaks, a tab, umlauts, a no-break space and a character outside the BMP, long.
    const QString text = QString::fromUtf8("Zeile 1\r\n\tGrüße aus Köln\u00a0– 🦉\r\n").repeated(4000);
    dm->SaveNewNote("Geburtstag Oma", text);
    dm->SaveNewNote("Einkauf", "Milch");
    const TRow before = Stored(*dm, 1);
    ASSERT_EQ(before.text, text.toUtf8());

    // Deleted by the program, and by isql-fb while the program is connected.
    dm->DeleteNote(1);
    Isql(db.File(), "delete from tblnotizen where titel = 'Einkauf';");
    std::vector<TTrashEntry> trash = ReadTrash(*dm);
    ASSERT_EQ(trash.size(), 2u);
    EXPECT_EQ(trash[0].title, "Einkauf") << "the latest deletion first";
    EXPECT_EQ(trash[1].title, "Geburtstag Oma");
    EXPECT_EQ(trash[1].noteId, 1);
    EXPECT_TRUE(trash[1].deleted.isValid());

    EXPECT_EQ(RestoreFromTrash(*dm, trash[1]), 1) << "its old id is free";
    const TRow after = Stored(*dm, 1);
    EXPECT_EQ(after.title, before.title);
    EXPECT_EQ(after.text, before.text) << "byte for byte";
    EXPECT_EQ(after.stamp, before.stamp) << "the original stamp";
    EXPECT_EQ(ReadTrash(*dm).size(), 1u);

    // The id was given to another note meanwhile: the note comes back under a new one.
    Isql(db.File(), "insert into tblnotizen (id, titel) values (2, 'Besetzt');");
    const qint64 id = RestoreFromTrash(*dm, ReadTrash(*dm).front());
    EXPECT_GT(id, 2);
    EXPECT_EQ(Stored(*dm, id).text, QByteArray("Milch"));
    EXPECT_EQ(Stored(*dm, 2).title, "Besetzt");
    EXPECT_THROW(RestoreFromTrash(*dm, trash[1]), fb::Error) << "restored already";

    // Thirty days are kept, older entries go.
    dm->DeleteNote(1);
    dm->DeleteNote(2);
    Isql(db.File(),
         "update tblpapierkorb set geloescht = dateadd(-31 day to current_timestamp) where id = 1;\n"
         "update tblpapierkorb set geloescht = dateadd(-29 day to current_timestamp) where id = 2;");
    trash = ReadTrash(*dm);
    ASSERT_EQ(trash.size(), 1u);
    EXPECT_EQ(trash[0].title, "Besetzt");
}

TEST(Schema, TwoProgramsUpgradeAtOnceWhileAnOldOneHasTheNotesOpen) {
    TTempDatabase db(TTempDatabase::TSchema::FirstRelease);
    Isql(db.File(), "insert into tblnotizen (id, titel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Eins');");
    TCredentials account;
    const std::string file = QFile::encodeName(db.File()).toStdString();
    // An older program with its list open and a read transaction running.
    fb::Attachment old;
    old.Attach(file, account.user.toStdString(), account.password.toStdString());
    fb::Transaction oldTr;
    oldTr.Start(old, fb::Transaction::SharedTpb());
    fb::Statement list(old);
    list.Prepare(oldTr, "select * from tblnotizen", 3);
    list.Execute(oldTr);
    ASSERT_TRUE(list.Fetch());

    TSchemaReport reports[2];
    std::thread programs[2];
    for (int i = 0; i < 2; ++i)
        programs[i] = std::thread([&, i] {
            fb::Attachment att;
            att.Attach(file, account.user.toStdString(), account.password.toStdString());
            reports[i] = UpgradeSchema(att, 3);
        });
    for (std::thread& t : programs)
        t.join();
    for (const TSchemaReport& r : reports) {
        EXPECT_TRUE(r.state == TSchemaState::Upgraded || r.state == TSchemaState::Current)
            << r.detail.toStdString();
        EXPECT_EQ(r.version, kSchemaVersion);
    }
    EXPECT_TRUE(reports[0].state == TSchemaState::Upgraded || reports[1].state == TSchemaState::Upgraded);

    // The old program goes on and its delete lands in the trash.
    list.CloseCursor();
    fb::Statement del(old);
    del.Prepare(oldTr, "delete from tblnotizen where  tblnotizen.id = 1", 3);
    del.Execute(oldTr);
    oldTr.Commit();
    old.Detach();
    EXPECT_TRUE(Isql(db.File(), "select titel from tblpapierkorb;").contains("Eins"));
}

TEST(Schema, AFileThatIsNoNotesDatabaseOrIsFromALaterReleaseIsLeftAsItIs) {
    TTempDatabase foreign;
    Isql(foreign.File(), "drop table tblnotizen;");
    TDataModuleNotizen dm(foreign.Directory());
    EXPECT_FALSE(dm.DataModuleCreate());
    EXPECT_TRUE(dm.LastConnectError().contains("die Tabelle TBLNOTIZEN fehlt"))
        << dm.LastConnectError().toStdString();
    EXPECT_FALSE(dm.Database.Connected());

    TTempDatabase later;
    Isql(later.File(), "create or alter view zettelwerk_schema (version) as select 9 from rdb$database;");
    auto next = Open(later);
    EXPECT_EQ(next->Schema().state, TSchemaState::Newer);
    EXPECT_EQ(next->Schema().version, 9);
    next->SaveNewNote("geht", "noch");
    next->DeleteNote(1);
    EXPECT_EQ(ReadTrash(*next).size(), 1u) << "a later schema is used as it is";
    EXPECT_TRUE(Isql(later.File(), "select version from zettelwerk_schema;").contains("9"));
}

TEST(ServerSchema, AnAccountThatMayNotChangeTheSchemaWorksOnAndHasTheTrashOnceTheOwnerUpgraded) {
    if (const QString why = TFirebirdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    TFirebirdServer server;
    const QString database = server.CreateDatabase("geteilt");
    server.Isql("create user ALICE password 'wunderland';\n"
                "grant select, insert, update, delete on tblnotizen to ALICE;\n"
                "grant select, insert, update, delete on tblinterna to ALICE;\n"
                "grant usage on generator gen_tblnotizen_id to ALICE;\ncommit;\n",
                database);
    QTemporaryDir home;
    TDataModuleNotizen alice(home.path());
    alice.UseDatabase(database, {"ALICE", "wunderland"});
    ASSERT_TRUE(alice.DataModuleCreate()) << alice.LastConnectError().toStdString();
    EXPECT_EQ(alice.Schema().state, TSchemaState::Unavailable);
    EXPECT_FALSE(alice.Schema().detail.isEmpty());
    EXPECT_FALSE(alice.TrashAvailable());
    alice.SaveNewNote("Alice", "wie bisher");
    alice.DeleteNote(1);

    TDataModuleNotizen owner(home.path());
    owner.UseDatabase(database, TCredentials{});
    ASSERT_TRUE(owner.DataModuleCreate());
    EXPECT_EQ(owner.Schema().state, TSchemaState::Upgraded);

    // Alice's deletes are kept from now on, and she may bring them back.
    EXPECT_TRUE(alice.TrashAvailable());
    alice.SaveNewNote("Zwei", "von Alice");
    alice.DeleteNote(2);
    const std::vector<TTrashEntry> trash = ReadTrash(alice);
    ASSERT_EQ(trash.size(), 1u);
    EXPECT_EQ(RestoreFromTrash(alice, trash[0]), 2);
}
