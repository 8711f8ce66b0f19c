#pragma once
// A conversion run: status rows built from the file list, then each row
// converted in turn (probe, reader, writer, blocks, tags), reported to a
// view, with cancel, the overwrite question and the deletion step after it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/audio_info.h"
#include "engine/conversion_inputs.h"
#include "engine/file_list.h"
#include "engine/overwrite_prompt.h"
#include "zplatform/safe_file.h"

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
  std::string reason;        // why the row ended as it did, when not Done
  bool replaceAgreed = false;  // the user agreed to replace the file under `target`
  // The file this run put under `target`: what the deletion step checks.
  std::optional<zplatform::FileIdentity> written;
  // The source file as it was when the row was built, so that judging a
  // target against the whole batch costs no look at the disk per row.
  std::optional<zplatform::FileIdentity> sourceFile;
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
  // Why the row ends as it does, told just before its final status.
  virtual void SetRowReason(std::size_t /*row*/, const std::string& /*reason*/) {}
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

// Why `path` may not be replaced by row `index`: it is the source of
// another row ("is the source of row 2") or a file an earlier row of this
// run wrote ("collides with row 1"); "" when neither.
std::string BatchConflict(const std::vector<StatusRow>& rows, std::size_t index, const std::string& path);

// What a row meets before its audio moves: a name from tags holding '/', a
// target that exists (the prompt decides; Use New Name changes row.target,
// OverWrite sets row.replaceAgreed), the source as its own target, a file
// of the batch as its target. Returns the row's final status (Error or
// Skipped, with row.reason), or an empty view when its audio is to be
// converted. `rows` is the whole batch, `index` this row's place in it.
std::string_view DecideRow(std::vector<StatusRow>& rows, std::size_t index, OverwritePrompt& prompt);

// The progress of one row's audio and the cancel flag it obeys.
class TransferProgress {
 public:
  virtual ~TransferProgress() = default;
  virtual void SetFileProgress(int percent) = 0;  // 0 to 100
  virtual void SetTimes(const std::string& elapsed, const std::string& remain) = 0;
  virtual void PumpEvents() = 0;
  virtual bool Stopped() const = 0;
};

// What moving a row's audio gave: on Done, the complete target (audio and
// tags) under its temporary name, still to be put in place.
struct TransferResult {
  std::string_view status;  // Done, Error or Cancelled
  std::string reason;       // for Error
  std::unique_ptr<zplatform::PendingFile> target;
};

// Converts the audio of a decided row into a temporary file beside its
// target: probe, reader, writer, the blocks, the tags. `fileStart` is the
// tick the row became current. Nothing is left on disk unless it is Done.
TransferResult TransferRow(const StatusRow& row, const ConvertSettings& settings, TransferProgress& progress,
                           const std::function<std::uint32_t()>& tick, std::uint32_t fileStart);

// Puts a row's finished target in place: over the old file only when the
// user agreed to replace it, else only under a free name. A name taken
// meanwhile (another program, another run) is decided again as DecideRow
// does. Returns Done (row.written set), Skipped or Error (row.reason set).
std::string_view PlaceTarget(std::vector<StatusRow>& rows, std::size_t index, zplatform::PendingFile& target,
                             OverwritePrompt& prompt);

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
  bool stopRequested_ = false;
  bool completed_ = false;
};

// How sources leave the disk: into the desktop's Trash (a source the Trash
// cannot take stays), or deleted outright.
enum class SourceRemoval { Trash, Delete };

// Whether the row's conversion is proven: it ended "Done", the file under
// its target is the one this run wrote there, and it probes as the target
// kind with the source's rate and channels and a play time within one
// second of the source's. "" when proven, else why not.
std::string ConversionNotProven(const StatusRow& row, AudioKind targetKind);
inline bool TargetProvesConversion(const StatusRow& row, AudioKind targetKind) {
  return ConversionNotProven(row, targetKind).empty();
}

// After the run window closed: when the settings ask for it, asks "Delete
// all source file ?" (saying how many files will go) and on Yes removes the
// sources of the proven rows and their entries from the list; every other
// source stays, and a message names each source that stays and why.
// Returns the number removed; `notRemoved` (when given) counts the proven
// sources that could not go (a Trash that cannot take them, say).
std::size_t DeleteConvertedSources(FileList& list, const ConvertSettings& settings,
                                   const std::vector<StatusRow>& rows,
                                   SourceRemoval removal = SourceRemoval::Trash,
                                   std::size_t* notRemoved = nullptr);

// True when every row ended "Done" or "Skipped".
bool AllRowsSucceeded(const std::vector<StatusRow>& rows);

}  // namespace zandro
