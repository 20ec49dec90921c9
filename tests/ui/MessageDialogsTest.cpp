#include "ui/MessageDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `act` on the modal dialog once it is up; gives up after a bounded number of tries.
void WhenDialogShows(std::function<void(QDialog*)> act) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, tries, poll] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (d && d->isVisible()) {
            act(d);
            return;
        }
        if (++*tries < 200)
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

QPushButton* Button(QDialog* d, const QString& caption) {
    for (auto* b : d->findChildren<QPushButton*>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

void PressKey(QDialog* d, int key) {
    QWidget* target = d->focusWidget() ? d->focusWidget() : d;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

struct Rule {
    int buttons;
    TModalResult def;
    TModalResult escape;
};

class MessageDialogs : public ::testing::Test {
protected:
    void SetUp() override { SetDialogAnswerer({}); }
    void TearDown() override {
        SetDialogAnswerer({});
        SetHelpRequestHandler({});
    }
};

} // namespace

TEST_F(MessageDialogs, DefaultEscapeAndCloseBoxRulesPerButtonSet) {
    const Rule rules[] = {
        {mbOK, TModalResult::OK, TModalResult::OK},
        {mbOK | mbCancel, TModalResult::OK, TModalResult::Cancel},
        {mbYes | mbNo, TModalResult::Yes, TModalResult::No},
        {mbYes | mbNo | mbCancel, TModalResult::Yes, TModalResult::Cancel},
        {mbYes | mbNo | mbHelp, TModalResult::Yes, TModalResult::No},
        {mbOK | mbHelp, TModalResult::OK, TModalResult::OK},
        {mbYes | mbNo | mbOK | mbCancel, TModalResult::OK, TModalResult::Cancel},
    };
    for (const Rule& r : rules) {
        EXPECT_EQ(DefaultResult(r.buttons), r.def) << r.buttons;
        EXPECT_EQ(EscapeResult(r.buttons), r.escape) << r.buttons;
        EXPECT_EQ(CloseBoxResult(r.buttons), TModalResult::Cancel) << r.buttons;
    }
}

TEST_F(MessageDialogs, CaptionsFollowTheKind) {
    EXPECT_EQ(DialogCaption(TMsgDlgType::Confirmation), "Confirm");
    EXPECT_EQ(DialogCaption(TMsgDlgType::Information), "Information");
    EXPECT_EQ(DialogCaption(TMsgDlgType::Warning), "Warning");
    EXPECT_EQ(DialogCaption(TMsgDlgType::Error), "Error");
    EXPECT_EQ(DialogCaption(TMsgDlgType::Custom), "Zettelwerk");

    QList<TDialogRequest> seen;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        seen << r;
        return TModalResult::OK;
    });
    MessageDlg("frage", TMsgDlgType::Confirmation, mbYes | mbNo, 1005);
    ShowMessage("hinweis");
    SystemMessageBox("fertig", "Fehler");
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0].caption, "Confirm");
    EXPECT_EQ(seen[0].buttons, mbYes | mbNo);
    EXPECT_EQ(seen[0].helpContext, 1005);
    EXPECT_EQ(seen[1].caption, "Zettelwerk");
    EXPECT_EQ(seen[1].type, TMsgDlgType::Custom);
    EXPECT_EQ(seen[1].buttons, int(mbOK));
    EXPECT_EQ(seen[2].caption, "Fehler");
    EXPECT_EQ(seen[2].type, TMsgDlgType::Custom);
}

TEST_F(MessageDialogs, AnswererPressingHelpAsksAgain) {
    QList<int> helped;
    SetHelpRequestHandler([&](int c) { helped << c; });
    int calls = 0;
    SetDialogAnswerer(
        [&](const TDialogRequest&) { return ++calls < 3 ? TModalResult::Help : TModalResult::Yes; });
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Confirmation, mbYes | mbNo | mbHelp, 1005), TModalResult::Yes);
    EXPECT_EQ(helped, (QList<int>{1005, 1005}));
}

TEST_F(MessageDialogs, RealDialogButtonsCaptionAndIcon) {
    QStringList captions;
    QString title;
    bool hasIcon = false;
    QPoint centreOffset;
    WhenDialogShows([&](QDialog* d) {
        for (auto* b : d->findChildren<QPushButton*>())
            captions << b->text();
        title = d->windowTitle();
        hasIcon = d->findChild<QLabel*>("Image") != nullptr;
        centreOffset = d->geometry().center() - QApplication::primaryScreen()->geometry().center();
        Button(d, "Cancel")->click();
    });
    EXPECT_EQ(MessageDlg("Wirklich?", TMsgDlgType::Warning, mbYes | mbNo | mbOK | mbCancel | mbHelp),
              TModalResult::Cancel);
    EXPECT_EQ(captions, (QStringList{"&Yes", "&No", "OK", "Cancel", "&Help"}));
    EXPECT_EQ(title, "Warning");
    EXPECT_TRUE(hasIcon);
    EXPECT_LE(centreOffset.manhattanLength(), 4);

    WhenDialogShows([&](QDialog* d) {
        hasIcon = d->findChild<QLabel*>("Image") != nullptr;
        title = d->windowTitle();
        Button(d, "OK")->click();
    });
    ShowMessage("Hinweis");
    EXPECT_FALSE(hasIcon);
    EXPECT_EQ(title, "Zettelwerk");
}

TEST_F(MessageDialogs, RealDialogEscapeEnterAndCloseBox) {
    struct Case {
        int buttons;
        int key; // 0: close box
        TModalResult expected;
    };
    const Case cases[] = {
        {mbYes | mbNo, Qt::Key_Escape, TModalResult::No},
        {mbYes | mbNo | mbCancel, Qt::Key_Escape, TModalResult::Cancel},
        {mbOK, Qt::Key_Escape, TModalResult::OK},
        {mbYes | mbNo, Qt::Key_Return, TModalResult::Yes},
        {mbOK | mbCancel, Qt::Key_Return, TModalResult::OK},
        {mbYes | mbNo, 0, TModalResult::Cancel},
        {mbOK, 0, TModalResult::Cancel},
    };
    for (const Case& c : cases) {
        WhenDialogShows([&](QDialog* d) {
            if (c.key)
                PressKey(d, c.key);
            else
                d->close();
        });
        EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, c.buttons), c.expected)
            << c.buttons << " key " << c.key;
    }
}

TEST_F(MessageDialogs, RealHelpButtonRequestsHelpAndStaysOpen) {
    QList<int> helped;
    SetHelpRequestHandler([&](int c) { helped << c; });
    bool stillOpen = false;
    WhenDialogShows([&](QDialog* d) {
        Button(d, "&Help")->click();
        QTimer::singleShot(20, d, [&, d] {
            stillOpen = d->isVisible();
            Button(d, "&No")->click();
        });
    });
    EXPECT_EQ(MessageDlg("Sichern?", TMsgDlgType::Confirmation, mbYes | mbNo | mbHelp, 1005),
              TModalResult::No);
    EXPECT_EQ(helped, QList<int>{1005});
    EXPECT_TRUE(stillOpen);
}

TEST_F(MessageDialogs, DetailsGoToTheAnswererAndToStandardErrorBesideTheUnchangedText) {
    TDialogRequest seen;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        seen = r;
        return TModalResult::OK;
    });
    ::testing::internal::CaptureStderr();
    MessageDlg("Kritischer Fehler\nwird beendet ...", TMsgDlgType::Custom, mbOK, 0, "Zeile eins\nZeile zwei");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(seen.text, "Kritischer Fehler\nwird beendet ...");
    EXPECT_EQ(seen.details, "Zeile eins\nZeile zwei");
    EXPECT_NE(err.find("Zettelwerk: Kritischer Fehler wird beendet ...\n  Zeile eins\n  Zeile zwei\n"),
              std::string::npos)
        << err;

    ::testing::internal::CaptureStderr();
    SystemMessageBox("Fehlt", "Fehler", "HTTP 404");
    EXPECT_EQ(seen.details, "HTTP 404");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Fehler: Fehlt\n  HTTP 404"), std::string::npos);

    ::testing::internal::CaptureStderr();
    ShowMessage("Nur ein Hinweis");
    EXPECT_TRUE(seen.details.isEmpty());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "nothing to report without details";
}

TEST_F(MessageDialogs, RealDialogShowsTheDetailsOnlyOnDemand) {
    bool hiddenAtFirst = false, shownAfterClick = false, hiddenAgain = false;
    QString shownText, caption;
    WhenDialogShows([&](QDialog* d) {
        auto* details = d->findChild<QPlainTextEdit*>("DetailedText");
        auto* toggle = d->findChild<QPushButton*>("Details");
        if (!details || !toggle) {
            Button(d, "OK")->click();
            return;
        }
        hiddenAtFirst = !details->isVisible();
        toggle->click();
        shownAfterClick = details->isVisible() && d->isVisible();
        shownText = details->toPlainText();
        caption = toggle->text();
        toggle->click();
        hiddenAgain = !details->isVisible();
        // The default button stays the result button.
        PressKey(d, Qt::Key_Return);
    });
    EXPECT_EQ(
        MessageDlg("Kritischer Fehler", TMsgDlgType::Custom, mbOK, 0, "Permission denied\n/tmp/firebird/"),
        TModalResult::OK);
    EXPECT_TRUE(hiddenAtFirst);
    EXPECT_TRUE(shownAfterClick);
    EXPECT_EQ(shownText, "Permission denied\n/tmp/firebird/");
    EXPECT_EQ(caption, "Hide Details...");
    EXPECT_TRUE(hiddenAgain);

    bool noToggle = false;
    WhenDialogShows([&](QDialog* d) {
        noToggle = !d->findChild<QPushButton*>("Details") && !d->findChild<QPlainTextEdit*>();
        Button(d, "OK")->click();
    });
    ShowMessage("Ohne Einzelheiten");
    EXPECT_TRUE(noToggle);
}
