#include "tag_editor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "wide_text.h"
#include "wmvcore/editor.h"
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
  if (const std::optional<std::u16string> stored = StoredText(header, name, nullptr)) {
    const std::string storedNarrow = zplatform::Utf16ToUtf8(*stored);
    if (storedNarrow != text && FieldForm(*stored, size) == text) return S_OK;
  }
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
  if (mode == TagMode::Write) editor->Flush();
  return Succeeded(editor->Close());
}

bool CopyContents(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(to, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += put;
    }
  }
}

// Rewriting tags can move the whole audio; done on a copy beside the file
// and renamed over it, a crash at any moment leaves the file either as it
// was or wholly rewritten, never half written.
bool WriteThroughCopy(const char* path, TalvexSongTags* tags) {
  char resolved[PATH_MAX];
  if (!realpath(path, resolved)) return false;  // a link's target is what changes
  struct stat original {};
  if (stat(resolved, &original) != 0 || !S_ISREG(original.st_mode)) return false;
  const std::string target = resolved;
  const std::size_t slash = target.rfind('/');
  const std::string name = target.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);  // the editor goes by it
  std::string temporary = target.substr(0, slash + 1) + "." + name + ".tags-XXXXXX" + extension;
  const int out = mkstemps(temporary.data(), static_cast<int>(extension.size()));
  if (out < 0) return false;
  const int in = open(resolved, O_RDONLY | O_CLOEXEC);
  bool ok = in >= 0 && CopyContents(in, out) && fchmod(out, original.st_mode & 07777) == 0;
  if (in >= 0) close(in);
  ok = close(out) == 0 && ok;
  ok = ok && EditWith(zplatform::PathToUtf16(temporary), tags, TagMode::Write);
  // TagLib can write a file (say, MP3 data named .wma) into one it no longer
  // opens; such a copy never replaces the file.
  TalvexSongTags readBack{};
  ok = ok && EditWith(zplatform::PathToUtf16(temporary), &readBack, TagMode::Read);
  if (ok) {
    const int sync = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    ok = sync >= 0 && fsync(sync) == 0;
    if (sync >= 0) close(sync);
  }
  ok = ok && rename(temporary.c_str(), resolved) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

bool EditTags(const char* path, TalvexSongTags* tags, TagMode mode) {
  const std::optional<std::u16string> wide = WidePath(path);
  if (!wide || !tags) return false;
  if (mode == TagMode::Write) return WriteThroughCopy(path, tags);
  return EditWith(*wide, tags, mode);
}

}  // namespace talvex
