// A stand-in for the program that the fault tests start, drive through its standard input
// and kill at chosen moments. One data module on the given directory (or on the database that
// ZETTELWERK_DATABASE names), both note windows. The details of a dialog follow it as
// "DETAILS <text>".
//
// Commands, one a line; each ends with "OK <command>" after its events have run, so that an
// error shown by the default error display ("DIALOG caption|text") comes before it:
//   save <title>         the new-note window saves a note with the text "Text <title>"
//   savebig <title> <kb> the same with a text of kb kilobytes
//   list                 the list window lists all notes ("ROWS n")
//   edit <title>         the list window edits the current note and saves it
//   type <title>         the list window edits the current note's title without saving it
//   hold <title>         the current note's title changed by a statement, not committed
//   cancel               the list window abandons an edit
//   commit               the shared transaction is committed
//   titles               the titles of all notes as this connection sees them ("TITLE t")
//   backup <file>        backup of the database through the services manager
//   fsize <bytes>        no file of this process may grow beyond bytes (SIGXFSZ ignored)
//   quit                 ends like the program: everything destroyed, exit 0
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmSuchen.h"
#include "store/DatabaseBackup.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbService.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialogs.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

void Say(const QString& line) {
    std::printf("%s\n", QString(line).replace('\n', QLatin1String("\\n")).toUtf8().constData());
    std::fflush(stdout);
}

QString Argument(const QString& line, int index) {
    return line.section(' ', index, index);
}

void Run(const QString& line, TDataModuleNotizen& dm, TfrmAnlegen& anlegen, TfrmSuchen& suchen) {
    const QString command = Argument(line, 0);
    if (command == "save" || command == "savebig") {
        const QString title = Argument(line, 1);
        QString text = "Text " + title;
        if (command == "savebig")
            text = QString(Argument(line, 2).toInt() * 1024, QLatin1Char('x'));
        anlegen.EditTitel->setText(title);
        anlegen.Memo->setPlainText(text);
        anlegen.BtnSaveClick();
        Say("SAVED");
    } else if (command == "list") {
        suchen.ListAllNotes();
        Say("ROWS " + QString::number(suchen.DataSetNotizliste().RowCount()));
    } else if (command == "edit") {
        suchen.BtnEditClick();
        suchen.DBEditTitel->setText(Argument(line, 1));
        suchen.BtnSaveClick();
        Say("POSTED");
    } else if (command == "type") {
        suchen.BtnEditClick();
        suchen.DBEditTitel->setText(Argument(line, 1));
        Say("TYPED");
    } else if (command == "hold") {
        const QString id = suchen.DataSetNotizliste().FieldAsString("ID");
        if (!dm.SharedTransaction.InTransaction())
            dm.SharedTransaction.StartTransaction();
        dm.QueryNotizen.SetSQL(
            {"update tblnotizen set titel = '" + QuoteSqlText(Argument(line, 1)) + "' where id = " + id});
        dm.QueryNotizen.ExecSQL();
        Say("HELD");
    } else if (command == "cancel") {
        suchen.BtnCancelClick();
    } else if (command == "commit") {
        dm.SharedTransaction.Commit();
        Say("COMMITTED");
    } else if (command == "titles") {
        dm.QueryInternes.SetSQL({"select titel from tblnotizen order by titel"});
        dm.QueryInternes.Open();
        for (; !dm.QueryInternes.Eof(); dm.QueryInternes.Next())
            Say("TITLE " + dm.QueryInternes.FieldAsString("TITEL").trimmed());
        dm.QueryInternes.Close();
    } else if (command == "backup") {
        fb::Service service;
        if (dm.IsServer()) {
            BackupServerDatabase(service, dm.Database.Credentials(), dm.DatabaseFileName(),
                                 Argument(line, 1));
        } else {
            service.Attach("sysdba", "lanternix");
            BackupDatabaseFile(service, dm.Database.Credentials(), dm.DatabaseFileName(), Argument(line, 1));
        }
        Say("BACKED UP");
    } else if (command == "fsize") {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = Argument(line, 1).toULongLong();
        const rlimit r{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0)
            Say("FSIZE FAILED");
    } else {
        Say("UNKNOWN " + command);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TZettelwerkApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zettelwerk"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: fault_driver <directory with notizen.gdb>\n");
        return 2;
    }
    SetDialogAnswerer([](const TDialogRequest& r) {
        Say("DIALOG " + r.caption + "|" + r.text);
        if (!r.details.isEmpty())
            Say("DETAILS " + r.details);
        return DefaultResult(r.buttons);
    });

    QString dir = QString::fromLocal8Bit(argv[1]);
    if (!dir.endsWith('/'))
        dir += '/';
    auto dm = std::make_unique<TDataModuleNotizen>(dir);
    if (const QString server = qEnvironmentVariable("ZETTELWERK_DATABASE"); !server.isEmpty())
        dm->UseDatabase(server, TCredentials{});
    auto suchen = std::make_unique<TfrmSuchen>(*dm);
    auto anlegen = std::make_unique<TfrmAnlegen>(*dm);
    if (!dm->DataModuleCreate()) {
        Say("CONNECT FAILED " + dm->LastConnectFault() + "|" + dm->LastConnectError());
        return 1;
    }
    Say("READY");

    std::string input;
    while (std::getline(std::cin, input)) {
        const QString line = QString::fromStdString(input).trimmed();
        if (line == "quit")
            break;
        // Through the event loop, so that an escaping error reaches the default error display.
        QMetaObject::invokeMethod(
            &app, [&] { Run(line, *dm, *anlegen, *suchen); }, Qt::QueuedConnection);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        Say("OK " + Argument(line, 0));
    }
    // The program's order at the end: windows after the data module's first-start question.
    dm->Close();
    anlegen.reset();
    suchen.reset();
    dm.reset();
    Say("ENDED");
    return 0;
}
