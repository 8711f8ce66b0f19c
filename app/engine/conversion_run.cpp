#include "engine/conversion_run.h"

#include <unistd.h>

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

void RemoveQuietly(const std::string& path) {
  std::error_code error;
  fs::remove(path, error);
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

std::string_view DecideRow(StatusRow& row, OverwritePrompt& prompt) {
  // A name from tags with a '/' would write outside the target directory.
  if (row.unsafeName) {
    zplatform::Diagnostic("Target name from tags holds a '/': " + row.target);
    return kStatusError;
  }
  if (!Exists(row.target)) return {};
  const FileExistReply reply = prompt.Ask(row.target);
  switch (reply.answer) {
    case FileExistAnswer::UseNewName:
      if (!NewNameProblem(row.target, reply.newName).empty()) return kStatusError;
      row.target = zplatform::DirectoryPart(row.target) + reply.newName;
      return {};
    case FileExistAnswer::OverWrite:
      // Writing over the source would destroy what is about to be read.
      if (SameFile(row.source, row.target)) return kStatusError;
      return {};
    case FileExistAnswer::Skip:
    case FileExistAnswer::None:  // closed without an answer: nothing is replaced
      break;
  }
  return kStatusSkipped;
}

std::string_view TransferRow(const StatusRow& row, const ConvertSettings& settings, TransferProgress& progress,
                             const std::function<std::uint32_t()>& tick, std::uint32_t fileStart,
                             CancelledTarget cancelled) {
  AudioInfo source;
  const bool probed = ProbeAudioFile(row.source, source);
  const double exactEstimate = source.durationMs / 1000.0 * source.sampleRate * source.channels * 2.0;
  const std::uint64_t estimate = RoundHalfEven<std::uint64_t>(exactEstimate);
  if (!probed || estimate == 0) return kStatusError;

  if (!OpenAudioReader(row.source, source, 0)) {
    CloseAudioReader(source);
    return kStatusError;
  }

  AudioInfo target = source;
  target.kind = settings.targetKind;
  target.bitrate = (target.kind == AudioKind::Wma || target.kind == AudioKind::Mp3)
                       ? static_cast<std::uint32_t>(
                             std::max(0, ChosenBitrate(settings.streamBitrates, source.sampleRate, source.channels)))
                       : 0;
  const bool targetExisted = Exists(row.target);
  if (!OpenAudioWriter(row.target, target)) {
    CloseAudioReader(source);
    if (!targetExisted) RemoveQuietly(row.target);
    return kStatusError;
  }

  std::uint32_t lastShownSecond = 0;
  std::uint64_t delivered = 0;
  bool writeFailed = false;
  const std::uint8_t* block = nullptr;
  std::uint32_t byteCount = 0;
  while (ReadAudioBlock(source, block, byteCount)) {
    if (progress.Stopped()) break;
    if (!WriteAudioBlock(target, block, byteCount)) {
      writeFailed = true;
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
  const bool finished = CloseAudioWriter(target);

  if (writeFailed || !finished || delivered == 0) {
    // The target is incomplete and was made by this row: leave nothing broken behind.
    RemoveQuietly(row.target);
    return kStatusError;
  }
  if (progress.Stopped() && cancelled == CancelledTarget::Remove) {
    RemoveQuietly(row.target);
    return kStatusCancelled;
  }

  // A WAV target keeps no tags, so reading the source's would only cost
  // (for MP3 and WMA sources, loading the WMA library).
  if (target.kind != AudioKind::Wav) {
    SongTags tags{};
    ReadSongTags(row.source, source, tags);
    // A new target holds no tags (the writers make none): empty ones leave
    // it as it is, and writing them would copy the whole file.
    if (!TagsEmpty(tags) && !WriteSongTags(row.target, target, tags)) {
      zplatform::Diagnostic("Tags could not be written: " + row.target);
    }
  }
  return progress.Stopped() ? kStatusCancelled : kStatusDone;
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
  const std::string_view decided = DecideRow(row, prompt_);
  if (row.target != before) view_.SetRowTarget(index, row.target);
  if (!decided.empty()) return Finish(index, decided);

  RunProgress progress(view_, stopRequested_);
  Finish(index, TransferRow(row, settings_, progress, tick_, fileStart, cancelled_));
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

bool TargetProvesConversion(const StatusRow& row, AudioKind targetKind) {
  if (row.status != kStatusDone || SameFile(row.source, row.target)) return false;
  QuietMessages quiet;
  AudioInfo source;
  AudioInfo target;
  if (!ProbeAudioFile(row.source, source) || !ProbeAudioFile(row.target, target)) return false;
  const long long difference = static_cast<long long>(source.durationMs) - static_cast<long long>(target.durationMs);
  return target.kind == targetKind && target.sampleRate == source.sampleRate && target.channels == source.channels &&
         difference <= 1000 && difference >= -1000;
}

std::size_t DeleteConvertedSources(FileList& list, const ConvertSettings& settings,
                                   const std::vector<StatusRow>& rows, SourceRemoval removal) {
  if (!settings.deleteSources) return 0;
  // Only sources whose targets prove the conversion go; from the last entry
  // back, so the indices of the others stay valid.
  std::vector<std::size_t> entries;
  for (const StatusRow& row : rows) {
    if (row.entry < list.size() && list.at(row.entry).caption == row.source &&
        TargetProvesConversion(row, settings.targetKind)) {
      entries.push_back(row.entry);
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
    bool gone = false;
    if (removal == SourceRemoval::Trash) {
      const TrashResult result = MoveToTrash(path);
      gone = result == TrashResult::Trashed;
      if (result == TrashResult::NoTrash) gone = ::unlink(path.c_str()) == 0;
    } else {
      gone = ::unlink(path.c_str()) == 0;
    }
    if (!gone) continue;  // a source that could not go keeps its row
    list.Remove(entry);
    ++removed;
  }
  return removed;
}

bool AllRowsSucceeded(const std::vector<StatusRow>& rows) {
  return std::all_of(rows.begin(), rows.end(), [](const StatusRow& row) {
    return row.status == kStatusDone || row.status == kStatusSkipped;
  });
}

}  // namespace zandro
