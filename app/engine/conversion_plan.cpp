#include "engine/conversion_plan.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "audio/audio_io.h"
#include "engine/conversion_options.h"

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

// A target path as the file system will see it, so that "a/../b" and "b" meet.
std::string Normal(const std::string& path) {
  std::error_code error;
  return fs::weakly_canonical(path, error).string();
}

}  // namespace

std::vector<PlanRow> PlanConversion(const FileList& list, const ConvertSettings& settings,
                                    const TagRuleSettings& rule) {
  std::vector<PlanRow> plan;
  std::map<std::string, std::size_t> targets;  // normal path -> first row writing it
  std::vector<StatusRow> rows = ComputeStatusRows(list, settings, rule);
  std::map<std::string, std::size_t> sources;  // normal path -> the row reading it
  for (std::size_t i = 0; i < rows.size(); ++i) sources.emplace(Normal(rows[i].source), i);
  for (StatusRow& row : rows) {
    PlanRow entry;
    entry.row = std::move(row);
    const std::size_t index = plan.size();
    const AudioInfo source = list.InfoAt(entry.row.entry);
    AudioInfo target = source;
    target.kind = settings.targetKind;
    const bool lossy = target.kind == AudioKind::Mp3 || target.kind == AudioKind::Wma;
    const int bitrate = lossy ? ChosenBitrate(settings.streamBitrates, source.sampleRate, source.channels) : 0;
    target.bitrate = static_cast<std::uint32_t>(std::max(0, bitrate));

    if (entry.row.unsafeName) {
      entry.outcome = PlanOutcome::UnusableName;
    } else if (lossy && bitrate <= 0) {
      entry.outcome = PlanOutcome::NoBitrate;
    } else if (!CanWriteStream(target) ||
               (target.kind == AudioKind::Wma &&
                [&] {
                  const auto offered = WmaChoicesFor({source.sampleRate, source.channels});
                  return std::find(offered.begin(), offered.end(), std::to_string(bitrate)) == offered.end();
                }())) {
      entry.outcome = PlanOutcome::StreamNotSupported;
    } else if (SameFile(entry.row.source, entry.row.target)) {
      entry.outcome = PlanOutcome::IsTheSource;
    } else if (auto reader = sources.find(Normal(entry.row.target)); reader != sources.end()) {
      entry.outcome = PlanOutcome::IsSourceOfRow;
      entry.collidesWith = reader->second;
    } else if (auto earlier = targets.find(Normal(entry.row.target)); earlier != targets.end()) {
      entry.outcome = PlanOutcome::CollidesInBatch;
      entry.collidesWith = earlier->second;
    } else if (Exists(entry.row.target)) {
      entry.outcome = PlanOutcome::ExistsOnDisk;
    }
    if (!entry.row.unsafeName) targets.emplace(Normal(entry.row.target), index);
    plan.push_back(std::move(entry));
  }
  return plan;
}

std::string OutcomeText(const PlanRow& row) {
  switch (row.outcome) {
    case PlanOutcome::Free:
      return "free";
    case PlanOutcome::ExistsOnDisk:
      return "exists (will ask)";
    case PlanOutcome::CollidesInBatch:
      return "collides with row " + std::to_string(row.collidesWith + 1);
    case PlanOutcome::IsTheSource:
      return "is the source itself";
    case PlanOutcome::IsSourceOfRow:
      return "is the source of row " + std::to_string(row.collidesWith + 1);
    case PlanOutcome::UnusableName:
      return "name from tags unusable";
    case PlanOutcome::NoBitrate:
      return "no bit rate chosen";
    case PlanOutcome::StreamNotSupported:
      return "target kind cannot hold this stream";
  }
  return "";
}

}  // namespace zandro
