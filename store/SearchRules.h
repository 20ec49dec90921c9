#pragma once
// What a search term finds. A term is split into words (a part in double quotes is one word,
// blanks and all); a note is found when every word occurs in its title or in its text, compared
// after folding (letter case as the database's own upper-casing sees it, ß and ẞ as "ss"). The
// statement the first release ran is kept as one alternative: the whole title matched against
// the term with % and _ as wildcards, or the term as a substring of the text. So a term finds at
// least what it found there. An empty term (or one of blanks only) finds every note.
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The words of a term, in the order typed; empty words (two blanks, "") are dropped. Each word
// is a contiguous piece of the term: quotes separate words and are not part of them; a quote
// left open runs to the end.
QStringList SearchWords(const QString& term);

// Per character: the database's upper-casing (one character to one, as its case-insensitive
// comparisons use), then Unicode case folding to lower case; ß and ẞ become "ss".
QString FoldForSearch(const QString& text);
// The same on UTF-8, appended to out. Never writes the bytes 0xFE and 0xFF (no UTF-8 has them),
// so the index may separate its records with them. Malformed bytes become U+FFFD.
void AppendFoldedUtf8(std::string& out, const char* utf8, size_t size);

// `Upper(titel) like Upper(pattern)` of the statement: the whole title, case-insensitive per
// character, % any run of characters, _ exactly one, no escape character.
bool TitleLike(const QString& pattern, const QString& title);
// The same test of one pattern against many titles (given as UTF-8).
class TTitleLike {
public:
    explicit TTitleLike(const QString& pattern);
    bool Matches(const QString& title) const;
    bool Matches(std::string_view utf8) const;

private:
    std::u32string pattern_;
};
// `bemerkung containing term`: a case-insensitive substring; % and _ stand for themselves.
bool TextContaining(const QString& text, const QString& term);
// The term's title test needs the title itself: it has a wildcard (without one it finds only
// what the words find).
bool HasTitleWildcards(const QString& term);

// Whether a note with this title and text is found by the term (the whole rule, for one note).
bool NoteMatches(const QString& term, const QString& title, const QString& text);

// Where the term's words stand in text, for marking them: start and length in the text as given
// (QString positions), each occurrence of each word, ordered by start, overlaps joined.
std::vector<std::pair<int, int>> MatchRanges(const QString& text, const QString& term);

// The search as one select statement of all columns of tblnotizen (no order), for where the
// in-memory index is not there: the first release's condition, or every word in the title or
// the text (each word also with ss written ß or ẞ and the other way round). An empty term gives
// every note.
QString SearchStatement(const QString& term);
