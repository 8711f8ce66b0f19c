#pragma once
// TfmTagInfo, the five tags of one file: Title, Author, Album, Track, Year.

#include <QDialog>

#include "audio/song_tags.h"
#include "engine/tag_commands.h"

class QLineEdit;

namespace zandro::ui {

class TfmTagInfo final : public QDialog {
  Q_OBJECT

 public:
  explicit TfmTagInfo(const SongTags& tags, QWidget* parent = nullptr);

  // The record: as given until "Update" copies the edits into it.
  const SongTags& tags() const { return tags_; }
  bool updated() const { return updated_; }

 private:
  void SeSkinButton1Click();
  void SeSkinButton2Click();

  SongTags tags_;
  bool updated_ = false;
  QLineEdit* edTitle_ = nullptr;
  QLineEdit* edAuthor_ = nullptr;
  QLineEdit* edAlbum_ = nullptr;
  QLineEdit* edTrack_ = nullptr;
  QLineEdit* edYear_ = nullptr;
};

// The tag command's dialog as a window.
class QtTagDialog final : public TagDialog {
 public:
  bool Edit(SongTags& tags) override;
};

}  // namespace zandro::ui
