#pragma once
// Notes as text files: `zettelwerk --export DIR` and `zettelwerk --import FILE...`.
// The rules are plain functions; the two runs report on the given streams.
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class QTextStream;
class TDataModuleNotizen;
struct TNoteRecord;

// --- rules --------------------------------------------------------------------------------

// A title as a file name that every usual file system takes (also FAT and NTFS of a stick):
// control characters and / \ : * ? " < > | become "_", a leading dot (a hidden file) too;
// blanks and dots at the end go; device names such as CON get a "_"; an empty result is
// "Ohne Titel". Without the extension.
QString SafeFileBaseName(const QString& title);

// base + ".txt", or base + " (2).txt", " (3).txt" ... when the name is taken; names are
// compared without regard to letter case (file systems that ignore it). Adds the name to taken.
QString UniqueFileName(const QString& base, QSet<QString>& taken);

// The stored text (CR LF) with the line breaks of this platform.
QString ExportedText(const QString& storedText);
// A file's text as a note's text: every line break (LF, CR LF, CR) as CR LF.
QString ImportedText(const QString& fileText);

// The file's name without a text extension (.txt, .text, .md), cut to 50 characters (a
// character made of two UTF-16 units is not split).
QString TitleFromFileName(const QString& fileName);

// The overview file of an export.
inline const QString kOverviewFileName = QStringLiteral("notizen.md");
inline const QString kOverviewHeading = QStringLiteral("# Notizen aus Zettelwerk");
QString OverviewStart(int noteCountHint = -1);
// One note of the overview: heading, stamp, file, the record below, and the text as a fenced
// block that no backtick run of the text can end.
QString OverviewSection(const TNoteRecord& note, const QString& fileName);
// A title for a Markdown heading: the characters that mean something in Markdown escaped,
// control characters (a tab, a line break) as character references.
QString MarkdownEscaped(const QString& text);

// The note behind a file of an export exactly as the database held it, which neither the
// file's name (made safe and unique) nor its time (to the millisecond or less, shifted by a
// change to summer time) nor its line breaks always keep. An import of the export's files
// takes it from there.
struct TOverviewRecord {
    QString title;
    QDateTime stamp; // no date: the note had none
    int stampTicks = 0;
    bool hasText = false; // only for a text whose line breaks the file does not keep
    QString text;
};
// The record as a line of the overview: an HTML comment, which a Markdown viewer hides.
QString OverviewRecordLine(const TNoteRecord& note, const QString& fileName);
// The records of an overview by file name. Lines that look like records but cannot be read
// are counted in `unreadable` (line numbers from 1).
QHash<QString, TOverviewRecord> ReadOverviewRecords(const QString& overview, QList<int>* unreadable);

// "08.12.2026 14:03:11"
QString StampText(const QDateTime& stamp);
// "2026-12-08T14:03:11.4570": the stamp to 1/10000 s; and back (false for anything else).
QString ExactStampText(const QDateTime& stamp, int ticks);
bool ReadExactStamp(const QString& text, QDateTime* stamp, int* ticks);

// A file's bytes as a note's text; false with `error` for what is no UTF-8 text (a leading
// byte-order mark is dropped).
bool DecodeTextFile(const QByteArray& bytes, QString* text, QString* error);

// --- runs ---------------------------------------------------------------------------------

// Writes every note of the database into the directory (made when missing, refused when it
// holds anything: nothing is ever overwritten). Exit code: 0 done, 1 failed.
int ExportNotes(TDataModuleNotizen& dataModule, const QString& directory, QTextStream& out, QTextStream& err);

// Reads every file first; when one cannot be read, nothing is added. A file of an export
// takes title, stamp and text from the record its notizen.md holds. Then adds them in one
// transaction, leaving out those equal to a note that is there (title, text and stamp), and
// counts those. Exit code: 0 done, 1 refused or failed.
int ImportNotes(TDataModuleNotizen& dataModule, const QStringList& files, QTextStream& out, QTextStream& err);
