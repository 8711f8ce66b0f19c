#include "tag_io.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <unistd.h>

#include "asf_header.h"
#include "zplatform/diagnostics.h"
#include "zplatform/input_file.h"
#include "zplatform/text.h"

namespace wmvcore::detail {
namespace {

struct TagName {
  std::u16string_view attribute;
  const char* id3Frame;
  const char* property;
};

// The five names that every kind of file carries, in the order they are listed.
constexpr std::array<TagName, 5> kCommonNames{{
    {u"Title", "TIT2", "TITLE"},
    {u"Author", "TPE1", "ARTIST"},
    {u"WM/AlbumTitle", "TALB", "ALBUM"},
    {u"WM/Year", "TDRC", "DATE"},  // TYER in ID3v2.3, which TagLib reads as TDRC
    {u"WM/Track", "TRCK", "TRACKNUMBER"},
}};

const TagName* CommonName(std::u16string_view name) {
  for (const TagName& n : kCommonNames) {
    if (n.attribute == name) return &n;
  }
  return nullptr;
}

std::u16string ToUtf16(const TagLib::String& text) {
  return zplatform::Utf8ToUtf16(text.to8Bit(true));
}

TagLib::String FromUtf16(std::u16string_view text) {
  return TagLib::String(zplatform::Utf16ToUtf8(text), TagLib::String::UTF8);
}

Attribute StringAttribute(std::u16string_view name, const TagLib::String& text, WORD stream = 0) {
  return Attribute{stream, std::u16string(name), WMT_TYPE_STRING, StringValue(ToUtf16(text))};
}

std::uint64_t LittleEndianAt(const std::vector<BYTE>& value, std::size_t bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < bytes && i < value.size(); ++i) v |= std::uint64_t{value[i]} << (8 * i);
  return v;
}

// The value as text, for files whose tags hold only text.
std::optional<std::u16string> ValueAsText(const Attribute& a) {
  switch (a.type) {
    case WMT_TYPE_STRING:
      return TextOf(a.value.data(), a.value.size());
    case WMT_TYPE_DWORD:
    case WMT_TYPE_QWORD:
    case WMT_TYPE_WORD:
      return zplatform::Utf8ToUtf16(std::to_string(LittleEndianAt(a.value, a.value.size())));
    default:
      return std::nullopt;
  }
}

// Leading decimal digits ("3/12" gives 3), 0 without any.
unsigned int LeadingNumber(const std::u16string& text) {
  const std::string narrow = zplatform::Utf16ToUtf8(text);
  unsigned int value = 0;
  std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
  return value;
}

void ReadAsf(TagLib::ASF::File& file, std::vector<Attribute>* out) {
  TagLib::ASF::Tag* tag = file.tag();
  if (!tag) return;
  const std::pair<std::u16string_view, TagLib::String> description[] = {
      {u"Title", tag->title()},         {u"Author", tag->artist()},
      {u"Copyright", tag->copyright()}, {u"Description", tag->comment()},
      {u"Rating", tag->rating()},
  };
  for (const auto& [name, text] : description) {
    if (!text.isEmpty()) out->push_back(StringAttribute(name, text));
  }
  for (const auto& [key, list] : tag->attributeListMap()) {
    const std::u16string name = ToUtf16(key);
    for (const TagLib::ASF::Attribute& a : list) {
      Attribute attribute{static_cast<WORD>(a.stream()), name, WMT_TYPE_BINARY, {}};
      switch (a.type()) {
        case TagLib::ASF::Attribute::UnicodeType:
          attribute.type = WMT_TYPE_STRING;
          attribute.value = StringValue(ToUtf16(a.toString()));
          break;
        case TagLib::ASF::Attribute::BoolType:
          attribute.type = WMT_TYPE_BOOL;
          attribute.value = BoolValue(a.toBool());
          break;
        case TagLib::ASF::Attribute::DWordType:
          attribute.type = WMT_TYPE_DWORD;
          attribute.value = DwordValue(a.toUInt());
          break;
        case TagLib::ASF::Attribute::QWordType:
          attribute.type = WMT_TYPE_QWORD;
          attribute.value = QwordValue(a.toULongLong());
          break;
        case TagLib::ASF::Attribute::WordType:
          attribute.type = WMT_TYPE_WORD;
          attribute.value = WordValue(a.toUShort());
          break;
        case TagLib::ASF::Attribute::GuidType:
        case TagLib::ASF::Attribute::BytesType: {
          attribute.type = a.type() == TagLib::ASF::Attribute::GuidType ? WMT_TYPE_GUID
                                                                         : WMT_TYPE_BINARY;
          const TagLib::ByteVector bytes = a.toByteVector();
          attribute.value.assign(bytes.begin(), bytes.end());
          break;
        }
      }
      out->push_back(std::move(attribute));
    }
  }
}

TagLib::String FrameText(const TagLib::ID3v2::Tag* tag, const char* id) {
  if (!tag) return {};
  const auto& frames = tag->frameListMap()[id];
  return frames.isEmpty() ? TagLib::String() : frames.front()->toString();
}

TagLib::String Id3v1Text(const TagLib::ID3v1::Tag* tag, std::size_t index) {
  if (!tag) return {};
  switch (index) {
    case 0: return tag->title();
    case 1: return tag->artist();
    case 2: return tag->album();
    case 3: return tag->year() ? TagLib::String::number(static_cast<int>(tag->year())) : TagLib::String();
    default: return tag->track() ? TagLib::String::number(static_cast<int>(tag->track())) : TagLib::String();
  }
}

void ReadMpeg(TagLib::MPEG::File& file, std::vector<Attribute>* out) {
  const TagLib::ID3v2::Tag* v2 = file.hasID3v2Tag() ? file.ID3v2Tag() : nullptr;
  const TagLib::ID3v1::Tag* v1 = file.hasID3v1Tag() ? file.ID3v1Tag() : nullptr;
  for (std::size_t i = 0; i < kCommonNames.size(); ++i) {
    TagLib::String text = FrameText(v2, kCommonNames[i].id3Frame);
    if (text.isEmpty()) text = Id3v1Text(v1, i);
    if (!text.isEmpty()) out->push_back(StringAttribute(kCommonNames[i].attribute, text));
  }
}

void ReadOther(TagLib::File& file, std::vector<Attribute>* out) {
  const TagLib::PropertyMap properties = file.properties();
  for (const TagName& n : kCommonNames) {
    const auto it = properties.find(n.property);
    if (it != properties.end() && !it->second.isEmpty() && !it->second.front().isEmpty()) {
      out->push_back(StringAttribute(n.attribute, it->second.front()));
    }
  }
}

// TagLib opens the path itself and would block on a FIFO or read a device
// without end: only a regular file goes to it.
bool IsRegularInput(const std::string& path) {
  std::string reason;
  if (zplatform::CheckRegularFile(path, &reason)) return true;
  zplatform::Trace("wmvcore: " + path + ": " + reason);
  return false;
}

HRESULT OpenFailure(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return E_FILE_NOT_FOUND;
  if (::access(path.c_str(), R_OK) != 0) return E_ACCESSDENIED;
  return NS_E_UNRECOGNIZED_STREAM_TYPE;
}

TagFileKind KindOf(TagLib::File* file) {
  if (dynamic_cast<TagLib::ASF::File*>(file)) return TagFileKind::Asf;
  if (dynamic_cast<TagLib::MPEG::File*>(file)) return TagFileKind::Mpeg;
  return TagFileKind::Other;
}

void WriteAsf(TagLib::ASF::File& file, const Attribute& a) {
  TagLib::ASF::Tag* tag = file.tag();
  if (a.type == WMT_TYPE_STRING && a.stream == 0) {
    const TagLib::String text = FromUtf16(TextOf(a.value.data(), a.value.size()));
    if (a.name == u"Title") return tag->setTitle(text);
    if (a.name == u"Author") return tag->setArtist(text);
    if (a.name == u"Copyright") return tag->setCopyright(text);
    if (a.name == u"Description") return tag->setComment(text);
    if (a.name == u"Rating") return tag->setRating(text);
  }
  TagLib::ASF::Attribute value;
  switch (a.type) {
    case WMT_TYPE_STRING:
      value = TagLib::ASF::Attribute(FromUtf16(TextOf(a.value.data(), a.value.size())));
      break;
    case WMT_TYPE_DWORD:
      value = TagLib::ASF::Attribute(static_cast<unsigned int>(LittleEndianAt(a.value, 4)));
      break;
    case WMT_TYPE_QWORD:
      value = TagLib::ASF::Attribute(static_cast<unsigned long long>(LittleEndianAt(a.value, 8)));
      break;
    case WMT_TYPE_WORD:
      value = TagLib::ASF::Attribute(static_cast<unsigned short>(LittleEndianAt(a.value, 2)));
      break;
    case WMT_TYPE_BOOL:
      value = TagLib::ASF::Attribute(LittleEndianAt(a.value, 4) != 0);
      break;
    default:
      value = TagLib::ASF::Attribute(
          TagLib::ByteVector(reinterpret_cast<const char*>(a.value.data()),
                             static_cast<unsigned int>(a.value.size())));
      break;
  }
  value.setStream(a.stream);
  tag->setAttribute(FromUtf16(a.name), value);
}

void SetId3v2Frame(TagLib::ID3v2::Tag* tag, const char* id, const TagLib::String& text) {
  tag->removeFrames(id);
  if (text.isEmpty()) return;
  const auto encoding = text.isLatin1() ? TagLib::String::Latin1 : TagLib::String::UTF16;
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
  frame->setText(text);
  tag->addFrame(frame);  // the tag owns its frames
}

// What TagLib makes of a year when it saves ID3v2.3 and reads it back:
// TYER keeps four characters, and "YYYY-MM-DD[THH:MM]" (which it builds
// itself from TYER, TDAT and TIME) is split into those frames again.
bool Id3v23KeepsYear(const TagLib::String& text) {
  const std::string narrow = text.to8Bit(true);
  const auto digits = [&](std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
      if (narrow[i] < '0' || narrow[i] > '9') return false;
    }
    return true;
  };
  if (!text.isLatin1()) return false;
  if (narrow.size() == 4) return true;
  const bool date = (narrow.size() == 10 || narrow.size() == 16) && digits(0, 4) && narrow[4] == '-' &&
                    digits(5, 2) && narrow[7] == '-' && digits(8, 2);
  if (!date || narrow.size() == 10) return date;
  return narrow[10] == 'T' && digits(11, 2) && narrow[13] == ':' && digits(14, 2);
}

// Any other year ("Spring 1995", "95", "MCMXCV") TagLib would cut to four
// characters or drop; a TYER frame of our own carries the whole text, which
// TagLib, FFmpeg and other readers give back as it is.
void KeepYearWholeInId3v23(TagLib::ID3v2::Tag* tag) {
  const TagLib::ID3v2::FrameList frames = tag->frameListMap()["TDRC"];
  if (frames.isEmpty()) return;
  const TagLib::String text = frames.front()->toString();
  if (Id3v23KeepsYear(text)) return;
  tag->removeFrames("TDRC");
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(
      "TYER", text.isLatin1() ? TagLib::String::Latin1 : TagLib::String::UTF16);
  frame->setText(text);
  tag->addFrame(frame);  // the tag owns its frames
}

void SetId3v1Field(TagLib::ID3v1::Tag* tag, std::u16string_view name, const std::u16string& text) {
  const TagLib::String value = FromUtf16(text);
  if (name == u"Title") tag->setTitle(value);
  else if (name == u"Author") tag->setArtist(value);
  else if (name == u"WM/AlbumTitle") tag->setAlbum(value);
  else if (name == u"WM/Year") tag->setYear(LeadingNumber(text));
  else if (name == u"WM/Track") tag->setTrack(LeadingNumber(text));
}

class TraceListener final : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String& msg) override {
    std::string line = msg.to8Bit(true);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    zplatform::Trace("taglib: " + line);
  }
};

}  // namespace

void InstallTagLibDebugListener() {
  static TraceListener listener;
  static std::once_flag once;
  std::call_once(once, [] { TagLib::setDebugListener(&listener); });
}

HRESULT ReadTagAttributes(const std::string& path, TagFileKind* kind,
                          std::vector<Attribute>* attributes) {
  InstallTagLibDebugListener();
  if (!IsRegularInput(path)) return OpenFailure(path);
  if (CheckAsfHeader(path) == AsfHeaderCheck::Broken) return OpenFailure(path);
  TagLib::FileRef ref(path.c_str(), false);
  if (ref.isNull() || !ref.file()->isValid()) return OpenFailure(path);
  *kind = KindOf(ref.file());
  attributes->clear();
  switch (*kind) {
    case TagFileKind::Asf: ReadAsf(*static_cast<TagLib::ASF::File*>(ref.file()), attributes); break;
    case TagFileKind::Mpeg: ReadMpeg(*static_cast<TagLib::MPEG::File*>(ref.file()), attributes); break;
    case TagFileKind::Other: ReadOther(*ref.file(), attributes); break;
  }
  return S_OK;
}

HRESULT CheckTagAttribute(TagFileKind kind, const Attribute& attribute) {
  switch (attribute.type) {
    case WMT_TYPE_DWORD: case WMT_TYPE_BOOL: if (attribute.value.size() != 4) return E_INVALIDARG; break;
    case WMT_TYPE_QWORD: if (attribute.value.size() != 8) return E_INVALIDARG; break;
    case WMT_TYPE_WORD: if (attribute.value.size() != 2) return E_INVALIDARG; break;
    case WMT_TYPE_GUID: if (attribute.value.size() != 16) return E_INVALIDARG; break;
    case WMT_TYPE_STRING: if (attribute.value.size() % 2 != 0) return E_INVALIDARG; break;
    case WMT_TYPE_BINARY: break;
    default: return E_INVALIDARG;
  }
  if (kind == TagFileKind::Asf) return S_OK;
  // Other files hold only the five text tags of the whole file.
  if (attribute.stream != 0 || !CommonName(attribute.name) || !ValueAsText(attribute)) {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT WriteTagAttributes(const std::string& path, const std::vector<Attribute>& changes) {
  InstallTagLibDebugListener();
  if (!IsRegularInput(path)) return OpenFailure(path);
  if (CheckAsfHeader(path) == AsfHeaderCheck::Broken) return OpenFailure(path);
  TagLib::FileRef ref(path.c_str(), false);
  if (ref.isNull() || !ref.file()->isValid()) return OpenFailure(path);
  if (ref.file()->readOnly()) return E_ACCESSDENIED;
  bool saved = false;
  switch (KindOf(ref.file())) {
    case TagFileKind::Asf: {
      auto& file = *static_cast<TagLib::ASF::File*>(ref.file());
      for (const Attribute& a : changes) WriteAsf(file, a);
      saved = file.save();
      break;
    }
    case TagFileKind::Mpeg: {
      auto& file = *static_cast<TagLib::MPEG::File*>(ref.file());
      const bool keepId3v1 = file.hasID3v1Tag();
      // A v2.4 tag stays v2.4; new tags, and v2.2 ones (which TagLib cannot
      // write), become v2.3, which every player reads.
      const bool hadId3v2 = file.hasID3v2Tag();
      TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(true);
      const TagLib::ID3v2::Version version =
          hadId3v2 && v2->header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
      for (const Attribute& a : changes) {
        const std::u16string text = *ValueAsText(a);
        SetId3v2Frame(v2, CommonName(a.name)->id3Frame, FromUtf16(text));
        if (keepId3v1) SetId3v1Field(file.ID3v1Tag(), a.name, text);
      }
      if (version == TagLib::ID3v2::v3) KeepYearWholeInId3v23(v2);
      int tags = TagLib::MPEG::File::ID3v2;
      if (keepId3v1) tags |= TagLib::MPEG::File::ID3v1;
      saved = file.save(tags, TagLib::File::StripNone, version, TagLib::File::DoNotDuplicate);
      break;
    }
    case TagFileKind::Other: {
      TagLib::PropertyMap properties = ref.file()->properties();
      for (const Attribute& a : changes) {
        const TagLib::String text = FromUtf16(*ValueAsText(a));
        const char* key = CommonName(a.name)->property;
        if (text.isEmpty()) {
          properties.erase(key);
        } else {
          properties.replace(key, TagLib::StringList(text));
        }
      }
      ref.file()->setProperties(properties);
      saved = ref.file()->save();
      break;
    }
  }
  return saved ? S_OK : E_FAIL;
}

}  // namespace wmvcore::detail
