#pragma once
// Item model over the list result set, with no state of its own: every row change of the
// result set is announced before it happens and passed on as Qt's begin/end calls.
// Column 0 is the marker of the current row, column 1 the title as the grid shows it; the
// detail fields read and write the current row through columns 2 to 4.
#include "store/TDataModuleNotizen.h"

#include <QAbstractTableModel>
#include <QColor>

class TNotizListeModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kMarkerColumn = 0;
    static constexpr int kTitleColumn = 1;
    static constexpr int kTitelField = 2;       // TITEL of the current row
    static constexpr int kBemerkungField = 3;   // BEMERKUNG, as the memo shows it (LF breaks)
    static constexpr int kZeitstempelField = 4; // ZEITSTEMPEL as text, read-only
    static constexpr int kFetchBatch = 64;

    explicit TNotizListeModel(TNotizListe& liste, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Fields of the current row while it is edited; a value equal to the shown one changes
    // nothing, so an untouched text goes back as stored.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // Background of the title cells; an invalid colour leaves the view's own.
    void SetTitleBackground(const QColor& colour);
    QColor TitleBackground() const { return titleBackground_; }

    // The marker of a row as the grid draws it.
    enum class TMarker { None, Browse, Edit, Insert };
    TMarker MarkerAt(int row) const;

private:
    void MarkersChanged();
    bool IsCurrent(int row) const;
    // A row the grid shows before it is read: read once the painting is over.
    void WantRow(int row) const;

    TNotizListe& liste_;
    QColor titleBackground_;
    mutable int wanted_ = -1; // the row a read is asked for, -1 when none
};
