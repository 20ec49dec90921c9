#pragma once
// Notes as text files: `zettelwerk --export DIR` and `zettelwerk --import FILE...`.
// The rules are plain functions; the two runs report on the given streams.
#include <QDateTime>
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
// One note of the overview: heading, stamp, file, and the text as a fenced block that no
// backtick run of the text can end.
QString OverviewSection(const TNoteRecord& note, const QString& fileName);
// A title for a Markdown heading: the characters that mean something in Markdown escaped.
QString MarkdownEscaped(const QString& text);

// "08.12.2026 14:03:11"
QString StampText(const QDateTime& stamp);

// A file's bytes as a note's text; false with `error` for what is no UTF-8 text (a leading
// byte-order mark is dropped).
bool DecodeTextFile(const QByteArray& bytes, QString* text, QString* error);

// --- runs ---------------------------------------------------------------------------------

// Writes every note of the database into the directory (made when missing, refused when it
// holds anything: nothing is ever overwritten). Exit code: 0 done, 1 failed.
int ExportNotes(TDataModuleNotizen& dataModule, const QString& directory, QTextStream& out, QTextStream& err);

// Reads every file first; when one cannot be read, nothing is added. Then adds them all in one
// transaction. Exit code: 0 done, 1 refused or failed.
int ImportNotes(TDataModuleNotizen& dataModule, const QStringList& files, QTextStream& out, QTextStream& err);
