// The help hook: start checks, request routing, F1, "&Help" buttons and the trace file.
#include "app/THelpHook.h"
#include "common/TempDatabase.h"
#include "notes/TfrmSuchen.h"
#include "platform/fake/FakeHelpViewer.h"
#include "store/TDataModuleNotizen.h"
#include "ui/MessageDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <vector>

namespace {

QStringList ReadLines(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void Touch(const QString& file) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

void PressF1(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

class HelpHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(exeDir.isValid());
        SetDialogAnswerer([this](const TDialogRequest& r) {
            dialogs.push_back(r);
            return answers.empty() ? TModalResult::OK : Next();
        });
    }
    void TearDown() override {
        StopHelp();
        SetDialogAnswerer({});
        SetHelpRequestHandler({});
    }
    TModalResult Next() {
        const TModalResult a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    QString Dir() const { return exeDir.path() + "/"; }
    QString HelpFile() const { return Dir() + "zettelwerk.chm"; }
    THelpHook* Start(QStringList arguments = {}) { return StartHelp({Dir(), arguments, &viewer}); }
    QStringList DialogTexts() const {
        QStringList texts;
        for (const auto& d : dialogs)
            texts << d.text;
        return texts;
    }

    QTemporaryDir exeDir;
    TFakeHelpViewer viewer;
    std::vector<TDialogRequest> dialogs;
    std::vector<TModalResult> answers;
};

TEST(HelpRules, CommandNames) {
    const std::pair<int, const char*> names[] = {{1, "HELP_CONTEXT"},
                                                 {2, "HELP_QUIT"},
                                                 {3, "HELP_INDEX or HELP_CONTENTS"},
                                                 {4, "HELP_HELPONHELP"},
                                                 {5, "HELP_SETINDEX or HELP_SETCONTENTS"},
                                                 {8, "HELP_CONTEXTPOPUP"},
                                                 {9, "HELP_FORCEFILE"},
                                                 {10, "HELP_CONTEXTMENU"},
                                                 {11, "HELP_FINDER"},
                                                 {12, "HELP_WM_HELP"},
                                                 {13, "HELP_SETPOPUP_POS"},
                                                 {257, "HELP_KEY"},
                                                 {258, "HELP_COMMAND"},
                                                 {261, "HELP_PARTIALKEY"},
                                                 {513, "HELP_MULTIKEY"},
                                                 {515, "HELP_SETWINPOS"},
                                                 {6, "??"},
                                                 {0, "??"},
                                                 {-1, "??"},
                                                 {514, "??"}};
    for (const auto& [command, name] : names)
        EXPECT_EQ(HelpCommandName(command), name) << command;
}

TEST(HelpRules, TargetHasBlanksForPercentTwentyAndNoOuterBlanks) {
    EXPECT_EQ(PrepareHelpTarget("/opt/Mein%20Programm/zettelwerk.chm", ""),
              "/opt/Mein Programm/zettelwerk.chm");
    EXPECT_EQ(PrepareHelpTarget("  %20/a%20%20b.chm%20 ", ""), "/a  b.chm");
    EXPECT_EQ(PrepareHelpTarget("/a.chm", "main"), "/a.chm>main");
    EXPECT_EQ(PrepareHelpTarget("", ""), "");
}

TEST(HelpRules, ViewerVersionLevel) {
    EXPECT_FALSE(HelpViewerVersionSufficient({4, 72, 0, 0}));
    EXPECT_FALSE(HelpViewerVersionSufficient({3, 99, 9, 9}));
    EXPECT_FALSE(HelpViewerVersionSufficient({0, 0, 0, 0}));
    EXPECT_TRUE(HelpViewerVersionSufficient({4, 73, 0, 0}));
    EXPECT_TRUE(HelpViewerVersionSufficient({4, 74, 0, 0}));
    EXPECT_TRUE(HelpViewerVersionSufficient({5, 0, 0, 0}));
}

TEST_F(HelpHookTest, MissingHelpFileIsReportedAndStartGoesOn) {
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Hilfe-Datei nicht gefunden\n" + HelpFile());
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Custom);
    EXPECT_EQ(dialogs[0].buttons, mbOK);
    // Requests still go to the viewer with the missing path.
    ShowHelpContext(1001);
    ASSERT_EQ(viewer.requests.size(), 1);
    EXPECT_EQ(viewer.requests[0].target, HelpFile());
}

TEST_F(HelpHookTest, ViewerVersionCheckAtStart) {
    Touch(HelpFile());
    const QString message =
        QString::fromUtf8("Diese Anwendung erfordert die Installation der MS HTML Help 1.2 oder höher");
    struct {
        std::optional<TFixedVersion> version;
        bool loaded;
        bool warned;
    } const cases[] = {{TFixedVersion{4, 72, 0, 0}, true, true},
                       {TFixedVersion{4, 73, 0, 0}, true, false},
                       {TFixedVersion{5, 0, 0, 0}, true, false},
                       {std::nullopt, true, true},
                       {TFixedVersion{4, 74, 0, 0}, false, true}};
    for (const auto& c : cases) {
        dialogs.clear();
        viewer.version = c.version;
        viewer.loaded = c.loaded;
        Start();
        EXPECT_EQ(DialogTexts(), c.warned ? QStringList{message} : QStringList{})
            << (c.version ? c.version->Text().toStdString() : "none");
    }
}

TEST_F(HelpHookTest, ContextRequestsReachTheViewer) {
    Touch(HelpFile());
    THelpHook* hook = Start();
    EXPECT_TRUE(hook->HelpHook(HELP_CONTEXT, 1003));
    EXPECT_TRUE(hook->HelpHook(HELP_CONTEXTPOPUP, 1004));
    EXPECT_TRUE(hook->HelpHook(HELP_SETPOPUP_POS, 12345)); // handled, no effect
    EXPECT_TRUE(hook->HelpHook(HELP_QUIT, 0));
    ASSERT_EQ(viewer.requests.size(), 2);
    EXPECT_EQ(viewer.requests[0].context, 1003);
    EXPECT_EQ(viewer.requests[1].context, 1004);
    EXPECT_TRUE(viewer.Window()->isVisible());
    EXPECT_TRUE(dialogs.empty());

    viewer.returnWindow = false; // no window: nothing reported, still shown
    EXPECT_EQ(hook->ShowHelpContext(1001), kHelpShown);
    EXPECT_TRUE(dialogs.empty());

    HelpCloseAll();
    EXPECT_EQ(viewer.closeAllCount, 1);
}

TEST_F(HelpHookTest, PathWithPercentTwentyIsShownWithBlanks) {
    QDir(exeDir.path()).mkdir("Mein%20Ordner");
    THelpHook hook(Dir() + "Mein%20Ordner/zettelwerk.chm", "", hsHtmlHelpApi, viewer, nullptr);
    hook.HelpHook(HELP_CONTEXT, 1002);
    ASSERT_EQ(viewer.requests.size(), 1);
    EXPECT_EQ(viewer.requests[0].target, Dir() + "Mein Ordner/zettelwerk.chm");
}

TEST_F(HelpHookTest, ViewerWithoutVersionOrNotLoadedIsNeverCalled) {
    Touch(HelpFile());
    for (bool hasVersion : {false, true}) {
        viewer.version = hasVersion ? std::optional<TFixedVersion>(TFixedVersion{4, 74, 0, 0}) : std::nullopt;
        viewer.loaded = !hasVersion;
        Start();
        dialogs.clear();
        ShowHelpContext(1005);
        EXPECT_TRUE(viewer.requests.isEmpty());
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0].text, "MS Html Help is not installed on this PC.");
        EXPECT_EQ(dialogs[0].caption, "Zettelwerk");
        EXPECT_EQ(dialogs[0].type, TMsgDlgType::Warning);
        EXPECT_EQ(dialogs[0].buttons, mbOK);
    }
    HelpCloseAll(); // not loaded: the viewer is not asked
    EXPECT_EQ(viewer.closeAllCount, 0);
}

TEST_F(HelpHookTest, F1ClimbsToTheNearestWindowWithAContext) {
    Touch(HelpFile());
    Start();
    QWidget window;
    window.setProperty("helpContext", 1003);
    auto* layout = new QVBoxLayout(&window);
    auto* inner = new QWidget(&window);
    layout->addWidget(inner);
    auto* edit = new QLineEdit(inner);
    window.show();
    edit->setFocus();

    PressF1(edit);
    ASSERT_EQ(viewer.requests.size(), 1);
    EXPECT_EQ(viewer.requests[0].context, 1003);

    inner->setProperty("helpContext", 1006); // the nearest wins
    PressF1(edit);
    ASSERT_EQ(viewer.requests.size(), 2);
    EXPECT_EQ(viewer.requests[1].context, 1006);

    QKeyEvent shifted(QEvent::KeyPress, Qt::Key_F1, Qt::ShiftModifier);
    QApplication::sendEvent(edit, &shifted);
    QLineEdit loose; // no context anywhere: F1 stays an ordinary key
    PressF1(&loose);
    EXPECT_EQ(viewer.requests.size(), 2);
}

TEST_F(HelpHookTest, HelpButtonOpensTheTopicAndTheDialogStaysOpen) {
    Touch(HelpFile());
    Start();
    answers = {TModalResult::Help, TModalResult::Yes};
    const TModalResult result = MessageDlg("Soll ein Backup erstellt werden?", TMsgDlgType::Confirmation,
                                           mbYes | mbNo | mbHelp, 1005);
    EXPECT_EQ(result, TModalResult::Yes);
    ASSERT_EQ(viewer.requests.size(), 1);
    EXPECT_EQ(viewer.requests[0].context, 1005);
    EXPECT_EQ(dialogs.size(), 2u); // asked again after "&Help"
}

TEST_F(HelpHookTest, TraceModeWritesHeaderAndEventLines) {
    Touch(Dir() + "debug.debug");
    Touch(HelpFile());
    Start();
    ShowHelpContext(1003);
    viewer.version.reset();
    Start();
    ShowHelpContext(1004);

    const QStringList lines = ReadLines(Dir() + "HelpDebug.txt");
    ASSERT_GT(lines.size(), 6);
    EXPECT_EQ(lines[0], QString(80, u'='));
    const qsizetype closing = lines.indexOf(QString(80, u'='), 1);
    ASSERT_GT(closing, 1);
    EXPECT_TRUE(lines.mid(1, closing - 1).join('\n').contains("Help viewer installed: False"));

    QStringList events;
    for (const QString& line : lines.mid(closing + 1)) {
        EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d   ").match(line).hasMatch())
            << line.toStdString();
        events << line.mid(11);
    }
    // The second start removed the first trace.
    EXPECT_EQ(events, (QStringList{
                          QString("THelpHook.Create(\"%1\",\"\", 0)").arg(HelpFile()),
                          "THelpHook.HelpHook(1 (HELP_CONTEXT), 1004)",
                          QString("ShowHelpContext(\"%1\", 1004, \"\", 0)").arg(HelpFile()),
                          QString("ShowContext(\"%1\", 1004)").arg(HelpFile()),
                          "  returned - 1",
                          "ShowHelpError(1), \"MS Html Help is not installed on this PC.\"",
                      }));
}

TEST_F(HelpHookTest, TraceSwitchesOnTheCommandLine) {
    for (const char* arg : {"/debug", "-DEBUG", "/Debug"}) {
        THelpTrace trace(Dir(), {"x", arg});
        EXPECT_TRUE(trace.Enabled()) << arg;
    }
    EXPECT_FALSE(THelpTrace(Dir(), {"debug", "--debug"}).Enabled());
    EXPECT_EQ(THelpTrace(Dir(), {}).FileName(), Dir() + "HelpDebug.txt");
}

TEST_F(HelpHookTest, EveryStartDeletesAnOldTraceEvenWithoutTraceMode) {
    const QString trace = Dir() + "HelpDebug.txt";
    Touch(trace);
    QFile::setPermissions(trace, QFile::ReadOwner); // read-only is cleared first
    THelpTrace t(Dir(), {});
    EXPECT_FALSE(t.Enabled());
    EXPECT_FALSE(QFile::exists(trace));
    t.Line("nothing");
    EXPECT_FALSE(QFile::exists(trace));
    EXPECT_FALSE(QFile::exists(Dir() + "$_Temp_$.$$$"));
}

TEST_F(HelpHookTest, TraceGoesToTheTemporaryDirectoryWhenTheProgramDirectoryIsNotWritable) {
    const THelpTrace trace(Dir() + "fehlt/nirgends/", {});
    EXPECT_EQ(trace.FileName(), QDir::tempPath() + "/HelpDebug.txt");
}

TEST_F(HelpHookTest, F1InTheNotesListOpensItsTopic) {
    TTempDatabase db;
    TDataModuleNotizen dm(db.Directory());
    ASSERT_TRUE(dm.DataModuleCreate()) << dm.LastConnectError().toStdString();
    {
        TfrmSuchen suchen(dm);
        Start();
        suchen.show();
        suchen.EditSuchen->setFocus();
        PressF1(suchen.EditSuchen);
        ASSERT_EQ(viewer.requests.size(), 1);
        EXPECT_EQ(viewer.requests[0].context, 1003);
    }
}

} // namespace
