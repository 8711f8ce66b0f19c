#pragma once
// The one way this program puts a file on disk. A file is written under a
// temporary name in its final directory (hidden, and recognised by every
// scan), flushed, then moved into place in one step: either only when the
// final name is free, or over an old file the user agreed to replace. A
// cancel, a kill, a crash or a full disk therefore never leaves a cut-off
// file under a real name, and never destroys an old file before its
// replacement is complete.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zplatform {

// Which file a path names: enough to tell later that a file is the one a
// run wrote, and not another put there since.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` names (a link is followed).
std::optional<FileIdentity> IdentityOfFile(const std::string& path);

// "no space left on device": the system's text for an errno value, as a
// reason reads in the middle of a sentence.
std::string SystemErrorText(int error);

// True for the names this path gives its temporary files
// (".NAME.zandro-XXXXXX.EXT"); scans and listings pass them over.
bool IsTemporaryName(std::string_view fileName);

// The temporary names of `finalPath` begin with this (the directory
// included), whatever their random part.
std::string TemporaryPrefixFor(const std::string& finalPath);

enum class Placement {
  NoReplace,  // the final name must be free; a taken one is reported, never replaced
  Replace,    // an existing file under the final name is replaced in the same step
};

enum class CommitOutcome {
  Placed,  // the file is complete under its final name
  Taken,   // NoReplace found the final name taken; the temporary file is kept
  Failed,  // see the reason; the temporary file is kept for the caller to discard
};

// A file being written. Owns its temporary file: unless committed, it is
// removed when the object goes. Not copyable, because it owns that file.
class PendingFile {
 public:
  // Creates an empty temporary file beside `finalPath`, with the mode a new
  // file of this process gets (the umask applied to 0666). Nothing, and the
  // reason, when the directory cannot take it.
  static std::unique_ptr<PendingFile> Create(const std::string& finalPath, std::string& reason);

  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Where the writer writes. A writer may replace the file under this name
  // (a tag rewrite does); what the name holds at commit time is what moves.
  const std::string& Path() const { return path_; }
  // The open temporary file, for writers that take a descriptor.
  int Descriptor() const { return fd_; }

  // Writes all of `bytes` at the end of what the descriptor has written;
  // false, and the reason, on any failed or short write.
  bool WriteAll(std::string_view bytes, std::string& reason);

  // Gives the file the permission bits of an old one it replaces.
  bool SetMode(mode_t mode);

  // Flushes the file to the disk and moves it to `finalPath`, which must lie
  // in the same directory. After Placed, Identity() is the placed file.
  CommitOutcome Commit(const std::string& finalPath, Placement placement, std::string& reason);

  // Removes the temporary file now (harmless after a commit).
  void Discard();

  // Lets go of the temporary file without removing it, for another process
  // to adopt and commit; returns its path.
  std::string Release();

  // Takes over a temporary file another process wrote and released.
  // Nothing, and the reason, when `temporaryPath` is no such file.
  static std::unique_ptr<PendingFile> Adopt(const std::string& temporaryPath, std::string& reason);

  bool Committed() const { return committed_; }
  const FileIdentity& Identity() const { return identity_; }

 private:
  PendingFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

  std::string path_;
  int fd_ = -1;
  bool committed_ = false;
  FileIdentity identity_;
};

// Removes the temporary files of `finalPath` that a killed run left behind:
// those no writer holds any more and that have not changed for a while
// (among the ones its directory held when this process first looked there).
// Returns how many went.
int RemoveStaleTemporaries(const std::string& finalPath);

}  // namespace zplatform
