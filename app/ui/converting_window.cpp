#include "converting_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "dialog_support.h"

namespace zandro::ui {

namespace {

constexpr auto kStartEventType = static_cast<QEvent::Type>(TfmConverting::kStartEvent);
static_assert(TfmConverting::kStartEvent >= QEvent::User && TfmConverting::kStartEvent <= QEvent::MaxUser);

enum StatusColumn { kSourceColumn = 0, kTargetColumn = 1, kStatusColumn = 2 };

}  // namespace

TfmConverting::TfmConverting(std::vector<StatusRow> rows, const ConvertSettings& settings, OverwritePrompt& prompt,
                             QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("fmConverting"));
  setWindowTitle(QStringLiteral("Converting"));
  // No border icons: the button is the only way out.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto* layout = new QVBoxLayout(this);
  lvStatus_ = new QTreeWidget(this);
  lvStatus_->setObjectName(QStringLiteral("lvStatus"));
  lvStatus_->setRootIsDecorated(false);
  lvStatus_->setUniformRowHeights(true);
  lvStatus_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvStatus_->setHeaderLabels({QStringLiteral("Source File"), QStringLiteral("Destinate File"), QStringLiteral("Status")});
  lvStatus_->header()->setStretchLastSection(false);
  lvStatus_->header()->resizeSection(kSourceColumn, 220);
  lvStatus_->header()->resizeSection(kTargetColumn, 220);
  // Wide enough for the longest status text in the desktop's font.
  const int statusWidth = std::max(70, fontMetrics().horizontalAdvance(QStringLiteral("Converting")) + 16);
  lvStatus_->header()->resizeSection(kStatusColumn, statusWidth);
  lvStatus_->setMinimumSize(220 + 220 + statusWidth + 24, 180);
  // Paths lose their middle, so both the folder and the file name stay readable.
  lvStatus_->setTextElideMode(Qt::ElideMiddle);
  // Only the run moves through it; the selection stays visible all the same.
  lvStatus_->setEnabled(false);
  QPalette palette = lvStatus_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
  }
  lvStatus_->setPalette(palette);
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const StatusRow& row : rows) {
    items << new QTreeWidgetItem({PathText(row.source), PathText(row.target), Utf8Text(row.status)});
  }
  lvStatus_->addTopLevelItems(items);
  layout->addWidget(lvStatus_);

  auto* progress = new QGroupBox(QStringLiteral("Converting Progress"), this);
  auto* progressLayout = new QGridLayout(progress);
  pbThis_ = new QProgressBar(progress);
  pbThis_->setObjectName(QStringLiteral("pbThis"));
  pbThis_->setRange(0, 100);
  pbThis_->setValue(0);
  pbTotal_ = new QProgressBar(progress);
  pbTotal_->setObjectName(QStringLiteral("pbTotal"));
  pbTotal_->setRange(0, 100);
  pbTotal_->setValue(0);
  progressLayout->addWidget(new QLabel(QStringLiteral("Current File"), progress), 0, 0);
  progressLayout->addWidget(pbThis_, 0, 1);
  progressLayout->addWidget(new QLabel(QStringLiteral("Total File"), progress), 1, 0);
  progressLayout->addWidget(pbTotal_, 1, 1);
  layout->addWidget(progress);

  auto* times = new QGroupBox(QStringLiteral("Time Estimate"), this);
  auto* timesLayout = new QVBoxLayout(times);
  lbElapsed_ = new QLabel(times);
  lbElapsed_->setObjectName(QStringLiteral("lbElapsed"));
  lbRemain_ = new QLabel(times);
  lbRemain_->setObjectName(QStringLiteral("lbRemain"));
  // The texts change every second; a steady width keeps the window still.
  const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("Remain  : 00:00:00")) + 8;
  for (QLabel* label : {lbElapsed_, lbRemain_}) {
    label->setMinimumWidth(timeWidth);
    timesLayout->addWidget(label);
  }
  layout->addWidget(times);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  btnDone_ = new QPushButton(QStringLiteral("Cancel"), this);
  btnDone_->setObjectName(QStringLiteral("btnDone"));
  btnDone_->setAutoDefault(false);
  buttonRow->addWidget(btnDone_);
  layout->addLayout(buttonRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
  connect(btnDone_, &QPushButton::clicked, this, &TfmConverting::btnDoneClick);

  run_ = std::make_unique<ConversionRun>(std::move(rows), settings, static_cast<ConversionView&>(*this), prompt);
}

TfmConverting::~TfmConverting() = default;

const std::vector<StatusRow>& TfmConverting::rows() const { return run_->Rows(); }

bool TfmConverting::stopRequested() const { return run_->StopRequested(); }

bool TfmConverting::event(QEvent* event) {
  if (event->type() == kStartEventType) {
    RunConversion();
    return true;
  }
  return QDialog::event(event);
}

void TfmConverting::closeEvent(QCloseEvent* event) {
  // Only the button closes the window; the run must see its cancel first.
  if (closing_) {
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}

void TfmConverting::keyPressEvent(QKeyEvent* event) {
  // Escape would close the dialog behind the run's back.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfmConverting::RunConversion() { run_->Run(); }

void TfmConverting::btnDoneClick() {
  run_->PressButton();  // shows the cancel notice while the run is still going
  closing_ = true;
  accept();
}

void TfmConverting::SetTotalMaximum(std::size_t rows) { pbTotal_->setMaximum(static_cast<int>(rows)); }

void TfmConverting::SetTotalProgress(std::size_t rowsFinished) { pbTotal_->setValue(static_cast<int>(rowsFinished)); }

void TfmConverting::SetFileProgress(int percent) { pbThis_->setValue(percent); }

void TfmConverting::ShowCurrentRow(std::size_t row) {
  QTreeWidgetItem* item = lvStatus_->topLevelItem(static_cast<int>(row));
  if (!item) return;
  lvStatus_->setCurrentItem(item);
  lvStatus_->scrollToItem(item);
}

void TfmConverting::SetRowStatus(std::size_t row, const std::string& status) {
  if (QTreeWidgetItem* item = lvStatus_->topLevelItem(static_cast<int>(row))) {
    item->setText(kStatusColumn, Utf8Text(status));
  }
}

void TfmConverting::SetRowTarget(std::size_t row, const std::string& target) {
  if (QTreeWidgetItem* item = lvStatus_->topLevelItem(static_cast<int>(row))) {
    item->setText(kTargetColumn, PathText(target));
  }
}

void TfmConverting::SetRowReason(std::size_t row, const std::string& reason) {
  if (QTreeWidgetItem* item = lvStatus_->topLevelItem(static_cast<int>(row))) {
    item->setToolTip(kStatusColumn, Utf8Text(reason));
  }
}

void TfmConverting::SetTimes(const std::string& elapsed, const std::string& remain) {
  lbElapsed_->setText(Utf8Text(elapsed));
  lbRemain_->setText(Utf8Text(remain));
}

void TfmConverting::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TfmConverting::RunCompleted() {
  btnDone_->setText(QStringLiteral("Done"));
  QApplication::beep();
  // The taskbar entry (the main window's, at the root of the owner chain)
  // asks for attention until the user comes back.
  QWidget* owner = this;
  while (owner->parentWidget()) owner = owner->parentWidget();
  QApplication::alert(owner->window(), 0);
}

std::vector<StatusRow> RunConversionWindow(std::vector<StatusRow> rows, const ConvertSettings& settings,
                                           OverwritePrompt& prompt, QWidget* parent) {
  TfmConverting window(std::move(rows), settings, prompt, parent);
  // Posted, so the run starts once the modal loop runs with the window shown.
  QCoreApplication::postEvent(&window, new QEvent(kStartEventType));
  window.exec();
  return window.rows();
}

}  // namespace zandro::ui
