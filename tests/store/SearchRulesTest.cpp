// The rules of the search, without a database: words, folding, the first release's title and
// text tests as the database runs them, the marks in a text and the statement.
#include "store/SearchRules.h"

#include <gtest/gtest.h>

namespace {
std::string S(const QString& s) {
    return s.toStdString();
}
} // namespace

TEST(SearchRules, WordsQuotesAndFolding) {
    const struct {
        QString term;
        QStringList words;
    } words[] = {
        {"Heizkosten gestiegen", {"Heizkosten", "gestiegen"}},
        {"  Weiß \t Käse ", {"Weiß", "Käse"}},
        {"\"Weiß Käse\" Brot", {"Weiß Käse", "Brot"}},
        {"a\"b c\"d", {"a", "b c", "d"}}, // quotes separate words
        {"\"offen bis zum Ende", {"offen bis zum Ende"}},
        {"\"\"  \"\"", {}},
        {"", {}},
        {"\" Oma \"", {" Oma "}},
    };
    for (const auto& w : words)
        EXPECT_EQ(SearchWords(w.term), w.words) << S(w.term);

    const struct {
        QString text, folded;
    } folds[] = {
        {"Straße", "strasse"},
        {"STRASSE", "strasse"},
        {"ẞ", "ss"},
        {"ÄÖÜ äöü", "äöü äöü"},
        {"ı", "i"},
        {"ſ", "s"},
        {"Ωmega", "ωmega"},
        {"\U00010400", "\U00010428"},
        {"Grüße", "grüsse"},
        {"", ""},
        {"a\r\nB", "a\r\nb"},
    };
    for (const auto& f : folds) {
        EXPECT_EQ(FoldForSearch(f.text), f.folded) << S(f.text);
        const QByteArray utf8 = f.text.toUtf8();
        std::string out;
        AppendFoldedUtf8(out, utf8.constData(), size_t(utf8.size()));
        EXPECT_EQ(out, f.folded.toUtf8().toStdString()) << S(f.text);
    }
    std::string out;
    AppendFoldedUtf8(out,
                     "\xFF\xFE"
                     "A\xC3",
                     4); // malformed: never the separator bytes
    EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD"
                   "a\xEF\xBF\xBD");
}

// The first release's statement as the database ran it (each case checked with isql-fb).
TEST(SearchRules, TheFirstReleasesTitleAndTextTests) {
    const struct {
        QString pattern, title;
        bool like;
    } titles[] = {
        {"oma", "Geburtstag Oma Gertrud", false},
        {"%oma%", "Geburtstag Oma Gertrud", true},
        {"einkauf", "Einkauf", true},
        {"einkauf", "Einkaufsliste", false},
        {"einkauf%", "Einkaufsliste", true},
        {"grü_e", "Grüße", true},
        {"grü_e", "GRÜSSE", false},
        {"grüße", "GRÜSSE", false},
        {"ix", "ıx", true},
        {"İx", "ıx", false},
        {"%", "", true},
        {"", "", true},
        {"a\\%", "a\\b", true},
        {"50%", "50 Rabatt", true},
        {"_%_", "x", false},
        {"%a%b%", "xxaxxbxx", true},
        {"äRGER", "ÄRGER", true},
        {"einkauf ", "Einkauf", false},
    };
    for (const auto& t : titles)
        EXPECT_EQ(TitleLike(t.pattern, t.title), t.like) << S(t.pattern) << " / " << S(t.title);

    const struct {
        QString text, term;
        bool contains;
    } texts[] = {
        {"Die Straße", "straße", true},
        {"Straße", "strasse", false},
        {"ärger mit", "ÄRGER", true},
        {"50% Rabatt", "0% r", true},
        {"axb", "a_b", false},
        {"a_b", "a_b", true},
        {"İy", "iy", false},
        {"İy", "İY", true},
        {"Weiß ı", "I", true},
        {"", "", true},
    };
    for (const auto& t : texts)
        EXPECT_EQ(TextContaining(t.text, t.term), t.contains) << S(t.text) << " / " << S(t.term);
}

TEST(SearchRules, ANoteIsFoundByItsWordsAndByWhatTheFirstReleaseFound) {
    const struct {
        QString term, title, text;
        bool found;
    } notes[] = {
        {"Oma", "Geburtstag Oma Gertrud", "", true},
        {"Heizkosten gestiegen", "Heizung", "Die Heizkosten sind stark gestiegen.", true},
        {"Heizkosten gestiegen", "Heizkosten", "gestiegen", true},
        {"Heizkosten gestiegen", "Heizung", "Die Heizkosten sind gleich.", false},
        {"Weiß Käse", "Einkauf", "weiss, käse", true},
        {"\"Weiß Käse\"", "Einkauf", "Käse weiß", false},
        {"strasse", "Straße", "", true},
        {"Straße", "Umzug", "Hauptstrasse 5", true},
        {"STRASSE", "", "straẞe", true},
        {"%oma%", "Geburtstag Oma Gertrud", "", true}, // only the title test finds it
        {"einkauf%", "Einkaufsliste", "", true},
        {"grü_e", "Grüße", "", true},
        {"", "", "", true},
        {"   ", "x", "y", true},
        {"Rock 'n' Roll", "Rock 'n' Roll", "", true},
        {"tital text", "Titel", "Text", false}, // a word across title and text is not a word
        {"eltex", "Titel", "Text", false},
    };
    for (const auto& n : notes)
        EXPECT_EQ(NoteMatches(n.term, n.title, n.text), n.found)
            << S(n.term) << " / " << S(n.title) << " / " << S(n.text);
}

TEST(SearchRules, MarksStandWhereTheWordsStandInTheTextAsGiven) {
    using R = std::vector<std::pair<int, int>>;
    EXPECT_EQ(MatchRanges("Die Straße und die STRASSE", "strasse"), R({{4, 6}, {19, 7}}));
    EXPECT_EQ(MatchRanges("Die Straße und die STRASSE", "straße"), R({{4, 6}, {19, 7}}));
    EXPECT_EQ(MatchRanges("Weiß und Käse", "käse weiss"), R({{0, 4}, {9, 4}}));
    EXPECT_EQ(MatchRanges("Maßband", "ssb"), R({{2, 2}})) << "half of ß marks the ß";
    EXPECT_EQ(MatchRanges("aaa", "a aa"), R({{0, 3}})) << "overlaps joined";
    EXPECT_EQ(MatchRanges("x\U00010400y", "\U00010428"), R({{1, 2}}));
    EXPECT_EQ(MatchRanges("Text", ""), R());
    EXPECT_EQ(MatchRanges("Text", "nichts"), R());
}

TEST(SearchRules, TheStatementKeepsTheFirstReleasesConditionAndSpellsSharpS) {
    EXPECT_EQ(SearchStatement(""), "select * from tblnotizen");
    EXPECT_EQ(SearchStatement("  "), "select * from tblnotizen");
    const QString kauf = SearchStatement("kauf");
    EXPECT_TRUE(
        kauf.startsWith("select * from tblnotizen where ((Upper(tblnotizen.titel) like Upper('kauf')) or "
                        " bemerkung containing 'kauf') or "))
        << S(kauf);
    const QString quoted = SearchStatement("it's");
    EXPECT_TRUE(quoted.contains("like Upper('it''s')) or  bemerkung containing 'it''s')")) << S(quoted);
    EXPECT_TRUE(quoted.contains("titel containing 'it''s' or bemerkung containing 'it''s'")) << S(quoted);
    const QString street = SearchStatement("Strasse Weiß");
    for (const char* spelling : {"'Strasse'", "'straße'", "'straẞe'", "'Weiß'", "'Weiss'", "'Weiẞ'"})
        EXPECT_TRUE(street.contains(QStringLiteral("bemerkung containing ") + QString::fromUtf8(spelling)))
            << spelling << " in " << S(street);
    EXPECT_EQ(street.count(" and "), 1) << S(street);
    // A word that begins or ends with s may meet half of a ß.
    EXPECT_TRUE(SearchStatement("s").contains("containing 'ß'"));
    // Many s stay a statement of reasonable length.
    EXPECT_LT(SearchStatement("ssssssssssssssssssss").size(), 4000);
}
