#pragma once
// TfmTagRule, the naming rule: which tags make a file name, and the
// splitter between them.

#include <QDialog>

#include "engine/auto_rename.h"

class QCheckBox;
class QLineEdit;

namespace zandro::ui {

class TfmTagRule final : public QDialog {
  Q_OBJECT

 public:
  explicit TfmTagRule(const TagRuleSettings& rule, QWidget* parent = nullptr);

  // The rule as "OK" took it; as given otherwise.
  const TagRuleSettings& rule() const { return rule_; }
  bool accepted() const { return accepted_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TagRuleSettings FromControls() const;
  void cbAuthorClick();
  void SeSkinButton1Click();
  void SeSkinButton2Click();

  TagRuleSettings rule_;
  bool accepted_ = false;
  QLineEdit* Edit1_ = nullptr;
  QCheckBox* cbAuthor_ = nullptr;
  QCheckBox* cbYear_ = nullptr;
  QCheckBox* cbAlbum_ = nullptr;
  QCheckBox* cbTitle_ = nullptr;
  QCheckBox* cbTrack_ = nullptr;
  QLineEdit* edSplitter_ = nullptr;
};

// The rule dialog as a window; "OK" changes the rule, nothing else does.
class QtTagRuleDialog final : public TagRuleDialog {
 public:
  bool Edit(TagRuleSettings& rule) override;
};

}  // namespace zandro::ui
