#pragma once
// Reading and writing the five tag fields through the metadata editor.

#include "talvex/talvex.h"
#include "wmvcore/header_info.h"

namespace talvex {

enum class TagMode { Read, Write };

// One call: open, read or write (then flush), close. True when the close succeeded.
bool EditTags(const char* path, TalvexSongTags* tags, TagMode mode);

// Reads one attribute into a field of `size` bytes. An absent attribute
// succeeds and leaves the field as it is; a value longer than the field is
// cut at the field's width on a character boundary.
wmvcore::HRESULT ReadTagAttribute(wmvcore::IWMHeaderInfo* header, std::u16string_view name, char* field,
                                  std::size_t size);

// Writes one field as a string attribute, unless the field holds what
// reading that attribute into it gives (the stored value, or its cut form,
// or nothing for an absent or unreadable one): then the stored value is
// kept as it is, so an edit of another field never changes it.
wmvcore::HRESULT WriteTagAttribute(wmvcore::IWMHeaderInfo* header, std::u16string_view name, const char* field,
                                   std::size_t size);

}  // namespace talvex
