#include <gtest/gtest.h>

#include <cstdlib>

#include "zplatform/path.h"

namespace {

using namespace zplatform;

struct PathCase {
  const char* path;
  const char* directory;
  const char* fileName;
  const char* extension;
  const char* baseName;
};

TEST(Path, PartsComeFromTheLastSeparatorAndTheLastDot) {
  const PathCase cases[] = {
      {"/music/a.b.wav", "/music/", "a.b.wav", ".wav", "a.b"},
      {"/music/song.Mp3", "/music/", "song.Mp3", ".Mp3", "song"},
      {"/music.d/noext", "/music.d/", "noext", "", "noext"},
      {"song.wma", "", "song.wma", ".wma", "song"},
      {"/music/", "/music/", "", "", ""},
      {"/x/.hidden", "/x/", ".hidden", ".hidden", ""},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(DirectoryPart(c.path), c.directory);
    EXPECT_EQ(FileNamePart(c.path), c.fileName);
    EXPECT_EQ(ExtensionPart(c.path), c.extension);
    EXPECT_EQ(BaseNamePart(c.path), c.baseName);
  }
}

TEST(Path, TrailingSeparatorIsAddedOnce) {
  EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
  EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(Path, HomeDirectoryComesFromTheEnvironment) {
  const char* saved = std::getenv("HOME");
  const std::string previous = saved ? saved : "";
  setenv("HOME", "/home/someone/", 1);
  EXPECT_EQ(HomeDirectory(), "/home/someone");
  if (saved) setenv("HOME", previous.c_str(), 1); else unsetenv("HOME");
}

}  // namespace
