#include "file_list_model.h"

#include <QScopedValueRollback>

#include <array>

namespace zandro::ui {

namespace {

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool IsNumeric(Column column) {
  return column == Column::SamplesPerSec || column == Column::Bitrate || column == Column::Time;
}

}  // namespace

FileListModel::FileListModel(FileList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), rows_(static_cast<int>(list.size())) {
  list_.SetObserver(this);
}

FileListModel::~FileListModel() { list_.SetObserver(nullptr); }

int FileListModel::ColumnWidth(int column) {
  static constexpr std::array<int, kColumnCount> widths{200, 40, 80, 60, 80, 100, 100, 120, 120, 40, 0};
  return (column >= 0 && column < kColumnCount) ? widths[static_cast<std::size_t>(column)] : 0;
}

int FileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || static_cast<std::size_t>(index.row()) >= list_.size()) return {};
  const Column column = static_cast<Column>(index.column());
  const FileListEntry& entry = list_.at(static_cast<std::size_t>(index.row()));
  switch (role) {
    case Qt::DisplayRole:
      return Utf8(entry.Text(column));
    case Qt::ToolTipRole:
      // Paths are often wider than their column.
      if (column == Column::FileName) return Utf8(entry.caption);
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(IsNumeric(column) ? (Qt::AlignRight | Qt::AlignVCenter)
                                                   : (Qt::AlignLeft | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) {
    const std::string_view caption = kColumnCaptions[static_cast<std::size_t>(section)];
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
  }
  return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void FileListModel::RowInserted(std::size_t row) {
  const int at = static_cast<int>(row);
  {
    QScopedValueRollback guard(changingRows_, true);
    beginInsertRows(QModelIndex(), at, at);
    ++rows_;
    endInsertRows();
  }
  emit rowAdded(at);
}

void FileListModel::RowRemoved(std::size_t row) {
  const int at = static_cast<int>(row);
  QScopedValueRollback guard(changingRows_, true);
  beginRemoveRows(QModelIndex(), at, at);
  --rows_;
  endRemoveRows();
}

void FileListModel::RowChanged(std::size_t row) {
  const int at = static_cast<int>(row);
  emit dataChanged(index(at, 0), index(at, kColumnCount - 1));
  emit rowChanged(at);
}

void FileListModel::RowsReordered() {
  // Rows are already in their new places; the view starts over and the
  // window restores the selection from the rows' own selected state.
  {
    QScopedValueRollback guard(changingRows_, true);
    beginResetModel();
    rows_ = static_cast<int>(list_.size());
    endResetModel();
  }
  emit rowsReordered();
}

}  // namespace zandro::ui
