#pragma once
// Texts in the tab-separated lines zandro-cli prints. A path or a tag may
// hold any byte; escaped, each file stays one line of fields that a script
// can split on tabs and newlines.

#include <string>
#include <string_view>

namespace zandro::cli {

// The sentence each command's --help gives about it.
inline constexpr const char* kEscapeHelp =
    "In these lines a tab, newline, carriage return and backslash print as \\t, \\n, \\r\n"
    "and \\\\, other control bytes as \\xHH; every other byte is printed as it is.\n";

// `text` with tab, newline, carriage return and backslash as \t, \n, \r and
// \\, the other control bytes (0x00-0x1F, 0x7F) as \xHH (two lower-case hex
// digits), and every other byte unchanged (UTF-8 or not).
std::string EscapeField(std::string_view text);

// Prints "zandro-cli: PATH: REASON" on stderr, the path escaped.
void ReportFileProblem(std::string_view path, std::string_view reason);

}  // namespace zandro::cli
