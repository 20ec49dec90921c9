#pragma once
// The notes list: grid of titles, navigator and search on the left, the current note on the right.
#include "store/DraftStore.h"
#include "store/TDataModuleNotizen.h"

#include <QColor>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QDataWidgetMapper;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QTimer;
class QToolBar;
class TConnectionStatusBar;
class TDBNavigator;
class TDraftKeeper;
class TDraftStore;
class TNotizListeModel;
class TSearchIndex;

class TfrmSuchen : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1003;
    static constexpr int kMarkerWidth = 20;
    static constexpr int kSearchPauseMs = 250; // typing pause before the list follows the field
    static constexpr int kStepMs = 12;         // the longest a background step may take

    // newNote: what Ctrl+N does (the program shows the new-note window); empty: nothing.
    // drafts: where an unsaved edit is kept; null keeps none.
    explicit TfrmSuchen(TDataModuleNotizen& dataModule, std::function<void()> newNote = {},
                        const TDraftStore* drafts = nullptr, QWidget* parent = nullptr);
    ~TfrmSuchen() override;
    TSearchIndex* SearchIndex() const { return index_.get(); }

    TConnectionStatusBar* StatusBar() const { return StatusBarListe; }
    TNotizListe& DataSetNotizliste() const { return dm_.DataSetNotizliste; }
    TNotizListeModel* Model() const { return model_; }
    TDraftKeeper* Drafts() const { return drafts_; }
    QString StatusText() const;

    // Handlers, public for the program and the tests.
    void FormShow();
    void EditSuchenClickBtn();
    void BtnAlleNotizenClick();
    void ListAllNotes();
    void ResizeTitleColumn();
    void BtnEditClick();
    void BtnSaveClick();
    void BtnCancelClick();
    void BtnDeleteClick();
    void BtnPapierkorbClick();
    // After a note came back from the trash: all notes by title, on that note.
    void ShowRestored(qint64 id, const QString& title);
    bool FormCloseQuery();
    void FormClose();
    void FocusSearchField(); // Ctrl+F
    // A search asked for from outside (the command line of a later start): the term goes into
    // the search field and is searched at once.
    void SearchFor(const QString& term);

    // Moves to a row of the grid, finishing a change first.
    void GridRowChosen(int row);
    // Lists again as last listed, on the note that was current, after a commit or a new
    // connection emptied the list while the window is shown.
    void Refill();

    // Colours of the state display.
    static QColor WindowColour();
    static QColor Light3DColour();
    static QColor Silver() { return QColor(192, 192, 192); }

    QToolBar* ToolBarSuchen = nullptr;
    QToolBar* ToolBarDatensatz = nullptr;
    QAction* BtnSuchen = nullptr;
    QAction* BtnAlleNotizen = nullptr;
    QAction* BtnSave = nullptr;
    QAction* BtnEdit = nullptr;
    QAction* BtnCancel = nullptr;
    QAction* BtnDelete = nullptr;
    QAction* BtnPapierkorb = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* PanelLinks = nullptr;
    QWidget* PanelListe = nullptr;
    QWidget* PanelSuchen = nullptr;
    QTableView* DBGridNotizen = nullptr;
    TDBNavigator* DBNavigator = nullptr;
    QLabel* LabelSuchbegriff = nullptr;
    QLineEdit* EditSuchen = nullptr;
    QAction* EditSuchenButton = nullptr;
    QWidget* PanelNotiz = nullptr;
    QLineEdit* DBEditTitel = nullptr;
    QPlainTextEdit* DBMemo = nullptr;
    QLabel* DBTextZeitstempel = nullptr;
    TConnectionStatusBar* StatusBarListe = nullptr;

public slots:
    // State display, run on every change of the list's state.
    void DataSourceNotizListeStateChange(TDataSetState state);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // How the list was filled last, for Refill.
    enum class TListing { None, Unordered, ByTitle, Search };
    void AfterListing();
    // Panel 1: the text of the last action, until the next one starts; else how many notes the
    // list holds.
    void SetActionText(const QString& text);
    void ActionStarts();
    void ShowListedCount();
    // The window's work in the background, one short step per turn of the event loop, so that
    // no keystroke waits for more than one: the listing's count, the notes' texts for the
    // search, the rest of the listed rows.
    void BackgroundStep();
    // The search of the field: at once (Enter, the buttons) or after typing pauses; it waits
    // while a note is edited, never dropping the edit.
    void RunSearch();
    // The search words marked in the current note's text, the first one scrolled into view.
    void MarkSearchWords();
    std::optional<TDraft> EditSnapshot() const;
    void ShowDraftOfCurrentNote();
    void ShowFirstDraft();
    void UpdateRecord(); // writes changed field contents into the row being edited
    void CurrentRowChanged();
    void SyncGridToRecord();
    void UpdateNavigator();
    void LayoutNoteFields();
    void Navigate(void (TNotizListe::*move)());

    TDataModuleNotizen& dm_;
    TNotizListeModel* model_ = nullptr;
    QDataWidgetMapper* fields_ = nullptr; // title, text and stamp follow the current row
    std::function<void()> newNote_;
    TDraftKeeper* drafts_ = nullptr;
    bool filling_ = false;  // the window fills the fields itself: no typing
    qint64 editingId_ = -1; // the note being edited, for its draft
    qint64 currentId_ = -1; // the note last current, for Refill
    TListing listing_ = TListing::None;
    QString listedTerm_;
    QString actionText_;
    QTimer* searchPause_ = nullptr; // results follow the field a moment after typing pauses
    QTimer* work_ = nullptr;        // runs BackgroundStep while there is something to do
    bool searchWaits_ = false;      // a search waits for the edit to end
    // Every note's text in memory while the window is open, for searching as the user types.
    std::unique_ptr<TSearchIndex> index_;
    bool searchWaitsForIndex_ = false;
    bool indexWaits_ = false; // for the connection to open again
};
