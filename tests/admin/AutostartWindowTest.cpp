// The autostart group of the administration window: refresh, the choice-button rule and
// the chain of operations, against the in-memory list and against XDG desktop files.
#include "AdminFixture.h"
#include "platform/linux/XdgAutostart.h"
#include "ui/WindowShow.h"
#include "update/TfrmUpdate.h"

#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

class AutostartWindowTest : public AdminFixture {
protected:
    QString Caption() const { return window->GroupBoxAutostart->title(); }
    bool AutostartSelected() const { return window->RadioButtonAutostart->isChecked(); }
    bool KeinSelected() const { return window->RadioButtonKeinAutostart->isChecked(); }
    const QString exe = QCoreApplication::applicationFilePath();
};

TEST_F(AutostartWindowTest, DesignState) {
    EXPECT_EQ(window->windowTitle(), "Verwaltung");
    EXPECT_EQ(window->property("helpContext").toInt(), 1005);
    EXPECT_EQ(Caption(), "Autostart");
    EXPECT_TRUE(AutostartSelected());
    EXPECT_FALSE(KeinSelected());
    EXPECT_EQ(window->RadioButtonAutostart->text(), "automatisch starten");
    EXPECT_EQ(window->RadioButtonKeinAutostart->text(), "nicht automatisch starten");
    EXPECT_EQ(window->BtnBackup->text(), "    Backup");
    EXPECT_EQ(window->BtnRestore->text(), "    Restore");
    EXPECT_EQ(window->BtnUpdate->text(), "    Update");
    EXPECT_EQ(autostart.Accesses(), 0); // nothing is read before the window is shown
}

TEST_F(AutostartWindowTest, ShowingWithEntryAndEnableSelectedOnlyReads) {
    autostart.entries["Zettelwerk"] = "/elsewhere/zettelwerk";
    window->show();
    EXPECT_EQ(Caption(), "Autostart derzeit AKTIV");
    EXPECT_TRUE(AutostartSelected());
    EXPECT_EQ(autostart.writes + autostart.removes, 0);
    EXPECT_EQ(autostart.entries["Zettelwerk"], "/elsewhere/zettelwerk");
}

TEST_F(AutostartWindowTest, EntryAddedElsewhereIsOverwrittenOnShow) {
    window->RadioButtonKeinAutostartClick(); // the list is empty: not active
    ASSERT_TRUE(KeinSelected());
    autostart.writes = autostart.removes = 0;
    autostart.entries["Zettelwerk"] = "/elsewhere/zettelwerk";
    window->show();
    EXPECT_EQ(Caption(), "Autostart derzeit AKTIV");
    EXPECT_TRUE(AutostartSelected());
    EXPECT_EQ(autostart.writes, 1);
    EXPECT_EQ(autostart.entries["Zettelwerk"], exe);
}

TEST_F(AutostartWindowTest, FirstShowWithoutEntryDisablesOnce) {
    window->show();
    EXPECT_EQ(Caption(), "Autostart derzeit NICHT AKTIV");
    EXPECT_TRUE(KeinSelected());
    EXPECT_EQ(autostart.removes, 1);
    EXPECT_EQ(autostart.writes, 0);
    // Showing again finds everything right.
    window->hide();
    window->show();
    EXPECT_EQ(autostart.removes, 1);
}

TEST_F(AutostartWindowTest, OperationsCalledDirectly) {
    // "Ja" before the window was shown: one write, the selection is already right.
    window->RadioButtonAutostartClick();
    EXPECT_EQ(autostart.writes, 1);
    EXPECT_EQ(autostart.removes, 0);
    EXPECT_EQ(autostart.entries.value("Zettelwerk"), exe);
    EXPECT_EQ(Caption(), "Autostart derzeit AKTIV");

    // "Nein": the delete, then its refresh selects the other button, which deletes once more.
    window->RadioButtonKeinAutostartClick();
    EXPECT_EQ(autostart.removes, 2);
    EXPECT_FALSE(autostart.entries.contains("Zettelwerk"));
    EXPECT_EQ(Caption(), "Autostart derzeit NICHT AKTIV");
    EXPECT_TRUE(KeinSelected());
}

TEST_F(AutostartWindowTest, ClickingTheSelectedButtonTouchesNothing) {
    window->show();
    const int before = autostart.Accesses();
    window->RadioButtonKeinAutostart->click();
    EXPECT_EQ(autostart.Accesses(), before);

    // Clicking the other one runs its operation.
    window->RadioButtonAutostart->click();
    EXPECT_EQ(autostart.writes, 1);
    EXPECT_EQ(Caption(), "Autostart derzeit AKTIV");
    window->RadioButtonKeinAutostart->click();
    EXPECT_FALSE(autostart.entries.contains("Zettelwerk"));
    EXPECT_EQ(Caption(), "Autostart derzeit NICHT AKTIV");
}

TEST_F(AutostartWindowTest, ListThatCannotBeWritten) {
    autostart.entries["Zettelwerk"] = "/x";
    autostart.writable = false;
    window->show(); // shown as not active, without a message
    EXPECT_EQ(Caption(), "Autostart derzeit NICHT AKTIV");
    EXPECT_TRUE(dialogs.empty());

    try {
        window->RadioButtonAutostartClick();
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Zettelwerk'");
    }

    // Through the button, the error display shows it.
    window->RadioButtonAutostart->click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
    EXPECT_EQ(dialogs[0].text, "Failed to set data for 'Zettelwerk'");
}

TEST_F(AutostartWindowTest, UpdateButtonShowsTheUpdateWindowModally) {
    TfrmUpdate update(*dm);
    showUpdateWindow = [&update] { ShowModal(&update); };
    bool wasModal = false;
    QTimer::singleShot(0, &update, [&] {
        wasModal = update.isVisible() && update.isModal();
        update.reject();
    });
    window->BtnUpdate->click();
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(update.isVisible());
}

// The same rules against desktop files in a temporary config home.
class XdgAutostartWindowTest : public AutostartWindowTest {
protected:
    void SetUp() override {
        AutostartWindowTest::SetUp();
        SetAutostart(nullptr);
        saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    }
    void TearDown() override {
        qputenv("XDG_CONFIG_HOME", saved);
        AutostartWindowTest::TearDown();
    }
    QString Entry() const { return home.path() + "/autostart/Zettelwerk.desktop"; }
    QTemporaryDir home;
    QByteArray saved;
};

TEST_F(XdgAutostartWindowTest, DisablingCreatesTheFolderAndEnablingWritesTheEntry) {
    window->show();
    EXPECT_TRUE(QDir(home.path() + "/autostart").exists());
    EXPECT_FALSE(QFile::exists(Entry()));
    EXPECT_EQ(Caption(), "Autostart derzeit NICHT AKTIV");

    window->RadioButtonAutostart->click();
    EXPECT_EQ(Caption(), "Autostart derzeit AKTIV");
    EXPECT_EQ(SystemAutostart().Read("Zettelwerk"), exe);
    EXPECT_TRUE(Content(Entry()).startsWith("[Desktop Entry]\n"));

    window->RadioButtonKeinAutostart->click();
    EXPECT_FALSE(QFile::exists(Entry()));
}

TEST_F(XdgAutostartWindowTest, AnotherCopysEntryCountsUntilEnabled) {
    window->RadioButtonKeinAutostartClick();
    ASSERT_TRUE(KeinSelected());
    QFile f(Entry());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Desktop Entry]\nType=Application\nExec=\"/other copy/zettelwerk\"\n");
    f.close();
    window->show();
    EXPECT_EQ(Caption(), "Autostart derzeit AKTIV");
    EXPECT_EQ(SystemAutostart().Read("Zettelwerk"), exe);
}

TEST_F(XdgAutostartWindowTest, FolderTakenByAFile) {
    QFile f(home.path() + "/autostart");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    window->show();
    EXPECT_EQ(Caption(), "Autostart derzeit NICHT AKTIV");
    EXPECT_TRUE(dialogs.empty());
    window->RadioButtonAutostart->click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Failed to set data for 'Zettelwerk'");
    // The failed enable ran no refresh: the caption stays.
    EXPECT_EQ(Caption(), "Autostart derzeit NICHT AKTIV");
}
