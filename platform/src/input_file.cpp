#include "zplatform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "zplatform/safe_file.h"

namespace zplatform {
namespace {

// The kind of a file that is not a regular one, as a reason names it.
std::string NotRegular(mode_t mode) {
  const char* kind = S_ISFIFO(mode)                    ? "a FIFO"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                     : S_ISSOCK(mode)                  ? "a socket"
                     : S_ISDIR(mode)                   ? "a directory"
                                                       : "a special file";
  return std::string("not a regular file (") + kind + ")";
}

std::string CannotRead(int error) {
  if (error == ENAMETOOLONG) return "the path is longer than the system allows";
  return "cannot be read: " + SystemErrorText(error);
}

void Tell(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string* reason) {
  // Judged before the open, so that no device is ever opened (opening one
  // can have effects of its own), and again on the descriptor, so that a
  // file swapped in between is caught too.
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    Tell(reason, CannotRead(errno));
    return -1;
  }
  if (!S_ISREG(status.st_mode)) {
    Tell(reason, NotRegular(status.st_mode));
    return -1;
  }
  // Without O_NONBLOCK the open of a FIFO would wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    Tell(reason, CannotRead(errno));
    return -1;
  }
  if (fstat(fd, &status) != 0) {
    Tell(reason, CannotRead(errno));
    close(fd);
    return -1;
  }
  if (!S_ISREG(status.st_mode)) {
    Tell(reason, NotRegular(status.st_mode));
    close(fd);
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    Tell(reason, CannotRead(errno));
    close(fd);
    return -1;
  }
  return fd;
}

std::FILE* OpenRegularStream(const std::string& path, std::string* reason) {
  const int fd = OpenRegularFile(path, reason);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "rb");
  if (!file) {
    Tell(reason, CannotRead(errno));
    close(fd);
  }
  return file;
}

bool CheckRegularFile(const std::string& path, std::string* reason) {
  const int fd = OpenRegularFile(path, reason);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace zplatform
