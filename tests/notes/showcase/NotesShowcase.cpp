// Shows both note windows with sample notes on a copy of the delivered database, for
// screenshots: notes_showcase [anlegen|suchen|edit] [seconds]
#include "common/TempDatabase.h"
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmSuchen.h"
#include "store/TDataModuleNotizen.h"
#include "ui/ConnectionStatusBar.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zettelwerk");
    const QString what = argc > 1 ? argv[1] : "suchen";
    const int seconds = argc > 2 ? atoi(argv[2]) : 20;

    TTempDatabase db;
    TDataModuleNotizen dm(db.Directory());
    TfrmAnlegen anlegen(dm);
    TfrmSuchen suchen(dm);
    QObject::connect(&dm, &TDataModuleNotizen::Connected, [&](const QString& file) {
        anlegen.StatusBar()->MarkConnected(file);
        suchen.StatusBar()->MarkConnected(file);
    });
    if (!dm.DataModuleCreate())
        return 1;

    const QList<QPair<QString, QString>> notes = {
        {"Einkauf", "Milch, Eier, Brot\r\nKäse vom Markt\r\nÄpfel für den Kuchen"},
        {"Zahnarzt", "Donnerstag 9:30 Uhr, Versichertenkarte mitnehmen"},
        {"Grüße an Tante Grete", "Karte zum Geburtstag am 12. schicken"},
        {"Peter's Telefonnummer", "0351 123456"},
        {"Radtour Elbe", "Dresden – Meißen, Picknick einpacken, Wetter prüfen"},
        {"Steuererklärung", "Belege der Handwerker sortieren\r\nFrist 31. Juli"},
        {"Bücherliste", "Der Zauberberg\r\nEffi Briest\r\nDie Blechtrommel"},
        {"Router", "Passwort steht auf der Rückseite des Geräts"},
    };
    for (const auto& [title, text] : notes)
        dm.SaveNewNote(title, text);

    if (what == "anlegen") {
        anlegen.move(20, 20);
        anlegen.show();
        anlegen.EditTitel->setText("Wochenmarkt");
        anlegen.Memo->setPlainText("Erdbeeren\n\tfür den Kuchen\nBlumen für Oma");
    } else {
        suchen.move(20, 20);
        suchen.show();
        suchen.ListAllNotes();
        suchen.GridRowChosen(2);
        if (what == "edit") {
            suchen.BtnEditClick();
            suchen.DBEditTitel->setText("Grüße an Tante Grete und Onkel Hans");
        }
    }
    QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); }); // no close questions
    return app.exec();
}
