#pragma once
// The about box: the product name, a version line and a link line to the
// home page. Created for one showing.

#include <QDialog>

namespace zandro::ui {

class TfmAbout final : public QDialog {
  Q_OBJECT

 public:
  explicit TfmAbout(QWidget* parent = nullptr);
};

}  // namespace zandro::ui
