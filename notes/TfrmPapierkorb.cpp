#include "notes/TfrmPapierkorb.h"

#include "notes/NoteRules.h"
#include "store/SchemaRules.h"
#include "ui/DbWaitCursor.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/WindowLook.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString Shown(const QDateTime& t) {
    return t.isValid() ? t.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
}
} // namespace

TfrmPapierkorb::TfrmPapierkorb(TDataModuleNotizen& dataModule, QWidget* parent)
    : QDialog(parent), dm_(dataModule) {
    setObjectName("frmPapierkorb");
    setWindowTitle(QStringLiteral("Papierkorb"));
    setWindowIcon(ImageListMain::TrashIcon());
    setProperty("helpContext", kHelpContext);
    ApplyWindowLook(this);
    resize(640, 400);

    auto* layout = new QVBoxLayout(this);
    LabelHinweis =
        new QLabel(QStringLiteral("Gelöschte Notizen bleiben %1 Tage im Papierkorb und lassen sich bis dahin "
                                  "wiederherstellen.")
                       .arg(kTrashDays),
                   this);
    LabelHinweis->setObjectName("LabelHinweis");
    LabelHinweis->setWordWrap(true);
    layout->addWidget(LabelHinweis);

    GridPapierkorb = new QTableWidget(0, 3, this);
    GridPapierkorb->setObjectName("GridPapierkorb");
    GridPapierkorb->setHorizontalHeaderLabels(
        {QStringLiteral("Titel"), QStringLiteral("Gelöscht am"), QStringLiteral("Angelegt am")});
    GridPapierkorb->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridPapierkorb->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridPapierkorb->setSelectionMode(QAbstractItemView::SingleSelection);
    GridPapierkorb->verticalHeader()->hide();
    GridPapierkorb->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    GridPapierkorb->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    GridPapierkorb->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    layout->addWidget(GridPapierkorb, 3);

    MemoPapierkorb = new QPlainTextEdit(this);
    MemoPapierkorb->setObjectName("MemoPapierkorb");
    MemoPapierkorb->setReadOnly(true);
    MemoPapierkorb->setToolTip(QStringLiteral("Text der gelöschten Notiz"));
    layout->addWidget(MemoPapierkorb, 2);

    auto* buttons = new QHBoxLayout;
    BtnWiederherstellen =
        new QPushButton(ImageListMain::TrashIcon(), QStringLiteral("&Wiederherstellen"), this);
    BtnWiederherstellen->setObjectName("BtnWiederherstellen");
    BtnWiederherstellen->setDefault(true);
    BtnWiederherstellen->setToolTip(QStringLiteral("Die gewählte Notiz wieder in die Notizenliste stellen"));
    BtnSchliessen = new QPushButton(QStringLiteral("Schließen"), this);
    BtnSchliessen->setObjectName("BtnSchliessen");
    buttons->addStretch(1);
    buttons->addWidget(BtnWiederherstellen);
    buttons->addWidget(BtnSchliessen);
    layout->addLayout(buttons);

    connect(GridPapierkorb, &QTableWidget::currentCellChanged, this,
            Guarded([this](int, int, int, int) { CurrentEntryChanged(); }));
    connect(GridPapierkorb, &QTableWidget::cellDoubleClicked, this,
            Guarded([this](int, int) { BtnWiederherstellenClick(); }));
    connect(BtnWiederherstellen, &QPushButton::clicked, this,
            Guarded([this] { BtnWiederherstellenClick(); }));
    connect(BtnSchliessen, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmPapierkorb::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { FormShow(); });
}

void TfrmPapierkorb::FormShow() {
    restoredId_ = 0;
    restoredTitle_.clear();
    {
        TDbWaitCursor wait;
        entries_ = ReadTrash(dm_);
    }
    GridPapierkorb->setRowCount(static_cast<int>(entries_.size()));
    for (int row = 0; row < static_cast<int>(entries_.size()); ++row) {
        const TTrashEntry& e = entries_[std::size_t(row)];
        GridPapierkorb->setItem(row, 0, new QTableWidgetItem(e.title));
        GridPapierkorb->setItem(row, 1, new QTableWidgetItem(Shown(e.deleted)));
        GridPapierkorb->setItem(row, 2, new QTableWidgetItem(Shown(e.stamp)));
    }
    if (!entries_.empty())
        GridPapierkorb->setCurrentCell(0, 0);
    CurrentEntryChanged();
}

void TfrmPapierkorb::CurrentEntryChanged() {
    const int row = GridPapierkorb->currentRow();
    const bool chosen = row >= 0 && row < static_cast<int>(entries_.size());
    BtnWiederherstellen->setEnabled(chosen);
    MemoPapierkorb->setPlainText(chosen ? StoredTextToMemo(ReadTrashText(dm_, entries_[std::size_t(row)]))
                                        : QString());
}

void TfrmPapierkorb::BtnWiederherstellenClick() {
    const int row = GridPapierkorb->currentRow();
    if (row < 0 || row >= static_cast<int>(entries_.size()))
        return;
    const TTrashEntry& e = entries_[std::size_t(row)];
    {
        TDbWaitCursor wait;
        restoredId_ = RestoreFromTrash(dm_, e);
    }
    restoredTitle_ = e.title;
    accept();
}
