#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>

#include "about_dialog.h"
#include "convert_to_dialog.h"
#include "engine/tag_commands.h"
#include "file_exist_dialog.h"
#include "file_list_model.h"
#include "icons.h"
#include "popup_button.h"
#include "product.h"
#include "tag_info_dialog.h"
#include "tag_rule_dialog.h"
#include "zplatform/messages.h"
#include "zplatform/window_registry.h"

namespace zandro::ui {

namespace {

std::string FileSystemPath(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool IsAudioFileName(const QString& path) {
  return ExtensionMatches(FileSystemPath(QFileInfo(path).fileName()), KindChoice::Wma) ||
         ExtensionMatches(FileSystemPath(QFileInfo(path).fileName()), KindChoice::Mp3) ||
         ExtensionMatches(FileSystemPath(QFileInfo(path).fileName()), KindChoice::Wav);
}

QStringList LocalPaths(const QMimeData* mime) {
  QStringList paths;
  if (mime == nullptr || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}

const char* const kRightsNotice =
    "Sorry, We now don't support converting for digital rights management (DRM) protected WMA audio file.";

}  // namespace

TfmConvertor::TfmConvertor(std::unique_ptr<FileList> list, QWidget* parent)
    : QMainWindow(parent), list_(list ? std::move(list) : std::make_unique<FileList>()) {
  setObjectName(QStringLiteral("fmConvertor"));
  setWindowTitle(kProductName);
  setWindowIcon(AppIcon());
  setAcceptDrops(true);
  lastDirectory_ = QDir::homePath();

  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildList();

  // The status bar holds only the count text, never a command's hint.
  statusText_ = new QLabel(QStringLiteral("Ready"), this);
  statusText_->setObjectName(QStringLiteral("StatusText"));
  statusBar()->addWidget(statusText_, 1);

  tagRule_ = TagRuleSettings{};  // the naming rule's defaults: every tag, splitter "-"

  // The idle update: runs once the events that are waiting have been handled.
  idle_.setSingleShot(true);
  idle_.setInterval(0);
  connect(&idle_, &QTimer::timeout, this, &TfmConvertor::ApplicationEvents1Idle);
  idle_.start();

  const QRect available = screen()->availableGeometry();
  const QSize size(std::min(1100, available.width() * 9 / 10), std::min(640, available.height() * 9 / 10));
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, available));

  registration_ = std::make_unique<zplatform::WindowRegistration>(
      kMainWindowClass, [this](int message, std::intptr_t wParam, std::intptr_t lParam) {
        // Any thread: only queue, the window handles it on its own thread.
        QMetaObject::invokeMethod(
            this, [this, message, wParam, lParam] { HandleWindowMessage(message, wParam, lParam); },
            Qt::QueuedConnection);
      });
}

TfmConvertor::~TfmConvertor() {
  registration_.reset();
  // The model observes the list, which goes before the child widgets do.
  delete model_;
  model_ = nullptr;
}

QAction* TfmConvertor::MakeAction(const char* name, const QString& caption, const QString& hint, int tag,
                                  const QKeySequence& shortcut, void (TfmConvertor::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QLatin1String(name));
  action->setData(tag);
  if (!hint.isEmpty()) action->setToolTip(hint);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  if (handler != nullptr) {
    connect(action, &QAction::triggered, this, handler);
  } else {
    // Its window is not part of the program yet: shown, but never pretending to work.
    action->setEnabled(false);
  }
  return action;
}

void TfmConvertor::BuildActions() {
  using T = TfmConvertor;
  const QKeySequence none;
  FileAddFileCmd = MakeAction("FileAddFileCmd", "Add File", "Add Files to convertor list", 0,
                              QKeySequence(Qt::CTRL | Qt::Key_O), &T::AddFile1Click);
  FileAddFileCmd->setIcon(ThemeIcon("document-open", "add-file"));
  FileAddDirWMACmd = MakeAction("FileAddDirWMACmd", "WMA", "Add all wma files from one directory", 0, none,
                                &T::AddDircory1Click);
  FileAddDirMP3Cmd = MakeAction("FileAddDirMP3Cmd", "MP3", "Add all mp3 audio files from one directory", 1, none,
                                &T::AddDircory1Click);
  FileAddDirWAVCmd = MakeAction("FileAddDirWAVCmd", "WAV", "Add all wav audio files from one directory", 2, none,
                                &T::AddDircory1Click);
  FileAddDirAllCmd = MakeAction("FileAddDirAllCmd", "All Audio Files",
                                "Add all supported audio files from one directory", 3,
                                QKeySequence(Qt::CTRL | Qt::Key_D), &T::AddDircory1Click);
  FileDeleteSelCmd = MakeAction("FileDeleteSelCmd", "Delete Selected", "Delete all selected files", 0,
                                QKeySequence(Qt::Key_Delete), &T::DeleteSelClick);
  FileDeleteSelCmd->setIcon(ThemeIcon("edit-delete", "delete-selected"));
  FileSelectAllCmd = MakeAction("FileSelectAllCmd", "All", "Select all files", 0,
                                QKeySequence(Qt::CTRL | Qt::Key_A), &T::SelectAllClick);
  FileSelectWmaCmd = MakeAction("FileSelectWmaCmd", "WMA", "Select all wma files", 1, none, &T::SelectAllClick);
  FileSelectMp3Cmd = MakeAction("FileSelectMp3Cmd", "MP3", "Select all mp3 files", 2, none, &T::SelectAllClick);
  FileSelectWavCmd = MakeAction("FileSelectWavCmd", "WAV", "Select all wav files", 3, none, &T::SelectAllClick);
  FileDeleteAllCmd = MakeAction("FileDeleteAllCmd", "All", "Delete all files from convertor list", 0, none,
                                &T::DeleteAllClick);
  FileDeleteWmaCmd = MakeAction("FileDeleteWmaCmd", "WMA", "Delete all wma files from convertor list", 1, none,
                                &T::DeleteAllClick);
  FileDeleteMp3Cmd = MakeAction("FileDeleteMp3Cmd", "MP3", "Delete all mp3 files from convertor list", 2, none,
                                &T::DeleteAllClick);
  FileDeleteWavCmd = MakeAction("FileDeleteWavCmd", "WAV", "Delete all wav files from convertor list", 3, none,
                                &T::DeleteAllClick);
  FileExitCmd = MakeAction("FileExitCmd", "Exit", QString(), 0, none, &T::Exit1Click);
  FileExitCmd->setIcon(QIcon::fromTheme(QStringLiteral("application-exit")));

  ConvertWmaCmd = MakeAction("ConvertWmaCmd", "To WMA", QString(), 0, none, &T::ConvertWmaClick);
  ConvertMp3Cmd = MakeAction("ConvertMp3Cmd", "To MP3", QString(), 1, none, &T::ConvertWmaClick);
  ConvertWavCmd = MakeAction("ConvertWavCmd", "To WAV", QString(), 2, none, &T::ConvertWmaClick);
  ConvertSelectWmaCmd = MakeAction("ConvertSelectWmaCmd", "To WMA", QString(), 0, none, &T::ConvertSelectWmaCmdExecute);
  ConvertSelectMp3Cmd = MakeAction("ConvertSelectMp3Cmd", "To MP3", QString(), 1, none, &T::ConvertSelectWmaCmdExecute);
  ConvertSelectWavCmd = MakeAction("ConvertSelectWavCmd", "To WAV", QString(), 2, none, &T::ConvertSelectWmaCmdExecute);

  ToolChangeTagInfoCmd = MakeAction("ToolChangeTagInfoCmd", "Change Selected Files Tag Info", QString(), 0, none,
                                    &T::ChangeTagInfoClick);
  ToolGroupSetAuthorCmd = MakeAction("ToolGroupSetAuthorCmd", "Author", QString(), 0, none, &T::GroupAuthorClick);
  ToolGroupSetAlbumCmd = MakeAction("ToolGroupSetAlbumCmd", "Album", QString(), 1, none, &T::GroupAuthorClick);
  ToolGroupSetYearCmd = MakeAction("ToolGroupSetYearCmd", "Year", QString(), 2, none, &T::GroupAuthorClick);
  ToolAutoRenameCmd = MakeAction("ToolAutoRenameCmd", "Auto Rename Selected Files",
                                 "Auto Rename use tag information", 0, none, &T::ToolAutoRenameCmdExecute);
  ToolUndoAutoRenameCmd = MakeAction("ToolUndoAutoRenameCmd", "Undo Auto Rename",
                                     "Give the files of the last auto rename their old names", 0, none,
                                     &T::ToolUndoAutoRenameCmdExecute);
  ToolUndoAutoRenameCmd->setEnabled(false);

  AboutHelpCmd = MakeAction("AboutHelpCmd", "Help", QString(), 0, QKeySequence(Qt::Key_F1), &T::AboutHelpCmdExecute);
  AboutHelpCmd->setIcon(QIcon::fromTheme(QStringLiteral("help-contents")));
  AboutHomePageCmd = MakeAction("AboutHomePageCmd", "Home Page", QString(), 0, none, &T::HomePageClick);
  AboutAboutCmd = MakeAction("AboutAboutCmd", "About", QString(), 0, none, &T::About2Click);
  AboutAboutCmd->setIcon(QIcon::fromTheme(QStringLiteral("help-about")));
}

QMenu* TfmConvertor::MakeSubmenu(QMenu* parent, const char* name, const QString& caption) {
  QMenu* menu = parent->addMenu(caption);
  menu->setObjectName(QLatin1String(name));
  menu->menuAction()->setObjectName(QLatin1String(name));
  menu->setToolTipsVisible(true);
  return menu;
}

void TfmConvertor::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuFile"));
  file->setToolTipsVisible(true);
  file->addAction(FileAddFileCmd);
  QMenu* addDirectory = MakeSubmenu(file, "FileAddDirectoryCmd", QStringLiteral("Add Directory"));
  addDirectory->addActions({FileAddDirAllCmd, FileAddDirWMACmd, FileAddDirMP3Cmd, FileAddDirWAVCmd});
  file->addSeparator();
  file->addAction(FileDeleteSelCmd);
  QMenu* select = MakeSubmenu(file, "FileSelectCmd", QStringLiteral("Select"));
  select->addActions({FileSelectAllCmd, FileSelectWmaCmd, FileSelectMp3Cmd, FileSelectWavCmd});
  QMenu* remove = MakeSubmenu(file, "FileDeleteCmd", QStringLiteral("Delete"));
  remove->addActions({FileDeleteAllCmd, FileDeleteWmaCmd, FileDeleteMp3Cmd, FileDeleteWavCmd});
  file->addSeparator();
  file->addAction(FileExitCmd);

  QMenu* convert = menuBar()->addMenu(QStringLiteral("&Convert"));
  convert->setObjectName(QStringLiteral("mnuConvert"));
  MakeSubmenu(convert, "ConvertToCmd", QStringLiteral("Convert All"))
      ->addActions({ConvertWmaCmd, ConvertMp3Cmd, ConvertWavCmd});
  MakeSubmenu(convert, "ConvertSelectToCmd", QStringLiteral("Convert Selected"))
      ->addActions({ConvertSelectWmaCmd, ConvertSelectMp3Cmd, ConvertSelectWavCmd});

  QMenu* tool = menuBar()->addMenu(QStringLiteral("&Tool"));
  tool->setObjectName(QStringLiteral("mnuTool"));
  tool->setToolTipsVisible(true);
  tool->addAction(ToolChangeTagInfoCmd);
  MakeSubmenu(tool, "ToolGroupSetTagInfoCmd", QStringLiteral("Group Set Selected Files Tag Info"))
      ->addActions({ToolGroupSetAuthorCmd, ToolGroupSetAlbumCmd, ToolGroupSetYearCmd});
  tool->addAction(ToolAutoRenameCmd);
  tool->addAction(ToolUndoAutoRenameCmd);

  QMenu* about = menuBar()->addMenu(QStringLiteral("&About"));
  about->setObjectName(QStringLiteral("mnuAbout"));
  about->addActions({AboutHelpCmd, AboutHomePageCmd, AboutAboutCmd});
}

PopupButton* TfmConvertor::MakePopupButton(const char* name, const QString& caption, const QString& hint,
                                           const QIcon& icon, QMenu* popup) {
  auto* button = new PopupButton(popup, this);
  button->setObjectName(QLatin1String(name));
  button->setText(caption);
  button->setToolTip(hint);
  button->setIcon(icon);
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  return button;
}

void TfmConvertor::BuildToolBar() {
  auto popupMenu = [this](const char* name, std::initializer_list<QAction*> actions) {
    auto* menu = new QMenu(this);
    menu->setObjectName(QLatin1String(name));
    menu->setToolTipsVisible(true);
    for (QAction* action : actions) menu->addAction(action);
    return menu;
  };
  QMenu* popmenuAddDir =
      popupMenu("popmenuAddDir", {FileAddDirAllCmd, FileAddDirWMACmd, FileAddDirMP3Cmd, FileAddDirWAVCmd});
  QMenu* popmenuSelect =
      popupMenu("popmenuSelect", {FileSelectAllCmd, FileSelectWmaCmd, FileSelectMp3Cmd, FileSelectWavCmd});
  QMenu* popmenuDelete =
      popupMenu("popmenuDelete", {FileDeleteAllCmd, FileDeleteWmaCmd, FileDeleteMp3Cmd, FileDeleteWavCmd});
  QMenu* popmenuconvertall = popupMenu("popmenuconvertall", {ConvertWmaCmd, ConvertMp3Cmd, ConvertWavCmd});
  QMenu* popmenuconvertsel =
      popupMenu("popmenuconvertsel", {ConvertSelectWmaCmd, ConvertSelectMp3Cmd, ConvertSelectWavCmd});

  QToolBar* bar = addToolBar(QStringLiteral("Commands"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(32, 32));
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->toggleViewAction()->setEnabled(false);

  auto actionButton = [this](const char* name, QAction* action) {
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    return button;
  };
  bar->addWidget(actionButton("SpeedButton1", FileAddFileCmd));
  bar->addWidget(MakePopupButton("SpeedButton2", "Add Directory",
                                 "Add Audio Files from one direcotry to convertor list",
                                 ThemeIcon("folder-open", "add-directory"), popmenuAddDir));
  bar->addWidget(actionButton("SpeedButton7", FileDeleteSelCmd));
  bar->addWidget(MakePopupButton("SpeedButton4", "Select", "Select Files in convertor list",
                                 ThemeIcon("edit-select-all", "select"), popmenuSelect));
  bar->addWidget(MakePopupButton("SpeedButton3", "Delete", "Delete files from convertor list",
                                 ThemeIcon("edit-clear-all", "delete"), popmenuDelete));
  bar->addSeparator();
  bar->addWidget(MakePopupButton("SpeedButton6", "Convert All", "Convert all files in convertor list",
                                 ThemeIcon("media-playlist-repeat", "convert-all"), popmenuconvertall));
  bar->addWidget(MakePopupButton("SpeedButton5", "Convert Selected", "Convert only selected files in convertor list",
                                 ThemeIcon("media-playback-start", "convert-selected"), popmenuconvertsel));
}

void TfmConvertor::BuildList() {
  model_ = new FileListModel(*list_, this);
  lvConvertor_ = new QTreeView(this);
  lvConvertor_->setObjectName(QStringLiteral("lvConvertor"));
  lvConvertor_->setModel(model_);
  lvConvertor_->setRootIsDecorated(false);
  lvConvertor_->setItemsExpandable(false);
  lvConvertor_->setUniformRowHeights(true);  // keeps long lists quick
  lvConvertor_->setAllColumnsShowFocus(true);
  lvConvertor_->setAlternatingRowColors(true);
  lvConvertor_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvConvertor_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvConvertor_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvConvertor_->setSortingEnabled(false);
  lvConvertor_->setTextElideMode(Qt::ElideMiddle);

  QHeaderView* header = lvConvertor_->header();
  header->setSectionsMovable(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  header->setHighlightSections(false);
  header->setStretchLastSection(true);
  for (int column = 0; column + 1 < kColumnCount; ++column) {
    // The design's widths, widened where the caption would be cut in this font.
    const QString caption = model_->headerData(column, Qt::Horizontal).toString();
    const int fits = header->fontMetrics().horizontalAdvance(caption) +
                     4 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    header->resizeSection(column, std::max(FileListModel::ColumnWidth(column), fits));
  }
  connect(header, &QHeaderView::sectionClicked, this, &TfmConvertor::lvConvertorColumnClick);
  connect(lvConvertor_, &QTreeView::doubleClicked, this, &TfmConvertor::lvConvertorDblClick);

  connect(model_, &FileListModel::rowAdded, this, &TfmConvertor::RowAdded);
  connect(model_, &FileListModel::rowChanged, this, &TfmConvertor::RowChanged);
  connect(model_, &FileListModel::rowsReordered, this, &TfmConvertor::RestoreSelectionFromRows);
  connect(lvConvertor_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TfmConvertor::ListSelectionChanged);
  for (auto signal : {&QAbstractItemModel::rowsRemoved, &QAbstractItemModel::rowsInserted}) {
    connect(model_, signal, this, [this] { idle_.start(); });
  }
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { idle_.start(); });
  setCentralWidget(lvConvertor_);
}

QString TfmConvertor::statusText() const { return statusText_->text(); }

int TfmConvertor::SenderTag() const {
  const auto* action = qobject_cast<const QAction*>(sender());
  return action ? action->data().toInt() : 0;
}

// ---- the list's operations ----

void TfmConvertor::AddFileToList(const std::string& path) { list_->AddFile(path); }

void TfmConvertor::AddDirectoryToList(const std::string& directory) {
  list_->AddDirectory(directory, scanFilter_);
  UpdateStatusCounts();
}

void TfmConvertor::UpdateStatusCounts() { statusText_->setText(QString::fromStdString(list_->StatusText())); }

void TfmConvertor::RowAdded(int row) {
  lvConvertor_->scrollTo(model_->index(row, 0));
  UpdateStatusCounts();
  // Lets the window paint and the user work between two files of a long
  // scan; every command re-reads the list, so it stays consistent. A pass
  // repaints the window, which costs far more than adding a file, so passes
  // come at most every few frames rather than after every file.
  if (!lastEventPass_.isValid() || lastEventPass_.elapsed() >= kEventPassIntervalMs) {
    QCoreApplication::processEvents();
    lastEventPass_.start();
  }
}

void TfmConvertor::ApplicationEvents1Idle() { UpdateStatusCounts(); }

// ---- selection: the rows' selected state and the view's, kept equal ----

void TfmConvertor::ListSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  idle_.start();
  if (syncingSelection_ || model_->changingRows()) return;
  QScopedValueRollback guard(syncingSelection_, true);
  const QItemSelectionModel* selection = lvConvertor_->selectionModel();
  for (const QItemSelection* ranges : {&deselected, &selected}) {
    for (const QItemSelectionRange& range : *ranges) {
      for (int row = range.top(); row <= range.bottom(); ++row) {
        if (row < 0 || static_cast<std::size_t>(row) >= list_->size()) continue;
        list_->SetSelected(static_cast<std::size_t>(row), selection->isRowSelected(row, QModelIndex()));
      }
    }
  }
}

void TfmConvertor::RowChanged(int row) {
  idle_.start();
  if (syncingSelection_) return;
  QItemSelectionModel* selection = lvConvertor_->selectionModel();
  const bool wanted = list_->at(static_cast<std::size_t>(row)).selected;
  if (selection->isRowSelected(row, QModelIndex()) == wanted) return;
  QScopedValueRollback guard(syncingSelection_, true);
  selection->select(model_->index(row, 0), (wanted ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                               QItemSelectionModel::Rows);
}

void TfmConvertor::RestoreSelectionFromRows() {
  QItemSelection ranges;
  const int count = model_->rowCount();
  for (int row = 0; row < count;) {
    if (!list_->at(static_cast<std::size_t>(row)).selected) {
      ++row;
      continue;
    }
    const int first = row;
    while (row < count && list_->at(static_cast<std::size_t>(row)).selected) ++row;
    ranges.select(model_->index(first, 0), model_->index(row - 1, kColumnCount - 1));
  }
  QScopedValueRollback guard(syncingSelection_, true);
  lvConvertor_->selectionModel()->select(ranges, QItemSelectionModel::ClearAndSelect);
  idle_.start();
}

// ---- commands ----

void TfmConvertor::AddFile1Click() {
  QFileDialog dialog(this, QStringLiteral("Add File"), lastDirectory_);
  dialog.setObjectName(QStringLiteral("OpenDlg"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters({QStringLiteral("All Supported File (*.mp3 *.wav *.wma)"), QStringLiteral("MP3 Audio (*.mp3)"),
                         QStringLiteral("WMA Audio (*.wma)"), QStringLiteral("WAV Audio (*.wav)")});
  if (dialog.exec() != QDialog::Accepted) return;
  lastDirectory_ = dialog.directory().absolutePath();
  for (const QString& path : dialog.selectedFiles()) AddFileToList(FileSystemPath(path));
}

void TfmConvertor::AddDircory1Click() {
  static const char* const kTitles[] = {"Select Directory(*.wma) :", "Select Directory(*.mp3) :",
                                        "Select Directory(*.wav) :", "Select Directory(*.wma/*.mp3/*.wav) :"};
  const int tag = std::clamp(SenderTag(), 0, 3);
  QFileDialog dialog(this, QLatin1String(kTitles[tag]), lastDirectory_);
  dialog.setObjectName(QStringLiteral("FolderBrowser"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (dialog.exec() != QDialog::Accepted) return;
  const QString chosen = dialog.selectedFiles().value(0);
  if (chosen.isEmpty()) return;
  lastDirectory_ = chosen;
  scanFilter_ = static_cast<ScanFilter>(tag);
  AddDirectoryToList(FileSystemPath(chosen));
}

void TfmConvertor::DeleteSelClick() { list_->DeleteSelected(); }

void TfmConvertor::SelectAllClick() {
  {
    // One view update for the whole list instead of one per row.
    QScopedValueRollback guard(syncingSelection_, true);
    list_->SelectByKind(static_cast<KindChoice>(std::clamp(SenderTag(), 0, 3)));
  }
  RestoreSelectionFromRows();
}

void TfmConvertor::DeleteAllClick() { list_->DeleteByKind(static_cast<KindChoice>(std::clamp(SenderTag(), 0, 3))); }

void TfmConvertor::lvConvertorColumnClick(int column) { list_->SortByColumn(column); }

void TfmConvertor::lvConvertorDblClick(const QModelIndex& index) {
  if (!index.isValid()) return;
  // The clicked row becomes the selection, then it is edited.
  lvConvertor_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  lvConvertor_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  ChangeTagInfoClick();
}

void TfmConvertor::ConvertWmaClick() {
  selectedOnly_ = false;
  if (list_->empty()) {
    zplatform::ShowMessage(zplatform::MessageKind::Plain, "There is no file to convert !");
    return;
  }
  OpenConvertOptions(*list_, tagRule_, selectedOnly_, std::clamp(SenderTag(), 0, 2), this);
}

void TfmConvertor::ConvertSelectWmaCmdExecute() {
  if (list_->SelectedCount() == 0) {
    zplatform::ShowMessage(zplatform::MessageKind::Plain, "There is no file selected !");
    return;
  }
  selectedOnly_ = true;
  OpenConvertOptions(*list_, tagRule_, selectedOnly_, std::clamp(SenderTag(), 0, 2), this);
}

void TfmConvertor::ChangeTagInfoClick() {
  QtTagDialog dialog;
  ChangeTagInfo(*list_, dialog);
}

void TfmConvertor::GroupAuthorClick() { GroupSetTag(*list_, static_cast<GroupField>(std::clamp(SenderTag(), 0, 2))); }

void TfmConvertor::ToolAutoRenameCmdExecute() {
  QtTagRuleDialog dialog;
  QtOverwritePrompt prompt;
  AutoRenameOutcome outcome = RenameSelected(*list_, tagRule_, dialog, prompt);
  // A run that renamed nothing keeps the earlier batch to undo.
  if (!outcome.renamed.empty()) {
    lastRename_ = std::move(outcome.renamed);
    ToolUndoAutoRenameCmd->setEnabled(true);
  }
  // Every file that kept its name, with why; a Skip was the user's own answer.
  std::string text = "These files keep their names:";
  bool listed = false, failed = false;
  for (const RenameProblem& problem : outcome.problems) {
    if (problem.kind == RenameProblem::Kind::Skipped) continue;
    text += "\n" + problem.path + ": " + problem.reason;
    listed = true;
    failed |= IsFailure(problem);
  }
  if (listed) {
    zplatform::ShowMessage(failed ? zplatform::MessageKind::Error : zplatform::MessageKind::Information, text);
  }
}

void TfmConvertor::ToolUndoAutoRenameCmdExecute() {
  if (lastRename_.empty()) return;
  const UndoOutcome outcome = UndoAutoRename(*list_, lastRename_);
  lastRename_.clear();
  ToolUndoAutoRenameCmd->setEnabled(false);
  if (outcome.problems.empty()) return;
  std::string text = "These files keep their new names:";
  for (const std::string& problem : outcome.problems) text += "\n" + problem;
  zplatform::ShowMessage(zplatform::MessageKind::Information, text);
}

void TfmConvertor::AboutHelpCmdExecute() {
  // Beside the program as designed; an installed program keeps it with its
  // documentation. Nothing is said when it is missing.
  const QDir program(QCoreApplication::applicationDirPath());
  for (const QString& candidate :
       {program.filePath(QStringLiteral("help.html")), program.filePath(QStringLiteral("../share/doc/zandro/help.html"))}) {
    if (QFileInfo(candidate).isFile()) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(candidate).canonicalFilePath()));
      return;
    }
  }
}

void TfmConvertor::HomePageClick() { QDesktopServices::openUrl(QUrl(kHomePage)); }

void TfmConvertor::About2Click() {
  TfmAbout about(this);
  about.exec();
}

void TfmConvertor::Exit1Click() { close(); }

void TfmConvertor::HandleWindowMessage(int message, std::intptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  if (message == kWmNoRightsNotice) zplatform::ShowMessage(zplatform::MessageKind::Error, kRightsNotice);
}

// ---- events ----

bool TfmConvertor::event(QEvent* event) {
  // Hints show as tooltips only; the status bar keeps the counts.
  if (event->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(event);
}

void TfmConvertor::closeEvent(QCloseEvent* event) {
  // A scan in progress lets events run; stop it so that closing really ends the program.
  list_->StopScan();
  QMainWindow::closeEvent(event);
}

void TfmConvertor::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfmConvertor::dragMoveEvent(QDragMoveEvent* event) {
  if (!LocalPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfmConvertor::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  // Added after the drop has finished, so the file manager is not kept
  // waiting while a large folder is scanned.
  QMetaObject::invokeMethod(this, [this, paths] { AddDroppedPaths(paths); }, Qt::QueuedConnection);
}

void TfmConvertor::AddDroppedPaths(const QStringList& paths) {
  // Files as Add File with its first filter would take them, folders as
  // "All Audio Files".
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (info.isDir()) {
      scanFilter_ = ScanFilter::All;
      AddDirectoryToList(FileSystemPath(path));
    } else if (info.isFile() && IsAudioFileName(path)) {
      AddFileToList(FileSystemPath(path));
    }
  }
}

}  // namespace zandro::ui
