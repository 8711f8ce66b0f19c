// Only regular files open as inputs; everything else is refused at once,
// with its kind in the reason, and never waited on.

#include "zplatform/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "support/test_support.h"

namespace {

using testing_support::TempDir;
namespace fs = std::filesystem;

struct InputCase {
  const char* name;
  // Makes the input at `path` in `dir`; false when it cannot be made here.
  std::function<bool(const TempDir& dir, const std::string& path)> make;
  const char* reason;  // empty for a file that opens
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

class InputFileTest : public ::testing::TestWithParam<InputCase> {};

// A FIFO nobody writes to: a blocking open of it would never return.
bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; }

bool MakeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (fd < 0 || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);  // the socket file stays
  return bound;
}

TEST_P(InputFileTest, OnlyARegularFileOpens) {
  const InputCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("x.mp3");
  if (!c.make(dir, path)) GTEST_SKIP() << "cannot make this input here";

  std::string reason = "untouched";
  const int fd = zplatform::OpenRegularFile(path, &reason);
  std::string checkReason;
  const bool checked = zplatform::CheckRegularFile(path, &checkReason);
  if (std::string(c.reason).empty()) {
    ASSERT_GE(fd, 0) << reason;
    // An ordinary descriptor: blocking reads, not inherited by children.
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    char byte = 0;
    EXPECT_EQ(read(fd, &byte, 1), 1);
    close(fd);
    EXPECT_TRUE(checked);
  } else {
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(reason, c.reason);
    EXPECT_FALSE(checked);
    EXPECT_EQ(checkReason, c.reason);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, InputFileTest,
    ::testing::Values(
        InputCase{"regular", [](const TempDir&, const std::string& p) {
                    testing_support::WriteBytes(p, {1, 2, 3});
                    return true;
                  }, ""},
        InputCase{"linkToRegular", [](const TempDir& d, const std::string& p) {
                    testing_support::WriteBytes(d.File("target"), {1});
                    fs::create_symlink(d.File("target"), p);
                    return true;
                  }, ""},
        InputCase{"fifo", [](const TempDir&, const std::string& p) { return MakeFifo(p); },
                  "not a regular file (a FIFO)"},
        InputCase{"linkToFifo", [](const TempDir& d, const std::string& p) {
                    fs::create_symlink(d.File("pipe"), p);
                    return MakeFifo(d.File("pipe"));
                  }, "not a regular file (a FIFO)"},
        InputCase{"linkToDevZero", [](const TempDir&, const std::string& p) {
                    fs::create_symlink("/dev/zero", p);
                    return true;
                  }, "not a regular file (a device)"},
        InputCase{"socket", [](const TempDir&, const std::string& p) { return MakeSocket(p); },
                  "not a regular file (a socket)"},
        InputCase{"directory", [](const TempDir&, const std::string& p) { return fs::create_directory(p); },
                  "not a regular file (a directory)"},
        InputCase{"missing", [](const TempDir&, const std::string&) { return true; },
                  "cannot be read: no such file or directory"},
        InputCase{"danglingLink", [](const TempDir& d, const std::string& p) {
                    fs::create_symlink(d.File("gone"), p);
                    return true;
                  }, "cannot be read: no such file or directory"},
        InputCase{"unreadable", [](const TempDir&, const std::string& p) {
                    testing_support::WriteBytes(p, {1});
                    // Whoever may read anything reads this too.
                    return geteuid() != 0 && chmod(p.c_str(), 0) == 0;
                  }, "cannot be read: permission denied"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(InputFile, APathLongerThanTheSystemAllowsIsSaidSo) {
  TempDir dir;
  // Longer than PATH_MAX, whatever the directory: no file needs to exist.
  const std::string path = dir.File(std::string(300, 'd') + "/" + std::string(5000, 'x') + ".wav");
  std::string reason;
  EXPECT_EQ(zplatform::OpenRegularFile(path, &reason), -1);
  EXPECT_EQ(reason, "the path is longer than the system allows");
  // A reason is optional.
  EXPECT_FALSE(zplatform::CheckRegularFile(path, nullptr));
}

TEST(InputFile, AStreamReadsTheFileAndClosesIt) {
  TempDir dir;
  testing_support::WriteBytes(dir.File("a.wav"), {'R', 'I', 'F', 'F'});
  std::FILE* file = zplatform::OpenRegularStream(dir.File("a.wav"), nullptr);
  ASSERT_NE(file, nullptr);
  char text[5] = {};
  EXPECT_EQ(std::fread(text, 1, 4, file), 4u);
  EXPECT_STREQ(text, "RIFF");
  std::fclose(file);
  ASSERT_EQ(mkfifo(dir.File("p.wav").c_str(), 0644), 0);
  std::string reason;
  EXPECT_EQ(zplatform::OpenRegularStream(dir.File("p.wav"), &reason), nullptr);
  EXPECT_EQ(reason, "not a regular file (a FIFO)");
}

}  // namespace
