// The search index and the search statement against the first release's statement on real
// databases: every note that statement finds for a tricky term is found by both, and what other
// programs change (embedded and on a server the test starts) is found by the next search after
// a refresh, also a change committed after a later one.
#include "store/SearchIndex.h"

#include "common/FirebirdServer.h"
#include "common/TempDatabase.h"
#include "store/NoteStatements.h"
#include "store/SearchRules.h"
#include "store/StoreInternals.h"
#include "store/TDataModuleNotizen.h"

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

using TIds = std::vector<qint64>;

std::string Show(const TIds& ids) {
    std::string s;
    for (qint64 id : ids)
        s += std::to_string(id) + " ";
    return s;
}

TIds Ids(TDataModuleNotizen& dm, const QString& sql) {
    fb::Attachment& att = ConnectedAttachment(dm);
    fb::Transaction tr;
    tr.Start(att, fb::Transaction::SharedTpb());
    fb::Statement s(att);
    s.Prepare(tr, sql, 3);
    s.Execute(tr);
    TIds ids;
    while (s.Fetch())
        ids.push_back(s.AsInt64(s.FindColumn("ID")));
    s.CloseCursor();
    tr.Commit();
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Every note as stored: id -> title, text.
std::map<qint64, std::pair<QString, QString>> AllNotes(TDataModuleNotizen& dm) {
    fb::Attachment& att = ConnectedAttachment(dm);
    fb::Transaction tr;
    tr.Start(att, fb::Transaction::SharedTpb());
    fb::Statement s(att);
    s.Prepare(tr, "select id, titel, bemerkung from tblnotizen", 3);
    s.Execute(tr);
    std::map<qint64, std::pair<QString, QString>> notes;
    while (s.Fetch())
        notes[s.AsInt64(0)] = {
            s.AsString(1), s.IsNull(2) ? QString() : QString::fromUtf8(fb::ReadBlob(att, tr, s.AsBlobId(2)))};
    s.CloseCursor();
    tr.Commit();
    return notes;
}

bool Includes(const TIds& all, const TIds& part) {
    return std::includes(all.begin(), all.end(), part.begin(), part.end());
}

void Load(TSearchIndex& index, int budgetMs = 20) {
    for (int slices = 0; !index.LoadSlice(budgetMs); ++slices)
        ASSERT_LT(slices, 100000);
    ASSERT_TRUE(index.Ready()) << index.LastError().toStdString();
}

// Runs a script with isql-fb on the embedded file, as another program would.
void Isql(const QString& file, const QString& script) {
    QProcess isql;
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start("isql-fb", {"-q", "-bail", "-user", "sysdba", "-password", "lanternix", file});
    isql.write((script + "\nCOMMIT;\n").toUtf8());
    isql.closeWriteChannel();
    if (!isql.waitForFinished(60000) || isql.exitCode() != 0)
        throw std::runtime_error(("isql-fb failed: " + isql.readAll()).toStdString());
}

QString Insert(int id, const QString& title, const char* text) {
    const QString t = text ? "'" + QuoteSqlText(QString::fromUtf8(text)) + "'" : QStringLiteral("null");
    return QStringLiteral("insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (%1, '%2', %3, "
                          "'NOW');\n")
        .arg(id)
        .arg(QuoteSqlText(title), t);
}

// New notes of the program get ids above those given here.
const QString kGeneratorAbove = QStringLiteral("set generator GEN_TBLNOTIZEN_ID to 1000;\n");

// A second program's connection with a transaction of its own.
struct TOtherProgram {
    TOtherProgram(const QString& database) {
        att.Attach(QFile::encodeName(database).toStdString(), "sysdba", "lanternix");
        tr.Start(att, fb::Transaction::SharedTpb());
    }
    void Run(const QString& sql) {
        fb::Statement s(att);
        s.Prepare(tr, sql, 3);
        s.Execute(tr);
    }
    fb::Attachment att;
    fb::Transaction tr;
};

// What another program does while the list is open: new, changed and deleted notes, found or
// not found by the next search after a refresh; a change committed after a later one.
void ExpectChangesFollowed(TDataModuleNotizen& dm, const QString& database,
                           const std::function<void(const QString&)>& isql) {
    isql(Insert(1, "Erste", "Apfel") + Insert(2, "Zweite", "Birne") + Insert(3, "Dritte", "Kirsche") +
         kGeneratorAbove);
    TSearchIndex index(dm);
    int loadingNeeded = 0;
    QObject::connect(&index, &TSearchIndex::LoadingNeeded, [&] { ++loadingNeeded; });
    Load(index);
    EXPECT_EQ(index.Count(), 3);
    index.Refresh();
    EXPECT_EQ(index.Find("Apfel"), TIds{1});

    isql(Insert(4, "Vierte", "Zebra") + "update tblnotizen set bemerkung = 'Giraffe' where id = 1;\n" +
         "delete from tblnotizen where id = 2;\n" + "update tblnotizen set id = 30 where id = 3;\n");
    dm.SaveNewNote("Eigene", "Okapi");
    index.Refresh();
    EXPECT_EQ(index.Find("Zebra"), TIds{4});
    EXPECT_EQ(index.Find("Giraffe"), TIds{1});
    EXPECT_EQ(index.Find("Apfel"), TIds{});
    EXPECT_EQ(index.Find("Birne"), TIds{});
    EXPECT_EQ(index.Find("Kirsche"), TIds{30});
    EXPECT_EQ(index.Find("Okapi").size(), 1u);
    EXPECT_EQ(index.Count(), 4);

    // Two programs: the change of the one that commits last took its journal number first.
    TOtherProgram slow(database), quick(database);
    slow.Run("insert into tblnotizen (id, titel, bemerkung) values (50, 'Langsam', 'Schnecke')");
    quick.Run("insert into tblnotizen (id, titel, bemerkung) values (51, 'Schnell', 'Gepard')");
    quick.tr.Commit();
    for (int i = 0; i < 3; ++i) { // the open transaction is waited for, however often one looks
        index.Refresh();
        EXPECT_EQ(index.Find("Gepard"), TIds{51});
        EXPECT_EQ(index.Find("Schnecke"), TIds{});
    }
    slow.tr.Commit();
    index.Refresh();
    EXPECT_EQ(index.Find("Schnecke"), TIds{50});
    EXPECT_EQ(loadingNeeded, 0);

    // A change given up leaves no trace and stops nothing.
    TOtherProgram undone(database);
    undone.Run("insert into tblnotizen (id, titel, bemerkung) values (52, 'Nie', 'Einhorn')");
    undone.tr.Rollback();
    isql(Insert(53, "Danach", "Nashorn"));
    index.Refresh();
    index.Refresh();
    EXPECT_EQ(index.Find("Einhorn"), TIds{});
    EXPECT_EQ(index.Find("Nashorn"), TIds{53});

    // A connection closed for a backup is not opened by the index; a new one loads again.
    dm.Database.Close();
    index.Refresh();
    EXPECT_TRUE(index.Ready());
    EXPECT_TRUE(index.LoadSlice());
    EXPECT_FALSE(dm.Database.Connected());
    dm.Database.Open();
    EXPECT_EQ(loadingNeeded, 1);
    EXPECT_FALSE(index.Ready());
    Load(index);
    EXPECT_EQ(index.Find("Nashorn"), TIds{53});
}

} // namespace

TEST(SearchIndex, FindsWhatTheFirstReleaseFoundAndTheWordsAnywhere) {
    TTempDatabase db;
    QString notes;
    int id = 0;
    for (const auto& [title, text] : std::vector<std::pair<QString, const char*>>{
             {"Geburtstag Oma Gertrud", "Kuchen backen"},
             {"Heizung", "Die Heizkosten sind 2023 stark gestiegen."},
             {"Einkauf", "Weiß, Käse und Brot"},
             {"Einkaufsliste", "Milch"},
             {"Straße", "Die Straße wird gesperrt"},
             {"Hauptstrasse 5", "Umzug"},
             {"50% Rabatt", "bis Freitag"},
             {"a_b", "Unterstrich"},
             {"Rock 'n' Roll", "It's done"},
             {"ÄRGER im Büro", "über den ärger"},
             {"GRÜSSE", "viele grüße aus Köln"},
             {"", "leerer Titel"},
             {"Ohne Text", nullptr},
             {"ıx", "İstanbul"},
             {"Straßenfest", "SS Bahn weiss"},
             {"Maßband", "STRAẞE"},
         })
        notes += Insert(++id, title, text);
    Isql(db.File(), notes + kGeneratorAbove);
    TDataModuleNotizen dm(db.Directory());
    ASSERT_TRUE(dm.DataModuleCreate()) << dm.LastConnectError().toStdString();
    dm.SaveNewNote("Lang", QString(40000, u'x') + " Ende Zebraß"); // read as a blob
    const auto all = AllNotes(dm);

    TSearchIndex index(dm);
    Load(index, 1);
    ASSERT_EQ(index.Count(), qint64(all.size()));

    const struct {
        QString term;
        TIds expected; // empty: not checked beyond the rules
    } terms[] = {
        {"Oma", {1}},
        {"oma", {1}},
        {"%oma%", {1}},
        {"Heizkosten gestiegen", {2}},
        {"Weiß Käse", {3}},
        {"weiss käse", {3}},
        {"\"Weiß, Käse\"", {3}},
        {"strasse", {5, 6, 15, 16}},
        {"Straße", {5, 6, 15, 16}},
        {"STRASSE", {5, 6, 15, 16}},
        {"einkauf", {3, 4}},
        {"einkauf%", {3, 4}},
        {"50%", {7}},
        {"%", {}},
        {"_", {}},
        {"a_b", {8}},
        {"a%b", {}},
        {"Rock 'n' Roll", {9}},
        {"it's", {9}},
        {"'", {}},
        {"ärger", {10}},
        {"ÄRGER", {10}},
        {"Grüße", {11}},
        {"grüsse", {11}},
        {"", {}},
        {" ", {}},
        {"ix", {14}},
        {"İstanbul", {14}},
        {"istanbul", {}},
        {"ß", {}},
        {"s", {}},
        {"ssb", {16}},
        {"Zebrass", {1001}},
        {"gibt es nicht", {}},
        {"\"", {}},
        {"Hauptstraße", {6}},
    };
    for (const auto& t : terms) {
        const std::string term = t.term.toStdString();
        const TIds specified = Ids(dm, BuildSearchStatement(t.term));
        const TIds statement = Ids(dm, SearchStatement(t.term));
        const TIds found = index.Find(t.term);
        TIds rule;
        for (const auto& [noteId, note] : all)
            if (NoteMatches(t.term, note.first, note.second))
                rule.push_back(noteId);
        EXPECT_TRUE(Includes(found, specified))
            << term << ": index " << Show(found) << " first release " << Show(specified);
        EXPECT_EQ(found, rule) << term;
        EXPECT_EQ(statement, found) << term;
        if (!t.expected.empty()) {
            EXPECT_EQ(found, t.expected) << term;
        }
    }
    EXPECT_EQ(index.Find("").size(), all.size());
    EXPECT_GT(index.MemoryBytes(), 40000u);
}

TEST(SearchIndex, AnotherProgramsChangesAreFoundByTheNextSearch) {
    TTempDatabase db;
    TDataModuleNotizen dm(db.Directory());
    ASSERT_TRUE(dm.DataModuleCreate()) << dm.LastConnectError().toStdString();
    ExpectChangesFollowed(dm, db.File(), [&](const QString& script) { Isql(db.File(), script); });

    // A long note changed twice: the memory of its old texts is given back, the rest still found.
    dm.SaveNewNote("Roman", QString("Kapitel ").repeated(200000) + "Schluss");
    TSearchIndex index(dm);
    Load(index);
    const size_t loaded = index.MemoryBytes();
    for (const char* end : {"Epilog", "Nachwort"}) {
        Isql(db.File(),
             QStringLiteral("update tblnotizen set bemerkung = bemerkung || ' %1' where titel = 'Roman';")
                 .arg(end));
        index.Refresh();
    }
    EXPECT_LT(index.MemoryBytes(), loaded + loaded / 2);
    EXPECT_EQ(index.Find("Schluss Nachwort").size(), 1u);
    EXPECT_EQ(index.Find("Epilog").size(), 1u);
    EXPECT_EQ(index.Find("Nashorn"), TIds{53});
    EXPECT_EQ(index.Count(), qint64(AllNotes(dm).size()));
}

TEST(ServerSearchIndex, AnotherMachinesChangesAreFoundAndAnAccountWithoutJournalSearchesByStatement) {
    if (const QString why = TFirebirdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    TFirebirdServer server;
    QTemporaryDir home;
    const QString database = server.CreateDatabase("notizen"); // the first release's schema
    TDataModuleNotizen dm(home.path());
    dm.UseDatabase(database, TCredentials{});
    ASSERT_TRUE(dm.DataModuleCreate()) << dm.LastConnectError().toStdString();
    ExpectChangesFollowed(dm, database,
                          [&](const QString& script) { server.Isql(script + "COMMIT;\n", database); });

    // An account that cannot upgrade an old database has no journal: no index.
    const QString old = server.CreateDatabase("alt");
    server.Isql("create user ALICE password 'wunderland';\ngrant select on tblnotizen to ALICE;\ncommit;\n",
                old);
    TDataModuleNotizen alice(home.path());
    alice.UseDatabase(old, {"ALICE", "wunderland"});
    ASSERT_TRUE(alice.DataModuleCreate()) << alice.LastConnectError().toStdString();
    TSearchIndex index(alice);
    EXPECT_TRUE(index.LoadSlice());
    EXPECT_TRUE(index.Unavailable());
    EXPECT_FALSE(index.Ready());
    EXPECT_TRUE(index.Find("x").empty());
    EXPECT_EQ(Ids(alice, SearchStatement("x")), TIds{});
}
