#include "engine/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "zplatform/path.h"
#include "zplatform/safe_file.h"

namespace zandro {

namespace fs = std::filesystem;

namespace {

// RFC 2396 escaping of a path, as .trashinfo files hold it.
std::string EscapePath(const std::string& path) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c == '!' || c == '*' ||
                       c == '\'' || c == '(' || c == ')';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// A trash directory of ours is private to its user.
bool EnsureDirectory(const std::string& path) {
  std::error_code error;
  if (fs::create_directories(path, error)) {
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
  }
  struct stat status {};
  return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The mount point of the file system holding `path`: the last ancestor on the same device.
std::string TopDirectory(const std::string& path, dev_t device) {
  fs::path current = fs::path(path).parent_path();
  while (current.has_parent_path() && current != current.parent_path()) {
    struct stat status {};
    if (stat(current.parent_path().c_str(), &status) != 0 || status.st_dev != device) break;
    current = current.parent_path();
  }
  return current.string();
}

constexpr std::string_view kInfoSuffix = ".trashinfo";

// The name a file gets in the trash: its own, with a number before the
// extension for the second and later ones, cut (never inside a UTF-8
// character) so that the record's name, with ".trashinfo", still fits a
// file name. The record keeps the full original path either way.
std::string TrashName(const std::string& base, int attempt) {
  std::string extension = zplatform::ExtensionPart(base);
  if (extension.size() > 32) extension.clear();
  std::string stem = base.substr(0, base.size() - extension.size());
  const std::string number = attempt > 0 ? "." + std::to_string(attempt) : "";
  const std::size_t room = NAME_MAX - kInfoSuffix.size() - extension.size() - number.size();
  if (stem.size() > room) {
    std::size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(stem[end]) & 0xC0) == 0x80) --end;
    stem.resize(end);
  }
  return stem + number + extension;
}

TrashResult Refuse(TrashResult result, std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return result;
}

// Writes the record completely under a temporary name in info/, then puts
// it in place without replacing (so two trashings never share a name, and
// no cut-off record is ever seen), then moves the file under that name.
TrashResult MoveInto(const std::string& trash, const std::string& path, const std::string& recordedPath,
                     std::string* reason) {
  const std::string files = trash + "/files";
  const std::string info = trash + "/info";
  if (!EnsureDirectory(trash) || !EnsureDirectory(files) || !EnsureDirectory(info)) {
    return Refuse(TrashResult::NoTrash, reason, "the Trash " + trash + " cannot be used, so it stays");
  }
  auto failed = [&](const std::string& why) {
    return Refuse(TrashResult::Failed, reason, "cannot be moved to the Trash " + trash + ": " + why);
  };

  char date[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  const std::string record = "[Trash Info]\nPath=" + EscapePath(recordedPath) + "\nDeletionDate=" + date + "\n";

  const std::string base = zplatform::FileNamePart(path);
  std::string why;
  const std::unique_ptr<zplatform::PendingFile> pending =
      zplatform::PendingFile::Create(info + "/" + TrashName(base, 0) + std::string(kInfoSuffix), why);
  if (!pending || !pending->SetMode(0600) || !pending->WriteAll(record, why)) return failed(why);
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const std::string name = TrashName(base, attempt);
    const std::string into = files + "/" + name;
    std::error_code error;
    if (fs::exists(fs::symlink_status(into, error))) continue;
    const std::string infoPath = info + "/" + name + std::string(kInfoSuffix);
    switch (pending->Commit(infoPath, zplatform::Placement::NoReplace, why)) {
      case zplatform::CommitOutcome::Taken:
        continue;
      case zplatform::CommitOutcome::Failed:
        return failed(why);
      case zplatform::CommitOutcome::Placed:
        break;
    }
    // Never over a file trashed meanwhile under that name.
    int moved = renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, into.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) moved = rename(path.c_str(), into.c_str());
    if (moved != 0) {
      const int failure = errno;
      unlink(infoPath.c_str());
      return failed(zplatform::SystemErrorText(failure));
    }
    return TrashResult::Trashed;
  }
  return Refuse(TrashResult::Failed, reason, "the Trash " + trash + " has no free name for it");
}

}  // namespace

std::string HomeTrashDirectory() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return std::string(dataHome) + "/Trash";
  const std::string home = zplatform::HomeDirectory();
  if (home.empty()) return "";
  return home + "/.local/share/Trash";
}

TrashResult MoveToTrash(const std::string& path, std::string* reason) {
  std::error_code error;
  const std::string absolute = fs::absolute(path, error).lexically_normal().string();
  if (error) return Refuse(TrashResult::Failed, reason, "cannot be found: " + error.message());
  struct stat file {};
  if (lstat(absolute.c_str(), &file) != 0) {
    return Refuse(TrashResult::Failed, reason, "cannot be found: " + zplatform::SystemErrorText(errno));
  }

  const std::string home = HomeTrashDirectory();
  if (!home.empty()) {
    // The home trash serves the file systems it lives on (its parent, when
    // it does not exist yet).
    fs::path probe = home;
    struct stat where {};
    while (!probe.empty() && stat(probe.c_str(), &where) != 0) probe = probe.parent_path();
    if (!probe.empty() && where.st_dev == file.st_dev) return MoveInto(home, absolute, absolute, reason);
  }
  // Another volume: its own $topdir/.Trash-$uid, with paths kept relative to it.
  const std::string top = TopDirectory(absolute, file.st_dev);
  if (top.empty()) return Refuse(TrashResult::NoTrash, reason, "no Trash serves its file system, so it stays");
  const std::string trash = zplatform::WithTrailingSeparator(top) + ".Trash-" + std::to_string(getuid());
  const std::string relative = fs::path(absolute).lexically_relative(top).string();
  return MoveInto(trash, absolute, relative, reason);
}

}  // namespace zandro
