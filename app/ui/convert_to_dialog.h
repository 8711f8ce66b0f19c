#pragma once
// TfmConvertTo, the options of a conversion: the target kind (tabs), a bit
// rate for every kind of source stream, the output directory, the naming of
// the targets and the deletion of the sources. Its Convert button runs the
// conversion in the progress window.

#include <QDialog>
#include <functional>
#include <vector>

#include "engine/conversion_inputs.h"
#include "engine/file_list.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabBar;
class QToolButton;
class QTreeWidget;

namespace zandro::ui {

class TfmConvertTo final : public QDialog {
  Q_OBJECT

 public:
  // `tab`: 0 WMA, 1 MP3, 2 WAV. The rule is the main window's: opening the
  // dialog turns its five switches on; "Tag Rule" may change it.
  TfmConvertTo(FileList& list, TagRuleSettings& rule, bool selectedOnly, int tab, QWidget* parent = nullptr);

  // The options as the controls stand.
  ConvertSettings Settings() const;
  // The folder chooser behind ".."; replaceable so that tests need no desktop dialog.
  using FolderChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
  void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

  // The default output directory: "converted music" in the home directory.
  static QString DefaultOutputDirectory();

 private:
  void tcConvertChange();
  void lvSelectBitrateChange();
  void lbChangeBitrateClick();
  void sbDirClick();
  void sbTagRuleClick();
  void ApplicationEvents1Idle();
  void PreviewClick();
  void SeSkinButton1Click();
  void SeSkinButton2Click();

  AudioKind TargetKind() const;
  void ShowBitrate(int row);

  FileList& list_;
  TagRuleSettings& rule_;
  bool selectedOnly_;
  std::vector<StreamBitrateRow> streams_;
  FolderChooser chooseFolder_;

  QTabBar* tcConvert_ = nullptr;
  QTreeWidget* lvSelectBitrate_ = nullptr;
  QGroupBox* spChangeBitrate_ = nullptr;
  QListWidget* lbChangeBitrate_ = nullptr;
  QRadioButton* rbSameDir_ = nullptr;
  QRadioButton* rbDirectoryTo_ = nullptr;
  QLineEdit* edConvertDir_ = nullptr;
  QToolButton* sbDir_ = nullptr;
  QRadioButton* rbSameFileName_ = nullptr;
  QRadioButton* rbUseTag_ = nullptr;
  QPushButton* sbTagRule_ = nullptr;
  QCheckBox* cbDeleteSourceFile_ = nullptr;
};

// Opens the options dialog modally for the list; the run, if any, happens
// inside its Convert button.
void OpenConvertOptions(FileList& list, TagRuleSettings& rule, bool selectedOnly, int tab, QWidget* parent);

}  // namespace zandro::ui
