#pragma once
// The metadata editor: the tag attributes of any file TagLib opens.
//
// ASF files: "Title", "Author", "Copyright", "Description" and "Rating" are
// the content description; every other name is an ASF attribute as named,
// read with its stored type. MP3 files: "Title" (TIT2), "Author" (TPE1),
// "WM/AlbumTitle" (TALB), "WM/Year" (the year frame) and "WM/Track" (TRCK),
// read from ID3v2.2/2.3/2.4 or else from ID3v1; written as ID3v2.3, with an
// existing ID3v1 tag kept in step. Other files: the same five names over
// their own tags. Values are set as strings (or the numbers ASF stores).

#include <memory>
#include <string_view>

#include "wmvcore/header_info.h"
#include "wmvcore/types.h"

namespace wmvcore {

class IWMMetadataEditor {
 public:
  virtual ~IWMMetadataEditor() = default;
  virtual HRESULT Open(std::u16string_view path) = 0;
  // Writes the attributes set since the open into the file.
  virtual HRESULT Flush() = 0;
  // Closes the file; changes not flushed are dropped.
  virtual HRESULT Close() = 0;
  // The open file's attributes; valid as long as the editor.
  virtual IWMHeaderInfo* QueryHeaderInfo() = 0;
};

HRESULT WMCreateEditor(std::shared_ptr<IWMMetadataEditor>* editor);

}  // namespace wmvcore
