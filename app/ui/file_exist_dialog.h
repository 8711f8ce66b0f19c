#pragma once
// TfmFileExist, the question asked when a target or a new name is taken:
// use another name in the same directory, overwrite, or skip.

#include <QDialog>
#include <string>

#include "engine/overwrite_prompt.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zandro::ui {

class TfmFileExist final : public QDialog {
  Q_OBJECT

 public:
  TfmFileExist(const std::string& existingPath, QWidget* parent = nullptr);

  // None until a button ends the question.
  FileExistReply reply() const { return reply_; }

  QLineEdit* edit() const { return Edit1_; }

 private:
  void eClick();
  void SeSkinButton3Click();
  void SeSkinButton2Click();

  std::string existingPath_;
  FileExistReply reply_;
  QLabel* lbFile_ = nullptr;
  QLineEdit* Edit1_ = nullptr;
};

// The prompt the run and auto-rename ask: one window per existing file.
class QtOverwritePrompt final : public OverwritePrompt {
 public:
  FileExistReply Ask(const std::string& existingPath) override;
};

}  // namespace zandro::ui
