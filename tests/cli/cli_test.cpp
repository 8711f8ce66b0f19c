// zandro-cli run as a user runs it, with the locale pinned.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <map>
#include <sstream>

#include "cli/cli_support.h"
#include "support/test_support.h"

namespace {

using namespace cli_support;
using testing_support::TempDir;
namespace fs = std::filesystem;

TEST(Cli, WrongUsageExitsWithTwo) {
  TempDir dir;
  Tone(dir, "a.wav", 44100, 2, 0.5);
  const char* cases[] = {
      "",
      "frobnicate",
      "probe",
      "probe --nope a.wav",
      "convert a.wav",
      "convert --to ogg a.wav",
      "convert --to wav",
      "convert --to mp3 --bitrate fast a.wav",
      "convert --to mp3 --bitrate 44100:quad=128 a.wav",
      "convert --to wav --if-exists maybe a.wav",
      "convert --to wav --tags author a.wav",
      "convert --to wav --names-from-tags --tags author,genre a.wav",
      "convert --to mp3 a.wav",                // no bit rate for the stream
      "convert --to mp3 --bitrate 144 a.wav",  // not an MPEG-1 Layer III rate
      "convert --to wav -j 0 a.wav",
      "convert --to wav --jobs many a.wav",
  };
  for (const char* arguments : cases) {
    const Result r = Cli(dir, arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_FALSE(r.err.empty()) << arguments;
  }
  EXPECT_NE(Cli(dir, "convert --to mp3 a.wav").err.find("Please set all bitrate for converting first"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("a.mp3")));
  for (const char* help : {"--help", "probe --help", "convert --help"}) {
    const Result r = Cli(dir, help);
    EXPECT_EQ(r.status, 0) << help;
    EXPECT_EQ(r.out.rfind("Usage: zandro-cli", 0), 0u) << help;
  }
}

TEST(Cli, ProbeShowsTheListsTextsAndLeavesOutWhatTheListRefuses) {
  TempDir dir;
  Tone(dir, "tree/a.wav", 44100, 2, 1.0);
  Tone(dir, "tree/deeper/b.WAV", 22050, 1, 2.0);
  testing_support::WriteBytes(dir.File("tree/noise.ogg"), {1, 2, 3});

  const Result plain = Cli(dir, "probe tree/a.wav");
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "tree/a.wav\tWAV\t44100\tstereo\t1378\t00:00:01\t\t\t\t\t\n");

  const Result json = Cli(dir, "probe --json tree noise.ogg");
  EXPECT_EQ(json.status, 1);  // noise.ogg is not listed
  EXPECT_NE(json.err.find("noise.ogg"), std::string::npos);
  const auto rows = nlohmann::json::parse(json.out);
  ASSERT_EQ(rows.size(), 2u);
  std::map<std::string, nlohmann::json> byPath;
  for (const auto& row : rows) byPath[row["path"]] = row;
  const auto& b = byPath.at("tree/deeper/b.WAV");
  EXPECT_EQ(b["type"], "WAV");
  EXPECT_EQ(b["sampleRate"], 22050);
  EXPECT_EQ(b["channels"], "mono");
  EXPECT_EQ(b["bitrate"], 344);
  EXPECT_EQ(b["durationMs"], 2000);
  EXPECT_EQ(b["time"], "00:00:02");
  for (const char* key : {"title", "author", "album", "track", "year"}) EXPECT_EQ(b[key], "") << key;
}

TEST(Cli, ProbeAgreesWithFfprobeOnTheRealFixtures) {
  TempDir dir;
  const Result r = Cli(dir, "probe --json " + Quote(ZANDRO_REAL_FIXTURES));
  const auto rows = nlohmann::json::parse(r.out);
  ASSERT_FALSE(rows.empty()) << r.err;
  for (const auto& row : rows) {
    const std::string path = row["path"];
    SCOPED_TRACE(path + " " + row.dump());
    const Probe theirs = FfProbe(dir, path);
    EXPECT_EQ(row["sampleRate"].get<int>(), theirs.rate);
    EXPECT_EQ(row["channels"], theirs.channels == 2 ? "stereo" : "mono");
    // A WAV file of another sample format is refused with "File Error !" but keeps
    // the record its header gave, reckoned as 16-bit; converting it ends in "Error".
    if (row["type"] == "WAV" && theirs.codec != "pcm_s16le") continue;
    // The length an independent decoder gets out of the file: headers of
    // truncated files claim far more than they hold.
    const double decoded = DecodedSeconds(dir, path, theirs);
    const double ours = row["durationMs"].get<double>() / 1000.0;
    EXPECT_NEAR(ours, decoded, std::max(0.06, decoded * 0.02));
  }
}

TEST(Cli, ConvertsATreeToWavBesideOrIntoADirectory) {
  TempDir dir;
  Tone(dir, "music/a.wav", 44100, 2, 1.0);
  Tone(dir, "music/sub/b.wav", 22050, 1, 1.5);

  const Result r = Cli(dir, "convert --to wav --out out/wav music");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"Done\tmusic/a.wav\tout/wav/a.wav",
                                                    "Done\tmusic/sub/b.wav\tout/wav/b.wav"}));
  const Probe b = FfProbe(dir, dir.File("out/wav/b.wav"));
  EXPECT_EQ(b.rate, 22050);
  EXPECT_EQ(b.channels, 1);
  EXPECT_NEAR(b.seconds, 1.5, 0.001);

  // Again: the targets exist; off a terminal the default answer is skip.
  const Result again = Cli(dir, "convert --to wav --out out/wav music");
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(Lines(again.out), (std::vector<std::string>{"Skipped\tmusic/a.wav\tout/wav/a.wav",
                                                        "Skipped\tmusic/sub/b.wav\tout/wav/b.wav"}));

  const Result renamed = Cli(dir, "convert --to wav --out out/wav --if-exists rename:fresh.wav music/a.wav");
  EXPECT_EQ(renamed.status, 0) << renamed.err;
  EXPECT_EQ(renamed.out, "Done\tmusic/a.wav\tout/wav/fresh.wav\n");

  // Beside the source, the target is the source itself: never written over.
  const auto before = fs::file_size(dir.File("music/a.wav"));
  const Result same = Cli(dir, "convert --to wav --if-exists overwrite music/a.wav");
  EXPECT_EQ(same.status, 1);
  EXPECT_EQ(same.out, "Error\tmusic/a.wav\tmusic/a.wav\n");
  EXPECT_EQ(fs::file_size(dir.File("music/a.wav")), before);
}

TEST(Cli, ConvertsWavToMp3AndBack) {
  TempDir dir;
  Tone(dir, "music/a.wav", 44100, 2, 1.0);
  Tone(dir, "music/sub/b.wav", 22050, 1, 1.0);

  const Result mp3 =
      Cli(dir, "convert --to mp3 --bitrate 44100:stereo=192 --bitrate 22050:mono=64 --out out music");
  ASSERT_EQ(mp3.status, 0) << mp3.err;
  EXPECT_EQ(Lines(mp3.out),
            (std::vector<std::string>{"Done\tmusic/a.wav\tout/a.mp3", "Done\tmusic/sub/b.wav\tout/b.mp3"}));
  const Probe a = FfProbe(dir, dir.File("out/a.mp3"));
  EXPECT_EQ(a.rate, 44100);
  EXPECT_EQ(a.channels, 2);

  const Result back = Cli(dir, "convert --to wav --out back out");
  ASSERT_EQ(back.status, 0) << back.err;
  const Probe b = FfProbe(dir, dir.File("back/b.wav"));
  EXPECT_EQ(b.rate, 22050);
  EXPECT_EQ(b.channels, 1);
  EXPECT_NEAR(b.seconds, 1.0, 0.1);
}

TEST(Cli, DeleteSourcesRemovesOnlyWhatWasConverted) {
  TempDir dir;
  Tone(dir, "music/a.wav", 44100, 2, 0.5);
  Tone(dir, "music/b.wav", 44100, 2, 0.5);
  fs::create_directories(dir.File("out"));
  testing_support::WriteBytes(dir.File("out/b.wav"), {1});  // b is skipped

  const Result r = Cli(dir, "convert --to wav --out out --delete-sources music");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(dir.File("music/a.wav")));
  EXPECT_TRUE(fs::exists(dir.File("music/b.wav")));
  EXPECT_TRUE(fs::exists(dir.File("out/a.wav")));
  EXPECT_TRUE(fs::exists(dir.File(".data/Trash/files/a.wav")));
  EXPECT_NE(r.err.find("Delete all source file ?\n1 file will be moved to the Trash."), std::string::npos);

  const Result gone = Cli(dir, "convert --to wav --out out2 --delete-sources --no-trash music");
  EXPECT_EQ(gone.status, 0) << gone.err;
  EXPECT_FALSE(fs::exists(dir.File("music/b.wav")));
  EXPECT_FALSE(fs::exists(dir.File(".data/Trash/files/b.wav")));
}

}  // namespace

namespace {

TEST(Cli, WmaFormatsAndTagsCommands) {
  TempDir dir;
  const Result formats = Cli(dir, "formats --rate 44100 --channels 2");
  ASSERT_EQ(formats.status, 0) << formats.err;
  EXPECT_NE(formats.out.find("128000\t2\t44100\n"), std::string::npos);
  for (const std::string& line : Lines(formats.out)) EXPECT_NE(line.find("\t2\t44100"), std::string::npos) << line;

  fs::copy_file(ZANDRO_REAL_FIXTURES "/silence-1.wma", dir.File("a.wma"));
  Tone(dir, "a.wav", 44100, 2, 0.5);
  const Result set = Cli(dir, "tags --title 'New title' --year 2001 a.wma");
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out, "a.wma\tNew title\t\t\t2001\t\n");
  EXPECT_EQ(Cli(dir, "tags --album Album a.wma").out, "a.wma\tNew title\t\tAlbum\t2001\t\n");  // others kept
  const Result wav = Cli(dir, "tags --title x a.wav");
  EXPECT_EQ(wav.status, 1);
  EXPECT_NE(wav.err.find("a.wav"), std::string::npos);
}

TEST(Cli, TagsTravelBetweenMp3AndWmaAndNameTheTargets) {
  TempDir dir;
  Tone(dir, "src/song.wav", 44100, 2, 1.0);
  ASSERT_EQ(Cli(dir, "convert --to mp3 --bitrate 128 --out mp3 src").status, 0);
  // A WAV source gives five empty fields.
  EXPECT_EQ(Cli(dir, "tags mp3/song.mp3").out, "mp3/song.mp3\t\t\t\t\t\n");
  ASSERT_EQ(Cli(dir, "tags --title T --author X --album B --year 1999 --track 3 mp3/song.mp3").status, 0);

  const Result toWma = Cli(dir, "convert --to wma --bitrate 128 --out wma --names-from-tags --tags author,track mp3");
  ASSERT_EQ(toWma.status, 0) << toWma.err;
  EXPECT_EQ(toWma.out, "Done\tmp3/song.mp3\twma/X-3.wma\n");
  EXPECT_EQ(Cli(dir, "tags wma/X-3.wma").out, "wma/X-3.wma\tT\tX\tB\t1999\t3\n");

  const Result back = Cli(dir, "convert --to mp3 --bitrate 128 --out back wma");
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(Cli(dir, "tags back/X-3.mp3").out, "back/X-3.mp3\tT\tX\tB\t1999\t3\n");
  // Each lossy hop adds its encoder's delay and frame padding (the MP3s carry
  // no gapless header by design), some 50 ms apiece.
  const Probe mp3 = FfProbe(dir, dir.File("back/X-3.mp3"));
  EXPECT_EQ(mp3.rate, 44100);
  EXPECT_NEAR(mp3.seconds, 1.0, 0.2);

  const Result wav = Cli(dir, "convert --to wav --out wav wma");
  ASSERT_EQ(wav.status, 0) << wav.err;
  const Probe decoded = FfProbe(dir, dir.File("wav/X-3.wav"));
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(decoded.seconds, 1.0, 0.15);
}

}  // namespace

namespace {

TEST(Cli, RenameFromTags) {
  TempDir dir;
  fs::copy_file(ZANDRO_REAL_FIXTURES "/xing.mp3", dir.File("track01.MP3"));
  fs::copy_file(ZANDRO_REAL_FIXTURES "/xing.mp3", dir.File("untagged.mp3"));
  ASSERT_EQ(Cli(dir, "tags --author Abc --title Xyz --year 1999 track01.MP3").status, 0);

  const Result dry = Cli(dir, "rename --dry-run --tags author,title track01.MP3 untagged.mp3");
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(dry.out,
            "free\ttrack01.MP3\tAbc-Xyz.MP3\n"
            "no chosen tag has a value\tuntagged.mp3\tuntagged.mp3\n");
  EXPECT_TRUE(fs::exists(dir.File("track01.MP3")));

  const Result renamed = Cli(dir, "rename --tags author,title --splitter ' - ' track01.MP3 untagged.mp3");
  EXPECT_EQ(renamed.status, 0) << renamed.err;
  EXPECT_EQ(renamed.out, "track01.MP3\tAbc - Xyz.MP3\n");
  EXPECT_TRUE(fs::exists(dir.File("Abc - Xyz.MP3")));
  EXPECT_TRUE(fs::exists(dir.File("untagged.mp3")));
  EXPECT_EQ(renamed.err, "zandro-cli: untagged.mp3: keeps its name: no chosen tag has a value\n");

  Tone(dir, "a.wav", 44100, 1, 0.2);
  const Result wav = Cli(dir, "rename a.wav untagged.mp3");
  EXPECT_EQ(wav.status, 1);
  EXPECT_NE(wav.err.find("Can't set tag information to wav file !"), std::string::npos);
  EXPECT_EQ(Cli(dir, "rename --tags genre a.wav").status, 2);
}

// Two files with the same tags and --if-exists overwrite: the second must
// not replace the first. The dry run shows the collision before.
TEST(Cli, RenameNeverReplacesAFileOfItsBatch) {
  TempDir dir;
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
    fs::copy_file(ZANDRO_REAL_FIXTURES "/xing.mp3", dir.File(name));
  }
  ASSERT_EQ(Cli(dir, "tags --author X --title T a.mp3 b.mp3 d.mp3").status, 0);
  ASSERT_EQ(Cli(dir, "tags --author Y --title T c.mp3").status, 0);
  // Which file a name holds: a rename keeps the file's inode.
  auto inode = [&](const char* name) {
    struct stat status {};
    return stat(dir.File(name).c_str(), &status) == 0 ? status.st_ino : 0;
  };
  const auto a = inode("a.mp3"), b = inode("b.mp3"), c = inode("c.mp3");
  testing_support::WriteBytes(dir.File("Y-T.mp3"), {'o', 't', 'h', 'e', 'r'});

  const Result dry = Cli(dir, "rename --dry-run --tags author,title --if-exists overwrite a.mp3 b.mp3 c.mp3");
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(dry.out,
            "free\ta.mp3\tX-T.mp3\n"
            "collides with row 1\tb.mp3\tX-T.mp3\n"
            "exists (will ask)\tc.mp3\tY-T.mp3\n");

  const Result run = Cli(dir, "rename --tags author,title --if-exists overwrite a.mp3 b.mp3 c.mp3");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "a.mp3\tX-T.mp3\nc.mp3\tY-T.mp3\n");
  EXPECT_EQ(run.err, "zandro-cli: b.mp3: new name X-T.mp3 collides with row 1\n");
  EXPECT_FALSE(fs::exists(dir.File("a.mp3")));
  EXPECT_EQ(inode("X-T.mp3"), a);
  EXPECT_EQ(inode("b.mp3"), b);
  EXPECT_EQ(inode("Y-T.mp3"), c);  // outside the batch, replaced as answered

  // A name taken outside the batch and skipped is no failure, but is named.
  const Result skipped = Cli(dir, "rename --tags author,title --if-exists skip d.mp3");
  EXPECT_EQ(skipped.status, 0);
  EXPECT_EQ(skipped.out, "");
  EXPECT_EQ(skipped.err, "zandro-cli: d.mp3: skipped: new name X-T.mp3 exists\n");
  EXPECT_TRUE(fs::exists(dir.File("d.mp3")));
}

}  // namespace

namespace {

TEST(Cli, DryRunShowsThePlanAndTouchesNothing) {
  TempDir dir;
  Tone(dir, "a/song.wav", 44100, 2, 0.3);
  Tone(dir, "b/song.wav", 44100, 2, 0.3);
  Tone(dir, "a/hi.wav", 96000, 2, 0.3);
  const Result plan = Cli(dir, "convert --dry-run --to mp3 --bitrate 44100:stereo=128 --out out a/song.wav b/song.wav a/hi.wav");
  EXPECT_EQ(plan.status, 0) << plan.err;
  EXPECT_EQ(plan.out,
            "free\ta/song.wav\tout/song.mp3\n"
            "collides with row 1\tb/song.wav\tout/song.mp3\n"
            "no bit rate chosen\ta/hi.wav\tout/hi.mp3\n");
  EXPECT_FALSE(fs::exists(dir.File("out")));
  EXPECT_EQ(Cli(dir, "convert --dry-run --to wav a/song.wav").out, "is the source itself\ta/song.wav\ta/song.wav\n");
}

}  // namespace

namespace {

TEST(Cli, AFullDiskEndsOnlyThatRowAndLeavesNoBrokenTarget) {
  TempDir dir;
  // A 400 KiB file system of our own, in a private mount namespace.
  if (Shell(dir, "unshare -rm sh -c 'mkdir -p m && mount -t tmpfs -o size=400k tmpfs m'").status != 0) {
    GTEST_SKIP() << "no private mount namespace here";
  }
  Tone(dir, "in/a-small.wav", 44100, 2, 0.5);
  Tone(dir, "in/b-big.wav", 44100, 2, 5.0);
  Tone(dir, "in/c-small.wav", 44100, 2, 0.5);
  const auto before = testing_support::ReadBytes(dir.File("in/b-big.wav"));
  fs::create_directories(dir.File("full"));
  // Side by side, the big file's rows fill the disk under the small one too.
  for (const char* jobs : {"-j 1", "-j 3"}) {
    SCOPED_TRACE(jobs);
    const Result r = Shell(dir, "unshare -rm sh -c 'mount -t tmpfs -o size=400k tmpfs full && " +
                                    std::string(ZANDRO_CLI) + " convert " + jobs +
                                    " --to wav --out full in/a-small.wav in/b-big.wav in/c-small.wav; echo exit=$?; ls full'");
    EXPECT_EQ(r.out,
              "Done\tin/a-small.wav\tfull/a-small.wav\n"
              "Error\tin/b-big.wav\tfull/b-big.wav\n"
              "Done\tin/c-small.wav\tfull/c-small.wav\n"
              "exit=1\n"
              "a-small.wav\nc-small.wav\n")
        << r.err;
    EXPECT_EQ(testing_support::ReadBytes(dir.File("in/b-big.wav")), before);
  }
}

}  // namespace

namespace {

TEST(Cli, AKillDuringAConversionLeavesTheSourceAlone) {
  TempDir dir;
  Tone(dir, "in/long.wav", 44100, 2, 30.0);
  const auto before = testing_support::ReadBytes(dir.File("in/long.wav"));
  for (const char* delay : {"0.05", "0.3", "1"}) {
    SCOPED_TRACE(delay);
    Script(dir, Quote(ZANDRO_CLI) + " convert --to mp3 --bitrate 128 --if-exists overwrite --out out in & sleep " +
                    delay + "; kill -9 $! 2>/dev/null; wait");
    EXPECT_EQ(testing_support::ReadBytes(dir.File("in/long.wav")), before);
  }
}

}  // namespace

namespace {

// Every target file under `out` with its bytes.
std::map<std::string, std::vector<std::uint8_t>> Targets(const TempDir& dir, const std::string& out) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  if (!fs::exists(dir.File(out))) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir.File(out))) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = testing_support::ReadBytes(entry.path());
  }
  return files;
}

// Sources whose rows meet one another: a.wav in two folders (one target
// for both), a target already there, a WAV file without samples, and a
// name with a colon, a tab and a byte that is no UTF-8.
void BatchOfNeighbours(const TempDir& dir) {
  Tone(dir, "in/a.wav", 44100, 2, 2.0);
  Tone(dir, "in/b.wav", 44100, 2, 1.0);
  Tone(dir, "in/c.wav", 22050, 1, 1.5);
  Tone(dir, "in/sub/a.wav", 44100, 1, 1.0);
  Tone(dir, "in/sub/d.wav", 44100, 2, 0.5);
  Tone(dir, "in/12:3 \xff\t.wav", 44100, 2, 0.5);  // travels to a worker byte for byte
  // 44100 Hz stereo 16-bit, an empty data chunk: listed, then an Error row.
  testing_support::WriteBytes(dir.File("in/sub/empty.wav"),
                              {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                               1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0,
                               0, 0});
  fs::create_directories(dir.File("out"));
  testing_support::WriteBytes(dir.File("out/d.mp3"), {1, 2, 3});
}

TEST(Cli, ParallelJobsGiveTheLinesAndFilesOfOneAfterTheOther) {
  for (const char* ifExists : {"skip", "overwrite", "rename:fresh.mp3"}) {
    SCOPED_TRACE(ifExists);
    TempDir dir;
    BatchOfNeighbours(dir);
    const std::string args = std::string("convert --to mp3 --bitrate 128 --bitrate 22050:mono=64 --out out --if-exists ") +
                             ifExists + " in";
    const Result one = Cli(dir, args + " -j 1");
    const auto oneFiles = Targets(dir, "out");
    fs::remove_all(dir.File("out"));
    fs::create_directories(dir.File("out"));
    testing_support::WriteBytes(dir.File("out/d.mp3"), {1, 2, 3});
    const Result two = Cli(dir, args + " -j 3");
    EXPECT_EQ(two.status, one.status);
    EXPECT_EQ(two.out, one.out);  // the same lines in the same order
    EXPECT_EQ(Targets(dir, "out"), oneFiles);
    EXPECT_NE(one.out.find("Error\tin/sub/empty.wav"), std::string::npos) << one.out;
  }
}

TEST(Cli, ParallelJobsDeleteOnlyTheSourcesOfDoneRows) {
  TempDir dir;
  BatchOfNeighbours(dir);
  const Result r = Cli(dir, "convert --to wav --out out --delete-sources --no-trash -j 2 in/a.wav in/b.wav in/c.wav "
                            "in/sub/empty.wav in/sub/a.wav in/sub/d.wav");
  EXPECT_EQ(r.status, 1) << r.err;  // the empty file
  EXPECT_EQ(r.out,
            "Done\tin/a.wav\tout/a.wav\n"
            "Done\tin/b.wav\tout/b.wav\n"
            "Done\tin/c.wav\tout/c.wav\n"
            "Error\tin/sub/empty.wav\tout/empty.wav\n"
            "Skipped\tin/sub/a.wav\tout/a.wav\n"
            "Done\tin/sub/d.wav\tout/d.wav\n")
      << r.err;
  for (const char* gone : {"in/a.wav", "in/b.wav", "in/c.wav", "in/sub/d.wav"}) EXPECT_FALSE(fs::exists(dir.File(gone)));
  for (const char* kept : {"in/sub/a.wav", "in/sub/empty.wav"}) EXPECT_TRUE(fs::exists(dir.File(kept)));
}

// Starts zandro-cli in `dir` in a process group of its own, with stdout and
// stderr into the files named; returns its pid.
pid_t StartInGroup(const TempDir& dir, const std::string& arguments, const std::string& out, const std::string& err) {
  const std::string line = "cd " + Quote(dir.path().string()) + " && exec " + Quote(ZANDRO_CLI) + " " + arguments +
                           " </dev/null >" + Quote(out) + " 2>" + Quote(err);
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid, pid);
  return pid;
}

std::size_t FilesIn(const std::string& folder) {
  std::error_code error;
  std::size_t count = 0;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++count;
  return count;
}

TEST(Cli, CtrlCStopsEveryWorkerAndLeavesNoCutOffTarget) {
  // To the parent alone, and to the whole group as a terminal sends it.
  for (bool group : {false, true}) {
    SCOPED_TRACE(group ? "group" : "parent");
    TempDir dir;
    for (const char* name : {"in/1.wav", "in/2.wav", "in/3.wav", "in/4.wav"}) Tone(dir, name, 44100, 2, 60.0);
    const std::string out = dir.File(".stdout"), err = dir.File(".stderr");
    const pid_t pid = StartInGroup(dir, "convert --to mp3 --bitrate 128 --out out -j 2 in", out, err);
    ASSERT_GT(pid, 0);
    // Both workers have made their targets, or the run is over already.
    int status = 0;
    pid_t ended = 0;
    while (FilesIn(dir.File("out")) < 2 && (ended = waitpid(pid, &status, WNOHANG)) == 0) usleep(20000);
    if (ended == 0) {
      kill(group ? -pid : pid, SIGINT);
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
    }
    ASSERT_TRUE(WIFEXITED(status));
    const std::string lines = Slurp(out);
    std::size_t rows = 0, cancelled = 0;
    for (const std::string& line : Lines(lines)) {
      ++rows;
      const std::string state = line.substr(0, line.find('\t'));
      const std::string path = line.substr(line.rfind('\t') + 1);
      if (state == "Cancelled") ++cancelled;
      if (state == "Done") {
        EXPECT_TRUE(fs::exists(dir.File(path))) << line;
      } else {
        EXPECT_TRUE(state == "Cancelled" || state == "Waiting") << line;
        EXPECT_FALSE(fs::exists(dir.File(path))) << line;
      }
    }
    EXPECT_EQ(rows, 4u) << lines;
    if (ended == 0) {
      EXPECT_GE(cancelled, 1u) << lines;
      EXPECT_EQ(WEXITSTATUS(status), 1);
      EXPECT_NE(Slurp(err).find("You have canceled converting process"), std::string::npos);
    }
    // Every file in out/ is a finished target: no worker is left writing.
    std::size_t done = 0;
    for (const std::string& line : Lines(lines)) done += line.rfind("Done", 0) == 0;
    EXPECT_EQ(FilesIn(dir.File("out")), done);
  }
}

}  // namespace

namespace {

// zandro-cli with a time limit: a command that hangs ends (status 124 from
// `timeout`) and fails the test instead of blocking the suite.
Result CliWithin(const TempDir& dir, const std::string& arguments) {
  return Shell(dir, "timeout -k 5 60 " + Quote(ZANDRO_CLI) + " " + arguments);
}

// Inputs that are not regular files, under a name the program takes for
// audio. Nothing ever opens the other end of a FIFO: only a program that
// refuses it gets past it.
struct SpecialInput {
  const char* name;
  const char* file;
  const char* reason;
};

void PrintTo(const SpecialInput& c, std::ostream* os) { *os << c.name; }

void MakeSpecial(const TempDir& dir, const SpecialInput& input, const std::string& path) {
  const std::string name = input.name;
  if (name == "linkToDevZero") {
    fs::create_symlink("/dev/zero", dir.File(path));
  } else if (name == "linkToFifo") {
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0644), 0);
    fs::create_symlink(dir.File("pipe"), dir.File(path));
  } else {
    ASSERT_EQ(mkfifo(dir.File(path).c_str(), 0644), 0);
  }
}

class CliSpecialInput : public ::testing::TestWithParam<SpecialInput> {};

TEST_P(CliSpecialInput, IsRefusedByEveryCommandNamedOrScanned) {
  const SpecialInput& input = GetParam();
  TempDir dir;
  Tone(dir, "music/good.wav", 44100, 2, 0.3);
  const std::string path = std::string("music/") + input.file;
  MakeSpecial(dir, input, path);
  const std::string refusal = "zandro-cli: " + path + ": " + input.reason + "\n";
  const std::string scannedRefusal = "zandro-cli: music/" + std::string(input.file) + ": " + input.reason + "\n";

  for (const std::string& command : {std::string("probe"), std::string("convert --to wav --out out")}) {
    SCOPED_TRACE(command);
    const Result named = CliWithin(dir, command + " music/good.wav " + Quote(path));
    EXPECT_EQ(named.status, 1) << named.err;
    EXPECT_NE(named.err.find(refusal), std::string::npos) << named.err;
    // The other file is not held up by it.
    EXPECT_NE(named.out.find("good.wav"), std::string::npos) << named.out;

    fs::remove_all(dir.File("out"));
    const Result scanned = CliWithin(dir, command + " music");
    EXPECT_EQ(scanned.status, 1) << scanned.err;
    EXPECT_NE(scanned.err.find(scannedRefusal), std::string::npos) << scanned.err;
    EXPECT_NE(scanned.out.find("good.wav"), std::string::npos) << scanned.out;
    fs::remove_all(dir.File("out"));
  }
  if (fs::path(input.file).extension() != ".wav") {  // only MP3 and WMA files carry tags
    const Result tags = CliWithin(dir, "tags " + Quote(path));
    EXPECT_EQ(tags.status, 1) << tags.err;
    EXPECT_EQ(tags.err, refusal);
    EXPECT_EQ(tags.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CliSpecialInput,
    ::testing::Values(SpecialInput{"fifoWav", "x.wav", "not a regular file (a FIFO)"},
                      SpecialInput{"fifoMp3", "x.mp3", "not a regular file (a FIFO)"},
                      SpecialInput{"fifoWma", "x.wma", "not a regular file (a FIFO)"},
                      SpecialInput{"linkToFifo", "y.mp3", "not a regular file (a FIFO)"},
                      SpecialInput{"linkToDevZero", "zero.mp3", "not a regular file (a device)"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Cli, FilesAScanCannotListAreNamedWithTheirReason) {
  TempDir dir;
  Tone(dir, "music/good.wav", 44100, 2, 0.3);
  fs::create_directories(dir.File("music/sub"));
  testing_support::WriteBytes(dir.File("music/sub/noise.mp3"), {'n', 'o', 'i', 's', 'e'});
  fs::create_symlink(dir.File("music/nowhere.wav"), dir.File("music/gone.wav"));
  // A target another run is writing: passed over without a word.
  testing_support::WriteBytes(dir.File("music/.song.mp3.zandro-Ab12Cd.mp3"), {0xFF, 0xFB, 0x90});

  const Result probe = CliWithin(dir, "probe music");
  EXPECT_EQ(probe.status, 1);
  EXPECT_EQ(Lines(probe.err), (std::vector<std::string>{
                                  "zandro-cli: music/gone.wav: cannot be read: no such file or directory",
                                  "zandro-cli: music/sub/noise.mp3: not a readable audio file"}));
  EXPECT_EQ(Lines(probe.out).size(), 1u);

  const Result rename = CliWithin(dir, "rename --dry-run music");
  EXPECT_EQ(rename.status, 1);
  EXPECT_NE(rename.err.find("zandro-cli: music/sub/noise.mp3: not a readable audio file\n"), std::string::npos)
      << rename.err;

  // Without them the scan is clean; a file named twice is listed once.
  fs::remove(dir.File("music/gone.wav"));
  fs::remove(dir.File("music/sub/noise.mp3"));
  const Result clean = CliWithin(dir, "probe music music/good.wav");
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(clean.err, "");
  EXPECT_EQ(Lines(clean.out).size(), 1u);
}

TEST(Cli, EveryTabSeparatedLineEscapesWhatANameOrTagHolds) {
  TempDir dir;
  // A tab, a backslash, a control byte, a byte that is no UTF-8 and a newline.
  const std::string name = "a\tb\\c\x01\xff\nd.wav";
  const std::string escaped = "a\\tb\\\\c\\x01\xff\\nd";
  Tone(dir, "plain.wav", 44100, 1, 0.3);
  fs::rename(dir.File("plain.wav"), dir.File(name));

  const Result probe = CliWithin(dir, "probe " + Quote(name));
  EXPECT_EQ(probe.status, 0) << probe.err;
  EXPECT_EQ(probe.out, escaped + ".wav\tWAV\t44100\tmono\t689\t00:00:00\t\t\t\t\t\n");

  const Result json = CliWithin(dir, "probe --json " + Quote(name));
  const auto rows = nlohmann::json::parse(json.out);
  ASSERT_EQ(rows.size(), 1u);
  std::string bytes;
  const std::string hex = rows[0].value("path_bytes", "");
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  EXPECT_EQ(bytes, name);
  // Valid UTF-8 needs no second form.
  Tone(dir, "caf\xc3\xa9.wav", 44100, 1, 0.3);
  const auto plain = nlohmann::json::parse(CliWithin(dir, "probe --json caf\xc3\xa9.wav").out);
  EXPECT_EQ(plain[0]["path"], "caf\xc3\xa9.wav");
  EXPECT_FALSE(plain[0].contains("path_bytes"));

  const Result dry = CliWithin(dir, "convert --dry-run --to mp3 --bitrate 64 " + Quote(name));
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(dry.out, "free\t" + escaped + ".wav\t" + escaped + ".mp3\n");

  const Result convert = CliWithin(dir, "convert --to mp3 --bitrate 64 " + Quote(name));
  EXPECT_EQ(convert.status, 0) << convert.err;
  EXPECT_EQ(convert.out, "Done\t" + escaped + ".wav\t" + escaped + ".mp3\n");

  const std::string mp3 = "a\tb\\c\x01\xff\nd.mp3";
  const Result tags = CliWithin(dir, "tags --title " + Quote("T\tx\ny") + " --author " + Quote("A\\B") + " " + Quote(mp3));
  EXPECT_EQ(tags.status, 0) << tags.err;
  EXPECT_EQ(tags.out, escaped + ".mp3\tT\\tx\\ny\tA\\\\B\t\t\t\n");

  const Result rename = CliWithin(dir, "rename --dry-run --tags author " + Quote(mp3));
  EXPECT_EQ(rename.status, 0) << rename.err;
  EXPECT_EQ(rename.out.rfind("free\t" + escaped + ".mp3\t", 0), 0u) << rename.out;
  EXPECT_EQ(std::count(rename.out.begin(), rename.out.end(), '\n'), 1);

  // A file refused is named the same way on stderr.
  const Result missing = CliWithin(dir, "probe " + Quote("gone\t.wav"));
  EXPECT_EQ(missing.err, "zandro-cli: gone\\t.wav: cannot be read: no such file or directory\n");

  for (const char* command : {"probe", "convert", "rename", "tags"}) {
    const Result help = CliWithin(dir, std::string(command) + " --help");
    EXPECT_NE(help.out.find("\\t, \\n, \\r"), std::string::npos) << command;
  }
}

}  // namespace
