#pragma once
// The engine's file list as a Qt table model: eleven columns of row texts.
// It observes the list and turns every change into the model signals, so
// any view follows the rows; the list itself stays plain C++.

#include <QAbstractTableModel>

#include "engine/file_list.h"

namespace zandro::ui {

// Refers to the list (which must outlive it) and observes it for its lifetime.
class FileListModel final : public QAbstractTableModel, private FileListObserver {
  Q_OBJECT

 public:
  explicit FileListModel(FileList& list, QObject* parent = nullptr);
  ~FileListModel() override;

  FileList& list() { return list_; }

  // True while the model tells its views about rows coming or going; what
  // views report then (a removed row's selection) is about rows the list
  // has already changed.
  bool changingRows() const { return changingRows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The column widths of the list, in column order (the last one is left to
  // the view).
  static int ColumnWidth(int column);

 signals:
  // After the model has taken the change in.
  void rowAdded(int row);
  void rowChanged(int row);
  void rowsReordered();

 private:
  void RowInserted(std::size_t row) override;
  void RowRemoved(std::size_t row) override;
  void RowChanged(std::size_t row) override;
  void RowsReordered() override;

  FileList& list_;
  // The list tells about a change after making it; the model keeps its own
  // count so that it reports the old one until the view has been told.
  int rows_ = 0;
  bool changingRows_ = false;
};

}  // namespace zandro::ui
