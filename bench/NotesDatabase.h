#pragma once
// The benchmarks' databases: 100,000 generated notes, made once into $ZW_BENCH_CACHE (default: the
// temp dir) and reused, and isql-fb running statements on them.
#include "common/FirebirdServer.h"
#include "common/TempDatabase.h"
#include "store/SchemaRules.h"
#include "store/TDataModuleNotizen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <memory>
#include <stdexcept>

constexpr int kNotes = 100000;

inline QString CacheDir() {
    const QString dir = qEnvironmentVariable("ZW_BENCH_CACHE", QDir::tempPath() + "/zw-bench-cache");
    QDir().mkpath(dir);
    return dir + "/";
}

// Runs an isql-fb script on the database; the output goes nowhere. Returns milliseconds.
inline double RunIsql(const QString& database, const QString& statements) {
    const QString script = CacheDir() + "bench.sql";
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write the isql script");
    file.write(QStringLiteral("SET NAMES UTF8;\nCONNECT '%1' USER 'sysdba' PASSWORD 'lanternix';\n%2\n")
                   .arg(database, statements)
                   .toUtf8());
    file.close();
    QProcess isql;
    isql.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    isql.start(QStringLiteral("isql-fb"), {"-q", "-bail", "-i", script});
    if (!isql.waitForFinished(600000) || isql.exitCode() != 0)
        throw std::runtime_error(("isql-fb failed: " + isql.readAllStandardError()).toStdString());
    return timer.nsecsElapsed() / 1e6;
}

// 100,000 notes: titles of 12 to 46 characters and texts of one to four paragraphs,
// cut at random places from a German text; stamps spread over three years. In the delivered
// database, or in one of the first release's schema.
inline QString GenerateDatabase(TTempDatabase::TSchema schema = TTempDatabase::TSchema::Delivered) {
    const bool first = schema == TTempDatabase::TSchema::FirstRelease;
    const QString target =
        CacheDir() + QStringLiteral("notizen100k-schema%1.gdb").arg(first ? 1 : kSchemaVersion);
    if (QFile::exists(target))
        return target;
    const QString work = target + ".tmp";
    QFile::remove(work);
    if (first) {
        TTempDatabase::CreateFirstRelease(work);
    } else {
        const QString delivered = QStringLiteral(ZW_BIN_DIR) + "/notizen.gdb";
        if (!QFile::copy(delivered, work))
            throw std::runtime_error(("cannot copy " + delivered).toStdString());
    }
    QFile::setPermissions(work, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString text = QStringLiteral(
        "Morgen früh zum Einkauf: Milch, Eier, Brot und Käse, dann zur Post wegen des Pakets für Tante "
        "Grete. Termin beim Zahnarzt am Donnerstag um halb zehn nicht vergessen, vorher die Unterlagen "
        "für die Steuererklärung heraussuchen und die Belege der Handwerker sortieren. Idee für das "
        "Wochenende: Radtour entlang der Elbe bis Meißen, Picknick einpacken, Wetterbericht prüfen. "
        "Besprechung mit dem Team über die neue Datenbank, Sicherung jeden Abend, Rücksicherung einmal "
        "im Monat testen. Geburtstagsgeschenk für Jonas besorgen, vielleicht ein Buch über Astronomie "
        "oder ein Teleskop für Anfänger. Rezept für Apfelkuchen: 500 g Mehl, 250 g Butter, 200 g Zucker, "
        "drei Eier, ein Päckchen Backpulver, sechs säuerliche Äpfel, Zimt nach Geschmack. Auto zur "
        "Inspektion bringen, Reifenwechsel anmelden, Winterreifen liegen im Keller links hinter dem "
        "Regal. Liste der Bücher, die ich noch lesen möchte: Der Zauberberg, Effi Briest, Die "
        "Blechtrommel, Berlin Alexanderplatz. Passwort für den Router steht auf der Rückseite des "
        "Geräts, nicht hier aufschreiben. Handwerker kommt am Montag zwischen acht und zwölf Uhr, "
        "Schlüssel bei Frau Schulze im Erdgeschoss hinterlegen. Urlaubsplanung: Ostsee im Juli, Zimmer "
        "mit Meerblick, Fahrräder mitnehmen, Bahnfahrkarten früh buchen, Katze zur Nachbarin bringen. "
        "Notizen zum Vortrag über Datensicherung und Wiederherstellung im Verein am nächsten Freitag.");
    QString statements =
        QStringLiteral(
            "SET TERM ^ ;\n"
            "EXECUTE BLOCK AS\n"
            "  DECLARE i INTEGER = 0;\n"
            "  DECLARE k INTEGER;\n"
            "  DECLARE n INTEGER;\n"
            "  DECLARE w VARCHAR(4000) = '%1';\n"
            "  DECLARE t BLOB SUB_TYPE TEXT;\n"
            "BEGIN\n"
            "  WHILE (i < %2) DO BEGIN\n"
            "    n = 1 + CAST(RAND() * 3 AS INTEGER);\n"
            "    t = '';\n"
            "    k = 0;\n"
            "    WHILE (k < n) DO BEGIN\n"
            "      IF (k > 0) THEN t = t || ASCII_CHAR(13) || ASCII_CHAR(10);\n"
            "      t = t || SUBSTRING(w FROM 1 + CAST(RAND() * 1200 AS INTEGER) FOR 80 + CAST(RAND() * 400 "
            "AS "
            "INTEGER));\n"
            "      k = k + 1;\n"
            "    END\n"
            "    INSERT INTO TBLNOTIZEN (ID, TITEL, BEMERKUNG, ZEITSTEMPEL) VALUES "
            "(GEN_ID(GEN_TBLNOTIZEN_ID, 1),\n"
            "      TRIM(SUBSTRING(:w FROM 1 + CAST(RAND() * 1500 AS INTEGER) FOR 12 + CAST(RAND() * 35 AS "
            "INTEGER))),\n"
            "      :t, DATEADD(-CAST(RAND() * 1000 AS INTEGER) DAY TO CURRENT_TIMESTAMP));\n"
            "    i = i + 1;\n"
            "  END\n"
            "END^\n"
            "SET TERM ; ^\n"
            "COMMIT;\n")
            .arg(QuoteSqlText(text))
            .arg(kNotes);
    RunIsql(work, statements);
    if (!QFile::rename(work, target))
        throw std::runtime_error("cannot move the generated database into place");
    return target;
}

// A working copy of the generated database for one run (runName names its directory), on the
// embedded file or in the data directory of a private server the benchmark starts, with a data
// module for it that Create() connects.
struct TBenchCopy {
    QString dir, file, connection;
    std::unique_ptr<TFirebirdServer> server;
    std::unique_ptr<TDataModuleNotizen> dm;

    TBenchCopy(const QString& runName, bool onServer) {
        const QString source = GenerateDatabase();
        dir = CacheDir() + runName + (onServer ? "-server/" : "/");
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        if (onServer) {
            if (const QString why = TFirebirdServer::Unavailable(); !why.isEmpty())
                throw std::runtime_error(why.toStdString());
            server = std::make_unique<TFirebirdServer>();
        }
        file = (server ? server->DataDirectory() + "/" : dir) + "notizen.gdb";
        connection = server ? server->Connection(file) : file;
        if (!QFile::copy(source, file))
            throw std::runtime_error("cannot copy the generated database");
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        dm = std::make_unique<TDataModuleNotizen>(dir);
        if (server)
            dm->UseDatabase(connection, TCredentials{});
    }
    void Create() {
        if (!dm->DataModuleCreate())
            throw std::runtime_error(dm->LastConnectError().toStdString());
    }
    void Connect() {
        if (!dm->Database.Connected())
            dm->Database.Open();
    }
};

// The process's resident memory in MB.
inline double ResidentMb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}
