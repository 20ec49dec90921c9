#include "app/NoteSearchCommand.h"

#include "store/NoteSearch.h"

#include <QTextStream>

QString FoundNoteLine(const TFoundNote& note) {
    const QString stamp =
        note.stamp.isValid() ? note.stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString(16, u' ');
    QString title = note.title;
    for (QChar& c : title)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    return stamp + QStringLiteral("  ") + title;
}

int FindNotesCommand(TDataModuleNotizen& dataModule, const QString& term, QTextStream& out) {
    const std::vector<TFoundNote> notes = FindNotesByStatement(dataModule, term);
    for (const TFoundNote& note : notes)
        out << FoundNoteLine(note) << '\n';
    out.flush();
    return notes.empty() ? kNothingFoundExit : kFoundExit;
}
