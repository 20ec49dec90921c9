#include "notes/TfrmSuchen.h"

#include "notes/DraftKeeper.h"
#include "notes/NoteRules.h"
#include "notes/TDBNavigator.h"
#include "notes/TNotizListeModel.h"
#include "notes/TfrmPapierkorb.h"
#include "store/SearchIndex.h"
#include "store/SearchRules.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/QuitWatch.h"
#include "ui/Shortcuts.h"
#include "ui/WindowLook.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDataWidgetMapper>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <stdexcept>

namespace {
// Design sizes of the note panel, from which the fields keep their right and bottom distances.
constexpr int kNotePanelWidth = 526;
constexpr int kNotePanelHeight = 329;
constexpr int kRowHeight = 22;

// Column 0: a small black mark in the current row.
class TMarkerDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        p->fillRect(option.rect, option.palette.button());
        const auto marker = static_cast<TNotizListeModel::TMarker>(index.data(Qt::UserRole).toInt());
        if (marker == TNotizListeModel::TMarker::None)
            return;
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QPointF c = QRectF(option.rect).center();
        p->setPen(QPen(Qt::black, 1.2));
        p->setBrush(Qt::black);
        switch (marker) {
        case TNotizListeModel::TMarker::Browse: {
            QPainterPath triangle;
            triangle.moveTo(c.x() - 2.5, c.y() - 4.5);
            triangle.lineTo(c.x() + 2.5, c.y());
            triangle.lineTo(c.x() - 2.5, c.y() + 4.5);
            triangle.closeSubpath();
            p->drawPath(triangle);
            break;
        }
        case TNotizListeModel::TMarker::Edit: // I-beam
            p->drawLine(QPointF(c.x(), c.y() - 5), QPointF(c.x(), c.y() + 5));
            p->drawLine(QPointF(c.x() - 2.5, c.y() - 5), QPointF(c.x() + 2.5, c.y() - 5));
            p->drawLine(QPointF(c.x() - 2.5, c.y() + 5), QPointF(c.x() + 2.5, c.y() + 5));
            break;
        case TNotizListeModel::TMarker::Insert: // three-stroke star
            p->drawLine(QPointF(c.x(), c.y() - 4.5), QPointF(c.x(), c.y() + 4.5));
            p->drawLine(QPointF(c.x() - 4, c.y() - 2.3), QPointF(c.x() + 4, c.y() + 2.3));
            p->drawLine(QPointF(c.x() - 4, c.y() + 2.3), QPointF(c.x() + 4, c.y() - 2.3));
            break;
        case TNotizListeModel::TMarker::None:
            break;
        }
        p->restore();
    }
};

// The detail fields as the mapper fills and reads them: the memo keeps its raw text (so that
// no-break spaces survive), the title shows its start, the stamp is only shown.
class TNoteFieldDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString value = index.data(Qt::EditRole).toString();
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(value);
            line->setModified(false);
            line->setCursorPosition(0);
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
            if (memo->toPlainText() != value)
                memo->setPlainText(value);
            memo->document()->setModified(false);
        } else if (auto* label = qobject_cast<QLabel*>(editor)) {
            label->setText(value);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            model->setData(index, line->text());
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(editor))
            model->setData(index, memo->document()->toRawText());
    }

protected:
    // Escape belongs to the window, which it closes (asking while a note is edited); the
    // delegate would take it from the field to put the field's stored value back.
    bool eventFilter(QObject* object, QEvent* event) override {
        if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return false;
        return QStyledItemDelegate::eventFilter(object, event);
    }
};

// Splitter handle with a white-to-silver gradient and a column of grip dots.
class TGripHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient gradient(0, 0, width(), 0);
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, QColor(192, 192, 192));
        p.fillRect(rect(), gradient);
        p.setPen(Qt::NoPen);
        const int x = width() / 2 - 1;
        for (int y = height() / 2 - 20; y <= height() / 2 + 20; y += 4) {
            p.setBrush(QColor(128, 128, 128));
            p.drawRect(x, y, 2, 2);
        }
    }
};

class TGripSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override { return new TGripHandle(orientation(), this); }
};

void SetBaseColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

void FillBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QAction* AddButton(QToolBar* bar, int image, const char* name, const QString& hint) {
    QAction* action = bar->addAction(ImageListMain::Icon(image), QString());
    action->setObjectName(name);
    action->setToolTip(hint);
    return action;
}
} // namespace

QColor TfrmSuchen::WindowColour() {
    return QApplication::palette().color(QPalette::Active, QPalette::Base);
}

QColor TfrmSuchen::Light3DColour() {
    const QColor light = QApplication::palette().color(QPalette::Active, QPalette::Midlight);
    return light == WindowColour() ? QColor(227, 227, 227) : light;
}

TfrmSuchen::TfrmSuchen(TDataModuleNotizen& dataModule, std::function<void()> newNote,
                       const TDraftStore* drafts, QWidget* parent)
    : QMainWindow(parent), dm_(dataModule), newNote_(std::move(newNote)) {
    setObjectName("frmSuchen");
    setWindowTitle(QStringLiteral("Notizenliste"));
    setProperty("helpContext", kHelpContext);
    WatchApplicationQuit();
    ApplyWindowLook(this);
    resize(716, 391);
    move(232, 171);

    ToolBarSuchen = MakeToolBar(this, QString());
    ToolBarSuchen->setObjectName("ToolBarSuchen");
    BtnSuchen = AddButton(ToolBarSuchen, imgRunSearch, "BtnSuchen", QStringLiteral("Suche ausführen"));
    BtnAlleNotizen =
        AddButton(ToolBarSuchen, imgListAll, "BtnAlleNotizen", QStringLiteral("Alle Notizen auflisten"));
    addToolBar(Qt::TopToolBarArea, ToolBarSuchen);

    ToolBarDatensatz = MakeToolBar(this, QStringLiteral("Untitled"));
    ToolBarDatensatz->setObjectName("ToolBarDatensatz");
    BtnSave = AddButton(ToolBarDatensatz, imgSave, "BtnSave", QStringLiteral("Notizänderung sichern"));
    BtnEdit = AddButton(ToolBarDatensatz, imgEdit, "BtnEdit", QStringLiteral("Notiz bearbeiten"));
    ToolBarDatensatz->addSeparator();
    BtnCancel =
        AddButton(ToolBarDatensatz, imgCancel, "BtnCancel", QStringLiteral("Notizbearbeitung abbrechen"));
    ToolBarDatensatz->addSeparator();
    BtnDelete = AddButton(ToolBarDatensatz, imgDelete, "BtnDelete", QStringLiteral("Notiz löschen"));
    ToolBarDatensatz->addSeparator();
    BtnPapierkorb = ToolBarDatensatz->addAction(ImageListMain::TrashIcon(), QString());
    BtnPapierkorb->setObjectName("BtnPapierkorb");
    BtnPapierkorb->setToolTip(QStringLiteral("Papierkorb: gelöschte Notizen wiederherstellen"));
    addToolBar(Qt::TopToolBarArea, ToolBarDatensatz);

    connect(BtnSuchen, &QAction::triggered, this, Guarded([this] { EditSuchenClickBtn(); }));
    connect(BtnAlleNotizen, &QAction::triggered, this, Guarded([this] { BtnAlleNotizenClick(); }));
    connect(BtnSave, &QAction::triggered, this, Guarded([this] { BtnSaveClick(); }));
    connect(BtnEdit, &QAction::triggered, this, Guarded([this] { BtnEditClick(); }));
    connect(BtnCancel, &QAction::triggered, this, Guarded([this] { BtnCancelClick(); }));
    connect(BtnDelete, &QAction::triggered, this, Guarded([this] { BtnDeleteClick(); }));
    connect(BtnPapierkorb, &QAction::triggered, this, Guarded([this] { BtnPapierkorbClick(); }));
    for (QToolBar* bar : {ToolBarSuchen, ToolBarDatensatz})
        for (QWidget* w : bar->findChildren<QWidget*>())
            w->setFocusPolicy(Qt::NoFocus);
    // Saving with Ctrl+S works only while its button does (editing); the window holds the
    // action too, so a floating toolbar takes nothing away.
    SetShortcut(BtnSave, QKeySequence(Qt::CTRL | Qt::Key_S), BtnSave->toolTip());
    addAction(BtnSave);

    Splitter1 = new TGripSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    setCentralWidget(Splitter1);

    // Left side: grid and navigator above the search panel.
    PanelLinks = new QWidget(Splitter1);
    PanelLinks->setObjectName("PanelLinks");
    PanelLinks->setMinimumWidth(1);
    auto* left = new QVBoxLayout(PanelLinks);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);

    PanelListe = new QWidget(PanelLinks);
    PanelListe->setObjectName("PanelListe");
    auto* list = new QVBoxLayout(PanelListe);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(0);

    DBGridNotizen = new QTableView(PanelListe);
    DBGridNotizen->setObjectName("DBGridNotizen");
    DBGridNotizen->setMinimumWidth(1);
    QFont gridFont(QStringLiteral("Tahoma"));
    gridFont.setPointSize(8);
    DBGridNotizen->setFont(gridFont);
    DBGridNotizen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridNotizen->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGridNotizen->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridNotizen->setTabKeyNavigation(false);
    DBGridNotizen->setWordWrap(false);
    DBGridNotizen->verticalHeader()->hide();
    DBGridNotizen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGridNotizen->verticalHeader()->setDefaultSectionSize(kRowHeight);
    DBGridNotizen->horizontalHeader()->setFixedHeight(kRowHeight);
    DBGridNotizen->horizontalHeader()->setStretchLastSection(false);
    DBGridNotizen->horizontalHeader()->setSectionsClickable(false);
    DBGridNotizen->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DBGridNotizen->horizontalHeader()->setMinimumSectionSize(0);
    DBGridNotizen->setItemDelegateForColumn(TNotizListeModel::kMarkerColumn,
                                            new TMarkerDelegate(DBGridNotizen));
    {
        QPalette palette = DBGridNotizen->palette();
        palette.setColor(QPalette::Mid, Light3DColour()); // grid lines
        DBGridNotizen->setPalette(palette);
    }
    DBGridNotizen->installEventFilter(this);
    DBGridNotizen->viewport()->installEventFilter(this);
    DBGridNotizen->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->addWidget(DBGridNotizen, 1);

    DBNavigator = new TDBNavigator(PanelListe);
    list->addWidget(DBNavigator);
    connect(DBNavigator, &TDBNavigator::FirstClicked, this,
            Guarded([this] { Navigate(&TNotizListe::First); }));
    connect(DBNavigator, &TDBNavigator::PriorClicked, this,
            Guarded([this] { Navigate(&TNotizListe::Prior); }));
    connect(DBNavigator, &TDBNavigator::NextClicked, this, Guarded([this] { Navigate(&TNotizListe::Next); }));
    connect(DBNavigator, &TDBNavigator::LastClicked, this, Guarded([this] { Navigate(&TNotizListe::Last); }));
    left->addWidget(PanelListe, 1);

    PanelSuchen = new QWidget(PanelLinks);
    PanelSuchen->setObjectName("PanelSuchen");
    PanelSuchen->setFixedHeight(61);
    FillBackground(PanelSuchen, kSkyBlue);
    LabelSuchbegriff = new QLabel(QStringLiteral("Suchbegriff:"), PanelSuchen);
    LabelSuchbegriff->setObjectName("LabelSuchbegriff");
    LabelSuchbegriff->move(8, 8);
    LabelSuchbegriff->adjustSize();
    EditSuchen = new QLineEdit(PanelSuchen);
    EditSuchen->setObjectName("EditSuchen");
    EditSuchen->setGeometry(8, 24, 165, 21);
    EditSuchen->setToolTip(
        HintWithShortcut(QStringLiteral("Suchbegriff eingeben"), QKeySequence(Qt::CTRL | Qt::Key_F)));
    SetBaseColour(EditSuchen, WindowColour());
    EditSuchenButton = EditSuchen->addAction(ImageListMain::Icon(imgRunSearch), QLineEdit::TrailingPosition);
    EditSuchenButton->setObjectName("EditSuchenButton");
    EditSuchenButton->setToolTip(QStringLiteral("Suche starten"));
    connect(EditSuchenButton, &QAction::triggered, this, Guarded([this] { EditSuchenClickBtn(); }));
    EditSuchen->installEventFilter(this);
    PanelSuchen->installEventFilter(this);
    left->addWidget(PanelSuchen);

    // Right side: the current note.
    PanelNotiz = new QWidget(Splitter1);
    PanelNotiz->setObjectName("PanelNotiz");
    FillBackground(PanelNotiz, kSkyBlue);
    PanelNotiz->setMinimumWidth(1);
    DBEditTitel = new QLineEdit(PanelNotiz);
    DBEditTitel->setObjectName("DBEditTitel");
    DBEditTitel->setGeometry(8, 16, 505, 21);
    DBEditTitel->setMaxLength(50);
    DBEditTitel->setToolTip(QStringLiteral("Titel der Notiz"));
    DBMemo = new QPlainTextEdit(PanelNotiz);
    DBMemo->setObjectName("DBMemo");
    DBMemo->setGeometry(8, 48, 505, 249);
    DBMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    DBMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DBMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DBMemo->setTabChangesFocus(true);
    DBMemo->setToolTip(QStringLiteral("Notiz"));
    DBTextZeitstempel = new QLabel(PanelNotiz);
    DBTextZeitstempel->setObjectName("DBTextZeitstempel");
    DBTextZeitstempel->setGeometry(8, 304, 209, 17);
    DBTextZeitstempel->setToolTip(QStringLiteral("Datum, an dem die Notiz erstellt wurde"));
    PanelNotiz->installEventFilter(this);

    Splitter1->addWidget(PanelLinks);
    Splitter1->addWidget(PanelNotiz);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({185, kNotePanelWidth});

    setTabOrder(DBEditTitel, DBMemo);
    setTabOrder(DBMemo, EditSuchen);
    setTabOrder(EditSuchen, DBGridNotizen);

    StatusBarListe = new TConnectionStatusBar(this);
    StatusBarListe->setObjectName("StatusBarListe");
    setStatusBar(StatusBarListe);

    // Look of the browsing state until the first listing.
    DBEditTitel->setReadOnly(true);
    DBMemo->setReadOnly(true);
    BtnSave->setEnabled(false);
    BtnCancel->setEnabled(false);

    // The grid and the detail fields show the data module's list result set.
    TNotizListe& liste = dm_.DataSetNotizliste;
    model_ = new TNotizListeModel(liste, this);
    DBGridNotizen->setModel(model_);
    for (int c = TNotizListeModel::kTitelField; c < model_->columnCount(); ++c)
        DBGridNotizen->setColumnHidden(c, true);
    DBGridNotizen->horizontalHeader()->setSectionResizeMode(TNotizListeModel::kMarkerColumn,
                                                            QHeaderView::Fixed);
    DBGridNotizen->setColumnWidth(TNotizListeModel::kMarkerColumn, kMarkerWidth);
    fields_ = new QDataWidgetMapper(this);
    fields_->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    fields_->setItemDelegate(new TNoteFieldDelegate(fields_));
    fields_->setModel(model_);
    fields_->addMapping(DBEditTitel, TNotizListeModel::kTitelField);
    fields_->addMapping(DBMemo, TNotizListeModel::kBemerkungField);
    fields_->addMapping(DBTextZeitstempel, TNotizListeModel::kZeitstempelField);

    connect(DBGridNotizen->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            Guarded([this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid())
                    GridRowChosen(current.row());
            }));
    connect(&liste, &TNotizListe::StateChange, this, &TfrmSuchen::DataSourceNotizListeStateChange);
    connect(&liste, &TNotizListe::StateChange, this, [this] { UpdateNavigator(); });
    connect(&liste, &TNotizListe::DataChange, this, [this] { CurrentRowChanged(); });
    ResizeTitleColumn();

    // An edit's text is kept as a draft while it is typed and when the list drops it; saving
    // or cancelling the edit removes the draft.
    drafts_ = new TDraftKeeper(
        drafts, [this] { return EditSnapshot(); }, this);
    auto typed = [this] {
        if (!filling_ && DataSetNotizliste().State() == TDataSetState::Edit)
            drafts_->Changed();
    };
    connect(DBEditTitel, &QLineEdit::textEdited, this, typed);
    connect(DBMemo, &QPlainTextEdit::textChanged, this, typed);
    connect(&liste, &TNotizListe::EditDropping, this, [this] {
        drafts_->Changed();
        drafts_->Flush();
    });
    connect(&liste, &TNotizListe::StateChange, this, [this](TDataSetState state) {
        TNotizListe& l = DataSetNotizliste();
        if (state == TDataSetState::Edit) {
            editingId_ = l.Id(l.RecNo());
            DBMemo->setExtraSelections({}); // typing moves the text under the marks
        } else {
            if (state == TDataSetState::Browse && editingId_ > 0)
                drafts_->Discard(editingId_); // saved or cancelled
            editingId_ = -1;
        }
    });
    // A commit elsewhere (a note saved, a delete) or a new connection (after a backup) empties
    // the list; it fills again once the event that did it is over.
    auto refill = [this] { QTimer::singleShot(0, this, Guarded([this] { Refill(); })); };
    connect(&dm_.SharedTransaction, &TSharedTransaction::Committed, this, refill);
    connect(&dm_, &TDataModuleNotizen::Connected, this, refill);

    searchPause_ = new QTimer(this);
    searchPause_->setSingleShot(true);
    searchPause_->setInterval(kSearchPauseMs);
    connect(searchPause_, &QTimer::timeout, this, Guarded([this] { RunSearch(); }));
    connect(EditSuchen, &QLineEdit::textEdited, searchPause_, qOverload<>(&QTimer::start));
    work_ = new QTimer(this);
    connect(work_, &QTimer::timeout, this, Guarded([this] { BackgroundStep(); }));
    connect(&liste, &TNotizListe::TotalCounted, this, [this] {
        ShowListedCount();
        work_->start(); // a failed count is done here instead
    });
    // A search that waited for an edit runs once the edit is saved or cancelled.
    connect(&liste, &TNotizListe::StateChange, this, [this](TDataSetState state) {
        if (state == TDataSetState::Browse && searchWaits_)
            QTimer::singleShot(0, this, Guarded([this] {
                                   if (searchWaits_)
                                       RunSearch();
                               }));
    });

    // Keys of the window. F5 lists all notes even while its button is disabled (right after
    // showing, the list is unordered and may be old).
    BtnAlleNotizen->setToolTip(HintWithShortcut(BtnAlleNotizen->toolTip(), QKeySequence(Qt::Key_F5)));
    AddWindowShortcut(this, QKeySequence(Qt::Key_F5), [this] { BtnAlleNotizenClick(); });
    AddWindowShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_F), [this] { FocusSearchField(); });
    AddWindowShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_N), [this] {
        if (newNote_)
            newNote_();
    });
    DBGridNotizen->setToolTip(QStringLiteral("Notizen (neue Notiz: ") +
                              ShortcutText(QKeySequence(Qt::CTRL | Qt::Key_N)) + u')');
    AddWindowShortcut(this, QKeySequence(Qt::Key_Escape), [this] { close(); });
}

TfrmSuchen::~TfrmSuchen() = default;

void TfrmSuchen::FocusSearchField() {
    EditSuchen->setFocus(Qt::ShortcutFocusReason);
    EditSuchen->selectAll();
}

void TfrmSuchen::SearchFor(const QString& term) {
    EditSuchen->setText(term);
    EditSuchenClickBtn();
}

QString TfrmSuchen::StatusText() const {
    return StatusBarListe->Text();
}

// --- listing -----------------------------------------------------------------------------

void TfrmSuchen::AfterListing() {
    const int length = DataSetNotizliste().TitleLength();
    DBEditTitel->setMaxLength(length > 0 ? length : 50);
    ResizeTitleColumn();
    DBGridNotizen->horizontalScrollBar()->setValue(0);
    ShowListedCount();
    // The count, and with it a scroll bar over every row, right after the first screen.
    work_->start();
}

void TfrmSuchen::BackgroundStep() {
    TNotizListe& liste = DataSetNotizliste();
    if (!isVisible()) {
        work_->stop();
        return;
    }
    if (liste.Active() && !liste.TotalKnown()) {
        // Every note listed: the notes in memory tell how many, else the database counts them
        // in another thread, and TotalCounted starts the steps again (they would slow it down).
        if (listing_ != TListing::Search && index_ && index_->Ready()) {
            index_->Refresh();
            liste.AssumeTotal(index_->Count());
        } else {
            liste.CountInBackground();
        }
        if (liste.TotalKnown())
            ShowListedCount();
        else
            work_->stop();
        return;
    }
    if (index_ && !index_->Ready() && !index_->Unavailable() && !indexWaits_) {
        if (index_->LoadSlice(kStepMs)) {
            if (index_->Ready() && searchWaitsForIndex_)
                RunSearch();
            // Not ready yet: the connection is closed (a backup); LoadingNeeded comes when it opens.
            indexWaits_ = !index_->Ready();
        }
        return;
    }
    if (liste.Active() && liste.CanFetchMore()) {
        QElapsedTimer step;
        step.start();
        while (liste.CanFetchMore() && step.elapsed() < kStepMs)
            liste.FetchMore(100);
        return;
    }
    work_->stop();
}

void TfrmSuchen::SetActionText(const QString& text) {
    actionText_ = text;
    StatusBarListe->SetText(text);
}

void TfrmSuchen::ActionStarts() {
    actionText_.clear();
    ShowListedCount();
}

void TfrmSuchen::ShowListedCount() {
    const TNotizListe& liste = DataSetNotizliste();
    if (!actionText_.isEmpty())
        return;
    StatusBarListe->SetText(liste.Active() && liste.TotalKnown()
                                ? ListedCountText(liste.RowCount(), listing_ == TListing::Search)
                                : QString());
}

void TfrmSuchen::FormShow() {
    EditSuchen->clear();
    SetActionText(QString());
    BtnAlleNotizen->setEnabled(false);
    // The notes' texts are read into memory in short slices while the user looks at the list.
    if (!index_) {
        index_ = std::make_unique<TSearchIndex>(dm_);
        connect(index_.get(), &TSearchIndex::LoadingNeeded, this, [this] {
            indexWaits_ = false;
            work_->start();
        });
    }
    indexWaits_ = false;
    work_->start(); // also when a hidden window stopped it half-way
    {
        TDbWaitCursor wait;
        dm_.ListNotes();
        listing_ = TListing::Unordered;
        AfterListing();
    }
    ShowFirstDraft();
}

void TfrmSuchen::EditSuchenClickBtn() {
    searchPause_->stop();
    RunSearch();
}

void TfrmSuchen::RunSearch() {
    TNotizListe& liste = DataSetNotizliste();
    if (liste.Active() && (liste.State() == TDataSetState::Edit || liste.State() == TDataSetState::Insert)) {
        searchWaits_ = true;
        SetActionText(QStringLiteral("Die Suche folgt, sobald die Änderung gesichert oder abgebrochen ist"));
        return;
    }
    searchWaits_ = false;
    // While the texts are still being read (a slice now may finish a small database), the search
    // follows as soon as they are in.
    if (index_ && !index_->Ready())
        index_->LoadSlice(kStepMs);
    if (index_ && !index_->Ready() && !index_->Unavailable() && isVisible()) {
        searchWaitsForIndex_ = true;
        SetActionText(QStringLiteral("Die Notizen werden gelesen; die Suche folgt gleich ..."));
        work_->start();
        return;
    }
    searchWaitsForIndex_ = false;
    actionText_.clear();
    TDbWaitCursor wait;
    const QString term = EditSuchen->text();
    if (index_ && index_->Ready()) {
        index_->Refresh(); // what other programs changed meanwhile
    }
    if (index_ && index_->Ready())
        dm_.ListNoteIds(term, index_->Find(term));
    else
        dm_.SearchNotes(term);
    listing_ = TListing::Search;
    listedTerm_ = term;
    BtnAlleNotizen->setEnabled(true);
    AfterListing();
    MarkSearchWords();
}

void TfrmSuchen::MarkSearchWords() {
    QList<QTextEdit::ExtraSelection> marks;
    const TNotizListe& liste = DataSetNotizliste();
    if (listing_ == TListing::Search && liste.Active() && liste.State() == TDataSetState::Browse &&
        liste.RecNo() >= 0) {
        QTextCharFormat mark;
        mark.setBackground(QColor(255, 230, 80));
        for (const auto& [start, length] : MatchRanges(DBMemo->toPlainText(), listedTerm_)) {
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(DBMemo->document());
            selection.cursor.setPosition(start);
            selection.cursor.setPosition(start + length, QTextCursor::KeepAnchor);
            selection.format = mark;
            marks << selection;
        }
    }
    DBMemo->setExtraSelections(marks);
    if (!marks.isEmpty()) {
        QTextCursor first(DBMemo->document());
        first.setPosition(marks.first().cursor.selectionStart());
        DBMemo->setTextCursor(first);
        DBMemo->ensureCursorVisible();
    }
}

void TfrmSuchen::BtnAlleNotizenClick() {
    searchPause_->stop();
    searchWaits_ = false;
    actionText_.clear();
    BtnAlleNotizen->setEnabled(false);
    EditSuchen->clear();
    ListAllNotes();
}

void TfrmSuchen::ListAllNotes() {
    TDbWaitCursor wait;
    dm_.ListNotesByTitle();
    listing_ = TListing::ByTitle;
    AfterListing();
}

void TfrmSuchen::Refill() {
    TNotizListe& liste = DataSetNotizliste();
    if (!isVisible() || liste.Active() || listing_ == TListing::None || !dm_.Database.Connected())
        return;
    const qint64 current = currentId_;
    {
        TDbWaitCursor wait;
        switch (listing_) {
        case TListing::Unordered:
            dm_.ListNotes();
            break;
        case TListing::ByTitle:
            dm_.ListNotesByTitle();
            break;
        case TListing::Search:
            if (index_ && index_->Ready()) {
                index_->Refresh();
                dm_.ListNoteIds(listedTerm_, index_->Find(listedTerm_));
            } else {
                dm_.SearchNotes(listedTerm_);
            }
            break;
        case TListing::None:
            return;
        }
        AfterListing();
    }
    const int row = current > 0 ? liste.Locate(current) : -1;
    if (row >= 0)
        liste.MoveTo(row);
}

// --- drafts ------------------------------------------------------------------------------

std::optional<TDraft> TfrmSuchen::EditSnapshot() const {
    const TNotizListe& liste = DataSetNotizliste();
    if (!liste.Active() || liste.State() != TDataSetState::Edit || editingId_ <= 0)
        return std::nullopt;
    TDraft draft;
    draft.noteId = editingId_;
    draft.title = DBEditTitel->text();
    draft.baseTitle = liste.BaseTitle();
    draft.baseText = liste.BaseText();
    // Compared as stored, so that line breaks alone do not make a draft.
    draft.text = MemoTextToStored(DBMemo->document()->toRawText());
    if (draft.text == MemoTextToStored(StoredTextToMemo(draft.baseText)))
        draft.text = draft.baseText;
    return draft;
}

void TfrmSuchen::ShowDraftOfCurrentNote() {
    TNotizListe& liste = DataSetNotizliste();
    if (!drafts_->Enabled() || !liste.Active() || liste.State() != TDataSetState::Browse || liste.RecNo() < 0)
        return;
    const std::optional<TDraft> draft = drafts_->Load(liste.Id(liste.RecNo()));
    if (!draft)
        return;
    liste.EditFrom(draft->baseTitle, draft->baseText);
    filling_ = true;
    DBEditTitel->setText(draft->title);
    DBMemo->setPlainText(StoredTextToMemo(draft->text));
    filling_ = false;
    UpdateRecord();
    SetActionText(DraftRestoredText(draft->written) +
                  QStringLiteral(": „Notizänderung sichern“ speichert ihn"));
}

void TfrmSuchen::ShowFirstDraft() {
    TNotizListe& liste = DataSetNotizliste();
    for (const qint64 id : drafts_->NoteIds()) {
        const int row = liste.Locate(id);
        if (row < 0)
            continue;
        liste.MoveTo(row);
        return;
    }
}

void TfrmSuchen::ResizeTitleColumn() {
    const int title = TitleColumnWidth(DBGridNotizen->width(), DBGridNotizen->columnWidth(0),
                                       DBGridNotizen->viewport()->width());
    if (model_)
        DBGridNotizen->setColumnWidth(TNotizListeModel::kTitleColumn, qMax(0, title));
    const int search = SearchFieldWidth(PanelSuchen->width());
    EditSuchen->resize(qMax(0, search), EditSuchen->height());
}

// --- editing -----------------------------------------------------------------------------

void TfrmSuchen::BtnEditClick() {
    ActionStarts();
    TNotizListe& liste = DataSetNotizliste();
    if (liste.Active() && liste.State() == TDataSetState::Browse)
        liste.Edit(); // no rows: a new row, inserting
}

void TfrmSuchen::BtnSaveClick() {
    TNotizListe& liste = DataSetNotizliste();
    if (!liste.Active() || liste.State() != TDataSetState::Edit)
        return;
    ActionStarts();
    UpdateRecord();
    TDbWaitCursor wait;
    liste.Post();
}

void TfrmSuchen::BtnCancelClick() {
    TNotizListe& liste = DataSetNotizliste();
    if (!liste.Active())
        return;
    ActionStarts();
    if (liste.State() == TDataSetState::Edit || liste.State() == TDataSetState::Insert)
        liste.Cancel();
}

void TfrmSuchen::UpdateRecord() {
    const TDataSetState state = DataSetNotizliste().State();
    if (state == TDataSetState::Edit || state == TDataSetState::Insert)
        fields_->submit();
}

void TfrmSuchen::GridRowChosen(int row) {
    TNotizListe& liste = DataSetNotizliste();
    if (!liste.Active() || row == liste.RecNo())
        return;
    ActionStarts();
    try {
        UpdateRecord();
        liste.MoveTo(row);
    } catch (...) {
        SyncGridToRecord(); // the grid goes back to the row that could not be left
        throw;
    }
}

void TfrmSuchen::Navigate(void (TNotizListe::*move)()) {
    TNotizListe& liste = DataSetNotizliste();
    if (!liste.Active())
        return;
    ActionStarts();
    UpdateRecord();
    (liste.*move)();
    UpdateNavigator(); // a move that finds nothing changes only the marks
}

// --- deleting ----------------------------------------------------------------------------

void TfrmSuchen::BtnDeleteClick() {
    TNotizListe& liste = DataSetNotizliste();
    QString shown;
    if (!liste.Active() || (liste.RecNo() >= 0 && !liste.IsEmpty()))
        shown = UpperAtoZ(liste.FieldAsString(QStringLiteral("TITEL"))); // closed: field not found
    if (shown.isEmpty()) {
        SetActionText(QStringLiteral("Keine Notiz zum Löschen vorhanden"));
        return;
    }
    const TModalResult answer = MessageDlg(QStringLiteral("Soll die Notiz mit dem Titel ") + shown +
                                               QStringLiteral(" gelöscht werden?"),
                                           TMsgDlgType::Confirmation, mbYes | mbNo);
    if (answer != TModalResult::Yes) {
        SetActionText(QStringLiteral("Löschaktion wurde abgebrochen"));
        return;
    }
    const QVariant id = liste.FieldValue(QStringLiteral("ID"));
    if (id.isNull())
        throw std::runtime_error("Die neue Notiz ist noch nicht gespeichert und kann nicht gelöscht werden");
    {
        TDbWaitCursor wait;
        dm_.DeleteNote(id.toLongLong());
    }
    SetActionText(QStringLiteral("Notiz ") + shown + QStringLiteral(" wurde gelöscht"));
    ListAllNotes();
}

void TfrmSuchen::BtnPapierkorbClick() {
    if (!dm_.TrashAvailable()) {
        MessageDlg(TrashUnavailableText(), TMsgDlgType::Information, mbOK, 0, dm_.Schema().detail);
        return;
    }
    TfrmPapierkorb trash(dm_, this);
    if (trash.exec() == QDialog::Accepted && trash.RestoredId() > 0)
        ShowRestored(trash.RestoredId(), trash.RestoredTitle());
}

void TfrmSuchen::ShowRestored(qint64 id, const QString& title) {
    BtnAlleNotizen->setEnabled(false);
    EditSuchen->clear();
    ListAllNotes();
    TNotizListe& liste = DataSetNotizliste();
    const int row = liste.Locate(id);
    if (row >= 0)
        liste.MoveTo(row);
    SetActionText(QStringLiteral("Notiz ") + UpperAtoZ(title) + QStringLiteral(" wurde wiederhergestellt"));
}

// --- state display and fields ------------------------------------------------------------

void TfrmSuchen::DataSourceNotizListeStateChange(TDataSetState state) {
    if (state == TDataSetState::Inactive)
        return; // the controls keep the look of the last state
    const bool editing = state == TDataSetState::Edit || state == TDataSetState::Insert;
    const QColor colour = editing ? WindowColour() : Light3DColour();
    SetBaseColour(DBEditTitel, colour);
    SetBaseColour(DBMemo, colour);
    SetBaseColour(DBGridNotizen, colour);
    if (model_)
        model_->SetTitleBackground(Silver());
    DBEditTitel->setReadOnly(!editing);
    DBMemo->setReadOnly(!editing);
    BtnSave->setEnabled(editing);
    BtnEdit->setEnabled(!editing);
    BtnCancel->setEnabled(editing);
}

void TfrmSuchen::CurrentRowChanged() {
    const TNotizListe& liste = DataSetNotizliste();
    if (liste.Active() && liste.RecNo() >= 0) {
        fields_->setCurrentIndex(liste.RecNo());
        currentId_ = liste.Id(liste.RecNo());
        MarkSearchWords();
        if (liste.State() == TDataSetState::Browse && drafts_ && drafts_->Enabled())
            QTimer::singleShot(0, this, Guarded([this] { ShowDraftOfCurrentNote(); }));
    } else {
        fields_->revert(); // no current row: the fields go empty
    }
    SyncGridToRecord();
    UpdateNavigator();
}

void TfrmSuchen::SyncGridToRecord() {
    const TNotizListe& liste = DataSetNotizliste();
    const int row = liste.Active() ? liste.RecNo() : -1;
    // Setting the grid's current row to the list's own asks the list to move nowhere.
    if (row >= 0 && row < model_->rowCount()) {
        const QModelIndex index = model_->index(row, TNotizListeModel::kTitleColumn);
        DBGridNotizen->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                    QItemSelectionModel::Rows);
        DBGridNotizen->scrollTo(index);
    } else {
        DBGridNotizen->selectionModel()->clear();
    }
}

void TfrmSuchen::UpdateNavigator() {
    const TNotizListe& liste = DataSetNotizliste();
    if (!liste.Active()) {
        DBNavigator->UpdateButtons(false, true, true);
        return;
    }
    DBNavigator->UpdateButtons(!liste.IsEmpty(), liste.Bof(), liste.Eof());
}

void TfrmSuchen::LayoutNoteFields() {
    const int w = PanelNotiz->width();
    const int h = PanelNotiz->height();
    const int rightGap = kNotePanelWidth - (8 + 505);
    DBEditTitel->setGeometry(8, 16, qMax(0, w - 8 - rightGap), 21);
    DBMemo->setGeometry(8, 48, qMax(0, w - 8 - rightGap), qMax(0, h - 48 - (kNotePanelHeight - 297)));
    DBTextZeitstempel->move(8, h - (kNotePanelHeight - 304));
}

// --- window events -----------------------------------------------------------------------

bool TfrmSuchen::FormCloseQuery() {
    const TNotizListe& liste = DataSetNotizliste();
    if (!liste.Active() || liste.State() != TDataSetState::Edit)
        return true;
    const TModalResult answer = MessageDlg(QStringLiteral("Die Änderung wurde noch nicht gespeichert.\n"
                                                          "Fenster ohne zu speichern schließen?"),
                                           TMsgDlgType::Custom, mbYes | mbNo);
    return answer != TModalResult::No;
}

void TfrmSuchen::FormClose() {
    DataSetNotizliste().Close();
    // The texts in memory belong to the open window only.
    work_->stop();
    searchWaitsForIndex_ = false;
    index_.reset();
}

void TfrmSuchen::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { FormShow(); });
}

void TfrmSuchen::closeEvent(QCloseEvent* event) {
    if (!ApplicationQuitting() && !FormCloseQuery()) { // the program's end asks nothing
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TfrmSuchen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        // The grid's inside narrows when its vertical scroll bar appears.
        if (watched == DBGridNotizen || watched == DBGridNotizen->viewport() || watched == PanelSuchen)
            ResizeTitleColumn();
        else if (watched == PanelNotiz)
            LayoutNoteFields();
    } else if (watched == EditSuchen && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            RunGuarded([this] { EditSuchenClickBtn(); }); // the key then goes on to the field
    }
    return QMainWindow::eventFilter(watched, event);
}
