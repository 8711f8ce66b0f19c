#pragma once
// The commands of zandro-cli. Each takes the arguments after its name
// (argv[0] is the command's name) and returns the process exit status:
// 0 success, 1 failure of some file, 2 wrong usage.

namespace zandro::cli {

int ProbeCommand(int argc, char** argv);
int ConvertCommand(int argc, char** argv);
int FormatsCommand(int argc, char** argv);
int TagsCommand(int argc, char** argv);
int RenameCommand(int argc, char** argv);

// Prints "zandro-cli: MESSAGE" and a hint to --help on stderr; returns 2.
int UsageError(const char* command, const char* message);

}  // namespace zandro::cli
