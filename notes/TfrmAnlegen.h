#pragma once
// The new-note window: a title of at most 50 characters and a text of any length.
#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolBar;
class TConnectionStatusBar;
class TDataModuleNotizen;
class TDraftKeeper;
class TDraftStore;

class TfrmAnlegen : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kTitleMaxLength = 50;
    static constexpr int kHelpContext = 1002;

    // drafts: where unsaved text is kept; null keeps none.
    explicit TfrmAnlegen(TDataModuleNotizen& dataModule, const TDraftStore* drafts = nullptr,
                         QWidget* parent = nullptr);

    TConnectionStatusBar* StatusBar() const { return StatusBarMain; }

    // Handlers, public for the program and the tests.
    void FormShow();
    void BtnSaveClick();
    bool FormCloseQuery();

    // The memo's whole text with CR LF line breaks, as it is stored.
    QString MemoText() const;
    TDraftKeeper* Drafts() const { return drafts_; }

    QToolBar* ToolBarSave = nullptr;
    QAction* BtnSave = nullptr;
    QLabel* LabelTitel = nullptr;
    QLineEdit* EditTitel = nullptr;
    QLabel* LabelNotiz = nullptr;
    QPlainTextEdit* Memo = nullptr;
    TConnectionStatusBar* StatusBarMain = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TDataModuleNotizen& dm_;
    TDraftKeeper* drafts_ = nullptr;
    bool filling_ = false; // the window fills its fields itself: no typing
};
