// Drafts on disk: what was typed comes back exactly, only this account can read it, a draft
// that holds nothing of its own goes, a broken file is no draft, two databases keep theirs apart.
#include "store/DraftStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
unsigned Mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}
} // namespace

TEST(DraftStore, KeepsWhatWasTypedPrivatelyAndPerDatabase) {
    QTemporaryDir home;
    const QString dir = home.filePath("data/zettelwerk");
    const TDraftStore store(dir, "/home/anna/.local/share/zettelwerk/notizen.gdb");
    const TDraftStore other(dir, "notizserver:/srv/notizen.gdb");

    TDraft typed;
    typed.title = QString::fromUtf8("Grüße \"zitiert\" \\ ");
    typed.text = QString::fromUtf8("Zeile\r\n\tmit Tab\u00a0und 🦉\r\n");
    EXPECT_EQ(store.Save(typed), QString());
    const std::optional<TDraft> back = store.Load(0);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title, typed.title);
    EXPECT_EQ(back->text, typed.text);
    EXPECT_TRUE(back->written.isValid());
    EXPECT_FALSE(other.Load(0)) << "another database's window";

    const QString file =
        QDir(dir).filePath(DraftFileName("/home/anna/.local/share/zettelwerk/notizen.gdb", 0));
    EXPECT_EQ(Mode(file), 0600u);
    EXPECT_EQ(Mode(dir), 0700u);

    // A list draft: kept while it differs from what the edit began with.
    TDraft edit{42, "Neu", "Text", "Alt", "Text", {}};
    EXPECT_EQ(store.Save(edit), QString());
    EXPECT_EQ(store.NoteIds(), QList<qint64>{42});
    EXPECT_EQ(store.Load(42)->baseTitle, "Alt");
    edit.title = "Alt";
    EXPECT_EQ(store.Save(edit), QString());
    EXPECT_FALSE(store.Load(42)) << "back to the stored note: nothing to keep";

    // Emptied fields remove the new-note draft; a broken file is no draft.
    EXPECT_EQ(store.Save(TDraft{}), QString());
    EXPECT_FALSE(store.Load(0));
    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("{\"format\": \"zettelwerk-entwurf-1\", \"notiz\": ");
    broken.close();
    EXPECT_FALSE(store.Load(0));
    EXPECT_EQ(DecodeDraft(EncodeDraft(TDraft{7, "a", "b", "c", "d", {}}))->baseText, "d");
}
