// What the file list does not take is kept with its reason, whether the
// file was named or met in a scan: nothing drops out of a batch unsaid.
// These run the real probes, so a FIFO or a device the list opened would
// hang the test instead of being refused.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <functional>

#include "engine/file_list.h"
#include "support/test_support.h"
#include "zplatform/safe_file.h"

namespace {

using namespace zandro;
using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

testing_support::Bytes Wav() {
  return testing_support::SimpleWav(2, 44100, testing_support::Pcm16(44100 * 4 / 10));
}

std::vector<std::pair<std::string, std::string>> Refusals(const FileList& list) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const RefusedFile& file : list.Refused()) out.emplace_back(file.path, file.reason);
  return out;
}

struct RefusalCase {
  const char* name;
  const char* file;  // made in the folder "music"
  std::function<bool(const TempDir& dir, const std::string& path)> make;
  const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusedFileTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedFileTest, ANamedOrScannedFileIsRefusedWithItsReason) {
  const RefusalCase& c = GetParam();
  TempDir dir;
  fs::create_directory(dir.File("music"));
  testing_support::WriteBytes(dir.File("music/good.wav"), Wav());
  const std::string path = dir.File("music/" + std::string(c.file));
  if (!c.make(dir, path)) GTEST_SKIP() << "cannot make this input here";
  MessageRecorder messages;  // the probes' own messages stay out of the output

  FileList scanned;
  EXPECT_EQ(scanned.AddDirectory(dir.File("music"), ScanFilter::All), 1u);
  EXPECT_EQ(Refusals(scanned), (std::vector<std::pair<std::string, std::string>>{{path, c.reason}}));

  FileList named;
  EXPECT_FALSE(named.AddFile(path));
  ASSERT_EQ(named.Refused().size(), 1u);
  EXPECT_EQ(named.Refused()[0].reason, c.reason);
  // Taken once: the next report starts empty.
  EXPECT_EQ(named.TakeRefused().size(), 1u);
  EXPECT_TRUE(named.Refused().empty());
  EXPECT_TRUE(named.empty());
}

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; }

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedFileTest,
    ::testing::Values(
        RefusalCase{"fifoWav", "x.wav", [](const TempDir&, const std::string& p) { return MakeFifo(p); },
                    "not a regular file (a FIFO)"},
        RefusalCase{"fifoMp3", "x.mp3", [](const TempDir&, const std::string& p) { return MakeFifo(p); },
                    "not a regular file (a FIFO)"},
        RefusalCase{"fifoWma", "x.wma", [](const TempDir&, const std::string& p) { return MakeFifo(p); },
                    "not a regular file (a FIFO)"},
        RefusalCase{"linkToFifo", "y.mp3", [](const TempDir& d, const std::string& p) {
                      fs::create_symlink(d.File("pipe"), p);
                      return MakeFifo(d.File("pipe"));
                    }, "not a regular file (a FIFO)"},
        RefusalCase{"linkToDevZero", "zero.mp3", [](const TempDir&, const std::string& p) {
                      fs::create_symlink("/dev/zero", p);
                      return true;
                    }, "not a regular file (a device)"},
        RefusalCase{"danglingLink", "gone.wav", [](const TempDir& d, const std::string& p) {
                      fs::create_symlink(d.File("nowhere.wav"), p);
                      return true;
                    }, "cannot be read: no such file or directory"},
        RefusalCase{"garbage", "noise.wav", [](const TempDir&, const std::string& p) {
                      testing_support::WriteBytes(p, {'n', 'o', 'i', 's', 'e'});
                      return true;
                    }, kNotAudioReason},
        RefusalCase{"unreadable", "locked.wav", [](const TempDir&, const std::string& p) {
                      testing_support::WriteBytes(p, Wav());
                      return geteuid() != 0 && chmod(p.c_str(), 0) == 0;  // root reads it anyway
                    }, "cannot be read: permission denied"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(RefusedFiles, AFileListedAlreadyIsNoRefusal) {
  TempDir dir;
  testing_support::WriteBytes(dir.File("a.wav"), Wav());
  fs::create_symlink(dir.File("a.wav"), dir.File("same.wav"));
  FileList list;
  EXPECT_TRUE(list.AddFile(dir.File("a.wav")));
  EXPECT_FALSE(list.AddFile(dir.File("same.wav")));
  EXPECT_EQ(list.AddDirectory(dir.path().string(), ScanFilter::All), 0u);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_TRUE(list.Refused().empty());
}

TEST(RefusedFiles, AScanPassesOverTheProgramsOwnTemporaryFilesSilently) {
  TempDir dir;
  testing_support::WriteBytes(dir.File("song.wav"), Wav());
  // A target being written beside its final name: cut short, so it would
  // read as garbage.
  const std::string prefix = zplatform::TemporaryPrefixFor(dir.File("song.mp3"));
  const std::string temporary = prefix + "a1B2c3.mp3";
  ASSERT_TRUE(zplatform::IsTemporaryName(fs::path(temporary).filename().string())) << temporary;
  testing_support::WriteBytes(temporary, {0xFF, 0xFB});
  MessageRecorder messages;
  FileList list;
  EXPECT_EQ(list.AddDirectory(dir.path().string(), ScanFilter::All), 1u);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_TRUE(list.Refused().empty());
}

// Directories deep enough that a file's full path passes PATH_MAX, made and
// removed through descriptors (no path to them could be used).
class DeepTree {
 public:
  explicit DeepTree(const std::string& root) : root_(root) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    path_ = root;
    // Each folder's own path stays within PATH_MAX; the file's goes past it.
    while (fd >= 0 && path_.size() + 1 + kName.size() < PATH_MAX - 10) {
      if (mkdirat(fd, kName.c_str(), 0755) != 0) break;
      const int next = openat(fd, kName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      close(fd);
      fd = next;
      path_ += "/" + kName;
      ++depth_;
    }
    leaf_ = fd;
  }
  ~DeepTree() {
    if (leaf_ >= 0) close(leaf_);
    // Innermost first: remove every file and directory of the chain.
    for (int level = depth_; level > 0; --level) {
      int fd = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      for (int i = 1; i < level && fd >= 0; ++i) {
        const int next = openat(fd, kName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
      }
      if (fd < 0) return;
      const int inner = openat(fd, kName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (inner >= 0) {
        unlinkat(inner, kFile.c_str(), 0);
        close(inner);
      }
      unlinkat(fd, kName.c_str(), AT_REMOVEDIR);
      close(fd);
    }
  }
  DeepTree(const DeepTree&) = delete;
  DeepTree& operator=(const DeepTree&) = delete;

  // Puts a file whose name takes the full path past PATH_MAX in the leaf.
  bool AddLongFile(const testing_support::Bytes& bytes) {
    if (leaf_ < 0) return false;
    const int fd = openat(leaf_, kFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    return written && path_.size() + 1 + kFile.size() >= PATH_MAX;
  }
  std::string FilePath() const { return path_ + "/" + kFile; }

  static inline const std::string kName = std::string(200, 'd');
  static inline const std::string kFile = std::string(250, 'f') + ".wav";

 private:
  std::string root_, path_;
  int depth_ = 0;
  int leaf_ = -1;
};

TEST(RefusedFiles, AFileWhosePathIsTooLongIsRefusedNotDropped) {
  TempDir dir;
  DeepTree tree(dir.path().string());
  ASSERT_TRUE(tree.AddLongFile(Wav()));
  FileList list;
  EXPECT_EQ(list.AddDirectory(dir.path().string(), ScanFilter::All), 0u);
  EXPECT_EQ(Refusals(list), (std::vector<std::pair<std::string, std::string>>{
                                {tree.FilePath(), "the path is longer than the system allows"}}));
}

}  // namespace
