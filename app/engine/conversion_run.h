#pragma once
// A conversion run: status rows built from the file list, then each row
// converted in turn (probe, reader, writer, blocks, tags), reported to a
// view, with cancel, the overwrite question and the deletion step after it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/audio_info.h"
#include "engine/conversion_inputs.h"
#include "engine/file_list.h"
#include "engine/overwrite_prompt.h"

namespace zandro {

inline constexpr std::string_view kStatusWaiting = "Waiting";
inline constexpr std::string_view kStatusConverting = "Converting";
inline constexpr std::string_view kStatusSkipped = "Skipped";
inline constexpr std::string_view kStatusError = "Error";
inline constexpr std::string_view kStatusDone = "Done";
inline constexpr std::string_view kStatusCancelled = "Cancelled";

struct StatusRow {
  std::string source;        // full path
  std::string target;        // full path
  std::string status = std::string(kStatusWaiting);
  std::size_t entry = 0;     // index of the file list row it came from
  bool unsafeName = false;   // the name from tags holds a '/'
};

// The rows a run over these settings would have, with no side effect (the
// output directory is neither made nor looked at).
std::vector<StatusRow> ComputeStatusRows(const FileList& list, const ConvertSettings& settings,
                                         const TagRuleSettings& rule);

// Builds one row per entry taking part (all, or the selected ones), with
// its target path; creates a missing output directory with its parents.
// An empty output directory cannot be created: shows the error "Unable to
// create directory" and returns false with no rows.
bool BuildStatusRows(const FileList& list, const ConvertSettings& settings, const TagRuleSettings& rule,
                     std::vector<StatusRow>& rows);

// What the run shows; the window, the terminal and tests implement it.
class ConversionView {
 public:
  virtual ~ConversionView() = default;
  virtual void SetTotalMaximum(std::size_t rows) = 0;
  virtual void SetTotalProgress(std::size_t rowsFinished) = 0;
  virtual void SetFileProgress(int percent) = 0;  // 0 to 100
  virtual void ShowCurrentRow(std::size_t row) = 0;
  virtual void SetRowStatus(std::size_t row, const std::string& status) = 0;
  virtual void SetRowTarget(std::size_t row, const std::string& target) = 0;
  virtual void SetTimes(const std::string& elapsed, const std::string& remain) = 0;
  // Lets pending events run; a click on the window's button arrives here.
  virtual void PumpEvents() = 0;
  // Every row passed: the button reads "Done", beep and flash.
  virtual void RunCompleted() = 0;
};

inline constexpr std::string_view kCancelledMessage = "You have canceled converting process";

// The run window's button as a front end presses it.
class RunControl {
 public:
  virtual ~RunControl() = default;
  // "Cancel" during the run (shows the cancel notice), "Done" after it.
  virtual void PressButton() = 0;
  virtual bool StopRequested() const = 0;
};

// What a row meets before its audio moves: a name from tags holding '/', a
// target that exists (the prompt decides; Use New Name changes row.target),
// the source as its own target. Returns the row's final status (Error or
// Skipped), or an empty view when its audio is to be converted.
std::string_view DecideRow(StatusRow& row, OverwritePrompt& prompt);

// The progress of one row's audio and the cancel flag it obeys.
class TransferProgress {
 public:
  virtual ~TransferProgress() = default;
  virtual void SetFileProgress(int percent) = 0;  // 0 to 100
  virtual void SetTimes(const std::string& elapsed, const std::string& remain) = 0;
  virtual void PumpEvents() = 0;
  virtual bool Stopped() const = 0;
};

// The part of a target written before a cancel: kept (as the window does)
// or removed (the command line leaves no cut-off files behind).
enum class CancelledTarget { Keep, Remove };

// Converts the audio of a decided row: probe, reader, writer, the blocks,
// the tags. `fileStart` is the tick the row became current. Returns Done,
// Error or Cancelled; an incomplete target it made is removed.
std::string_view TransferRow(const StatusRow& row, const ConvertSettings& settings, TransferProgress& progress,
                             const std::function<std::uint32_t()>& tick, std::uint32_t fileStart,
                             CancelledTarget cancelled = CancelledTarget::Keep);

// One run over its rows. Not copyable: it owns the rows the view shows.
class ConversionRun : public RunControl {
 public:
  using TickSource = std::function<std::uint32_t()>;

  ConversionRun(std::vector<StatusRow> rows, const ConvertSettings& settings, ConversionView& view,
                OverwritePrompt& prompt, TickSource tick = {});
  ConversionRun(const ConversionRun&) = delete;
  ConversionRun& operator=(const ConversionRun&) = delete;

  // Converts every row, or stops at the top of the row after a cancel.
  void Run();

  // The window's button: "Cancel" during the run (shows the cancel notice),
  // "Done" after it. Either way the window closes afterwards.
  void PressButton() override;

  void SetCancelledTarget(CancelledTarget cancelled) { cancelled_ = cancelled; }

  bool Completed() const { return completed_; }
  bool StopRequested() const override { return stopRequested_; }
  const std::vector<StatusRow>& Rows() const { return rows_; }

 private:
  void ConvertRow(std::size_t index);
  void Finish(std::size_t index, std::string_view status);

  std::vector<StatusRow> rows_;
  ConvertSettings settings_;
  ConversionView& view_;
  OverwritePrompt& prompt_;
  TickSource tick_;
  CancelledTarget cancelled_ = CancelledTarget::Keep;
  bool stopRequested_ = false;
  bool completed_ = false;
};

// How sources leave the disk: into the desktop's Trash (deleted only where
// no Trash exists), or deleted outright.
enum class SourceRemoval { Trash, Delete };

// Whether the row's conversion is proven: it ended "Done" and its target
// probes as the target kind with the source's rate and channels and a play
// time within one second of the source's.
bool TargetProvesConversion(const StatusRow& row, AudioKind targetKind);

// After the run window closed: when the settings ask for it, asks "Delete
// all source file ?" (saying how many files will go) and on Yes removes the
// sources of the proven rows and their entries from the list; every other
// source stays. Returns the number removed.
std::size_t DeleteConvertedSources(FileList& list, const ConvertSettings& settings,
                                   const std::vector<StatusRow>& rows,
                                   SourceRemoval removal = SourceRemoval::Trash);

// True when every row ended "Done" or "Skipped".
bool AllRowsSucceeded(const std::vector<StatusRow>& rows);

}  // namespace zandro
