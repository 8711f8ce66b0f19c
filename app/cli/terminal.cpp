#include "cli/terminal.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/line_text.h"
#include "zplatform/path.h"

namespace zandro::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// One line from the terminal without its newline; false at the end of input.
bool ReadAnswer(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

zplatform::MessageAnswer TerminalMessages::Show(zplatform::MessageKind kind, std::string_view caption,
                                                std::string_view text) {
  using zplatform::MessageAnswer;
  using zplatform::MessageKind;
  if (kind == MessageKind::Plain) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  } else {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
  }
  if (kind != MessageKind::Confirm) return MessageAnswer::Ok;
  if (!StdinIsTerminal()) return unattendedAnswer;
  std::fputs("[y]es, [n]o, [c]ancel? ", stderr);
  std::string line;
  if (!ReadAnswer(line) || line.empty()) return MessageAnswer::Cancel;
  if (line[0] == 'y' || line[0] == 'Y') return MessageAnswer::Yes;
  if (line[0] == 'n' || line[0] == 'N') return MessageAnswer::No;
  return MessageAnswer::Cancel;
}

bool TerminalMessages::InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                                  std::size_t maxBytes) {
  if (!StdinIsTerminal()) return false;
  std::fprintf(stderr, "%.*s - %.*s [%s]: ", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(prompt.size()), prompt.data(), value.c_str());
  std::string line;
  if (!ReadAnswer(line)) return false;
  if (!line.empty()) value = line.substr(0, maxBytes);
  return true;
}

FileExistReply TerminalPrompt::Ask(const std::string& existingPath) {
  switch (policy_.mode) {
    case IfExists::Mode::Skip:
      return {FileExistAnswer::Skip, ""};
    case IfExists::Mode::Overwrite:
      return {FileExistAnswer::OverWrite, ""};
    case IfExists::Mode::Rename:
      if (AcceptNewName(existingPath, policy_.newName)) return {FileExistAnswer::UseNewName, policy_.newName};
      return {};
    case IfExists::Mode::Ask:
      break;
  }
  std::fprintf(stderr, "\r\033[KSorry, we found this file already exists, What to do now ?\n%s\n",
               existingPath.c_str());
  for (;;) {
    std::fputs("[u]se new name, [o]verwrite, [s]kip? ", stderr);
    std::string line;
    if (!ReadAnswer(line)) return {};
    if (line == "o" || line == "O") return {FileExistAnswer::OverWrite, ""};
    if (line == "s" || line == "S") return {FileExistAnswer::Skip, ""};
    if (line != "u" && line != "U") continue;
    std::string name = InitialNewName(existingPath);
    std::fprintf(stderr, "New File Name [%s]: ", name.c_str());
    if (!ReadAnswer(line)) return {};
    if (!line.empty()) name = line;
    if (AcceptNewName(existingPath, name)) return {FileExistAnswer::UseNewName, name};
  }
}

TerminalRunView::TerminalRunView(const std::vector<StatusRow>& rows)
    : rows_(rows), reported_(rows.size(), false), drawing_(StderrIsTerminal()) {
  interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the program at once
  sigaction(SIGINT, &action, &previous_);
}

TerminalRunView::~TerminalRunView() {
  ClearProgressLine();
  sigaction(SIGINT, &previous_, nullptr);
}

void TerminalRunView::SetTotalMaximum(std::size_t rows) { total_ = rows; }
void TerminalRunView::SetTotalProgress(std::size_t rowsFinished) { finished_ = rowsFinished; }

void TerminalRunView::SetFileProgress(int percent) {
  const bool changed = percent != percent_;
  percent_ = percent;
  if (changed) Redraw();
}

void TerminalRunView::ShowCurrentRow(std::size_t row) { current_ = row; }

void TerminalRunView::SetRowStatus(std::size_t row, const std::string& status) {
  rows_[row].status = status;
  if (status == kStatusWaiting || status == kStatusConverting) {
    Redraw();
    return;
  }
  PrintRow(row);
}

void TerminalRunView::SetRowTarget(std::size_t row, const std::string& target) { rows_[row].target = target; }

void TerminalRunView::SetRowReason(std::size_t row, const std::string& reason) { rows_[row].reason = reason; }

void TerminalRunView::SetTimes(const std::string& elapsed, const std::string& remain) {
  elapsed_ = elapsed;
  remain_ = remain;
  Redraw();
}

void TerminalRunView::PumpEvents() {
  if (interrupted && run_ && !run_->StopRequested()) {
    ClearProgressLine();
    run_->PressButton();
  }
}

void TerminalRunView::RunCompleted() { ClearProgressLine(); }

void TerminalRunView::ReportUnstarted() {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!reported_[i]) PrintRow(i);
  }
}

void TerminalRunView::PrintRow(std::size_t row) {
  ClearProgressLine();
  std::printf("%s\t%s\t%s\n", EscapeField(rows_[row].status).c_str(), EscapeField(rows_[row].source).c_str(),
              EscapeField(rows_[row].target).c_str());
  std::fflush(stdout);
  // A row that failed says why, beside the line that says it failed.
  if (rows_[row].status == kStatusError && !rows_[row].reason.empty()) {
    std::fprintf(stderr, "zandro-cli: %s: %s\n", EscapeField(rows_[row].source).c_str(),
                 EscapeField(rows_[row].reason).c_str());
  }
  reported_[row] = true;
}

void TerminalRunView::Redraw() {
  if (!drawing_ || rows_.empty()) return;
  constexpr int kWidth = 30;
  const int filled = percent_ * kWidth / 100;
  std::fprintf(stderr, "\r\033[K[%s%s] %3d%%  %zu/%zu  %s  %s  %s", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), percent_, std::min(current_ + 1, total_), total_,
               elapsed_.c_str(), remain_.c_str(), zplatform::FileNamePart(rows_[current_].source).c_str());
  std::fflush(stderr);
  progressShown_ = true;
}

void TerminalRunView::ClearProgressLine() {
  if (!progressShown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  progressShown_ = false;
}

}  // namespace zandro::cli
