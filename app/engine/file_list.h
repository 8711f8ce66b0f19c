#pragma once
// The list of collected audio files: rows, their selection, and every list
// command (adding files and trees, sorting, selecting and deleting by kind,
// the status count text). Plain data; a front end observes it.

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/audio_info.h"
#include "audio/song_tags.h"
#include "engine/conversion_inputs.h"

namespace zandro {

// Kind filter of a directory scan, numbered as the add-directory commands.
enum class ScanFilter : int { Wma = 0, Mp3 = 1, Wav = 2, All = 3 };

// Kind of the select and delete commands, numbered as those commands.
enum class KindChoice : int { All = 0, Wma = 1, Mp3 = 2, Wav = 3 };

// What the list needs from the audio files; tests replace it.
struct FileInspector {
  std::function<void(const std::string& path, AudioInfo& info)> probe;
  std::function<void(const std::string& path, AudioInfo info, SongTags& tags)> readTags;
  // Whether the path names a file that may be opened at all (a regular,
  // readable one); false with the reason. Left empty, every path may.
  std::function<bool(const std::string& path, std::string* reason)> openable = nullptr;

  // The audio operations.
  static FileInspector Audio();
};

// A file the list did not take, and why, in plain words that read after its
// path: "not a regular file (a FIFO)", "cannot be read: permission denied",
// "not a readable audio file", "the path is longer than the system allows".
// A folder a scan could not read is one too.
struct RefusedFile {
  std::string path;
  std::string reason;
};

// The reason for a file whose probe found no audio in it.
inline constexpr const char* kNotAudioReason = "not a readable audio file";

// Told about every change so that a view can follow the rows.
class FileListObserver {
 public:
  virtual ~FileListObserver() = default;
  virtual void RowInserted(std::size_t row) = 0;
  virtual void RowRemoved(std::size_t row) = 0;
  virtual void RowChanged(std::size_t row) = 0;
  virtual void RowsReordered() = 0;
};

// Owns its rows; not copyable, because a view observes one list.
class FileList {
 public:
  explicit FileList(FileInspector inspector = FileInspector::Audio());
  FileList(const FileList&) = delete;
  FileList& operator=(const FileList&) = delete;

  void SetObserver(FileListObserver* observer) { observer_ = observer; }

  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const FileListEntry& at(std::size_t row) const { return rows_[row].entry; }
  // The record the probe filled when the row was added.
  const AudioInfo& InfoAt(std::size_t row) const { return rows_[row].info; }

  // Adds one file unless it is listed already, cannot be opened or its
  // probe left rate, bit rate and time all 0; true when a row was added.
  // A file not added for any reason but the first is kept in Refused().
  bool AddFile(const std::string& path);

  // Adds the files of a tree that pass the filter, depth first, each
  // subdirectory where it is met. Symbolic links to directories and hidden
  // directories are not descended, so a scan cannot loop; this program's
  // own temporary files are passed over. Every other file that passes the
  // filter is listed or refused, never dropped. Returns the number of rows
  // added.
  std::size_t AddDirectory(const std::string& directory, ScanFilter filter);

  // The files (and folders) refused since the last TakeRefused, in the
  // order met; TakeRefused hands them over and forgets them.
  const std::vector<RefusedFile>& Refused() const { return refused_; }
  std::vector<RefusedFile> TakeRefused();

  // Asks every running AddDirectory to stop before its next entry (a front
  // end that lets events run during a scan calls it when its window closes).
  void StopScan() { stopScan_ = scanDepth_ > 0; }
  bool Scanning() const { return scanDepth_ > 0; }

  void SetSelected(std::size_t row, bool selected);
  std::size_t SelectedCount() const { return selected_.total; }
  void SelectByKind(KindChoice kind);

  // Shows "There is no file selected !" and returns false when no row is selected.
  bool DeleteSelected();
  void DeleteByKind(KindChoice kind);
  void Remove(std::size_t row);
  void Clear();

  // Ascending, case-insensitive text order of one column; stable.
  void SortByColumn(int column);
  int SortColumn() const { return sortColumn_; }

  // Changes a row's path (a renamed file) or one of its texts.
  void SetCaption(std::size_t row, const std::string& path);
  void SetText(std::size_t row, Column column, const std::string& text);

  // "Total 3 audio files listed(1 wma/1 mp3/1 wav)    Total 2 audio files selected(...)".
  std::string StatusText() const;

 private:
  struct Row {
    FileListEntry entry;
    AudioInfo info;
    std::string key;  // the file's identity, for the duplicate test
  };
  struct Counts {
    std::size_t total = 0, wma = 0, mp3 = 0, wav = 0;
  };

  static std::string IdentityOf(const std::string& path);
  static void Count(Counts& counts, const FileListEntry& entry, int delta);
  void ScanDirectory(const std::string& directory, ScanFilter filter, std::size_t& added);
  void Refuse(const std::string& path, std::string reason);
  void Forget(const Row& row);
  void Remember(const Row& row);

  FileInspector inspector_;
  FileListObserver* observer_ = nullptr;
  std::vector<Row> rows_;
  std::vector<RefusedFile> refused_;
  std::unordered_map<std::string, std::size_t> keys_;  // identity -> rows holding it
  Counts listed_;
  Counts selected_;
  int sortColumn_ = 0;
  int scanDepth_ = 0;  // scans in progress, nested ones included
  bool stopScan_ = false;
};

// The row's kind by its caption's extension, as the select, delete and scan
// commands judge it.
bool ExtensionMatches(const std::string& path, KindChoice kind);

// The "Type" column's text for a kind: "MP3", "WAV", "WMA".
std::string TypeText(AudioKind kind);

// The ten sub-item texts of a row, in column order 1 to 10.
std::array<std::string, 10> RowTexts(const AudioInfo& info, const SongTags& tags);

}  // namespace zandro
