#include "convert_preview_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialog_support.h"

namespace zandro::ui {

QString PlanSummary(const std::vector<PlanRow>& plan) {
  std::size_t free = 0;
  std::size_t ask = 0;
  for (const PlanRow& row : plan) {
    if (row.outcome == PlanOutcome::Free) ++free;
    if (row.outcome == PlanOutcome::ExistsOnDisk) ++ask;
  }
  const std::size_t problems = plan.size() - free - ask;
  QString text = QStringLiteral("%1 file(s): %2 free").arg(plan.size()).arg(free);
  if (ask > 0) text += QStringLiteral(", %1 will ask").arg(ask);
  if (problems > 0) text += QStringLiteral(", %1 with a problem").arg(problems);
  return text;
}

TfmConvertPreview::TfmConvertPreview(const std::vector<PlanRow>& plan, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmConvertPreview"));
  setWindowTitle(QStringLiteral("Preview"));

  auto* layout = new QVBoxLayout(this);
  lvPlan_ = new QTreeWidget(this);
  lvPlan_->setObjectName(QStringLiteral("lvPlan"));
  lvPlan_->setRootIsDecorated(false);
  lvPlan_->setUniformRowHeights(true);
  lvPlan_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvPlan_->setHeaderLabels({QStringLiteral("Source File"), QStringLiteral("Destinate File"), QStringLiteral("Outcome")});
  lvPlan_->header()->resizeSection(0, 260);
  lvPlan_->header()->resizeSection(1, 260);
  lvPlan_->setMinimumSize(760, 240);
  QList<QTreeWidgetItem*> items;
  for (const PlanRow& row : plan) {
    auto* item = new QTreeWidgetItem(
        {PathText(row.row.source), PathText(row.row.target), Utf8Text(OutcomeText(row))});
    // What needs the user's eye stands out.
    if (row.outcome != PlanOutcome::Free) {
      QFont font = item->font(2);
      font.setBold(true);
      item->setFont(2, font);
    }
    for (int column = 0; column < 2; ++column) item->setToolTip(column, item->text(column));
    items << item;
  }
  lvPlan_->addTopLevelItems(items);
  layout->addWidget(lvPlan_);

  lbSummary_ = new QLabel(PlanSummary(plan), this);
  lbSummary_->setObjectName(QStringLiteral("lbSummary"));
  layout->addWidget(lbSummary_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QString TfmConvertPreview::summary() const { return lbSummary_->text(); }

}  // namespace zandro::ui
