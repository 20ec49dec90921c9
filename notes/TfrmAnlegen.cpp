#include "notes/TfrmAnlegen.h"

#include "notes/DraftKeeper.h"
#include "notes/NoteRules.h"
#include "store/TDataModuleNotizen.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/QuitWatch.h"
#include "ui/Shortcuts.h"
#include "ui/WindowLook.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QToolBar>

namespace {
// Client positions below the 43-pixel toolbar strip.
constexpr int kStrip = 43;
} // namespace

TfrmAnlegen::TfrmAnlegen(TDataModuleNotizen& dataModule, const TDraftStore* drafts, QWidget* parent)
    : QMainWindow(parent), dm_(dataModule) {
    setObjectName("frmAnlegen");
    setWindowTitle(QStringLiteral("Notiz erfassen"));
    setProperty("helpContext", kHelpContext);
    WatchApplicationQuit();
    ApplyWindowLook(this);
    resize(636, 295);
    move(261, 215);

    ToolBarSave = MakeToolBar(this, QStringLiteral("Save"));
    ToolBarSave->setObjectName("ToolBarSave");
    addToolBar(Qt::TopToolBarArea, ToolBarSave);
    BtnSave = ToolBarSave->addAction(ImageListMain::Icon(imgSave), QString());
    BtnSave->setObjectName("BtnSave");
    SetShortcut(BtnSave, QKeySequence(Qt::CTRL | Qt::Key_S), QStringLiteral("Notiz sichern"));
    addAction(BtnSave); // also when the toolbar floats
    connect(BtnSave, &QAction::triggered, this, Guarded([this] { BtnSaveClick(); }));
    AddWindowShortcut(this, QKeySequence(Qt::Key_Escape), [this] { close(); }); // asks as any close

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);

    LabelTitel = new QLabel(QStringLiteral("Titel"), client);
    LabelTitel->setObjectName("LabelTitel");
    LabelTitel->move(8, 48 - kStrip);
    LabelTitel->adjustSize();

    EditTitel = new QLineEdit(client);
    EditTitel->setObjectName("EditTitel");
    EditTitel->setGeometry(6, 64 - kStrip, 617, 21);
    EditTitel->setMaxLength(kTitleMaxLength); // also cuts pasted text
    EditTitel->setToolTip(QStringLiteral("Titel eingeben (max. 50 Zeichen)"));

    LabelNotiz = new QLabel(QStringLiteral("Notiz"), client);
    LabelNotiz->setObjectName("LabelNotiz");
    LabelNotiz->move(8, 96 - kStrip);
    LabelNotiz->adjustSize();

    Memo = new QPlainTextEdit(client);
    Memo->setObjectName("Memo");
    Memo->setGeometry(6, 112 - kStrip, 617, 153);
    Memo->setTabChangesFocus(false); // Tab inserts a tab, Enter a line break
    Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo->setToolTip(QStringLiteral("Bemerkungstext eingeben (unbegrenzte Länge)"));
    setTabOrder(EditTitel, Memo);

    StatusBarMain = new TConnectionStatusBar(this, true);
    StatusBarMain->setObjectName("StatusBarMain");
    setStatusBar(StatusBarMain);

    drafts_ = new TDraftKeeper(
        drafts,
        [this] {
            TDraft draft;
            draft.title = EditTitel->text();
            draft.text = MemoText();
            return std::optional<TDraft>(draft);
        },
        this);
    auto typed = [this] {
        if (!filling_)
            drafts_->Changed();
    };
    connect(EditTitel, &QLineEdit::textChanged, this, typed);
    connect(Memo, &QPlainTextEdit::textChanged, this, typed);
}

QString TfrmAnlegen::MemoText() const {
    return MemoTextToStored(Memo->document()->toRawText());
}

void TfrmAnlegen::FormShow() {
    // What was typed and not saved before the program or the session ended comes back.
    const std::optional<TDraft> draft = drafts_->Load(0);
    filling_ = true;
    EditTitel->setText(draft ? draft->title : QString());
    Memo->setPlainText(draft ? StoredTextToMemo(draft->text) : QString());
    filling_ = false;
    StatusBarMain->SetText(draft ? DraftRestoredText(draft->written) : QString());
    EditTitel->setFocus();
}

void TfrmAnlegen::BtnSaveClick() {
    {
        TDbWaitCursor wait;
        dm_.SaveNewNote(EditTitel->text(), MemoText());
    }
    drafts_->Discard(0);
    filling_ = true;
    EditTitel->clear();
    Memo->clear();
    filling_ = false;
    StatusBarMain->SetText(QString());
    close();
}

bool TfrmAnlegen::FormCloseQuery() {
    if (EditTitel->text().isEmpty() && Memo->document()->isEmpty())
        return true;
    const TModalResult answer = MessageDlg(QStringLiteral("Die Notizdaten wurden noch nicht gespeichert.\n"
                                                          "Fenster ohne zu speichern schließen?"),
                                           TMsgDlgType::Confirmation, mbYes | mbNo);
    if (answer == TModalResult::No)
        return false;
    drafts_->Discard(0); // given up on purpose
    return true;
}

void TfrmAnlegen::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmAnlegen::closeEvent(QCloseEvent* event) {
    if (ApplicationQuitting() || FormCloseQuery()) // the program's end asks nothing
        event->accept();
    else
        event->ignore();
}
