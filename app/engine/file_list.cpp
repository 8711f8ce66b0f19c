#include "engine/file_list.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "audio/audio_io.h"
#include "zplatform/input_file.h"
#include "zplatform/messages.h"
#include "zplatform/path.h"
#include "zplatform/safe_file.h"
#include "zplatform/text.h"

namespace zandro {

namespace fs = std::filesystem;

FileInspector FileInspector::Audio() {
  return FileInspector{
      [](const std::string& path, AudioInfo& info) { ProbeAudioFile(path, info); },
      [](const std::string& path, AudioInfo info, SongTags& tags) { ReadSongTags(path, info, tags); },
      [](const std::string& path, std::string* reason) { return zplatform::CheckRegularFile(path, reason); },
  };
}

std::string TypeText(AudioKind kind) {
  switch (kind) {
    case AudioKind::Mp3:
      return "MP3";
    case AudioKind::Wav:
      return "WAV";
    case AudioKind::Wma:
      return "WMA";
    case AudioKind::None:
      break;
  }
  return "";
}

std::array<std::string, 10> RowTexts(const AudioInfo& info, const SongTags& tags) {
  return {TypeText(info.kind),
          std::to_string(info.sampleRate),
          info.channels == 2 ? "stereo" : "mono",
          std::to_string(info.bitrate),
          FormatDuration(info.durationMs / 1000),
          zplatform::FieldText(tags.title),
          zplatform::FieldText(tags.author),
          zplatform::FieldText(tags.album),
          zplatform::FieldText(tags.track),
          zplatform::FieldText(tags.year)};
}

bool ExtensionMatches(const std::string& path, KindChoice kind) {
  const std::string extension = zplatform::AsciiUpper(zplatform::ExtensionPart(path));
  switch (kind) {
    case KindChoice::All:
      return true;
    case KindChoice::Wma:
      return extension == ".WMA";
    case KindChoice::Mp3:
      return extension == ".MP3";
    case KindChoice::Wav:
      return extension == ".WAV";
  }
  return false;
}

namespace {

bool PassesScanFilter(const std::string& name, ScanFilter filter) {
  switch (filter) {
    case ScanFilter::Wma:
      return ExtensionMatches(name, KindChoice::Wma);
    case ScanFilter::Mp3:
      return ExtensionMatches(name, KindChoice::Mp3);
    case ScanFilter::Wav:
      return ExtensionMatches(name, KindChoice::Wav);
    case ScanFilter::All:
      return ExtensionMatches(name, KindChoice::Wma) || ExtensionMatches(name, KindChoice::Mp3) ||
             ExtensionMatches(name, KindChoice::Wav);
  }
  return false;
}

// Why a folder could not be listed, as a refusal says it.
std::string FolderReason(const std::error_code& error) {
  if (error.value() == ENAMETOOLONG) return "the path is longer than the system allows";
  return "the folder cannot be read: " + zplatform::SystemErrorText(error.value());
}

// ASCII letters folded, every other byte by its value.
int CompareText(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
    const int ca = fold(static_cast<unsigned char>(a[i]));
    const int cb = fold(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

FileList::FileList(FileInspector inspector) : inspector_(std::move(inspector)) {}

// Linux names are case-sensitive, so two paths are the same entry when they
// name the same file: the canonical path, or the path as given when the
// file cannot be resolved.
std::string FileList::IdentityOf(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::canonical(path, error);
  if (!error) return canonical.string();
  return fs::absolute(path, error).lexically_normal().string();
}

void FileList::Count(Counts& counts, const FileListEntry& entry, int delta) {
  auto add = [delta](std::size_t& value) { value = static_cast<std::size_t>(static_cast<long long>(value) + delta); };
  add(counts.total);
  const std::string& type = entry.Text(Column::Type);
  if (type == "WAV") {
    add(counts.wav);
  } else if (type == "MP3") {
    add(counts.mp3);
  } else if (type == "WMA") {
    add(counts.wma);
  }
}

void FileList::Remember(const Row& row) {
  ++keys_[row.key];
  Count(listed_, row.entry, +1);
  if (row.entry.selected) Count(selected_, row.entry, +1);
}

void FileList::Forget(const Row& row) {
  auto found = keys_.find(row.key);
  if (found != keys_.end() && --found->second == 0) keys_.erase(found);
  Count(listed_, row.entry, -1);
  if (row.entry.selected) Count(selected_, row.entry, -1);
}

bool FileList::AddFile(const std::string& path) {
  std::string key = IdentityOf(path);
  if (keys_.count(key)) return false;

  // Checked before the probe: a FIFO or a device would hang it.
  if (std::string reason; inspector_.openable && !inspector_.openable(path, &reason)) {
    Refuse(path, std::move(reason));
    return false;
  }
  AudioInfo info;
  inspector_.probe(path, info);
  if (info.bitrate == 0 && info.sampleRate == 0 && info.durationMs == 0) {
    Refuse(path, KindFromFileName(path) == AudioKind::None ? "not a WAV, MP3 or WMA file (by its extension)"
                                                            : kNotAudioReason);
    return false;
  }

  SongTags tags{};
  inspector_.readTags(path, info, tags);

  Row row{FileListEntry{path, RowTexts(info, tags), false}, info, std::move(key)};
  Remember(row);
  rows_.push_back(std::move(row));
  if (observer_) observer_->RowInserted(rows_.size() - 1);
  return true;
}

std::size_t FileList::AddDirectory(const std::string& directory, ScanFilter filter) {
  std::size_t added = 0;
  if (directory.empty()) return 0;  // a folder without a path adds nothing
  ++scanDepth_;
  ScanDirectory(zplatform::WithTrailingSeparator(directory), filter, added);
  if (--scanDepth_ == 0) stopScan_ = false;
  return added;
}

void FileList::ScanDirectory(const std::string& directory, ScanFilter filter, std::size_t& added) {
  std::error_code error;
  // An error while reading the folder ends the loop and is told once.
  for (fs::directory_iterator entries(directory, error); !error && entries != fs::directory_iterator();
       entries.increment(error)) {
    if (stopScan_) return;
    const fs::directory_entry& entry = *entries;
    const std::string name = entry.path().filename().string();
    std::error_code statusError;
    const bool isLink = entry.is_symlink(statusError);
    if (!isLink && entry.is_directory(statusError)) {
      if (!name.empty() && name[0] != '.') ScanDirectory(directory + name + "/", filter, added);
      continue;
    }
    if (entry.is_directory(statusError)) continue;  // a link to a directory
    // The files this program is writing (or a killed run left) are its own.
    if (zplatform::IsTemporaryName(name)) continue;
    if (PassesScanFilter(name, filter) && AddFile(directory + name)) ++added;
  }
  if (error) Refuse(directory, FolderReason(error));
}

void FileList::Refuse(const std::string& path, std::string reason) {
  refused_.push_back(RefusedFile{path, std::move(reason)});
}

std::vector<RefusedFile> FileList::TakeRefused() {
  std::vector<RefusedFile> taken;
  taken.swap(refused_);
  return taken;
}

void FileList::SetSelected(std::size_t row, bool selected) {
  Row& target = rows_[row];
  if (target.entry.selected == selected) return;
  if (target.entry.selected) Count(selected_, target.entry, -1);
  target.entry.selected = selected;
  if (selected) Count(selected_, target.entry, +1);
  if (observer_) observer_->RowChanged(row);
}

void FileList::SelectByKind(KindChoice kind) {
  for (std::size_t i = 0; i < rows_.size(); ++i) SetSelected(i, ExtensionMatches(rows_[i].entry.caption, kind));
}

bool FileList::DeleteSelected() {
  if (selected_.total == 0) {
    zplatform::ShowMessage(zplatform::MessageKind::Plain, "There is no file selected !");
    return false;
  }
  for (std::size_t i = 0; i < rows_.size();) {
    if (rows_[i].entry.selected) {
      Remove(i);
    } else {
      ++i;
    }
  }
  return true;
}

void FileList::DeleteByKind(KindChoice kind) {
  for (std::size_t i = 0; i < rows_.size();) {
    if (ExtensionMatches(rows_[i].entry.caption, kind)) {
      Remove(i);
    } else {
      ++i;
    }
  }
}

void FileList::Remove(std::size_t row) {
  Forget(rows_[row]);
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
  if (observer_) observer_->RowRemoved(row);
}

void FileList::Clear() {
  while (!rows_.empty()) Remove(rows_.size() - 1);
}

void FileList::SortByColumn(int column) {
  if (column < 0 || column >= kColumnCount) return;
  sortColumn_ = column;
  const Column key = static_cast<Column>(column);
  std::stable_sort(rows_.begin(), rows_.end(), [key](const Row& a, const Row& b) {
    return CompareText(a.entry.Text(key), b.entry.Text(key)) < 0;
  });
  if (observer_) observer_->RowsReordered();
}

void FileList::SetCaption(std::size_t row, const std::string& path) {
  Row& target = rows_[row];
  Forget(target);
  target.entry.caption = path;
  target.key = IdentityOf(path);
  Remember(target);
  if (observer_) observer_->RowChanged(row);
}

void FileList::SetText(std::size_t row, Column column, const std::string& text) {
  if (column == Column::FileName) {
    SetCaption(row, text);
    return;
  }
  Row& target = rows_[row];
  Forget(target);
  target.entry.Text(column) = text;
  Remember(target);
  if (observer_) observer_->RowChanged(row);
}

std::string FileList::StatusText() const {
  auto part = [](const Counts& counts, const char* what) {
    return "Total " + std::to_string(counts.total) + " audio files " + what + "(" + std::to_string(counts.wma) +
           " wma/" + std::to_string(counts.mp3) + " mp3/" + std::to_string(counts.wav) + " wav)";
  };
  return part(listed_, "listed") + "    " + part(selected_, "selected");
}

}  // namespace zandro
