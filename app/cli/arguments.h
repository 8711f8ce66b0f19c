#pragma once
// Argument handling the commands share.

#include <string>

#include "cli/terminal.h"
#include "engine/conversion_inputs.h"
#include "engine/file_list.h"

namespace zandro::cli {

bool IsDirectory(const char* path);

// Lists argv[first..argc): directories are scanned for all three kinds.
// Reports each file the list does not take; false when there was one.
bool AddPaths(FileList& list, int first, int argc, char** argv);

// "author,year,album,track,title" (any subset) into the rule's switches.
bool ParseTags(const std::string& list, TagRuleSettings& rule);

// ask, skip, overwrite or rename:NAME.
bool ParseIfExists(const std::string& text, IfExists& out);

}  // namespace zandro::cli
