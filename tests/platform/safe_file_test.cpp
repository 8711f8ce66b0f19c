// The safe write path: nothing reaches a real name unfinished, a taken name
// is never replaced unless asked, and what a killed writer leaves is known.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"
#include "zplatform/safe_file.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using zplatform::CommitOutcome;
using zplatform::PendingFile;
using zplatform::Placement;
namespace fs = std::filesystem;

std::size_t Entries(const TempDir& dir) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++count;
  return count;
}

TEST(SafeFile, TemporaryNamesAreKnownAndNothingElseIs) {
  struct Case {
    const char* name;
    bool temporary;
  } const cases[] = {
      {".song.zandro-a1B2c3.mp3", true},
      {".song.zandro-a1B2c3", true},
      {"..song.zandro-a1B2c3.zandro-Zz9yY8.wma", true},
      {"song.zandro-a1B2c3.mp3", false},   // not hidden: a user's file
      {".song.zandro-a1B2c.mp3", false},   // five random characters
      {".song.zandro-a1B2c!.mp3", false},
      {".song.tags-a1B2c3.mp3", false},
      {".hidden.mp3", false},
      {"song.mp3", false},
  };
  for (const Case& c : cases) EXPECT_EQ(zplatform::IsTemporaryName(c.name), c.temporary) << c.name;

  // Whatever the final name, even one as long as a name can be, its
  // temporary name is a valid one and known as such.
  TempDir dir;
  for (const std::string& name : {std::string("plain.wav"), std::string(251, 'n') + ".wav",
                                  std::string(120, '\xc3') + std::string(1, 'x') + ".mp3",
                                  std::string("no extension")}) {
    std::string reason;
    const auto file = PendingFile::Create(dir.File(name), reason);
    ASSERT_TRUE(file) << reason;
    const std::string temporary = fs::path(file->Path()).filename().string();
    EXPECT_LE(temporary.size(), 255u);
    EXPECT_TRUE(zplatform::IsTemporaryName(temporary)) << temporary;
    EXPECT_EQ(file->Path().rfind(zplatform::TemporaryPrefixFor(dir.File(name)), 0), 0u);
  }
}

TEST(SafeFile, ATakenNameIsReplacedOnlyWhenAsked) {
  TempDir dir;
  const std::string target = dir.File("song.wav");
  WriteBytes(target, {'o', 'l', 'd'});
  std::string reason;
  auto file = PendingFile::Create(target, reason);
  ASSERT_TRUE(file) << reason;
  WriteBytes(file->Path(), {'n', 'e', 'w', '!'});

  EXPECT_EQ(file->Commit(target, Placement::NoReplace, reason), CommitOutcome::Taken);
  EXPECT_EQ(ReadBytes(target), (testing_support::Bytes{'o', 'l', 'd'}));
  EXPECT_TRUE(fs::exists(file->Path()));  // kept for the caller's next answer

  EXPECT_EQ(file->Commit(target, Placement::Replace, reason), CommitOutcome::Placed) << reason;
  EXPECT_EQ(ReadBytes(target), (testing_support::Bytes{'n', 'e', 'w', '!'}));
  EXPECT_EQ(file->Identity(), *zplatform::IdentityOfFile(target));
  EXPECT_EQ(file->Identity().size, 4u);
  EXPECT_EQ(Entries(dir), 1u);

  // A free name takes it without a question; the mode is a new file's.
  auto other = PendingFile::Create(dir.File("free.wav"), reason);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->Commit(dir.File("free.wav"), Placement::NoReplace, reason), CommitOutcome::Placed);
  struct stat status {};
  ASSERT_EQ(stat(dir.File("free.wav").c_str(), &status), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
}

TEST(SafeFile, WhatIsNotCommittedLeavesNothing) {
  TempDir dir;
  std::string reason;
  {
    auto file = PendingFile::Create(dir.File("a.mp3"), reason);
    ASSERT_TRUE(file);
    WriteBytes(file->Path(), {1, 2, 3});
  }
  EXPECT_EQ(Entries(dir), 0u);

  // A directory that cannot take it says so and which.
  WriteBytes(dir.File("plain"), {1});
  EXPECT_FALSE(PendingFile::Create(dir.File("plain/a.mp3"), reason));
  EXPECT_EQ(reason, "cannot write to " + dir.File("plain") + ": not a directory");
}

TEST(SafeFile, OnlyLeftoversOfAKilledWriterAreCleaned) {
  TempDir dir;
  const std::string target = dir.File("song.mp3");
  std::string reason;
  // Released files stand for what a killed run left: no one holds them.
  auto leftover = PendingFile::Create(target, reason);
  ASSERT_TRUE(leftover);
  const std::string left = leftover->Release();
  auto fresh = PendingFile::Create(target, reason);
  const std::string recent = fresh->Release();
  auto held = PendingFile::Create(target, reason);
  auto otherName = PendingFile::Create(dir.File("other.mp3"), reason);
  const std::string other = otherName->Release();
  for (const std::string& path : {left, held->Path(), other}) {
    struct utimbuf old {1000000, 1000000};
    ASSERT_EQ(utime(path.c_str(), &old), 0);
  }

  EXPECT_EQ(zplatform::RemoveStaleTemporaries(target), 1);
  EXPECT_FALSE(fs::exists(left));
  EXPECT_TRUE(fs::exists(recent));       // may be between a writer's steps
  EXPECT_TRUE(fs::exists(held->Path()));  // a writer still holds it
  EXPECT_TRUE(fs::exists(other));         // beside another target
  // Adopted, a released file is placed like any other.
  auto adopted = PendingFile::Adopt(recent, reason);
  ASSERT_TRUE(adopted) << reason;
  EXPECT_EQ(adopted->Commit(target, Placement::NoReplace, reason), CommitOutcome::Placed);
  EXPECT_FALSE(PendingFile::Adopt(target, reason));  // a real name is never adopted
}

}  // namespace
