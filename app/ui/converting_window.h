#pragma once
// TfmConverting, the progress window of a conversion run: one status row per
// file, the current file's and the whole run's bars, the elapsed and the
// remaining time, and the one button that cancels and then closes.

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "engine/conversion_run.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace zandro::ui {

class TfmConverting final : public QDialog, private ConversionView {
  Q_OBJECT

 public:
  // The event that starts the run: posted just before the window is shown
  // modally, so that the run begins inside the window's own loop.
  static constexpr int kStartEvent = 1000 + 124;  // a user event number, as WM_USER + 100

  TfmConverting(std::vector<StatusRow> rows, const ConvertSettings& settings, OverwritePrompt& prompt,
                QWidget* parent = nullptr);
  ~TfmConverting() override;

  // The rows as the run left them.
  const std::vector<StatusRow>& rows() const;
  bool stopRequested() const;

  QPushButton& button() const { return *btnDone_; }
  QTreeWidget& statusList() const { return *lvStatus_; }
  QProgressBar& fileBar() const { return *pbThis_; }
  QProgressBar& totalBar() const { return *pbTotal_; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void RunConversion();
  void btnDoneClick();

  // ConversionView
  void SetTotalMaximum(std::size_t rows) override;
  void SetTotalProgress(std::size_t rowsFinished) override;
  void SetFileProgress(int percent) override;
  void ShowCurrentRow(std::size_t row) override;
  void SetRowStatus(std::size_t row, const std::string& status) override;
  void SetRowTarget(std::size_t row, const std::string& target) override;
  void SetRowReason(std::size_t row, const std::string& reason) override;
  void SetTimes(const std::string& elapsed, const std::string& remain) override;
  void PumpEvents() override;
  void RunCompleted() override;

  std::unique_ptr<ConversionRun> run_;
  bool closing_ = false;  // the button closed the window; nothing else may
  QTreeWidget* lvStatus_ = nullptr;
  QProgressBar* pbThis_ = nullptr;
  QProgressBar* pbTotal_ = nullptr;
  QLabel* lbElapsed_ = nullptr;
  QLabel* lbRemain_ = nullptr;
  QPushButton* btnDone_ = nullptr;
};

// Shows the run window modally over `rows` and runs it; returns the rows as
// the run left them, once the window is closed.
std::vector<StatusRow> RunConversionWindow(std::vector<StatusRow> rows, const ConvertSettings& settings,
                                           OverwritePrompt& prompt, QWidget* parent);

}  // namespace zandro::ui
