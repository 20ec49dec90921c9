#pragma once
// The trash of the notes list: deleted notes with the time of their deletion, each one can be
// brought back whole.
#include "store/NoteTrash.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TDataModuleNotizen;

class TfrmPapierkorb : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1003;

    explicit TfrmPapierkorb(TDataModuleNotizen& dataModule, QWidget* parent = nullptr);

    // Handlers, public for the tests.
    void FormShow(); // reads the trash anew
    void BtnWiederherstellenClick();

    // The note brought back by the last restore (0: none) and its title.
    qint64 RestoredId() const { return restoredId_; }
    QString RestoredTitle() const { return restoredTitle_; }
    const std::vector<TTrashEntry>& Entries() const { return entries_; }

    QLabel* LabelHinweis = nullptr;
    QTableWidget* GridPapierkorb = nullptr;
    QPlainTextEdit* MemoPapierkorb = nullptr;
    QPushButton* BtnWiederherstellen = nullptr;
    QPushButton* BtnSchliessen = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CurrentEntryChanged();

    TDataModuleNotizen& dm_;
    std::vector<TTrashEntry> entries_;
    qint64 restoredId_ = 0;
    QString restoredTitle_;
};
