#pragma once
// TfmConvertor, the main window: the file list lvConvertor, the menu bar,
// the tool bar with its pop-up menus, the status bar with the counts, and
// the commands that work on the list.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QModelIndex>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/auto_rename.h"
#include "engine/conversion_inputs.h"
#include "engine/file_list.h"

class QAction;
class QItemSelection;
class QLabel;
class QMenu;
class QTreeView;

namespace zplatform {
class WindowRegistration;
}

namespace zandro::ui {

class FileListModel;
class PopupButton;

// Owns the file list and the naming rule for its lifetime; registered under
// "TfmConvertor" so that the WMA library can post to it.
class TfmConvertor final : public QMainWindow {
  Q_OBJECT

 public:
  // `list` may be given (tests, benchmarks); otherwise the window makes one
  // over the audio operations.
  explicit TfmConvertor(std::unique_ptr<FileList> list = nullptr, QWidget* parent = nullptr);
  ~TfmConvertor() override;

  FileList& fileList() { return *list_; }
  FileListModel& model() { return *model_; }
  QTreeView& listView() { return *lvConvertor_; }
  const TagRuleSettings& tagRule() const { return tagRule_; }
  QString statusText() const;

  // Adds one file: silently nothing for a duplicate or unreadable file.
  void AddFileToList(const std::string& path);
  // Adds the files of a tree that pass the scan filter; events keep running
  // while it works.
  void AddDirectoryToList(const std::string& directory);
  void UpdateStatusCounts();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QAction* MakeAction(const char* name, const QString& caption, const QString& hint, int tag,
                      const QKeySequence& shortcut, void (TfmConvertor::*handler)());
  QMenu* MakeSubmenu(QMenu* parent, const char* name, const QString& caption);
  PopupButton* MakePopupButton(const char* name, const QString& caption, const QString& hint, const QIcon& icon,
                               QMenu* popup);
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildList();

  // Command handlers; one serves each family and reads the firing action's tag.
  void AddFile1Click();
  void AddDircory1Click();
  void DeleteSelClick();
  void SelectAllClick();
  void DeleteAllClick();
  void lvConvertorColumnClick(int column);
  void lvConvertorDblClick(const QModelIndex& index);
  void ConvertWmaClick();
  void ConvertSelectWmaCmdExecute();
  void ChangeTagInfoClick();
  void GroupAuthorClick();
  void ToolAutoRenameCmdExecute();
  void ToolUndoAutoRenameCmdExecute();
  void AboutHelpCmdExecute();
  void HomePageClick();
  void About2Click();
  void Exit1Click();

  void HandleWindowMessage(int message, std::intptr_t wParam, std::intptr_t lParam);
  void AddDroppedPaths(const QStringList& paths);
  void RowAdded(int row);
  void ListSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  void RowChanged(int row);
  void RestoreSelectionFromRows();
  void ApplicationEvents1Idle();
  int SenderTag() const;

  std::unique_ptr<FileList> list_;
  TagRuleSettings tagRule_;
  ScanFilter scanFilter_ = ScanFilter::All;
  bool selectedOnly_ = false;  // of the last convert command
  QString lastDirectory_;
  // The renames of the last auto-rename, for its undo.
  std::vector<RenameResult> lastRename_;

  FileListModel* model_ = nullptr;
  QTreeView* lvConvertor_ = nullptr;
  QLabel* statusText_ = nullptr;
  QTimer idle_;
  QElapsedTimer lastEventPass_;
  static constexpr qint64 kEventPassIntervalMs = 30;
  // Set while the window itself moves selection between the rows and the view.
  bool syncingSelection_ = false;

  // Every action, by its name in the table of commands.
  QAction* FileAddFileCmd = nullptr;
  QAction* FileAddDirAllCmd = nullptr;
  QAction* FileAddDirWMACmd = nullptr;
  QAction* FileAddDirMP3Cmd = nullptr;
  QAction* FileAddDirWAVCmd = nullptr;
  QAction* FileDeleteSelCmd = nullptr;
  QAction* FileSelectAllCmd = nullptr;
  QAction* FileSelectWmaCmd = nullptr;
  QAction* FileSelectMp3Cmd = nullptr;
  QAction* FileSelectWavCmd = nullptr;
  QAction* FileDeleteAllCmd = nullptr;
  QAction* FileDeleteWmaCmd = nullptr;
  QAction* FileDeleteMp3Cmd = nullptr;
  QAction* FileDeleteWavCmd = nullptr;
  QAction* FileExitCmd = nullptr;
  QAction* ConvertWmaCmd = nullptr;
  QAction* ConvertMp3Cmd = nullptr;
  QAction* ConvertWavCmd = nullptr;
  QAction* ConvertSelectWmaCmd = nullptr;
  QAction* ConvertSelectMp3Cmd = nullptr;
  QAction* ConvertSelectWavCmd = nullptr;
  QAction* ToolChangeTagInfoCmd = nullptr;
  QAction* ToolGroupSetAuthorCmd = nullptr;
  QAction* ToolGroupSetAlbumCmd = nullptr;
  QAction* ToolGroupSetYearCmd = nullptr;
  QAction* ToolAutoRenameCmd = nullptr;
  QAction* ToolUndoAutoRenameCmd = nullptr;
  QAction* AboutHelpCmd = nullptr;
  QAction* AboutHomePageCmd = nullptr;
  QAction* AboutAboutCmd = nullptr;

  // Last, so that it goes first: no message is queued for a half-destroyed window.
  std::unique_ptr<zplatform::WindowRegistration> registration_;
};

}  // namespace zandro::ui
