#include "cli/cli_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include <gtest/gtest.h>

namespace cli_support {

using testing_support::TempDir;
namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

namespace {

// `body` run by /bin/sh in `dir`, after `environment`, with stdin from
// /dev/null and the output caught.
Result RunInDirectory(const TempDir& dir, const std::string& environment, const std::string& body) {
  const std::string out = dir.File(".stdout"), err = dir.File(".stderr");
  const std::string line = "cd " + Quote(dir.path().string()) + " && " + environment + body + " </dev/null >" +
                           Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(line.c_str());
  Result result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = Slurp(out);
  result.err = Slurp(err);
  return result;
}

// Sources a test lets go land in its own Trash, never the user's.
std::string Environment(const TempDir& dir) {
  return "LC_ALL=C.UTF-8 XDG_DATA_HOME=" + Quote(dir.File(".data"));
}

}  // namespace

Result Shell(const TempDir& dir, const std::string& command) {
  return RunInDirectory(dir, Environment(dir) + " ", command);
}

Result Script(const TempDir& dir, const std::string& script) {
  return RunInDirectory(dir, "export " + Environment(dir) + " && ", "{ " + script + "\n}");
}

Result Cli(const TempDir& dir, const std::string& arguments) {
  return Shell(dir, Quote(ZANDRO_CLI) + " " + arguments);
}

void Tone(const TempDir& dir, const std::string& name, int rate, int channels, double seconds) {
  fs::create_directories(fs::path(dir.File(name)).parent_path());
  const Result made =
      Shell(dir, "ffmpeg -nostdin -loglevel error -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
                     " -ar " + std::to_string(rate) + " -ac " + std::to_string(channels) + " -c:a pcm_s16le " +
                     Quote(name));
  ASSERT_EQ(made.status, 0) << made.err;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

Probe FfProbe(const TempDir& dir, const std::string& path) {
  const Result r = Shell(dir, "ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels,codec_name "
                              "-show_entries format=duration -of json " + Quote(path));
  const auto json = nlohmann::json::parse(r.out);
  Probe p;
  if (!json.contains("streams") || json["streams"].empty()) return p;
  p.rate = std::stoi(json["streams"][0]["sample_rate"].get<std::string>());
  p.channels = json["streams"][0]["channels"].get<int>();
  p.codec = json["streams"][0]["codec_name"].get<std::string>();
  // A const json's operator[] must only meet keys that are there.
  if (json.contains("format") && json["format"].contains("duration") && json["format"]["duration"].is_string()) {
    p.seconds = std::stod(json["format"]["duration"].get<std::string>());
  }
  return p;
}

double DecodedSeconds(const TempDir& dir, const std::string& path, const Probe& probe) {
  const std::string pcm = dir.File(".decoded");
  Shell(dir, "ffmpeg -nostdin -v quiet -i " + Quote(path) + " -f s16le -c:a pcm_s16le -y " + Quote(pcm));
  std::error_code error;
  const auto bytes = fs::file_size(pcm, error);
  if (error || probe.rate == 0 || probe.channels == 0) return 0;
  return static_cast<double>(bytes) / (probe.rate * probe.channels * 2.0);
}

}  // namespace cli_support
