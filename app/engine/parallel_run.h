#pragma once
// A conversion run whose rows' audio is moved by several workers at once
// (the audio operations hold one reader and one writer per process, so the
// workers are processes), with the outcome of the same run done one row
// after the other: rows are decided (the overwrite question included) in
// order and one at a time here, a row waits for every running row whose
// files it shares, statuses reach the view in row order, and a row that
// failed while others ran beside it (a full disk, say) is run again alone.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/conversion_run.h"

namespace zandro {

// What a worker reports about the row it converts.
struct RowEvent {
  enum class Kind { Progress, Finished } kind = Kind::Progress;
  std::size_t row = 0;
  int percent = 0;                // Progress
  std::string elapsed, remain;    // Progress: the time labels' texts, may be empty
  std::string status;             // Finished: Done, Error or Cancelled
  std::string reason;             // Finished: why, for Error
  std::string written;            // Finished, Done: the temporary file that holds the target
};

// The workers of one run; the front end owns them.
class RowWorkers {
 public:
  virtual ~RowWorkers() = default;
  // How many rows may run at once (at least 1).
  virtual std::size_t Capacity() const = 0;
  // Hands a decided row to an idle worker; false when none could take it.
  // The worker leaves a finished target under its temporary name; the run
  // puts it in place.
  virtual bool Start(std::size_t index, const StatusRow& row) = 0;
  // The next event of any running row; false when none came within the time.
  virtual bool Wait(RowEvent& event, int timeoutMs) = 0;
  // Asks every running row to stop; each still ends with a Finished event.
  virtual void StopAll() = 0;
};

// One run over its rows. Not copyable: it owns the rows the view shows.
class ParallelConversionRun : public RunControl {
 public:
  ParallelConversionRun(std::vector<StatusRow> rows, ConversionView& view, OverwritePrompt& prompt,
                        RowWorkers& workers);
  ParallelConversionRun(const ParallelConversionRun&) = delete;
  ParallelConversionRun& operator=(const ParallelConversionRun&) = delete;

  // Converts every row; after a cancel, starts no more rows and waits for
  // the running ones to stop.
  void Run();

  void PressButton() override;
  bool StopRequested() const override { return stopRequested_; }
  bool Completed() const { return completed_; }
  const std::vector<StatusRow>& Rows() const { return rows_; }

 private:
  struct Running {
    std::size_t row;
    std::string source, target;  // identities
    bool accompanied;            // another row ran beside it at some time
  };

  bool Blocked(const StatusRow& row) const;
  void StartRow(std::size_t index);
  void DispatchRows();
  void Handle(const RowEvent& event);
  void Report();

  std::vector<StatusRow> rows_;
  ConversionView& view_;
  OverwritePrompt& prompt_;
  RowWorkers& workers_;
  std::vector<Running> running_;
  std::vector<bool> final_;
  std::vector<std::size_t> retries_;  // rows to run again, each alone
  std::size_t next_ = 0;              // the first row not yet decided
  bool nextDecided_ = false;          // it was, but its new name is still in use
  std::size_t reported_ = 0;          // rows whose final status the view has
  bool stopRequested_ = false;
  bool stopSent_ = false;
  bool completed_ = false;
};

}  // namespace zandro
