// The data module against a real Firebird server that the test starts itself: notes, list and
// search, the changed-meanwhile check between two programs, the settings row, backup and
// restore through the server's services manager, the database information, and the faults
// of a connection (server gone and back, wrong password, unknown host, refused connection).
#include "common/FirebirdServer.h"
#include "common/TempDatabase.h"
#include "store/DatabaseBackup.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "store/fb/FbApi.h"
#include "store/fb/FbConnection.h"
#include "store/fb/FbError.h"
#include "store/fb/FbService.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The German message and the client library's text nested in it.
struct TCaught {
    std::string message;
    std::string cause;
    bool connection = false;
};
template <class F> TCaught Catch(F&& f) {
    TCaught c;
    try {
        f();
    } catch (const fb::ConnectionError& e) {
        c.message = e.what();
        c.connection = true;
        try {
            e.rethrow_nested();
        } catch (const std::exception& inner) {
            c.cause = inner.what();
        }
    } catch (const std::exception& e) {
        c.message = e.what();
        try {
            std::rethrow_if_nested(e);
        } catch (const std::exception& inner) {
            c.cause = inner.what();
        }
    }
    return c;
}

} // namespace

class ServerStore : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (TFirebirdServer::Unavailable().isEmpty())
            server = new TFirebirdServer;
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!server)
            GTEST_SKIP() << TFirebirdServer::Unavailable().toStdString();
        server->Start(); // a test that stopped it may have failed before starting it again
        const QString name =
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        connection = server->CreateDatabase(name);
        dm = Module();
    }
    // A program's data module on the server's database, connected.
    std::unique_ptr<TDataModuleNotizen> Module() {
        auto m = std::make_unique<TDataModuleNotizen>(home.path());
        m->UseDatabase(connection, TCredentials{});
        EXPECT_TRUE(m->DataModuleCreate())
            << m->LastConnectFault().toStdString() << " / " << m->LastConnectError().toStdString();
        return m;
    }
    QStringList Titles(TDataModuleNotizen& m) {
        m.ListNotesByTitle();
        m.DataSetNotizliste.Last();
        QStringList t;
        for (int r = 0; r < m.DataSetNotizliste.RowCount(); ++r)
            t << m.DataSetNotizliste.Title(r);
        return t;
    }
    void MoveToTitle(TDataModuleNotizen& m, const QString& title) {
        for (int r = 0; r < m.DataSetNotizliste.RowCount(); ++r)
            if (m.DataSetNotizliste.Title(r) == title)
                return m.DataSetNotizliste.MoveTo(r);
        FAIL() << "no note " << title.toStdString();
    }

    static TFirebirdServer* server;
    QTemporaryDir home;
    QString connection;
    std::unique_ptr<TDataModuleNotizen> dm;
};
TFirebirdServer* ServerStore::server = nullptr;

TEST(ConnectionText, FormsOfTheClientLibrary) {
    const auto c1 = fb::ParseConnectionText("/home/a/notizen.gdb");
    EXPECT_FALSE(c1.Remote());
    EXPECT_EQ(fb::ServiceManagerName(c1), "service_mgr");
    const auto c2 = fb::ParseConnectionText("notizserver:/var/lib/firebird/3.0/data/notizen.gdb");
    EXPECT_EQ(c2.server, "notizserver");
    EXPECT_EQ(c2.host, "notizserver");
    EXPECT_EQ(c2.database, "/var/lib/firebird/3.0/data/notizen.gdb");
    EXPECT_EQ(fb::ServiceManagerName(c2), "notizserver:service_mgr");
    const auto c3 = fb::ParseConnectionText("127.0.0.1/3051:notizen");
    EXPECT_EQ(c3.host, "127.0.0.1");
    EXPECT_EQ(c3.database, "notizen");
    EXPECT_EQ(fb::ServiceManagerName(c3), "127.0.0.1/3051:service_mgr");
    EXPECT_EQ(fb::ConnectionTo(c3, "/x/y.gdb"), "127.0.0.1/3051:/x/y.gdb");
    const auto c4 = fb::ParseConnectionText("[::1]/3051:/srv/n.gdb");
    EXPECT_EQ(c4.host, "::1");
    EXPECT_EQ(c4.database, "/srv/n.gdb");
    const auto c5 = fb::ParseConnectionText("inet://db.example.org:3051//srv/n.gdb");
    EXPECT_EQ(c5.host, "db.example.org");
    EXPECT_EQ(c5.database, "/srv/n.gdb");
    EXPECT_EQ(fb::ServiceManagerName(c5), "inet://db.example.org:3051/service_mgr");
    EXPECT_FALSE(fb::ParseConnectionText("notizen").Remote()); // an alias of the local engine
}

TEST(ConnectionFaults, ClassifiedFromTheStatusCodes) {
    EXPECT_EQ(fb::ClassifyFault({isc_login}), fb::Fault::Login);
    EXPECT_EQ(fb::ClassifyFault({isc_network_error, isc_net_lookup_err, 335544706L}), fb::Fault::UnknownHost);
    EXPECT_EQ(fb::ClassifyFault({isc_network_error, isc_net_connect_err}), fb::Fault::Refused);
    EXPECT_EQ(fb::ClassifyFault({isc_net_read_err}), fb::Fault::Lost);
    EXPECT_EQ(fb::ClassifyFault({isc_network_error, isc_net_write_err}), fb::Fault::Lost);
    EXPECT_EQ(fb::ClassifyFault({isc_network_error}), fb::Fault::Unreachable);
    EXPECT_EQ(fb::ClassifyFault({isc_io_error}), fb::Fault::None);
    EXPECT_EQ(fb::ClassifyFault({isc_lock_conflict}), fb::Fault::None);
    EXPECT_NE(fb::FaultMessage(fb::Fault::Refused, "db1").find("„db1“"), std::string::npos);
}

TEST_F(ServerStore, NotesListSearchEditAndDelete) {
    EXPECT_TRUE(dm->IsServer());
    EXPECT_EQ(dm->DatabaseFileName(), connection);
    dm->SaveNewNote("Einkauf", "Milch, Brot und Käse");
    dm->SaveNewNote("Zahnarzt", "Donnerstag halb zehn");
    dm->SaveNewNote("O'Brien", "mit Apostroph");
    EXPECT_EQ(Titles(*dm), (QStringList{"Einkauf", "O'Brien", "Zahnarzt"}));

    dm->SearchNotes("käse");
    ASSERT_EQ(dm->DataSetNotizliste.RowCount(), 1);
    EXPECT_EQ(dm->DataSetNotizliste.FieldAsString("BEMERKUNG"), "Milch, Brot und Käse");

    // An edit is durable at once: another program sees it without a commit here.
    Titles(*dm);
    MoveToTitle(*dm, "Zahnarzt");
    dm->DataSetNotizliste.Edit();
    dm->DataSetNotizliste.SetFieldValue("BEMERKUNG", "Freitag um neun");
    dm->DataSetNotizliste.Post();
    auto other = Module();
    other->SearchNotes("Freitag");
    EXPECT_EQ(other->DataSetNotizliste.RowCount(), 1);

    const qint64 id = dm->DataSetNotizliste.FieldValue("ID").toLongLong();
    dm->DeleteNote(id);
    EXPECT_EQ(Titles(*other), (QStringList{"Einkauf", "O'Brien"}));
}

TEST_F(ServerStore, ASaveOverAnotherProgramsChangeIsRefused) {
    dm->SaveNewNote("Preis", "10 Euro");
    auto other = Module();
    Titles(*dm);
    Titles(*other);
    dm->DataSetNotizliste.Edit();
    dm->DataSetNotizliste.SetFieldValue("BEMERKUNG", "11 Euro");
    other->DataSetNotizliste.Edit();
    other->DataSetNotizliste.SetFieldValue("BEMERKUNG", "12 Euro");
    dm->DataSetNotizliste.Post();
    EXPECT_THROW(other->DataSetNotizliste.Post(), TChangedMeanwhile);
    EXPECT_EQ(other->DataSetNotizliste.FieldAsString("BEMERKUNG"), "12 Euro") << "the user's text stays";
    other->DataSetNotizliste.Cancel();
    EXPECT_EQ(other->DataSetNotizliste.FieldAsString("BEMERKUNG"), "11 Euro")
        << "cancel shows the stored note";

    // A row held by an uncommitted change elsewhere fails at once, not after a wait.
    dm->QueryNotizen.SetSQL({"update tblnotizen set titel = 'Gesperrt'"});
    dm->QueryNotizen.ExecSQL();
    other->DataSetNotizliste.Edit();
    other->DataSetNotizliste.SetFieldValue("TITEL", "Anders");
    const TCaught c = Catch([&] { other->DataSetNotizliste.Post(); });
    EXPECT_NE(c.message.find("conflict"), std::string::npos) << c.message;
    dm->SharedTransaction.Commit();
}

TEST_F(ServerStore, SettingsRowAndFirstStart) {
    EXPECT_EQ(CountSettingsRows(*dm), 0) << "a new database asks the first-start question";
    MarkFirstStartDone(*dm);
    StoreAutomaticUpdateFlag(*dm, false);
    RecordUpdateCheckDate(*dm);
    auto other = Module();
    EXPECT_EQ(CountSettingsRows(*other), 1);
    const TSettingsRow row = ReadSettings(*other);
    EXPECT_EQ(row.automaticUpdate, "0");
    EXPECT_FALSE(row.lastUpdateTestDatum.isEmpty());
}

TEST_F(ServerStore, DatabaseInformationComesFromTheServer) {
    const TDatabaseInfo info = dm->DatabaseInfo();
    EXPECT_NE(info.serverVersion.indexOf("Firebird 3"), -1) << info.serverVersion.toStdString();
    EXPECT_EQ(info.odsVersion, 12);
    EXPECT_EQ(info.pageSize, 4096);
    EXPECT_GT(info.allocation, 0);
}

TEST_F(ServerStore, BackupComesToTheUserAndRestoreGoesBackToTheServer) {
    dm->SaveNewNote("Vorher", "im Backup");
    const QString backup = home.path() + "/" + kBackupFileName;
    dm->Database.Close();
    fb::Service service;
    int idles = 0;
    BackupServerDatabase(service, TCredentials{}, connection, backup, [&] { ++idles; });
    ASSERT_GT(QFileInfo(backup).size(), 0);
    EXPECT_FALSE(QFileInfo::exists(BackupTempFile(backup)));

    dm->Database.Open(); // as the administration window does after the job
    dm->SaveNewNote("Nachher", "nicht im Backup");
    bool closed = false;
    RestoreServerDatabase(service, TCredentials{}, backup, connection, {}, [&] {
        closed = true;
        dm->Database.Close();
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(Titles(*dm), QStringList{"Vorher"});
    const QString file = fb::ParseConnectionText(connection.toStdString()).database.c_str();
    EXPECT_FALSE(QFileInfo::exists(file + ".restore")) << "the trial restore is dropped";

    // The same attachment of the services manager serves the next job.
    BackupServerDatabase(service, TCredentials{}, connection, backup);
    EXPECT_GT(QFileInfo(backup).size(), 0);
}

TEST_F(ServerStore, ADamagedBackupOrADatabaseInUseLeavesTheServerDatabaseAsItWas) {
    dm->SaveNewNote("Bleibt", "unverändert");
    const QString backup = home.path() + "/" + kBackupFileName;
    fb::Service service;
    dm->Database.Close();
    BackupServerDatabase(service, TCredentials{}, connection, backup);
    QFile whole(backup);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    whole.close();

    const QString cut = home.path() + "/cut.gbk";
    QFile part(cut);
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write(bytes.left(bytes.size() / 2));
    part.close();
    bool replaced = false;
    TCaught c = Catch([&] {
        RestoreServerDatabase(service, TCredentials{}, cut, connection, {}, [&] { replaced = true; });
    });
    EXPECT_NE(c.message.find("unvollständig oder beschädigt"), std::string::npos) << c.message;
    EXPECT_FALSE(c.cause.empty()) << "the server's own text is the cause";
    EXPECT_FALSE(replaced);
    EXPECT_EQ(Titles(*dm), QStringList{"Bleibt"});

    // Another program still works on the database: the server does not replace it.
    auto other = Module();
    dm->Database.Close();
    c = Catch([&] { RestoreServerDatabase(service, TCredentials{}, backup, connection); });
    EXPECT_NE(c.message.find("nicht ersetzt"), std::string::npos) << c.message;
    EXPECT_NE(c.cause.find("in use"), std::string::npos) << c.cause;
    EXPECT_EQ(Titles(*other), QStringList{"Bleibt"});
}

TEST_F(ServerStore, TheServerGoesAwayAndComesBack) {
    dm->SaveNewNote("Eins", "vor dem Ausfall");
    Titles(*dm);
    dm->DataSetNotizliste.Edit();
    dm->DataSetNotizliste.SetFieldValue("BEMERKUNG", "gespeichert vor dem Ausfall");
    dm->DataSetNotizliste.Post(); // durable at once
    dm->DataSetNotizliste.Edit();
    dm->DataSetNotizliste.SetFieldValue("BEMERKUNG", "getippt während des Ausfalls");

    server->Kill();
    // The next action: a German message with the client library's words, no crash.
    TCaught c = Catch([&] { dm->SaveNewNote("Zwei", "während des Ausfalls"); });
    EXPECT_TRUE(c.connection) << c.message;
    EXPECT_NE(c.message.find("Verbindung zum Datenbankserver"), std::string::npos) << c.message;
    EXPECT_FALSE(c.cause.empty());
    EXPECT_FALSE(dm->Database.Connected()) << "a broken connection counts as closed";
    // Trying again while it is still down: the server refuses, said in German.
    c = Catch([&] { dm->SaveNewNote("Zwei", "während des Ausfalls"); });
    EXPECT_TRUE(c.connection);
    EXPECT_NE(c.message.find("nimmt keine Verbindung an"), std::string::npos) << c.message;
    c = Catch([&] { dm->DataSetNotizliste.Post(); });
    EXPECT_TRUE(c.connection) << c.message;
    EXPECT_EQ(dm->DataSetNotizliste.State(), TDataSetState::Edit) << "the typed text is kept";
    EXPECT_EQ(dm->DataSetNotizliste.FieldAsString("BEMERKUNG"), "getippt während des Ausfalls");

    server->Start();
    // The edit kept through the outage is saved on a new connection; then the program goes on.
    dm->DataSetNotizliste.Post();
    dm->SaveNewNote("Zwei", "nach dem Ausfall");
    auto other = Module();
    EXPECT_EQ(Titles(*other), (QStringList{"Eins", "Zwei"}));
    other->SearchNotes("getippt");
    EXPECT_EQ(other->DataSetNotizliste.RowCount(), 1);
    EXPECT_EQ(dm->DatabaseInfo().pageSize, 4096);
}

TEST_F(ServerStore, WrongPasswordUnknownHostAndRefusedConnection) {
    const auto attempt = [&](const QString& database, const TCredentials& credentials) {
        TDataModuleNotizen m(home.path());
        m.UseDatabase(database, credentials);
        EXPECT_FALSE(m.DataModuleCreate());
        return std::make_pair(m.LastConnectFault().toStdString(), m.LastConnectError().toStdString());
    };
    TCredentials wrong;
    wrong.password = "falsch";
    auto [fault, cause] = attempt(connection, wrong);
    EXPECT_NE(fault.find("Kennwort"), std::string::npos) << fault;
    EXPECT_NE(cause.find("password"), std::string::npos) << cause;

    std::tie(fault, cause) = attempt("zettelwerk-gibt-es-nicht.invalid:/x/notizen.gdb", TCredentials{});
    EXPECT_NE(fault.find("„zettelwerk-gibt-es-nicht.invalid“ des Datenbankservers ist nicht bekannt"),
              std::string::npos)
        << fault;
    EXPECT_NE(cause.find("zettelwerk-gibt-es-nicht.invalid"), std::string::npos) << cause;

    TFirebirdServer* s = server;
    const int port = s->Port();
    s->Kill();
    std::tie(fault, cause) = attempt(QStringLiteral("127.0.0.1/%1:/x/notizen.gdb").arg(port), TCredentials{});
    s->Start();
    EXPECT_NE(fault.find("nimmt keine Verbindung an"), std::string::npos) << fault;
    EXPECT_NE(cause.find("Failed to establish a connection"), std::string::npos) << cause;

    // The services manager says the same.
    fb::Service service;
    const TCaught c =
        Catch([&] { service.Attach("sysdba", "falsch", server->ServiceManager().toStdString()); });
    EXPECT_TRUE(c.connection);
    EXPECT_NE(c.message.find("Kennwort"), std::string::npos) << c.message;

    // An embedded file that is missing is no connection fault: no German cause is added.
    std::tie(fault, cause) = attempt(home.path() + "/fehlt.gdb", TCredentials{});
    EXPECT_EQ(fault, "");
    EXPECT_FALSE(cause.empty());
}

TEST_F(ServerStore, TheProgramEndsQuietlyWhileTheServerIsGone) {
    dm->SaveNewNote("Eins", "Text");
    Titles(*dm); // the transaction is active, the list open
    server->Kill();
    EXPECT_NO_THROW(dm->Close()) << "nothing is left to commit";
    EXPECT_FALSE(dm->Database.Connected());
    server->Start();
    auto other = Module();
    EXPECT_EQ(Titles(*other), QStringList{"Eins"});
}

TEST_F(ServerStore, ATitleEditedThroughAnOutageKeepsTheTextAndTheOtherRowsStayReadable) {
    dm->SaveNewNote("Eins", "Text eins");
    dm->SaveNewNote("Zwei", "Text zwei");
    Titles(*dm);
    MoveToTitle(*dm, "Eins");
    dm->DataSetNotizliste.Edit();
    dm->DataSetNotizliste.SetFieldValue("TITEL", "Eins neu");
    server->Kill();
    EXPECT_TRUE(Catch([&] { dm->DataSetNotizliste.Post(); }).connection);
    server->Start();
    dm->DataSetNotizliste.Post(); // on a new connection; the text was not touched
    EXPECT_EQ(dm->DataSetNotizliste.FieldAsString("BEMERKUNG"), "Text eins");
    MoveToTitle(*dm, "Zwei");
    EXPECT_EQ(dm->DataSetNotizliste.FieldAsString("BEMERKUNG"), "Text zwei")
        << "a row read before the outage";
    auto other = Module();
    other->SearchNotes("Text eins");
    ASSERT_EQ(other->DataSetNotizliste.RowCount(), 1);
    EXPECT_EQ(other->DataSetNotizliste.FieldAsString("TITEL"), "Eins neu");
}
