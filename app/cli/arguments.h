#pragma once
// Argument handling the commands share.

#include <string>

#include "cli/terminal.h"
#include "engine/conversion_inputs.h"
#include "engine/file_list.h"

namespace zandro::cli {

bool IsDirectory(const char* path);

// Lists argv[first..argc): directories are scanned for all three kinds.
// Reports each file the list refuses, named directly or met in a scan, as
// "zandro-cli: PATH: REASON"; false when there was one. A file named twice
// is listed once, without a word.
bool AddPaths(FileList& list, int first, int argc, char** argv);

// Reports the list's refused files (and forgets them); false when there was one.
bool ReportRefused(FileList& list);

// "author,year,album,track,title" (any subset) into the rule's switches.
bool ParseTags(const std::string& list, TagRuleSettings& rule);

// ask, skip, overwrite or rename:NAME.
bool ParseIfExists(const std::string& text, IfExists& out);

}  // namespace zandro::cli
