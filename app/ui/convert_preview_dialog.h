#pragma once
// TfmConvertPreview: what a conversion would do, row by row, before it
// runs: each source, its target, and what happens there.

#include <QDialog>
#include <vector>

#include "engine/conversion_plan.h"

class QLabel;
class QTreeWidget;

namespace zandro::ui {

class TfmConvertPreview final : public QDialog {
  Q_OBJECT

 public:
  explicit TfmConvertPreview(const std::vector<PlanRow>& plan, QWidget* parent = nullptr);

  QTreeWidget& planList() const { return *lvPlan_; }
  QString summary() const;

 private:
  QTreeWidget* lvPlan_ = nullptr;
  QLabel* lbSummary_ = nullptr;
};

// "3 file(s): 2 free, 1 will ask" and the like.
QString PlanSummary(const std::vector<PlanRow>& plan);

}  // namespace zandro::ui
