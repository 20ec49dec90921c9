#include "platform/HelpViewer.h"
#include "platform/linux/ChmArchive.h"
#include "platform/linux/HelpWindowLinux.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

QString DeliveredHelpFile() {
    return QDir(qEnvironmentVariable("ZW_BIN_DIR")).filePath("zettelwerk.chm");
}

TEST(ChmArchive, ReadsTheDeliveredHelpFile) {
    TChmArchive chm;
    ASSERT_TRUE(chm.Open(DeliveredHelpFile())) << "build the target zettelwerk_chm first";
    EXPECT_EQ(chm.Title(), "Zettelwerk-Hilfe");
    EXPECT_EQ(chm.DefaultTopic(), "/hauptfenster.htm");
    EXPECT_EQ(chm.ContentsFile(), "/zettelwerk.hhc");

    const std::pair<int, const char*> map[] = {{1001, "/hauptfenster.htm"}, {1002, "/notiz_anlegen.htm"},
                                               {1003, "/notizenliste.htm"}, {1004, "/info.htm"},
                                               {1005, "/verwaltung.htm"},   {1006, "/update.htm"}};
    for (const auto& [context, topic] : map) {
        EXPECT_EQ(chm.TopicOfContext(context), topic) << context;
        const auto page = chm.Read(topic);
        ASSERT_TRUE(page.has_value()) << topic;
        EXPECT_TRUE(page->contains("<h1>")) << topic;
    }
    EXPECT_EQ(chm.TopicOfContext(4711), "");
    EXPECT_EQ(chm.ContextMap().size(), 6);

    // Every link of the contents leads to a page of the file.
    const auto hhc = chm.Read(chm.ContentsFile());
    ASSERT_TRUE(hhc.has_value());
    std::function<void(const QList<TChmContentsEntry>&)> check = [&](const QList<TChmContentsEntry>& list) {
        for (const auto& e : list) {
            if (!e.local.isEmpty()) {
                EXPECT_TRUE(chm.Read(e.local).has_value()) << e.local.toStdString();
            }
            check(e.children);
        }
    };
    check(ParseChmContents(QString::fromUtf8(*hhc)));
    EXPECT_TRUE(chm.Read("ZETTELWERK.CSS").has_value()); // letter case ignored, slash optional
    EXPECT_FALSE(chm.Read("/fehlt.htm").has_value());
}

TEST(ChmArchive, RefusesDamagedFiles) {
    QTemporaryDir dir;
    TChmArchive chm;
    EXPECT_FALSE(chm.Open(dir.filePath("missing.chm")));

    QFile junk(dir.filePath("junk.chm"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(5000, 'x'));
    junk.close();
    EXPECT_FALSE(chm.Open(junk.fileName()));
    EXPECT_FALSE(chm.IsOpen());
    EXPECT_EQ(chm.TopicOfContext(1001), "");

    // A help file cut off halfway opens or not, but never crashes nor reads beyond its end.
    QFile full(DeliveredHelpFile());
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    const QByteArray bytes = full.readAll();
    for (qsizetype cut : {qsizetype(40), qsizetype(120), bytes.size() / 2, bytes.size() - 100}) {
        QFile part(dir.filePath(QStringLiteral("cut%1.chm").arg(cut)));
        ASSERT_TRUE(part.open(QIODevice::WriteOnly));
        part.write(bytes.left(cut));
        part.close();
        TChmArchive cutChm;
        if (cutChm.Open(part.fileName()))
            for (const QString& name : cutChm.FileNames())
                (void)cutChm.Read(name);
    }
}

TEST(ChmContents, NestedListsBecomeATree) {
    const QString hhc = R"(<UL>
<LI><OBJECT type="text/sitemap"><param name="Name" value="A &amp; B"><param name="Local" value="a.htm"></OBJECT>
<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="A1"><param name="Local" value="a1.htm#x"></OBJECT>
<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="A1a"><param name="Local" value="a1a.htm"></OBJECT></UL>
</UL>
<LI><object type="text/sitemap"><param name=Name value='&#220;ber'></object>
</UL>)";
    const auto tree = ParseChmContents(hhc);
    ASSERT_EQ(tree.size(), 2);
    EXPECT_EQ(tree[0].name, "A & B");
    EXPECT_EQ(tree[0].local, "a.htm");
    ASSERT_EQ(tree[0].children.size(), 1);
    EXPECT_EQ(tree[0].children[0].local, "a1.htm#x");
    ASSERT_EQ(tree[0].children[0].children.size(), 1);
    EXPECT_EQ(tree[0].children[0].children[0].name, "A1a");
    EXPECT_EQ(tree[1].name, QString::fromUtf8("Über"));
    EXPECT_TRUE(tree[1].local.isEmpty());
    EXPECT_TRUE(ParseChmContents("</UL></UL><UL>").isEmpty());
}

TEST(LinuxHelpViewer, ShowsTheTopicOfAContextWithContentsAndHistory) {
    THelpViewer& viewer = SystemHelpViewer();
    EXPECT_TRUE(viewer.Loaded());
    ASSERT_TRUE(viewer.Version().has_value());
    EXPECT_EQ(viewer.Version()->Text(), "4.74.0.0");

    auto* window = dynamic_cast<THelpWindow*>(viewer.ShowContext(DeliveredHelpFile(), 1003));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Zettelwerk-Hilfe");
    EXPECT_EQ(window->CurrentTopic(), "/notizenliste.htm");
    EXPECT_TRUE(window->Browser()->toPlainText().contains("Notizen suchen und bearbeiten"));
    EXPECT_GE(window->Contents()->topLevelItemCount(), 4);
    EXPECT_EQ(window->Contents()->currentItem()->text(0), "Notizen suchen und bearbeiten");

    // The same window serves the next request; back and forward walk the pages.
    EXPECT_EQ(viewer.ShowContext(DeliveredHelpFile(), 1005), window);
    EXPECT_EQ(window->CurrentTopic(), "/verwaltung.htm");
    ASSERT_TRUE(window->BackAction()->isEnabled());
    window->BackAction()->trigger();
    EXPECT_EQ(window->CurrentTopic(), "/notizenliste.htm");
    window->ForwardAction()->trigger();
    EXPECT_EQ(window->CurrentTopic(), "/verwaltung.htm");

    // A context without topic still shows the window, with a page saying so.
    EXPECT_EQ(viewer.ShowContext(DeliveredHelpFile() + ">main", 999), window);
    EXPECT_TRUE(window->Browser()->toPlainText().contains("999"));

    viewer.CloseAll();
    EXPECT_EQ(viewer.ShowContext(QDir::temp().filePath("keine-hilfe.chm"), 1001), nullptr);
}

} // namespace
