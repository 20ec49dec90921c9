#include "notes/TNotizListeModel.h"

TNotizListeModel::TNotizListeModel(TNotizListe& liste, QObject* parent)
    : QAbstractTableModel(parent), liste_(liste) {
    rows_ = liste_.Active() ? liste_.RowCount() : 0;
    markerRow_ = liste_.Active() ? liste_.RecNo() : -1;
    connect(&liste_, &TNotizListe::RowsReset, this, [this] {
        beginResetModel();
        rows_ = liste_.Active() ? liste_.RowCount() : 0;
        markerRow_ = liste_.Active() ? liste_.RecNo() : -1;
        endResetModel();
    });
    connect(&liste_, &TNotizListe::RowsAppended, this, [this](int, int) { SyncRows(); });
    connect(&liste_, &TNotizListe::RowInserted, this, [this](int row) {
        if (row < 0 || row > rows_) {
            SyncRows();
            return;
        }
        beginInsertRows({}, row, row);
        ++rows_;
        endInsertRows();
        SyncRows();
    });
    connect(&liste_, &TNotizListe::RowRemoved, this, [this](int row) {
        if (row < 0 || row >= rows_) {
            SyncRows();
            return;
        }
        beginRemoveRows({}, row, row);
        --rows_;
        endRemoveRows();
        SyncRows();
    });
    connect(&liste_, &TNotizListe::RowChanged, this, [this](int row) {
        SyncRows();
        if (row >= 0 && row < rows_)
            emit dataChanged(index(row, 0), index(row, 1));
    });
    connect(&liste_, &TNotizListe::DataChange, this, [this] {
        SyncRows();
        MarkerMoved();
    });
    connect(&liste_, &TNotizListe::StateChange, this, [this](TDataSetState) {
        SyncRows();
        MarkerMoved();
    });
}

// Brings the row count in line with the result set, as appended or removed at the end.
void TNotizListeModel::SyncRows() {
    const int held = liste_.Active() ? liste_.RowCount() : 0;
    if (held > rows_) {
        beginInsertRows({}, rows_, held - 1);
        rows_ = held;
        endInsertRows();
    } else if (held < rows_) {
        beginRemoveRows({}, held, rows_ - 1);
        rows_ = held;
        endRemoveRows();
    }
}

void TNotizListeModel::MarkerMoved() {
    const int now = liste_.Active() ? liste_.RecNo() : -1;
    const int before = markerRow_;
    markerRow_ = now;
    if (before >= 0 && before < rows_ && before != now)
        emit dataChanged(index(before, kMarkerColumn), index(before, kTitleColumn));
    if (now >= 0 && now < rows_)
        emit dataChanged(index(now, kMarkerColumn), index(now, kTitleColumn));
}

int TNotizListeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TNotizListeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

TNotizListeModel::TMarker TNotizListeModel::MarkerAt(int row) const {
    if (!liste_.Active() || row != liste_.RecNo())
        return TMarker::None;
    switch (liste_.State()) {
    case TDataSetState::Browse:
        return TMarker::Browse;
    case TDataSetState::Edit:
        return TMarker::Edit;
    case TDataSetState::Insert:
        return TMarker::Insert;
    case TDataSetState::Inactive:
        break;
    }
    return TMarker::None;
}

QVariant TNotizListeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || !liste_.Active() || index.row() >= liste_.RowCount())
        return {};
    if (index.column() == kTitleColumn) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return liste_.Title(index.row());
        if (role == Qt::BackgroundRole && titleBackground_.isValid())
            return titleBackground_;
    } else if (index.column() == kMarkerColumn && role == Qt::UserRole) {
        return static_cast<int>(MarkerAt(index.row()));
    }
    return {};
}

QVariant TNotizListeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == kTitleColumn)
        return QStringLiteral("Titel");
    return {};
}

Qt::ItemFlags TNotizListeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable; // never editable in place
}

bool TNotizListeModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && liste_.Active() && liste_.CanFetchMore();
}

void TNotizListeModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || !liste_.Active())
        return;
    liste_.FetchMore(kFetchBatch);
    SyncRows();
}

void TNotizListeModel::SetTitleBackground(const QColor& colour) {
    if (colour == titleBackground_)
        return;
    titleBackground_ = colour;
    if (rows_ > 0)
        emit dataChanged(index(0, kTitleColumn), index(rows_ - 1, kTitleColumn), {Qt::BackgroundRole});
}
