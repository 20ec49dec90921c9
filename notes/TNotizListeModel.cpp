#include "notes/TNotizListeModel.h"

#include "notes/NoteRules.h"
#include "ui/ErrorDisplay.h"

#include <QTimer>

TNotizListeModel::TNotizListeModel(TNotizListe& liste, QObject* parent)
    : QAbstractTableModel(parent), liste_(liste) {
    connect(&liste_, &TNotizListe::AboutToReset, this, [this] { beginResetModel(); });
    connect(&liste_, &TNotizListe::Reset, this, [this] { endResetModel(); });
    connect(&liste_, &TNotizListe::RowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&liste_, &TNotizListe::RowsInserted, this, [this] { endInsertRows(); });
    connect(&liste_, &TNotizListe::RowAboutToBeRemoved, this,
            [this](int row) { beginRemoveRows({}, row, row); });
    connect(&liste_, &TNotizListe::RowRemoved, this, [this] { endRemoveRows(); });
    connect(&liste_, &TNotizListe::RowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(&liste_, &TNotizListe::RowsRemoved, this, [this] { endRemoveRows(); });
    connect(&liste_, &TNotizListe::RowsLoaded, this, [this](int first, int last) {
        if (first <= last && last < rowCount())
            emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    });
    connect(&liste_, &TNotizListe::RowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount())
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(&liste_, &TNotizListe::DataChange, this, &TNotizListeModel::MarkersChanged);
    connect(&liste_, &TNotizListe::StateChange, this, &TNotizListeModel::MarkersChanged);
}

// The current row may have moved anywhere: the marker column as a whole is new.
void TNotizListeModel::MarkersChanged() {
    const int rows = rowCount();
    if (rows > 0)
        emit dataChanged(index(0, kMarkerColumn), index(rows - 1, kMarkerColumn), {Qt::UserRole});
}

bool TNotizListeModel::IsCurrent(int row) const {
    return liste_.Active() && row == liste_.RecNo();
}

int TNotizListeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : liste_.RowCount();
}

int TNotizListeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

TNotizListeModel::TMarker TNotizListeModel::MarkerAt(int row) const {
    if (!IsCurrent(row))
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
    if (!index.isValid() || !liste_.Active() || index.row() >= liste_.RowCount())
        return {};
    const int row = index.row();
    switch (index.column()) {
    case kMarkerColumn:
        return role == Qt::UserRole ? QVariant(static_cast<int>(MarkerAt(row))) : QVariant();
    case kTitleColumn:
        if ((role == Qt::DisplayRole || role == Qt::ToolTipRole) && !liste_.Loaded(row))
            WantRow(row);
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return liste_.Title(row);
        if (role == Qt::BackgroundRole && titleBackground_.isValid())
            return titleBackground_;
        return {};
    default:
        break;
    }
    // The detail fields: the text blob is read for the current row only.
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !IsCurrent(row))
        return {};
    switch (index.column()) {
    case kTitelField:
        return liste_.FieldAsString(QStringLiteral("TITEL"));
    case kBemerkungField:
        return StoredTextToMemo(liste_.FieldAsString(QStringLiteral("BEMERKUNG")));
    case kZeitstempelField:
        return liste_.FieldAsString(QStringLiteral("ZEITSTEMPEL")); // short date, long time
    default:
        return {};
    }
}

bool TNotizListeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !IsCurrent(index.row()))
        return false;
    const TDataSetState state = liste_.State();
    if (state != TDataSetState::Edit && state != TDataSetState::Insert)
        return false;
    const int row = index.row();
    if (index.column() == kTitelField) {
        const QString title = value.toString();
        if (title == liste_.FieldAsString(QStringLiteral("TITEL")))
            return true;
        liste_.SetFieldValue(QStringLiteral("TITEL"), title);
        emit dataChanged(this->index(row, kTitleColumn), this->index(row, kTitelField));
        return true;
    }
    if (index.column() == kBemerkungField) {
        // Compared as stored, so that a text that only came back with other line breaks is
        // still the stored one.
        const QString typed = MemoTextToStored(value.toString());
        const QString shown =
            MemoTextToStored(StoredTextToMemo(liste_.FieldAsString(QStringLiteral("BEMERKUNG"))));
        if (typed == shown)
            return true;
        liste_.SetFieldValue(QStringLiteral("BEMERKUNG"), typed);
        emit dataChanged(index, index);
        return true;
    }
    return false;
}

QVariant TNotizListeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == kTitleColumn)
        return QStringLiteral("Titel");
    return {};
}

Qt::ItemFlags TNotizListeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable; // never edited in the grid itself
}

void TNotizListeModel::WantRow(int row) const {
    const bool asked = wanted_ >= 0;
    wanted_ = qMax(wanted_, row);
    if (asked)
        return;
    QTimer::singleShot(0, const_cast<TNotizListeModel*>(this), Guarded([this] {
                           const int row = std::exchange(wanted_, -1);
                           if (row >= 0)
                               liste_.Prefetch(row);
                       }));
}

// Rows counted before they are read are in the model already; only a listing whose count is
// not known yet grows as the grid scrolls.
bool TNotizListeModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && liste_.CanFetchMore() && !liste_.TotalKnown();
}

void TNotizListeModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid())
        liste_.FetchMore(kFetchBatch);
}

void TNotizListeModel::SetTitleBackground(const QColor& colour) {
    if (colour == titleBackground_)
        return;
    titleBackground_ = colour;
    if (rowCount() > 0)
        emit dataChanged(index(0, kTitleColumn), index(rowCount() - 1, kTitleColumn), {Qt::BackgroundRole});
}
