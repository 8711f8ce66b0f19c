#pragma once
// zandro-cli run as a user runs it: in a test's own directory, with the
// locale pinned and the Trash inside that directory; and the outside
// tools (ffmpeg, ffprobe) that make its inputs and judge its outputs.

#include <string>
#include <vector>

#include "support/test_support.h"

namespace cli_support {

struct Result {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path);

// The text quoted for /bin/sh.
std::string Quote(const std::string& text);

// Runs the command line in `dir` with stdin from /dev/null.
Result Shell(const testing_support::TempDir& dir, const std::string& command);

// Runs a script of several commands (jobs in the background, waits,
// kills) in `dir`, each with the environment Shell gives; `$!` is then the
// program started with `&`, not a shell around it.
Result Script(const testing_support::TempDir& dir, const std::string& script);

// zandro-cli with these arguments (already quoted as the shell needs).
Result Cli(const testing_support::TempDir& dir, const std::string& arguments);

// A 440 Hz WAV tone made by ffmpeg, its folders made first.
void Tone(const testing_support::TempDir& dir, const std::string& name, int rate, int channels, double seconds);

// The lines of `text`, sorted.
std::vector<std::string> Lines(const std::string& text);

struct Probe {
  int rate = 0, channels = 0;
  double seconds = 0;
  std::string codec;
};

// What ffprobe reads of the first audio stream; zeros when it reads none.
Probe FfProbe(const testing_support::TempDir& dir, const std::string& path);

// The length of what ffmpeg decodes from the file, in seconds.
double DecodedSeconds(const testing_support::TempDir& dir, const std::string& path, const Probe& probe);

}  // namespace cli_support
