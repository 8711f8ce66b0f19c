#pragma once
// The two tag commands on the file list: edit the five tags of one file,
// or set one tag on every selected file.

#include "audio/song_tags.h"
#include "engine/file_list.h"

namespace zandro {

// The tag dialog: starts from `tags`, and on "Update" returns true with the
// texts entered (each within its field).
class TagDialog {
 public:
  virtual ~TagDialog() = default;
  virtual bool Edit(SongTags& tags) = 0;
};

// Edits the first selected row's file. Shows "There is no file selected !"
// or "Can't set tag information to wav file !" when it cannot; true when
// the tags were written and the row updated.
bool ChangeTagInfo(FileList& list, TagDialog& dialog);

// The group command's field, numbered as its actions.
enum class GroupField : int { Author = 0, Album = 1, Year = 2 };

struct GroupQuery {
  const char* caption;
  const char* prompt;
};
GroupQuery QueryFor(GroupField field);

// Asks for the text through the message sink's input query (at most the
// field's width) and writes it into every selected file, keeping the other
// fields as each file holds them. True when the files were changed.
bool GroupSetTag(FileList& list, GroupField field);

// The rows' tag texts as a record, cut to the fields' widths.
SongTags TagsOfRow(const FileListEntry& row);

}  // namespace zandro
