#pragma once
// The engine's front-end interfaces for a terminal: messages, the
// overwrite question and the run's progress.

#include <csignal>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/conversion_run.h"
#include "engine/overwrite_prompt.h"
#include "zplatform/messages.h"

namespace zandro::cli {

bool StdinIsTerminal();
bool StderrIsTerminal();

// Messages on stderr; a question is asked on the terminal when there is
// one, else answered with `unattendedAnswer`.
class TerminalMessages : public zplatform::MessageSink {
 public:
  zplatform::MessageAnswer Show(zplatform::MessageKind kind, std::string_view caption,
                                std::string_view text) override;
  bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                  std::size_t maxBytes) override;

  zplatform::MessageAnswer unattendedAnswer = zplatform::MessageAnswer::No;
};

// What --if-exists asks for.
struct IfExists {
  enum class Mode { Ask, Skip, Overwrite, Rename } mode = Mode::Skip;
  std::string newName;  // for Rename
};

class TerminalPrompt : public OverwritePrompt {
 public:
  explicit TerminalPrompt(IfExists policy) : policy_(std::move(policy)) {}
  FileExistReply Ask(const std::string& existingPath) override;

 private:
  IfExists policy_;
};

// Prints one line per row when it ends ("status<TAB>source<TAB>target") on
// stdout, and a progress line on stderr when that is a terminal. Ctrl+C
// presses the run's Cancel button at the next pump.
class TerminalRunView : public ConversionView {
 public:
  explicit TerminalRunView(const std::vector<StatusRow>& rows);
  ~TerminalRunView() override;
  TerminalRunView(const TerminalRunView&) = delete;
  TerminalRunView& operator=(const TerminalRunView&) = delete;

  void Attach(RunControl* run) { run_ = run; }

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

  // Lines for the rows that never started (after a cancel).
  void ReportUnstarted();

 private:
  void PrintRow(std::size_t row);
  void Redraw();
  void ClearProgressLine();

  std::vector<StatusRow> rows_;
  std::vector<bool> reported_;
  RunControl* run_ = nullptr;
  bool progressShown_ = false;
  bool drawing_;
  std::size_t current_ = 0, total_ = 0, finished_ = 0;
  int percent_ = 0;
  std::string elapsed_, remain_;
  struct sigaction previous_ {};
};

}  // namespace zandro::cli
