// Tag reading (and writing) through the WMA library on any file, saved once
// as .mp3 and once as .wma: every field stays zero-terminated and whole
// UTF-8 within its width, and a write never makes the file unreadable.

#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "talvex/talvex.h"

namespace {

bool IsWholeUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

template <std::size_t N>
void CheckField(const char (&field)[N], const char* name) {
  const std::size_t length = strnlen(field, N);
  FUZZ_CHECK(length < N, std::string(name) + " is not zero-terminated");
  FUZZ_CHECK(IsWholeUtf8(std::string_view(field, length)), std::string(name) + " holds a cut or invalid character");
}

void CheckTags(const TalvexSongTags& tags) {
  CheckField(tags.title, "title");
  CheckField(tags.author, "author");
  CheckField(tags.album, "album");
  CheckField(tags.year, "year");
  CheckField(tags.track, "track");
}

void Exercise(const std::string& path) {
  TalvexAudioInfo info{};
  // Zeroed as the program does: fields the file lacks are left as they are.
  TalvexSongTags tags{};
  const bool readable = GetWmaSongInfo(path.c_str(), &info, &tags);
  if (readable) CheckTags(tags);

  // The library's answer to a write only tells whether the file closed, so
  // what must hold is that the write leaves a readable file readable.
  TalvexSongTags written{};
  std::strcpy(written.title, "Tïtle ♪");
  std::strcpy(written.author, "Author");
  std::strcpy(written.year, "1999");
  std::strcpy(written.track, "7");
  if (!SetWmaSongInfo(path.c_str(), &info, &written)) return;
  TalvexSongTags read{};
  const bool readableAfter = GetWmaSongInfo(path.c_str(), &info, &read);
  FUZZ_CHECK(readableAfter || !readable, "a tag write made the file unreadable");
  if (readableAfter) CheckTags(read);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool silenced = (zandro_fuzz::Silence(), true);
  (void)silenced;
  Exercise(zandro_fuzz::SaveInput("input.mp3", data, size));
  Exercise(zandro_fuzz::SaveInput("input.wma", data, size));
  return 0;
}
