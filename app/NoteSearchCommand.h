#pragma once
// zettelwerk --finden BEGRIFF: the search from the shell, without a display. One line per found
// note, creation stamp and title, in title order.
#include <QString>

class QTextStream;
class TDataModuleNotizen;
struct TFoundNote;

// Exit codes, as grep has them.
constexpr int kFoundExit = 0;
constexpr int kNothingFoundExit = 1;
constexpr int kFindFailedExit = 2; // a usage error, or the database cannot be read

// "2024-03-05 14:22  Titel"; a note without stamp has blanks there; line breaks and tabs of a
// title become blanks, so that every note is one line.
QString FoundNoteLine(const TFoundNote& note);

// Prints the notes the term finds; kFoundExit or kNothingFoundExit. Errors are thrown.
int FindNotesCommand(TDataModuleNotizen& dataModule, const QString& term, QTextStream& out);
