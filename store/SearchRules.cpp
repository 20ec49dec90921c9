#include "store/SearchRules.h"

#include <QChar>
#include <algorithm>
#include <set>

namespace {

constexpr char32_t kSharpS = 0xDF;          // ß
constexpr char32_t kCapitalSharpS = 0x1E9E; // ẞ
constexpr char32_t kReplacement = 0xFFFD;

// The folding of one character into one or two: the database's upper-casing maps one character
// to one (ß stays ß), so folding what it gives keeps every pair it calls equal equal here.
int FoldCodePoint(char32_t c, char32_t out[2]) {
    if (c < 0x80) {
        out[0] = (c >= 'A' && c <= 'Z') ? c + 32 : c;
        return 1;
    }
    const char32_t upper = QChar::toUpper(c);
    if (upper == kSharpS || upper == kCapitalSharpS) {
        out[0] = out[1] = U's';
        return 2;
    }
    out[0] = QChar::toCaseFolded(upper);
    return 1;
}

// The code point at i of s and its length in UTF-16 units (a lone surrogate stands for itself).
char32_t CodePointAt(const QString& s, qsizetype i, int* units) {
    const char16_t c = s[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode())) {
        *units = 2;
        return QChar::surrogateToUcs4(c, s[i + 1].unicode());
    }
    *units = 1;
    return c;
}

void AppendCodePoint(QString& out, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(char16_t(c));
    }
}

// The folded text, and for each of its UTF-16 units where the character it came from starts in
// the text and how long it is there.
struct TFolded {
    QString text;
    std::vector<int> from;
    std::vector<int> length;
};

TFolded FoldWithPositions(const QString& text) {
    TFolded f;
    f.text.reserve(text.size());
    f.from.reserve(size_t(text.size()));
    f.length.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size();) {
        int units = 1;
        const char32_t c = CodePointAt(text, i, &units);
        char32_t folded[2];
        const int n = FoldCodePoint(c, folded);
        for (int k = 0; k < n; ++k) {
            const qsizetype before = f.text.size();
            AppendCodePoint(f.text, folded[k]);
            for (qsizetype u = before; u < f.text.size(); ++u) {
                f.from.push_back(int(i));
                f.length.push_back(units);
            }
        }
        i += units;
    }
    return f;
}

// The database's upper-casing, one character at a time.
std::u32string Upper(const QString& s) {
    std::u32string out;
    out.reserve(size_t(s.size()));
    for (qsizetype i = 0; i < s.size();) {
        int units = 1;
        out.push_back(QChar::toUpper(CodePointAt(s, i, &units)));
        i += units;
    }
    return out;
}

// The code point at i of UTF-8 text, i moved past it; a malformed byte is U+FFFD.
char32_t NextCodePoint(const unsigned char* s, size_t size, size_t& i) {
    const unsigned char b = s[i];
    if (b < 0x80) {
        ++i;
        return b;
    }
    int n = 0;
    char32_t c = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 1, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 2, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 3, c = b & 0x07, min = 0x10000;
    }
    bool valid = n > 0 && i + size_t(n) < size;
    for (int k = 1; valid && k <= n; ++k) {
        if ((s[i + size_t(k)] & 0xC0) != 0x80)
            valid = false;
        else
            c = (c << 6) | (s[i + size_t(k)] & 0x3F);
    }
    if (!valid || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += size_t(n) + 1;
    return c;
}

// LIKE without an escape character: % any run, _ one character. The title's characters are
// upper-cased by `upper`.
template <class TChar, class TUpper>
bool Like(const std::u32string& p, const TChar* t, size_t size, TUpper upper) {
    size_t pi = 0, ti = 0, star = std::u32string::npos, mark = 0;
    while (ti < size) {
        if (pi < p.size() && p[pi] == U'%') {
            star = pi++;
            mark = ti;
        } else if (pi < p.size() && (p[pi] == U'_' || p[pi] == upper(t[ti]))) {
            ++pi;
            ++ti;
        } else if (star != std::u32string::npos) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'%')
        ++pi;
    return pi == p.size();
}

bool Like(const std::u32string& p, const std::u32string& t) {
    return Like(p, t.data(), t.size(), [](char32_t c) { return c; });
}

QString Quoted(QString text) {
    return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\'';
}

// --- the ways a word is written with ß, ẞ and ss ---------------------------------------------

constexpr size_t kMaxSpellings = 16;

enum class TSKind { Other, S, SharpS };

TSKind KindOf(char32_t c) {
    char32_t f[2];
    const int n = FoldCodePoint(c, f);
    if (n == 2)
        return TSKind::SharpS;
    return f[0] == U's' ? TSKind::S : TSKind::Other;
}

// The spellings of a run of `units` folded s: each s as "s", two as "ß" or "ẞ"; at the word's
// start (end) the first (last) s may also be the second (first) half of a ß in the text.
void SpellRun(int units, bool atStart, bool atEnd, bool capital, int pos, QString& sofar,
              std::set<QString>& out) {
    if (out.size() > kMaxSpellings * 4)
        return;
    if (pos == units) {
        out.insert(sofar);
        return;
    }
    const auto take = [&](const QString& token, int width) {
        const qsizetype keep = sofar.size();
        sofar += token;
        SpellRun(units, atStart, atEnd, capital, pos + width, sofar, out);
        sofar.truncate(keep);
    };
    QStringList sharps{QString(QChar(char16_t(kSharpS)))};
    if (capital)
        sharps << QString(QChar(char16_t(kCapitalSharpS)));
    take(QStringLiteral("s"), 1);
    for (const QString& sharp : sharps) {
        if (pos + 2 <= units)
            take(sharp, 2);
        if ((pos == 0 && atStart) || (pos + 1 == units && atEnd))
            take(sharp, 1);
    }
}

// Every spelling of the word, at most kMaxSpellings; the word as typed among them.
QStringList Spellings(const QString& word, bool capital) {
    struct TPart {
        QString text;  // a piece without s
        int units = 0; // or a run of s and ß
        bool atStart = false, atEnd = false;
    };
    std::vector<TPart> parts;
    for (qsizetype i = 0; i < word.size();) {
        int n = 1;
        const char32_t c = CodePointAt(word, i, &n);
        const TSKind kind = KindOf(c);
        if (kind == TSKind::Other) {
            if (parts.empty() || parts.back().units > 0)
                parts.push_back({});
            parts.back().text += word.mid(i, n);
        } else {
            if (parts.empty() || parts.back().units == 0)
                parts.push_back({{}, 0, i == 0, false});
            parts.back().units += kind == TSKind::SharpS ? 2 : 1;
        }
        i += n;
    }
    if (!parts.empty() && parts.back().units > 0)
        parts.back().atEnd = true;
    QStringList spellings{QString()};
    for (const TPart& part : parts) {
        QStringList options{part.text};
        if (part.units > 0) {
            std::set<QString> runs;
            QString sofar;
            SpellRun(part.units, part.atStart, part.atEnd, capital, 0, sofar, runs);
            options = QStringList(runs.begin(), runs.end());
        }
        QStringList next;
        for (const QString& head : spellings)
            for (const QString& tail : options)
                next << head + tail;
        spellings = next;
        if (size_t(spellings.size()) > kMaxSpellings * 4)
            break;
    }
    if (size_t(spellings.size()) > kMaxSpellings) {
        if (capital)
            return Spellings(word, false);
        spellings = spellings.mid(0, qsizetype(kMaxSpellings - 1));
    }
    if (!spellings.contains(word))
        spellings.prepend(word);
    return spellings;
}

} // namespace

QStringList SearchWords(const QString& term) {
    QStringList words;
    QString word;
    bool quoted = false;
    const auto end = [&] {
        if (!word.isEmpty())
            words << word;
        word.clear();
    };
    for (const QChar c : term) {
        if (c == u'"') {
            end();
            quoted = !quoted;
        } else if (!quoted && c.isSpace()) {
            end();
        } else {
            word += c;
        }
    }
    end();
    return words;
}

QString FoldForSearch(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        int units = 1;
        char32_t folded[2];
        const int n = FoldCodePoint(CodePointAt(text, i, &units), folded);
        for (int k = 0; k < n; ++k)
            AppendCodePoint(out, folded[k]);
        i += units;
    }
    return out;
}

void AppendFoldedUtf8(std::string& out, const char* utf8, size_t size) {
    // A byte becomes at most three (a malformed one: U+FFFD), so the room is made once.
    const size_t before = out.size();
    out.resize(before + 3 * size);
    char* o = out.data() + before;
    const auto encode = [&o](char32_t c) {
        if (c < 0x80) {
            *o++ = char(c);
        } else if (c < 0x800) {
            *o++ = char(0xC0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = char(0xE0 | (c >> 12));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        } else {
            *o++ = char(0xF0 | (c >> 18));
            *o++ = char(0x80 | ((c >> 12) & 0x3F));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        }
    };
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    for (size_t i = 0; i < size;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            *o++ = char((b >= 'A' && b <= 'Z') ? b + 32 : b);
            ++i;
            continue;
        }
        char32_t folded[2];
        const int m = FoldCodePoint(NextCodePoint(s, size, i), folded);
        for (int k = 0; k < m; ++k)
            encode(folded[k]);
    }
    out.resize(size_t(o - out.data()));
}

TTitleLike::TTitleLike(const QString& pattern) : pattern_(Upper(pattern)) {}

bool TTitleLike::Matches(const QString& title) const {
    return Like(pattern_, Upper(title));
}

bool TTitleLike::Matches(std::string_view utf8) const {
    // Most titles are ASCII: compared as they are.
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    if (std::all_of(bytes, bytes + utf8.size(), [](unsigned char b) { return b < 0x80; }))
        return Like(pattern_, bytes, utf8.size(),
                    [](unsigned char b) { return char32_t((b >= 'a' && b <= 'z') ? b - 32 : b); });
    thread_local std::u32string title;
    title.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            title.push_back((b >= 'a' && b <= 'z') ? b - 32 : b);
            ++i;
        } else {
            title.push_back(QChar::toUpper(NextCodePoint(s, utf8.size(), i)));
        }
    }
    return Like(pattern_, title);
}

bool TitleLike(const QString& pattern, const QString& title) {
    return TTitleLike(pattern).Matches(title);
}

bool TextContaining(const QString& text, const QString& term) {
    const std::u32string t = Upper(text), w = Upper(term);
    return t.find(w) != std::u32string::npos;
}

bool HasTitleWildcards(const QString& term) {
    return term.contains(u'%') || term.contains(u'_');
}

bool NoteMatches(const QString& term, const QString& title, const QString& text) {
    const QStringList words = SearchWords(term);
    const QString foldedTitle = FoldForSearch(title), foldedText = FoldForSearch(text);
    const bool everyWord = std::all_of(words.begin(), words.end(), [&](const QString& w) {
        const QString f = FoldForSearch(w);
        return foldedTitle.contains(f) || foldedText.contains(f);
    });
    return everyWord || TitleLike(term, title) || TextContaining(text, term);
}

std::vector<std::pair<int, int>> MatchRanges(const QString& text, const QString& term) {
    const TFolded folded = FoldWithPositions(text);
    std::vector<std::pair<int, int>> ranges;
    for (const QString& word : SearchWords(term)) {
        const QString f = FoldForSearch(word);
        for (qsizetype at = folded.text.indexOf(f); at >= 0; at = folded.text.indexOf(f, at + f.size())) {
            const size_t first = size_t(at), last = size_t(at + f.size() - 1);
            const int start = folded.from[first];
            ranges.emplace_back(start, folded.from[last] + folded.length[last] - start);
        }
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<int, int>> joined;
    for (const auto& r : ranges) {
        if (!joined.empty() && r.first <= joined.back().first + joined.back().second) {
            const int end = std::max(joined.back().first + joined.back().second, r.first + r.second);
            joined.back().second = end - joined.back().first;
        } else {
            joined.push_back(r);
        }
    }
    return joined;
}

QString SearchStatement(const QString& term) {
    const QStringList words = SearchWords(term);
    if (words.isEmpty())
        return QStringLiteral("select * from tblnotizen");
    const QString quoted = QString(term).replace(u'\'', QStringLiteral("''"));
    const QString asBefore = QStringLiteral("((Upper(tblnotizen.titel) like Upper('") + quoted +
                             QStringLiteral("')) or  bemerkung containing '") + quoted + QStringLiteral("')");
    QStringList everyWord;
    for (const QString& word : words) {
        QStringList anywhere;
        for (const QString& spelling : Spellings(word, true))
            anywhere << QStringLiteral("titel containing ") + Quoted(spelling)
                     << QStringLiteral("bemerkung containing ") + Quoted(spelling);
        everyWord << u'(' + anywhere.join(QStringLiteral(" or ")) + u')';
    }
    return QStringLiteral("select * from tblnotizen where ") + asBefore + QStringLiteral(" or (") +
           everyWord.join(QStringLiteral(" and ")) + u')';
}
