#include "zplatform/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "zplatform/path.h"

namespace zplatform {

namespace {

constexpr std::string_view kMarker = ".zandro-";
constexpr std::size_t kRandomLength = 6;  // mkstemps' XXXXXX
// A temporary file younger than this may belong to a writer between its
// steps; only older ones count as left behind.
constexpr std::time_t kStaleSeconds = 10;

bool IsRandomPart(std::string_view text) {
  if (text.size() != kRandomLength) return false;
  for (char c : text) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

bool EndsWithMarker(std::string_view stem) {
  if (stem.size() < kMarker.size() + kRandomLength) return false;
  const std::string_view random = stem.substr(stem.size() - kRandomLength);
  const std::string_view marker = stem.substr(stem.size() - kRandomLength - kMarker.size(), kMarker.size());
  return marker == kMarker && IsRandomPart(random);
}

// The bits a new file of this process gets; read once, without touching
// the process's umask (changing it is not safe beside other threads).
mode_t NewFileMode() {
  static const mode_t mode = [] {
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("Umask:", 0) == 0) {
        mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        break;
      }
    }
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

// Cuts UTF-8 text to at most `bytes` without splitting a character.
std::string CutUtf8(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// "DIR/.STEM.zandro-" and ".EXT" of the temporary names of `finalPath`,
// the stem cut so that the whole name stays within NAME_MAX.
struct TemporaryName {
  std::string prefix;     // with the directory
  std::string extension;  // the final name's, so that tag editors know the kind
};

TemporaryName TemporaryNameFor(const std::string& finalPath) {
  const std::string directory = DirectoryPart(finalPath);
  std::string extension = ExtensionPart(finalPath);
  std::string stem = BaseNamePart(finalPath);
  constexpr std::size_t kFixed = 1 + kMarker.size() + kRandomLength;
  if (extension.size() > 32) extension.clear();  // no kind that long; keep room for the name
  const std::size_t room = NAME_MAX - kFixed - extension.size();
  stem = CutUtf8(stem, room);
  return {directory + "." + stem + std::string(kMarker), extension};
}

bool SyncDirectory(const std::string& path) {
  std::string directory = DirectoryPart(path);
  if (directory.empty()) directory = ".";
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync a directory
  close(fd);
  return ok;
}

std::string DirectoryForMessage(const std::string& path) {
  std::string directory = DirectoryPart(path);
  if (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory.empty() ? "." : directory;
}

}  // namespace

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
                      static_cast<std::uint64_t>(status.st_size)};
}

std::string SystemErrorText(int error) {
  std::string text = std::strerror(error);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] < 'A' || text[1] > 'Z')) {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

bool IsTemporaryName(std::string_view fileName) {
  if (fileName.size() < 1 + kMarker.size() + kRandomLength || fileName[0] != '.') return false;
  if (EndsWithMarker(fileName)) return true;
  const std::size_t dot = fileName.rfind('.');
  return dot != std::string_view::npos && dot > 0 && EndsWithMarker(fileName.substr(0, dot));
}

std::string TemporaryPrefixFor(const std::string& finalPath) { return TemporaryNameFor(finalPath).prefix; }

std::unique_ptr<PendingFile> PendingFile::Create(const std::string& finalPath, std::string& reason) {
  const TemporaryName name = TemporaryNameFor(finalPath);
  std::string path = name.prefix + std::string(kRandomLength, 'X') + name.extension;
  const int fd = mkostemps(path.data(), static_cast<int>(name.extension.size()), O_CLOEXEC);
  if (fd < 0) {
    reason = "cannot write to " + DirectoryForMessage(finalPath) + ": " + SystemErrorText(errno);
    return nullptr;
  }
  // Held while the file is being written, so that a cleaner in another run
  // can tell it from one a killed run left.
  flock(fd, LOCK_EX | LOCK_NB);
  fchmod(fd, NewFileMode());
  return std::unique_ptr<PendingFile>(new PendingFile(std::move(path), fd));
}

PendingFile::~PendingFile() { Discard(); }

bool PendingFile::WriteAll(std::string_view bytes, std::string& reason) {
  while (!bytes.empty()) {
    const ssize_t put = fd_ >= 0 ? write(fd_, bytes.data(), bytes.size()) : -1;
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      reason = "cannot write " + path_ + ": " + SystemErrorText(put < 0 && fd_ >= 0 ? errno : EIO);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

bool PendingFile::SetMode(mode_t mode) { return fd_ >= 0 && fchmod(fd_, mode & 07777) == 0; }

void PendingFile::Discard() {
  if (!committed_ && !path_.empty()) {
    // Only what still is our file: a writer may have put another there.
    unlink(path_.c_str());
  }
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!committed_) path_.clear();
}

std::string PendingFile::Release() {
  std::string path = committed_ ? std::string() : path_;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  path_.clear();
  return path;
}

std::unique_ptr<PendingFile> PendingFile::Adopt(const std::string& temporaryPath, std::string& reason) {
  if (!IsTemporaryName(FileNamePart(temporaryPath))) {
    reason = temporaryPath + " is not a temporary file of this program";
    return nullptr;
  }
  const int fd = open(temporaryPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat status {};
  if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    reason = "the written file " + temporaryPath + " is gone: " + SystemErrorText(fd < 0 ? errno : EINVAL);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  flock(fd, LOCK_EX | LOCK_NB);
  return std::unique_ptr<PendingFile>(new PendingFile(temporaryPath, fd));
}

CommitOutcome PendingFile::Commit(const std::string& finalPath, Placement placement, std::string& reason) {
  if (committed_ || path_.empty()) {
    reason = "nothing to put in place for " + finalPath;
    return CommitOutcome::Failed;
  }
  if (DirectoryPart(finalPath) != DirectoryPart(path_)) {
    reason = finalPath + " is not beside its temporary file";
    return CommitOutcome::Failed;
  }
  // The name may hold another file than the one created (a tag rewrite
  // replaces it): that one is flushed and moved.
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    reason = "the written file " + path_ + " is gone: " + SystemErrorText(errno);
    return CommitOutcome::Failed;
  }
  flock(fd, LOCK_EX | LOCK_NB);
  struct stat status {};
  if (fsync(fd) != 0 || fstat(fd, &status) != 0) {
    reason = "cannot write " + finalPath + ": " + SystemErrorText(errno);
    close(fd);
    return CommitOutcome::Failed;
  }
  int moved = -1;
  if (placement == Placement::NoReplace) {
    moved = renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the flag: a hard link fails on a taken name too.
      moved = link(path_.c_str(), finalPath.c_str());
      if (moved == 0) unlink(path_.c_str());
    }
  } else {
    moved = rename(path_.c_str(), finalPath.c_str());
  }
  if (moved != 0) {
    const int error = errno;
    close(fd);
    if (error == EEXIST) {
      reason = finalPath + " exists";
      return CommitOutcome::Taken;
    }
    reason = "cannot write " + finalPath + ": " + SystemErrorText(error);
    return CommitOutcome::Failed;
  }
  committed_ = true;
  identity_ = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
               static_cast<std::uint64_t>(status.st_size)};
  close(fd);
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  path_ = finalPath;
  SyncDirectory(finalPath);
  return CommitOutcome::Placed;
}

namespace {

// The temporary names each directory held when this process first looked:
// a run of thousands of rows into one folder lists it once, not per row.
// Files a killed writer leaves later are still passed over by every scan.
std::vector<std::string> TemporariesIn(const std::string& directory) {
  static std::mutex mutex;
  static std::map<std::string, std::vector<std::string>> seen;
  std::lock_guard lock(mutex);
  auto found = seen.find(directory);
  if (found != seen.end()) return found->second;
  std::vector<std::string> names;
  if (DIR* listing = opendir(directory.empty() ? "." : directory.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      if (IsTemporaryName(entry->d_name)) names.emplace_back(entry->d_name);
    }
    closedir(listing);
  }
  return seen.emplace(directory, std::move(names)).first->second;
}

}  // namespace

int RemoveStaleTemporaries(const std::string& finalPath) {
  const TemporaryName name = TemporaryNameFor(finalPath);
  const std::string directory = DirectoryPart(name.prefix);
  const std::string start = FileNamePart(name.prefix);
  int removed = 0;
  const std::time_t now = std::time(nullptr);
  for (const std::string& file : TemporariesIn(directory)) {
    if (file.size() != start.size() + kRandomLength + name.extension.size() || file.rfind(start, 0) != 0 ||
        !IsRandomPart(std::string_view(file).substr(start.size(), kRandomLength)) ||
        std::string_view(file).substr(start.size() + kRandomLength) != name.extension) {
      continue;
    }
    const std::string path = directory + file;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat status {};
    const bool left = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && now - status.st_mtime >= kStaleSeconds &&
                      flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (left) {
      struct stat named {};
      // Still the file looked at, not one put under the name since.
      if (lstat(path.c_str(), &named) == 0 && named.st_ino == status.st_ino && named.st_dev == status.st_dev &&
          unlink(path.c_str()) == 0) {
        ++removed;
      }
    }
    close(fd);
  }
  return removed;
}

}  // namespace zplatform
