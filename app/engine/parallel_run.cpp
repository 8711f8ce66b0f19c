#include "engine/parallel_run.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "zplatform/messages.h"

namespace zandro {

namespace fs = std::filesystem;

namespace {

// The file a path names, also before it exists.
std::string Identity(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) return path;
  fs::path canonical = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal().string() : canonical.string();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

ParallelConversionRun::ParallelConversionRun(std::vector<StatusRow> rows, ConversionView& view,
                                             OverwritePrompt& prompt, RowWorkers& workers)
    : rows_(std::move(rows)), view_(view), prompt_(prompt), workers_(workers), final_(rows_.size(), false) {}

void ParallelConversionRun::PressButton() {
  stopRequested_ = true;
  if (!completed_) zplatform::ShowMessage(zplatform::MessageKind::Information, kCancelledMessage);
}

// A row shares a file with a running one when either writes what the other
// reads or writes; deciding it (is the target there?) must wait for that.
bool ParallelConversionRun::Blocked(const StatusRow& row) const {
  if (running_.empty()) return false;
  const std::string source = Identity(row.source);
  const std::string target = Identity(row.target);
  return std::any_of(running_.begin(), running_.end(), [&](const Running& other) {
    return other.target == target || other.target == source || other.source == target;
  });
}

void ParallelConversionRun::StartRow(std::size_t index) {
  const bool accompanied = !running_.empty();
  for (Running& other : running_) other.accompanied = other.accompanied || accompanied;
  if (!workers_.Start(index, rows_[index])) {
    rows_[index].status = kStatusError;
    rows_[index].reason = "no worker process could be started for " + rows_[index].source;
    final_[index] = true;
    return;
  }
  running_.push_back({index, Identity(rows_[index].source), Identity(rows_[index].target), accompanied});
  view_.ShowCurrentRow(running_.front().row);
}

void ParallelConversionRun::DispatchRows() {
  while (!stopRequested_) {
    if (!retries_.empty()) {
      if (!running_.empty()) return;
      const std::size_t index = retries_.front();
      retries_.erase(retries_.begin());
      StartRow(index);
      return;
    }
    if (next_ == rows_.size() || running_.size() >= workers_.Capacity()) return;
    StatusRow& row = rows_[next_];
    if (Blocked(row)) return;
    if (!nextDecided_ || Exists(row.target)) {
      // Decided as the row would be when it became current one after the other.
      if (!nextDecided_) {
        row.status = kStatusConverting;
        view_.SetRowStatus(next_, row.status);
      }
      const std::string before = row.target;
      const std::string_view decided = DecideRow(rows_, next_, prompt_);
      if (row.target != before) view_.SetRowTarget(next_, row.target);
      if (!decided.empty()) {
        row.status = decided;
        final_[next_] = true;
        nextDecided_ = false;
        ++next_;
        continue;
      }
      if (row.target != before && Blocked(row)) {
        // The new name belongs to a running row: ask again once it is done.
        nextDecided_ = true;
        return;
      }
    }
    nextDecided_ = false;
    StartRow(next_++);
  }
}

void ParallelConversionRun::Handle(const RowEvent& event) {
  auto found = std::find_if(running_.begin(), running_.end(),
                            [&](const Running& r) { return r.row == event.row; });
  if (found == running_.end()) return;
  if (event.kind == RowEvent::Kind::Progress) {
    if (found != running_.begin()) return;  // the view follows the first running row
    view_.SetFileProgress(event.percent);
    if (!event.elapsed.empty()) view_.SetTimes(event.elapsed, event.remain);
    return;
  }
  const bool accompanied = found->accompanied;
  running_.erase(found);
  if (!running_.empty()) view_.ShowCurrentRow(running_.front().row);
  // What failed beside other rows may have failed because of them (the
  // disk they filled): alone, it meets what it would have met in turn.
  if (event.status == kStatusError && accompanied && !stopRequested_) {
    retries_.insert(std::upper_bound(retries_.begin(), retries_.end(), event.row), event.row);
    return;
  }
  StatusRow& row = rows_[event.row];
  row.reason = event.reason;
  row.status = event.status;
  if (event.status == kStatusDone) {
    // Placed here, one row at a time, so that the batch's own files and a
    // question about a name taken meanwhile are judged as in order.
    std::string reason;
    std::unique_ptr<zplatform::PendingFile> written = zplatform::PendingFile::Adopt(event.written, reason);
    if (!written) {
      row.status = kStatusError;
      row.reason = reason;
    } else {
      const std::string before = row.target;
      row.status = PlaceTarget(rows_, event.row, *written, prompt_);
      if (row.target != before) view_.SetRowTarget(event.row, row.target);
    }
  }
  final_[event.row] = true;
}

void ParallelConversionRun::Report() {
  while (reported_ < rows_.size() && final_[reported_]) {
    if (!rows_[reported_].reason.empty()) view_.SetRowReason(reported_, rows_[reported_].reason);
    view_.SetRowStatus(reported_, rows_[reported_].status);
    view_.SetTotalProgress(reported_ + 1);
    ++reported_;
  }
}

void ParallelConversionRun::Run() {
  view_.SetTotalMaximum(rows_.size());
  view_.SetFileProgress(0);
  for (;;) {
    view_.PumpEvents();
    if (stopRequested_ && !stopSent_) {
      workers_.StopAll();
      stopSent_ = true;
    }
    DispatchRows();
    Report();
    if (running_.empty()) {
      if (stopRequested_ || (next_ == rows_.size() && retries_.empty())) break;
      continue;  // a row ended with no worker: go on with the next
    }
    RowEvent event;
    // The pause bounds how late a Ctrl+C is seen while the workers are busy.
    if (workers_.Wait(event, 100)) Handle(event);
  }
  if (nextDecided_) {
    // Asked about, but its audio never started: it stays as unstarted rows do.
    rows_[next_].status = kStatusWaiting;
    view_.SetRowStatus(next_, rows_[next_].status);
    nextDecided_ = false;
  }
  for (std::size_t index : retries_) {  // cancelled before their second try
    rows_[index].status = kStatusError;
    if (rows_[index].reason.empty()) rows_[index].reason = "cancelled before it could be tried again alone";
    final_[index] = true;
  }
  retries_.clear();
  Report();
  if (next_ < rows_.size()) return;  // rows were left waiting: no end-of-run actions
  view_.SetTimes("", "");
  completed_ = true;
  view_.RunCompleted();
}

}  // namespace zandro
