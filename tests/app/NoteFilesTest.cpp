// Notes as text files: the naming and text rules, and `zettelwerk --export` / `--import` of the
// real program on database copies, also while a program has the database open.
#include "app/NoteFiles.h"

#include "app/ProgramProcess.h"
#include "common/TempDatabase.h"
#include "store/NoteTransfer.h"
#include "store/TDataModuleNotizen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

TEST(NoteFileRules, SafeAndUniqueFileNames) {
    EXPECT_EQ(SafeFileBaseName("Peter's Grüße"), "Peter's Grüße");
    EXPECT_EQ(SafeFileBaseName("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
    EXPECT_EQ(SafeFileBaseName("Tab\tund\nZeile"), "Tab_und_Zeile");
    EXPECT_EQ(SafeFileBaseName(".versteckt"), "_versteckt");
    EXPECT_EQ(SafeFileBaseName("Ende. . "), "Ende");
    EXPECT_EQ(SafeFileBaseName(""), "Ohne Titel");
    EXPECT_EQ(SafeFileBaseName(".."), "Ohne Titel");
    EXPECT_EQ(SafeFileBaseName("con"), "con_");
    EXPECT_EQ(SafeFileBaseName("LPT1.bak"), "LPT1.bak_");
    EXPECT_EQ(SafeFileBaseName("Console"), "Console");

    QSet<QString> taken;
    EXPECT_EQ(UniqueFileName("Einkauf", taken), "Einkauf.txt");
    EXPECT_EQ(UniqueFileName("Einkauf", taken), "Einkauf (2).txt");
    EXPECT_EQ(UniqueFileName("einkauf", taken), "einkauf (3).txt"); // file systems that ignore case
    EXPECT_EQ(UniqueFileName("Einkauf (2)", taken), "Einkauf (2) (2).txt");
}

TEST(NoteFileRules, LineBreaksTitlesAndTexts) {
    EXPECT_EQ(ExportedText("a\r\nb\r\n\r\nc\td"), "a\nb\n\nc\td");
    EXPECT_EQ(ImportedText("a\nb\r\nc\rd\r\n\r\n"), "a\r\nb\r\nc\r\nd\r\n\r\n");
    EXPECT_EQ(ImportedText(ExportedText("x\r\ny")), "x\r\ny");

    EXPECT_EQ(TitleFromFileName("/home/a/Einkauf.txt"), "Einkauf");
    EXPECT_EQ(TitleFromFileName("Rezept.MD"), "Rezept");
    EXPECT_EQ(TitleFromFileName("Protokoll 1.2"), "Protokoll 1.2");
    EXPECT_EQ(TitleFromFileName("Ohne Endung"), "Ohne Endung");
    EXPECT_EQ(TitleFromFileName(QString(60, u'ä') + ".txt"), QString(50, u'ä'));
    // 49 letters and then characters outside the BMP: the 50th is kept whole, not split.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
    EXPECT_EQ(TitleFromFileName(QString(49, u'x') + clef + clef), QString(49, u'x') + clef);

    QString text, error;
    ASSERT_TRUE(DecodeTextFile("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                               "e",
                               &text, &error));
    EXPECT_EQ(text, "Grüße"); // the byte-order mark is dropped
    EXPECT_FALSE(DecodeTextFile("Gr\xFC\xDF"
                                "e",
                                &text, &error)); // Windows-1252
    EXPECT_TRUE(error.contains("UTF-8")) << error.toStdString();
    EXPECT_FALSE(DecodeTextFile(QByteArray("PNG\0\0\x01", 6), &text, &error));
    EXPECT_TRUE(error.contains("keine Textdatei"));
}

TEST(NoteFileRules, OverviewSectionsKeepEveryText) {
    TNoteRecord note;
    note.title = "*Wichtig* [1] #2";
    note.text = "```\r\nCode mit ````vier````\r\n# keine Überschrift";
    note.stamp = QDateTime(QDate(2024, 3, 1), QTime(9, 5, 7));
    const QString section = OverviewSection(note, "_Wichtig_ [1] #2.txt");
    EXPECT_TRUE(section.contains("\n## \\*Wichtig\\* \\[1\\] \\#2\n")) << section.toStdString();
    EXPECT_TRUE(section.contains("Angelegt am 01.03.2024 09:05:07"));
    EXPECT_TRUE(section.contains("(<_Wichtig_ [1] #2.txt>)"));
    // A fence longer than the longest backtick run of the text, so the text cannot end it.
    EXPECT_TRUE(section.contains("\n`````text\n```\nCode mit ````vier````\n# keine Überschrift\n`````\n"))
        << section.toStdString();

    // The hidden record keeps what file name, heading and file do not: a title that would end the
    // comment or the heading, a text with lone line breaks, the stamp to 1/10000 s.
    note.title = "Ende -->\n<!-- neu";
    note.text = "nur LF\nnur CR\r";
    note.stampTicks = 7;
    const QString odd = OverviewSection(note, "Ende --__!-- neu.txt");
    EXPECT_TRUE(odd.contains("\n## Ende --\\>&#10;\\<\\!-- neu\n")) << odd.toStdString();
    QList<int> unreadable;
    const QHash<QString, TOverviewRecord> records =
        ReadOverviewRecords(OverviewStart() + section + odd + "<!-- zettelwerk {kaputt} -->\n", &unreadable);
    ASSERT_EQ(records.size(), 2);
    const TOverviewRecord r = records.value("Ende --__!-- neu.txt");
    EXPECT_EQ(r.title, note.title);
    EXPECT_EQ(ExactStampText(r.stamp, r.stampTicks), "2024-03-01T09:05:07.0007");
    EXPECT_TRUE(r.hasText);
    EXPECT_EQ(r.text, note.text);
    EXPECT_FALSE(records.value("_Wichtig_ [1] #2.txt").hasText) << "CR LF texts come back from the file";
    EXPECT_EQ(unreadable,
              QList<int>{int(odd.count(u'\n') + section.count(u'\n') + OverviewStart().count(u'\n') + 1)});

    note.title.clear();
    note.text.clear();
    const QString empty = OverviewSection(note, "Ohne Titel.txt");
    EXPECT_TRUE(empty.contains("## *(ohne Titel)*"));
    EXPECT_FALSE(empty.contains("```"));
    EXPECT_TRUE(OverviewStart().startsWith(kOverviewHeading + "\n"));
}

namespace {

// A copy of the program beside its own database copy, run as a process.
class NoteFilesRun : public ::testing::Test {
protected:
    void SetUp() override {
        const QString bin = qEnvironmentVariable("ZW_BIN_DIR");
        if (!QFile::exists(bin + "/zettelwerk"))
            GTEST_SKIP() << "zettelwerk not built";
        for (TTempDatabase* db : {&a, &b}) {
            ASSERT_TRUE(QFile::copy(bin + "/zettelwerk", db->Directory() + "zettelwerk"));
        }
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_RUNTIME_DIR", home.path());
        env.remove("ZW_QUIT_WHEN_IDLE");
    }

    int Run(const TTempDatabase& db, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        const TProgramEnd end = RunToEnd(p, db.Directory() + "zettelwerk", args, 120000);
        out = end.out;
        err = end.err;
        return end.code;
    }

    static std::vector<TNoteRecord> Notes(const TTempDatabase& db) {
        TDataModuleNotizen dm(db.Directory());
        std::vector<TNoteRecord> notes;
        ReadAllNotes(dm, [&](const TNoteRecord& n) { notes.push_back(n); });
        return notes;
    }

    // 1000 notes: umlauts, apostrophes, tabs, backticks, empty titles and texts, equal titles
    // (also in other letter case), titles that are no safe file names or hold a line break,
    // texts with line breaks a text file does not keep, stamps to 1/10000 s, each text unique.
    static std::vector<TNoteRecord> Samples() {
        std::vector<TNoteRecord> notes;
        const QDateTime base(QDate(2021, 1, 1), QTime(12, 0));
        for (int i = 0; i < 1000; ++i) {
            TNoteRecord n;
            switch (i % 8) {
            case 0:
                n.title = "";
                break;
            case 1:
                n.title = "Einkauf";
                break;
            case 2:
                n.title = "einkauf";
                break;
            case 3:
                n.title = "Peter's Grüße aus Köln " + QString::number(i);
                break;
            case 4:
                n.title = "a/b: c? " + QString::number(i);
                break;
            case 5:
                n.title = "Tab\tim Titel";
                break;
            case 6:
                n.title = QString(50, u'ß');
                break;
            default:
                n.title =
                    i % 16 == 15 ? "Zwei\r\nZeilen " + QString::number(i) : "Notiz " + QString::number(i);
                break;
            }
            n.text = i % 11 == 0
                         ? QString()
                         : QString("Nr. %1: Ärger über O'Brien\r\n\tEingerückt ``Code``\r\nÄÖÜ äöü ß\r\n")
                               .arg(i)
                               .repeated(1 + i % 3);
            if (i % 50 == 1)
                n.text = QString("Nr. %1 nur LF\nund nur CR\rund\r\n").arg(i);
            // Around noon, far from the hours a change to or from summer time skips or repeats.
            n.stamp = base.addDays(i).addSecs(i).addMSecs(7 * i % 1000);
            n.stampTicks = i % 10;
            notes.push_back(n);
        }
        return notes;
    }

    TTempDatabase a, b;
    QTemporaryDir home, files;
    QProcessEnvironment env;
    QString out, err;
};

QString Key(const TNoteRecord& n) {
    return ExactStampText(n.stamp, n.stampTicks) + u'|' + n.text;
}

// A file's time to 1/10000 s.
QString FileStampText(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    const QDateTime ms =
        QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
    return ExactStampText(ms, int(st.st_mtim.tv_nsec / 100000 % 10));
}

} // namespace

TEST_F(NoteFilesRun, ARoundTripOfAThousandNotesKeepsTextsStampsAndTitles) {
    const std::vector<TNoteRecord> samples = Samples();
    {
        TDataModuleNotizen dm(a.Directory());
        AddNotes(dm, samples);
    }
    const QString dir = files.filePath("export");
    ASSERT_EQ(Run(a, {"--export", dir}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("1000 Notizen nach " + dir + " exportiert")) << out.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();

    const QStringList txt = QDir(dir).entryList({"*.txt"}, QDir::Files);
    ASSERT_EQ(txt.size(), 1000);
    // No two names that a file system ignoring case would take for one.
    QSet<QString> folded;
    for (const QString& name : txt)
        folded.insert(name.toCaseFolded());
    EXPECT_EQ(folded.size(), 1000);

    // The overview: every note in the database's title order.
    QFile md(dir + "/notizen.md");
    ASSERT_TRUE(md.open(QIODevice::ReadOnly));
    const QString overview = QString::fromUtf8(md.readAll());
    QStringList headings;
    static const QRegularExpression heading(QStringLiteral("^## (.*)$"), QRegularExpression::MultilineOption);
    for (auto it = heading.globalMatch(overview); it.hasNext();)
        headings << it.next().captured(1);
    ASSERT_EQ(headings.size(), 1000);
    QStringList ordered;
    {
        TDataModuleNotizen dm(a.Directory());
        ASSERT_TRUE(dm.DataModuleCreate());
        dm.QueryInternes.SetSQL({"select titel from tblnotizen order by titel, id"});
        for (dm.QueryInternes.Open(); !dm.QueryInternes.Eof(); dm.QueryInternes.Next()) {
            const QString t = dm.QueryInternes.FieldAsString("TITEL");
            ordered << (t.isEmpty() ? QStringLiteral("*(ohne Titel)*") : MarkdownEscaped(t));
        }
    }
    EXPECT_EQ(headings, ordered);
    EXPECT_FALSE(overview.contains("\r\n"));

    // The files: the text with this platform's line breaks, the stamp as the file's time.
    QMap<QString, TNoteRecord> byKey;
    QSet<QString> byFileKey;
    for (const TNoteRecord& n : samples) {
        byKey.insert(Key(n), n);
        byFileKey.insert(ExactStampText(n.stamp, n.stampTicks) + u'|' + ImportedText(ExportedText(n.text)));
    }
    ASSERT_EQ(byKey.size(), 1000) << "the samples must be told apart by stamp and text";
    for (const QString& name : txt) {
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        EXPECT_FALSE(text.contains("\r\n")) << name.toStdString();
        ASSERT_TRUE(byFileKey.contains(FileStampText(f.fileName()) + u'|' + ImportedText(text)))
            << name.toStdString();
    }

    // Back into a fresh database: titles, texts and stamps as they were, from the overview.
    QStringList paths;
    for (const QString& e : QDir(dir).entryList(QDir::Files))
        paths << dir + "/" + e; // notizen.md too: it is recognised and left out
    ASSERT_EQ(Run(b, QStringList{"--import"} + paths), 0) << err.toStdString();
    EXPECT_TRUE(out.endsWith("\n1000 Notizen importiert.\n")) << out.right(300).toStdString();
    EXPECT_TRUE(out.contains("notizen.md: Übersicht eines Exports, nicht importiert"));
    const std::vector<TNoteRecord> back = Notes(b);
    ASSERT_EQ(back.size(), 1000u);
    QMap<QString, TNoteRecord> unseen = byKey;
    for (const TNoteRecord& n : back) {
        ASSERT_TRUE(unseen.contains(Key(n))) << n.title.toStdString() << " " << Key(n).left(40).toStdString();
        EXPECT_EQ(n.title, unseen.value(Key(n)).title);
        unseen.remove(Key(n)); // each note once
    }

    // Imported again, and into the database it came from: nothing is added, each note counted.
    for (const TTempDatabase* db : {&b, &a}) {
        ASSERT_EQ(Run(*db, QStringList{"--import"} + paths), 0) << err.toStdString();
        EXPECT_TRUE(
            out.endsWith("\n0 Notizen importiert; 1000 waren schon vorhanden und wurden übersprungen.\n"))
            << out.right(300).toStdString();
        EXPECT_TRUE(
            out.contains(dir + "/Tab_im Titel.txt → „Tab\tim Titel“: schon vorhanden, übersprungen\n"));
        EXPECT_EQ(Notes(*db).size(), 1000u);
    }
}

TEST_F(NoteFilesRun, BothWorkWhileTheProgramRunsAndChangeNoExistingNote) {
    {
        TDataModuleNotizen dm(a.Directory());
        AddNotes(dm, {{0, "Alt", "alter Text", QDateTime(QDate(2020, 2, 2), QTime(2, 2))}});
    }
    QProcess program;
    QProcessEnvironment running = env;
    running.insert("ZW_AUTO_ANSWER", "default");
    program.setProcessEnvironment(running);
    program.start(a.Directory() + "zettelwerk", {});
    ASSERT_TRUE(program.waitForStarted(10000));
    QByteArray log;
    for (int i = 0; i < 600 && !log.contains("event loop running"); ++i) {
        program.waitForReadyRead(100);
        log += program.readAllStandardError();
    }
    ASSERT_TRUE(log.contains("event loop running")) << log.toStdString();

    const QString in = files.filePath("Neu aus Datei.txt");
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("erste Zeile\nzweite Zeile\n");
    }
    // A file's time to the nanosecond: the stamp keeps 1/10000 s of it.
    const timespec exact[2] = {{1580000000, 123456789}, {1580000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(in).constData(), exact, 0), 0);
    const QDateTime fileTime = QDateTime::fromMSecsSinceEpoch(1580000000123);
    ASSERT_EQ(Run(a, {"--import", in}), 0) << err.toStdString();
    EXPECT_EQ(out, in + " → „Neu aus Datei“\n1 Notiz importiert.\n");
    ASSERT_EQ(Run(a, {"--export", files.filePath("aus")}), 0) << err.toStdString();
    EXPECT_EQ(QDir(files.filePath("aus")).entryList(QDir::Files),
              QStringList({"Alt.txt", "Neu aus Datei.txt", "notizen.md"}));

    // Refused: a missing file, a directory, no UTF-8; nothing is added then.
    QFile latin(files.filePath("latin1.txt"));
    ASSERT_TRUE(latin.open(QIODevice::WriteOnly));
    latin.write("Gr\xFC\xDF"
                "e");
    latin.close();
    EXPECT_EQ(Run(a, {"--import", in, files.filePath("fehlt.txt"), files.filePath("aus"), latin.fileName()}),
              1);
    EXPECT_TRUE(err.contains("fehlt.txt: Datei nicht gefunden")) << err.toStdString();
    EXPECT_TRUE(err.contains("ist ein Verzeichnis")) << err.toStdString();
    EXPECT_TRUE(err.contains("latin1.txt: ist nicht in UTF-8 geschrieben")) << err.toStdString();
    EXPECT_TRUE(err.contains("Nichts importiert: 3 Dateien können nicht gelesen werden."))
        << err.toStdString();
    // A directory that holds something is not exported into.
    EXPECT_EQ(Run(a, {"--export", files.filePath("aus")}), 1);
    EXPECT_TRUE(err.contains("ist nicht leer")) << err.toStdString();

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    const std::vector<TNoteRecord> notes = Notes(a);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].title, "Alt");
    EXPECT_EQ(notes[0].text, "alter Text");
    EXPECT_EQ(notes[0].stamp, QDateTime(QDate(2020, 2, 2), QTime(2, 2)));
    EXPECT_EQ(notes[1].title, "Neu aus Datei");
    EXPECT_EQ(notes[1].text, "erste Zeile\r\nzweite Zeile\r\n");
    EXPECT_EQ(notes[1].stamp, fileTime);
    EXPECT_EQ(notes[1].stampTicks, 4);
}
