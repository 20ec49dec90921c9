#pragma once
// Table model over the list result set: column 0 the marker of the current row,
// column 1 the title. Rows are fetched from the result set as the view scrolls.
#include "store/TDataModuleNotizen.h"

#include <QAbstractTableModel>
#include <QColor>

class TNotizListeModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kMarkerColumn = 0;
    static constexpr int kTitleColumn = 1;
    static constexpr int kFetchBatch = 64;

    explicit TNotizListeModel(TNotizListe& liste, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
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
    void SyncRows();
    void MarkerMoved();

    TNotizListe& liste_;
    int rows_ = 0;
    int markerRow_ = -1;
    QColor titleBackground_;
};
