#include "cli/arguments.h"

#include <sys/stat.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "cli/line_text.h"

namespace zandro::cli {

bool IsDirectory(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool AddPaths(FileList& list, int first, int argc, char** argv) {
  for (int i = first; i < argc; ++i) {
    if (IsDirectory(argv[i])) {
      list.AddDirectory(argv[i], ScanFilter::All);
    } else {
      list.AddFile(argv[i]);  // one listed already is no failure
    }
  }
  return ReportRefused(list);
}

bool ReportRefused(FileList& list) {
  const std::vector<RefusedFile> refused = list.TakeRefused();
  for (const RefusedFile& file : refused) ReportFileProblem(file.path, file.reason);
  return refused.empty();
}

bool ParseTags(const std::string& list, TagRuleSettings& rule) {
  rule.author = rule.year = rule.album = rule.track = rule.title = false;
  std::stringstream items(list);
  for (std::string item; std::getline(items, item, ',');) {
    if (item == "author") {
      rule.author = true;
    } else if (item == "year") {
      rule.year = true;
    } else if (item == "album") {
      rule.album = true;
    } else if (item == "track") {
      rule.track = true;
    } else if (item == "title") {
      rule.title = true;
    } else {
      return false;
    }
  }
  return true;
}

bool ParseIfExists(const std::string& text, IfExists& out) {
  if (text == "ask") {
    out.mode = IfExists::Mode::Ask;
  } else if (text == "skip") {
    out.mode = IfExists::Mode::Skip;
  } else if (text == "overwrite") {
    out.mode = IfExists::Mode::Overwrite;
  } else if (text.rfind("rename:", 0) == 0 && text.size() > 7) {
    out.mode = IfExists::Mode::Rename;
    out.newName = text.substr(7);
  } else {
    return false;
  }
  return true;
}

}  // namespace zandro::cli
