#include "engine/conversion_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "audio/audio_io.h"
#include "audio/rounding.h"
#include "audio/song_tags.h"
#include "engine/trash.h"
#include "zplatform/diagnostics.h"
#include "zplatform/messages.h"
#include "zplatform/path.h"
#include "zplatform/tick.h"

namespace zandro {

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

}  // namespace

std::vector<StatusRow> ComputeStatusRows(const FileList& list, const ConvertSettings& settings,
                                         const TagRuleSettings& rule) {
  std::vector<StatusRow> rows;
  const std::string directory = zplatform::WithTrailingSeparator(settings.outputDirectory);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const FileListEntry& entry = list.at(i);
    if (settings.selectedOnly && !entry.selected) continue;
    StatusRow row;
    row.source = entry.caption;
    row.sourceFile = zplatform::IdentityOfFile(row.source);
    row.entry = i;
    const std::string targetDirectory = settings.sameDirectory ? zplatform::DirectoryPart(row.source) : directory;
    std::string base = BuildNameFromTags(entry, rule);
    if (settings.sameFileName || base.empty()) {
      base = zplatform::BaseNamePart(row.source);
    } else if (base.find('/') != std::string::npos) {
      row.unsafeName = true;
    }
    row.target = targetDirectory + base + std::string(ExtensionForKind(settings.targetKind));
    rows.push_back(std::move(row));
  }
  return rows;
}

bool BuildStatusRows(const FileList& list, const ConvertSettings& settings, const TagRuleSettings& rule,
                     std::vector<StatusRow>& rows) {
  rows.clear();
  if (!settings.sameDirectory) {
    if (settings.outputDirectory.empty()) {
      zplatform::ShowMessage(zplatform::MessageKind::Error, "Unable to create directory");
      return false;
    }
    // Not examined here: a directory that cannot be made fails its writers.
    std::error_code error;
    fs::create_directories(settings.outputDirectory, error);
  }
  rows = ComputeStatusRows(list, settings, rule);
  return true;
}

ConversionRun::ConversionRun(std::vector<StatusRow> rows, const ConvertSettings& settings, ConversionView& view,
                             OverwritePrompt& prompt, TickSource tick)
    : rows_(std::move(rows)),
      settings_(settings),
      view_(view),
      prompt_(prompt),
      tick_(tick ? std::move(tick) : TickSource(zplatform::TickCount)) {}

void ConversionRun::PressButton() {
  stopRequested_ = true;
  if (!completed_) zplatform::ShowMessage(zplatform::MessageKind::Information, kCancelledMessage);
}

void ConversionRun::Finish(std::size_t index, std::string_view status) {
  if (!rows_[index].reason.empty()) view_.SetRowReason(index, rows_[index].reason);
  rows_[index].status = status;
  view_.SetRowStatus(index, rows_[index].status);
  view_.SetTotalProgress(index + 1);
}

void ConversionRun::Run() {
  view_.SetTotalMaximum(rows_.size());
  view_.SetFileProgress(0);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (stopRequested_) return;
    ConvertRow(i);
  }
  view_.SetTimes("", "");
  completed_ = true;
  view_.RunCompleted();
}

namespace {

bool SameInode(const std::optional<zplatform::FileIdentity>& a, const zplatform::FileIdentity& b) {
  return a && a->device == b.device && a->inode == b.inode;
}

}  // namespace

std::string BatchConflict(const std::vector<StatusRow>& rows, std::size_t index, const std::string& path) {
  const std::optional<zplatform::FileIdentity> file = zplatform::IdentityOfFile(path);
  if (!file) return "";
  for (std::size_t other = 0; other < rows.size(); ++other) {
    if (other == index) continue;
    const StatusRow& row = rows[other];
    if (SameInode(row.sourceFile ? row.sourceFile : zplatform::IdentityOfFile(row.source), *file)) {
      return "is the source of row " + std::to_string(other + 1);
    }
    if (SameInode(row.written, *file)) return "collides with row " + std::to_string(other + 1);
  }
  return "";
}

namespace {

std::string_view Refuse(StatusRow& row, std::string reason) {
  row.reason = std::move(reason);
  zplatform::Diagnostic(row.source + ": " + row.reason);
  return kStatusError;
}

// The prompt's answer for a taken target, checked against the batch.
std::string_view AskAboutTakenTarget(std::vector<StatusRow>& rows, std::size_t index, OverwritePrompt& prompt) {
  StatusRow& row = rows[index];
  const FileExistReply reply = prompt.Ask(row.target);
  switch (reply.answer) {
    case FileExistAnswer::UseNewName: {
      const std::string problem = NewNameProblem(row.target, reply.newName);
      if (!problem.empty()) return Refuse(row, problem);
      row.target = zplatform::DirectoryPart(row.target) + reply.newName;
      row.replaceAgreed = false;
      return {};
    }
    case FileExistAnswer::OverWrite: {
      // Writing over the source would destroy what is about to be read.
      if (SameFile(row.source, row.target)) {
        return Refuse(row, row.target + " is the source itself; it is not replaced");
      }
      // Whatever the answer, the batch never replaces its own files.
      const std::string conflict = BatchConflict(rows, index, row.target);
      if (!conflict.empty()) return Refuse(row, row.target + " " + conflict + "; it is not replaced");
      row.replaceAgreed = true;
      return {};
    }
    case FileExistAnswer::Skip:
    case FileExistAnswer::None:  // closed without an answer: nothing is replaced
      break;
  }
  row.reason = row.target + " exists";
  return kStatusSkipped;
}

}  // namespace

std::string_view DecideRow(std::vector<StatusRow>& rows, std::size_t index, OverwritePrompt& prompt) {
  StatusRow& row = rows[index];
  row.replaceAgreed = false;
  // A name from tags with a '/' would write outside the target directory.
  if (row.unsafeName) return Refuse(row, "the name from tags holds '/': " + row.target);
  if (!Exists(row.target)) return {};
  return AskAboutTakenTarget(rows, index, prompt);
}

std::string_view PlaceTarget(std::vector<StatusRow>& rows, std::size_t index, zplatform::PendingFile& target,
                             OverwritePrompt& prompt) {
  StatusRow& row = rows[index];
  // Each answer either ends the row or names a free file; a few rounds only
  // when other programs keep taking the names offered.
  for (int round = 0; round < 8; ++round) {
    const zplatform::Placement placement =
        row.replaceAgreed ? zplatform::Placement::Replace : zplatform::Placement::NoReplace;
    if (placement == zplatform::Placement::Replace) {
      // The file replaced gives the new one its permissions.
      struct stat old {};
      if (stat(row.target.c_str(), &old) == 0) target.SetMode(old.st_mode);
    }
    std::string reason;
    switch (target.Commit(row.target, placement, reason)) {
      case zplatform::CommitOutcome::Placed:
        row.written = target.Identity();
        return kStatusDone;
      case zplatform::CommitOutcome::Failed:
        target.Discard();
        return Refuse(row, reason);
      case zplatform::CommitOutcome::Taken:
        break;
    }
    // Someone put a file there while the audio moved: ask as for any taken target.
    const std::string_view decided = AskAboutTakenTarget(rows, index, prompt);
    if (!decided.empty()) {
      target.Discard();
      return decided;
    }
  }
  target.Discard();
  return Refuse(row, row.target + " keeps being taken by another program");
}

namespace {

// The reason a writer's failure gives, from the error it left.
std::string WriteFailure(const std::string& target, int error) {
  if (error == 0) return "cannot write " + target;
  return "cannot write " + target + ": " + zplatform::SystemErrorText(error);
}

}  // namespace

TransferResult TransferRow(const StatusRow& row, const ConvertSettings& settings, TransferProgress& progress,
                           const std::function<std::uint32_t()>& tick, std::uint32_t fileStart) {
  TransferResult result;
  auto fail = [&result](std::string reason) {
    result.status = kStatusError;
    result.reason = std::move(reason);
    result.target.reset();  // removes what was written
    return std::move(result);
  };
  AudioInfo source;
  const bool probed = ProbeAudioFile(row.source, source);
  const double exactEstimate = source.durationMs / 1000.0 * source.sampleRate * source.channels * 2.0;
  if (!probed) return fail(row.source + " cannot be read as audio");
  // A play time under a millisecond (or one a short VBR file does not
  // state) estimates nothing, yet the file may hold audio: the reader
  // decides, and only a file that delivers nothing fails.
  const std::uint64_t estimate = std::max<std::uint64_t>(1, RoundHalfEven<std::uint64_t>(exactEstimate));

  if (!OpenAudioReader(row.source, source, 0)) {
    CloseAudioReader(source);
    return fail(row.source + " cannot be opened for reading");
  }

  AudioInfo target = source;
  target.kind = settings.targetKind;
  target.bitrate = (target.kind == AudioKind::Wma || target.kind == AudioKind::Mp3)
                       ? static_cast<std::uint32_t>(
                             std::max(0, ChosenBitrate(settings.streamBitrates, source.sampleRate, source.channels)))
                       : 0;
  // What a killed run left beside this target goes before a new one is made.
  zplatform::RemoveStaleTemporaries(row.target);
  std::string reason;
  result.target = zplatform::PendingFile::Create(row.target, reason);
  if (!result.target) {
    CloseAudioReader(source);
    return fail(reason);
  }
  const std::string& temporary = result.target->Path();
  errno = 0;
  if (!OpenAudioWriter(temporary, target)) {
    const int error = errno;
    CloseAudioReader(source);
    return fail(WriteFailure(row.target, error));
  }

  std::uint32_t lastShownSecond = 0;
  std::uint64_t delivered = 0;
  int writeError = -1;  // none
  const std::uint8_t* block = nullptr;
  std::uint32_t byteCount = 0;
  while (ReadAudioBlock(source, block, byteCount)) {
    if (progress.Stopped()) break;
    errno = 0;
    if (!WriteAudioBlock(target, block, byteCount)) {
      writeError = errno;
      break;
    }
    delivered += byteCount;
    const int percent =
        std::min(100, RoundHalfEven<int>(static_cast<double>(delivered) / static_cast<double>(estimate) * 100.0));
    progress.SetFileProgress(percent);
    const std::uint32_t elapsed = static_cast<std::uint32_t>(tick() - fileStart) / 1000u;
    if (elapsed > lastShownSecond && percent > 0) {
      lastShownSecond = elapsed;
      const double remaining =
          static_cast<double>(static_cast<std::uint64_t>(elapsed) * estimate) / static_cast<double>(delivered) -
          elapsed;
      progress.SetTimes("Elapsed : " + FormatDuration(elapsed),
                        "Remain  : " + FormatDuration(RoundHalfEven<std::uint64_t>(std::max(0.0, remaining))));
    }
    progress.PumpEvents();
  }

  CloseAudioReader(source);
  progress.PumpEvents();
  errno = 0;
  const bool finished = CloseAudioWriter(target);
  const int closeError = errno;

  // A cancelled target is cut off: it never reaches its name.
  if (progress.Stopped()) {
    result.status = kStatusCancelled;
    result.target.reset();
    return result;
  }
  if (writeError >= 0) return fail(WriteFailure(row.target, writeError));
  if (!finished) return fail(WriteFailure(row.target, closeError));
  if (delivered == 0) return fail(row.source + " holds no audio");

  // A WAV target keeps no tags, so reading the source's would only cost
  // (for MP3 and WMA sources, loading the WMA library).
  if (target.kind != AudioKind::Wav) {
    SongTags tags{};
    ReadSongTags(row.source, source, tags);
    // A new target holds no tags (the writers make none): empty ones leave
    // it as it is, and writing them would copy the whole file.
    errno = 0;
    if (!TagsEmpty(tags) && !WriteSongTags(temporary, target, tags)) {
      const int error = errno;
      // Audio without the source's tags is not the conversion asked for.
      return fail("the tags could not be written to " + row.target +
                  (error ? ": " + zplatform::SystemErrorText(error) : std::string()));
    }
  }
  result.status = kStatusDone;
  return result;
}

namespace {

// The run's own view and stop flag, as one row's transfer sees them.
class RunProgress : public TransferProgress {
 public:
  RunProgress(ConversionView& view, const bool& stopRequested) : view_(view), stopRequested_(stopRequested) {}
  void SetFileProgress(int percent) override { view_.SetFileProgress(percent); }
  void SetTimes(const std::string& elapsed, const std::string& remain) override { view_.SetTimes(elapsed, remain); }
  void PumpEvents() override { view_.PumpEvents(); }
  bool Stopped() const override { return stopRequested_; }

 private:
  ConversionView& view_;
  const bool& stopRequested_;
};

}  // namespace

void ConversionRun::ConvertRow(std::size_t index) {
  StatusRow& row = rows_[index];
  const std::uint32_t fileStart = tick_();
  view_.ShowCurrentRow(index);
  row.status = kStatusConverting;
  view_.SetRowStatus(index, row.status);

  const std::string before = row.target;
  const std::string_view decided = DecideRow(rows_, index, prompt_);
  if (row.target != before) view_.SetRowTarget(index, row.target);
  if (!decided.empty()) return Finish(index, decided);

  RunProgress progress(view_, stopRequested_);
  TransferResult moved = TransferRow(row, settings_, progress, tick_, fileStart);
  if (moved.status != kStatusDone) {
    row.reason = moved.reason;
    return Finish(index, moved.status);
  }
  const std::string decidedTarget = row.target;
  const std::string_view placed = PlaceTarget(rows_, index, *moved.target, prompt_);
  if (row.target != decidedTarget) view_.SetRowTarget(index, row.target);
  Finish(index, placed);
}

namespace {

// Swallows the messages of probes the user did not ask for.
class QuietMessages : public zplatform::MessageSink {
 public:
  QuietMessages() : previous_(zplatform::SetMessageSink(this)) {}
  ~QuietMessages() override { zplatform::SetMessageSink(previous_); }
  zplatform::MessageAnswer Show(zplatform::MessageKind, std::string_view, std::string_view) override {
    return zplatform::MessageAnswer::Ok;
  }
  bool InputQuery(std::string_view, std::string_view, std::string&, std::size_t) override { return false; }

 private:
  zplatform::MessageSink* previous_;
};

}  // namespace

std::string ConversionNotProven(const StatusRow& row, AudioKind targetKind) {
  if (row.status != kStatusDone) return "not converted (" + row.status + ")";
  if (SameFile(row.source, row.target)) return "it is its own target";
  const std::optional<zplatform::FileIdentity> now = zplatform::IdentityOfFile(row.target);
  if (!row.written || !now || *now != *row.written) {
    return "its target " + row.target + " is no longer the file this run wrote";
  }
  QuietMessages quiet;
  AudioInfo source;
  AudioInfo target;
  if (!ProbeAudioFile(row.source, source)) return "it can no longer be read";
  if (!ProbeAudioFile(row.target, target)) return "its target " + row.target + " cannot be read";
  const long long difference = static_cast<long long>(source.durationMs) - static_cast<long long>(target.durationMs);
  if (target.kind != targetKind || target.sampleRate != source.sampleRate || target.channels != source.channels ||
      difference > 1000 || difference < -1000) {
    return "its target " + row.target + " does not hold the converted audio";
  }
  return "";
}

std::size_t DeleteConvertedSources(FileList& list, const ConvertSettings& settings,
                                   const std::vector<StatusRow>& rows, SourceRemoval removal,
                                   std::size_t* notRemoved) {
  if (notRemoved) *notRemoved = 0;
  if (!settings.deleteSources) return 0;
  // Only sources whose targets prove the conversion go; from the last entry
  // back, so the indices of the others stay valid.
  std::vector<std::size_t> entries;
  std::vector<std::string> staying;
  for (const StatusRow& row : rows) {
    std::string why = row.entry < list.size() && list.at(row.entry).caption == row.source
                          ? ConversionNotProven(row, settings.targetKind)
                          : "it is no longer listed";
    if (why.empty()) {
      entries.push_back(row.entry);
    } else {
      staying.push_back(row.source + ": " + why);
    }
  }
  const std::string count = std::to_string(entries.size()) + (entries.size() == 1 ? " file" : " files");
  const std::string where =
      removal == SourceRemoval::Trash ? count + " will be moved to the Trash." : count + " will be deleted.";
  if (zplatform::ShowMessage(zplatform::MessageKind::Confirm, "Delete all source file ?\n" + where) !=
      zplatform::MessageAnswer::Yes) {
    return 0;
  }
  std::sort(entries.rbegin(), entries.rend());
  std::size_t removed = 0;
  for (std::size_t entry : entries) {
    const std::string path = list.at(entry).caption;
    std::string why;
    if (removal == SourceRemoval::Trash) {
      // A source the Trash cannot take stays: the question promised the Trash.
      MoveToTrash(path, &why);
    } else if (::unlink(path.c_str()) != 0) {
      why = "cannot be deleted: " + zplatform::SystemErrorText(errno);
    }
    if (!why.empty()) {
      staying.push_back(path + ": " + why);
      if (notRemoved) ++*notRemoved;
      continue;
    }
    list.Remove(entry);
    ++removed;
  }
  if (!staying.empty()) {
    std::string text = staying.size() == 1 ? "This source stays:" : "These sources stay:";
    for (const std::string& line : staying) text += "\n" + line;
    zplatform::ShowMessage(zplatform::MessageKind::Information, text);
  }
  return removed;
}

bool AllRowsSucceeded(const std::vector<StatusRow>& rows) {
  return std::all_of(rows.begin(), rows.end(), [](const StatusRow& row) {
    return row.status == kStatusDone || row.status == kStatusSkipped;
  });
}

}  // namespace zandro
