#include "engine/tag_commands.h"

#include "audio/audio_io.h"
#include "zplatform/messages.h"
#include "zplatform/text.h"

namespace zandro {

namespace {

bool RefuseWithoutSelection(const FileList& list) {
  if (list.SelectedCount() > 0) return false;
  zplatform::ShowMessage(zplatform::MessageKind::Plain, "There is no file selected !");
  return true;
}

bool IsWav(const FileListEntry& row) { return row.Text(Column::Type) == "WAV"; }

void RefuseWav() { zplatform::ShowMessage(zplatform::MessageKind::Plain, "Can't set tag information to wav file !"); }

// The field of the record, its width, and the list column it shows in.
struct FieldOf {
  char* text;
  std::size_t size;
  Column column;
};

FieldOf Field(SongTags& tags, GroupField field) {
  switch (field) {
    case GroupField::Album:
      return {tags.album, sizeof tags.album, Column::Album};
    case GroupField::Year:
      return {tags.year, sizeof tags.year, Column::Year};
    case GroupField::Author:
      break;
  }
  return {tags.author, sizeof tags.author, Column::Author};
}

}  // namespace

SongTags TagsOfRow(const FileListEntry& row) {
  SongTags tags{};
  zplatform::CopyToField(row.Text(Column::Title), tags.title);
  zplatform::CopyToField(row.Text(Column::Author), tags.author);
  zplatform::CopyToField(row.Text(Column::Album), tags.album);
  zplatform::CopyToField(row.Text(Column::Track), tags.track);
  zplatform::CopyToField(row.Text(Column::Year), tags.year);
  return tags;
}

bool ChangeTagInfo(FileList& list, TagDialog& dialog) {
  if (RefuseWithoutSelection(list)) return false;
  std::size_t row = 0;
  while (!list.at(row).selected) ++row;
  if (IsWav(list.at(row))) {
    RefuseWav();
    return false;
  }
  SongTags tags = TagsOfRow(list.at(row));
  if (!dialog.Edit(tags)) return false;

  const std::string path = list.at(row).caption;
  AudioInfo info;
  ProbeAudioFile(path, info);
  WriteSongTags(path, info, tags);  // the row shows the new texts whatever the outcome
  list.SetText(row, Column::Title, zplatform::FieldText(tags.title));
  list.SetText(row, Column::Author, zplatform::FieldText(tags.author));
  list.SetText(row, Column::Album, zplatform::FieldText(tags.album));
  list.SetText(row, Column::Track, zplatform::FieldText(tags.track));
  list.SetText(row, Column::Year, zplatform::FieldText(tags.year));
  return true;
}

GroupQuery QueryFor(GroupField field) {
  switch (field) {
    case GroupField::Album:
      return {"Set Album", "Album is"};
    case GroupField::Year:
      return {"Set Year", "Year is"};
    case GroupField::Author:
      break;
  }
  return {"Set Author", "Author is"};
}

bool GroupSetTag(FileList& list, GroupField field) {
  if (RefuseWithoutSelection(list)) return false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list.at(i).selected && IsWav(list.at(i))) {
      RefuseWav();
      return false;
    }
  }
  SongTags sizing{};
  const std::size_t width = Field(sizing, field).size - 1;
  const GroupQuery query = QueryFor(field);
  std::string text;
  if (!zplatform::Messages().InputQuery(query.caption, query.prompt, text, width)) return false;
  text = std::string(zplatform::TruncateUtf8(text, width));

  for (std::size_t i = 0; i < list.size(); ++i) {
    const FileListEntry& row = list.at(i);
    if (!row.selected || IsWav(row)) continue;
    AudioInfo info;
    ProbeAudioFile(row.caption, info);
    SongTags tags;
    ReadSongTags(row.caption, info, tags);
    const FieldOf target = Field(tags, field);
    zplatform::CopyToField(text, target.text, target.size);
    WriteSongTags(row.caption, info, tags);
    list.SetText(i, target.column, text);
  }
  return true;
}

}  // namespace zandro
