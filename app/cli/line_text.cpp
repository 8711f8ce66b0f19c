#include "cli/line_text.h"

#include <cstdio>

namespace zandro::cli {

std::string EscapeField(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 0x0F];
        } else {
          out += c;
        }
    }
  }
  return out;
}

void ReportFileProblem(std::string_view path, std::string_view reason) {
  const std::string escaped = EscapeField(path);
  std::fprintf(stderr, "zandro-cli: %s: %.*s\n", escaped.c_str(), static_cast<int>(reason.size()), reason.data());
}

}  // namespace zandro::cli
