#include "tag_editor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <iterator>
#include <optional>
#include <memory>
#include <vector>

#include "wide_text.h"
#include "wmvcore/editor.h"
#include "zplatform/safe_file.h"
#include "zplatform/text.h"

namespace talvex {

using namespace wmvcore;

namespace {

// The stored value of an attribute as text; nothing when absent or unreadable.
std::optional<std::u16string> StoredText(IWMHeaderInfo* header, std::u16string_view name, HRESULT* status) {
  WORD stream = 0;
  WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
  WORD length = 0;
  HRESULT hr = header->GetAttributeByName(&stream, name, &type, nullptr, &length);
  if (status) *status = hr;
  if (Failed(hr)) {
    if (hr == ASF_E_NOTFOUND && length == 0 && status) *status = S_OK;
    return std::nullopt;
  }
  std::vector<BYTE> value(length);
  stream = 0;
  hr = header->GetAttributeByName(&stream, name, &type, value.data(), &length);
  if (status) *status = hr;
  if (Failed(hr)) return std::nullopt;
  return AttributeText(type, value.data(), length);
}

struct FieldSpec {
  std::u16string_view name;
  std::u16string_view alternative;  // tried on read when the first name fails
  std::size_t offset;
  std::size_t size;
};

// Visited in this order by both directions.
constexpr FieldSpec kFields[] = {
    {u"Title", u"WM/Title", offsetof(TalvexSongTags, title), sizeof(TalvexSongTags::title)},
    {u"Author", u"WM/Author", offsetof(TalvexSongTags, author), sizeof(TalvexSongTags::author)},
    {u"WM/AlbumTitle", u"", offsetof(TalvexSongTags, album), sizeof(TalvexSongTags::album)},
    {u"WM/Track", u"", offsetof(TalvexSongTags, track), sizeof(TalvexSongTags::track)},
    {u"WM/Year", u"", offsetof(TalvexSongTags, year), sizeof(TalvexSongTags::year)},
};

}  // namespace

HRESULT ReadTagAttribute(IWMHeaderInfo* header, std::u16string_view name, char* field, std::size_t size) {
  HRESULT status = S_OK;
  const std::optional<std::u16string> text = StoredText(header, name, &status);
  if (!text) return status;
  zplatform::CopyToField(FieldForm(*text, size), field, size);
  return S_OK;
}

HRESULT WriteTagAttribute(IWMHeaderInfo* header, std::u16string_view name, const char* field, std::size_t size) {
  const std::string text = zplatform::FieldText(field, size);
  // A field that holds what a read of it gives was not set by the user: it
  // is left as stored. That keeps a value longer than the field, and one
  // the header could not hold (a title over 64 KB reads as absent, so as an
  // empty field), and never rewrites a value in another form (an ID3v2
  // year), so a write changes exactly the fields that were edited.
  const std::optional<std::u16string> stored = StoredText(header, name, nullptr);
  if (FieldForm(stored.value_or(std::u16string()), size) == text) return S_OK;
  // Fields are at most 255 bytes, so 256 UTF-16 units always hold them.
  char16_t wide[256];
  const std::size_t units = zplatform::Utf8ToUtf16(text, wide, std::size(wide));
  std::vector<BYTE> value;
  value.reserve((units + 1) * 2);
  for (std::size_t i = 0; i <= units; ++i) {
    const char16_t unit = i < units ? wide[i] : u'\0';
    value.push_back(static_cast<BYTE>(unit & 0xFF));
    value.push_back(static_cast<BYTE>(unit >> 8));
  }
  return header->SetAttribute(0, name, WMT_TYPE_STRING, value.data(), static_cast<WORD>(value.size()));
}

namespace {

// The five fields against one open editor.
bool EditWith(const std::u16string& path, TalvexSongTags* tags, TagMode mode) {
  std::shared_ptr<IWMMetadataEditor> editor;
  if (Failed(WMCreateEditor(&editor)) || !editor) return false;
  if (Failed(editor->Open(path))) return false;
  IWMHeaderInfo* header = editor->QueryHeaderInfo();
  if (!header) {
    editor->Close();
    return false;
  }
  char* record = reinterpret_cast<char*>(tags);
  for (const FieldSpec& spec : kFields) {
    char* field = record + spec.offset;
    if (mode == TagMode::Read) {
      if (Failed(ReadTagAttribute(header, spec.name, field, spec.size)) && !spec.alternative.empty()) {
        ReadTagAttribute(header, spec.alternative, field, spec.size);
      }
    } else {
      WriteTagAttribute(header, spec.name, field, spec.size);
    }
  }
  const bool flushed = mode != TagMode::Write || Succeeded(editor->Flush());
  return Succeeded(editor->Close()) && flushed;
}

bool CopyContents(int from, zplatform::PendingFile& to) {
  char buffer[65536];
  std::string reason;
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!to.WriteAll(std::string_view(buffer, static_cast<std::size_t>(got)), reason)) return false;
  }
}

// Where the audio of a tagged file lies: after the ID3v2 tags or the ASF
// header at its start, before an ID3v1 tag at its end. Tags change only
// those; everything between must come through a rewrite unchanged.
struct Payload {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};

bool ReadAt(int fd, std::uint64_t offset, unsigned char* data, std::size_t size) {
  return pread(fd, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

std::optional<Payload> PayloadOf(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return std::nullopt;
  const auto size = static_cast<std::uint64_t>(status.st_size);
  Payload payload{0, size};
  unsigned char head[24];
  static constexpr unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  if (size >= sizeof head && ReadAt(fd, 0, head, sizeof head) && std::memcmp(head, kAsfHeader, 16) == 0) {
    std::uint64_t headerSize = 0;
    for (int i = 7; i >= 0; --i) headerSize = headerSize << 8 | head[16 + i];
    payload.start = headerSize;
  } else {
    // One or more ID3v2 tags, each "ID3", version, flags, a syncsafe size.
    while (payload.start + 10 <= size && ReadAt(fd, payload.start, head, 10) && std::memcmp(head, "ID3", 3) == 0) {
      const std::uint64_t body = (std::uint64_t{head[6]} & 0x7F) << 21 | (std::uint64_t{head[7]} & 0x7F) << 14 |
                                 (std::uint64_t{head[8]} & 0x7F) << 7 | (std::uint64_t{head[9]} & 0x7F);
      payload.start += 10 + body + ((head[5] & 0x10) ? 10 : 0);
    }
    if (size >= 128 && ReadAt(fd, size - 128, head, 3) && std::memcmp(head, "TAG", 3) == 0) payload.end = size - 128;
  }
  if (payload.start > payload.end) return std::nullopt;
  return payload;
}

// TagLib does not report a failed write (a full disk, a size limit): the
// copy it leaves then lacks part of the audio. Such a copy never replaces
// the file.
bool AudioCameThrough(const char* original, const std::string& copy) {
  const int a = open(original, O_RDONLY | O_CLOEXEC);
  const int b = open(copy.c_str(), O_RDONLY | O_CLOEXEC);
  bool same = false;
  if (a >= 0 && b >= 0) {
    const std::optional<Payload> before = PayloadOf(a);
    const std::optional<Payload> after = PayloadOf(b);
    same = before && after && before->end - before->start == after->end - after->start;
    std::vector<unsigned char> x(65536), y(65536);
    for (std::uint64_t done = 0; same && done < before->end - before->start;) {
      const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(x.size(), before->end - before->start - done));
      same = ReadAt(a, before->start + done, x.data(), chunk) && ReadAt(b, after->start + done, y.data(), chunk) &&
             std::memcmp(x.data(), y.data(), chunk) == 0;
      done += chunk;
    }
  }
  if (a >= 0) close(a);
  if (b >= 0) close(b);
  return same;
}

// Rewriting tags can move the whole audio; done on a copy beside the file
// and moved over it, a crash at any moment leaves the file either as it
// was or wholly rewritten, never half written, and the copy under a name
// every scan passes over.
bool WriteThroughCopy(const char* path, TalvexSongTags* tags) {
  char resolved[PATH_MAX];
  if (!realpath(path, resolved)) return false;  // a link's target is what changes
  struct stat original {};
  if (stat(resolved, &original) != 0 || !S_ISREG(original.st_mode)) return false;
  std::string reason;
  const std::unique_ptr<zplatform::PendingFile> copy = zplatform::PendingFile::Create(resolved, reason);
  if (!copy) return false;
  const int in = open(resolved, O_RDONLY | O_CLOEXEC);
  bool ok = in >= 0 && CopyContents(in, *copy) && copy->SetMode(original.st_mode);
  if (in >= 0) close(in);
  const std::u16string temporary = zplatform::PathToUtf16(copy->Path());
  ok = ok && EditWith(temporary, tags, TagMode::Write);
  if (ok && !AudioCameThrough(resolved, copy->Path())) {
    ok = false;
    errno = ENOSPC;  // what cuts a rewrite short; TagLib keeps the real cause to itself
  }
  // TagLib can write a file (say, MP3 data named .wma) into one it no longer
  // opens; such a copy never replaces the file.
  TalvexSongTags readBack{};
  ok = ok && EditWith(temporary, &readBack, TagMode::Read);
  const int saved = errno;
  ok = ok && copy->Commit(resolved, zplatform::Placement::Replace, reason) == zplatform::CommitOutcome::Placed;
  if (!ok && errno == 0) errno = saved;
  return ok;  // an uncommitted copy goes with `copy`
}

}  // namespace

bool EditTags(const char* path, TalvexSongTags* tags, TagMode mode) {
  const std::optional<std::u16string> wide = WidePath(path);
  if (!wide || !tags) return false;
  if (mode == TagMode::Write) return WriteThroughCopy(path, tags);
  return EditWith(*wide, tags, mode);
}

}  // namespace talvex
