#pragma once
// Header attributes of a file, by index or by name. Stream 0 means the file
// as a whole. Values are raw bytes by data type: DWORD and BOOL 4 bytes,
// QWORD 8, WORD 2, GUID 16 (all little-endian), STRING UTF-16LE text with
// its terminating zero unit, BINARY as stored.

#include <string_view>

#include "wmvcore/types.h"

namespace wmvcore {

class IWMHeaderInfo {
 public:
  virtual ~IWMHeaderInfo() = default;

  virtual HRESULT GetAttributeCount(WORD streamNumber, WORD* count) = 0;

  // `*nameLength` is in UTF-16 units with the terminator, `*length` in
  // bytes. A null `name` or `value` asks only for its size; a buffer that is
  // too small fails with ASF_E_BUFFERTOOSMALL and reports the size needed.
  virtual HRESULT GetAttributeByIndex(WORD index, WORD* streamNumber, char16_t* name,
                                      WORD* nameLength, WMT_ATTR_DATATYPE* type, BYTE* value,
                                      WORD* length) = 0;

  // An absent attribute fails with ASF_E_NOTFOUND and sets `*length` to 0.
  virtual HRESULT GetAttributeByName(WORD* streamNumber, std::u16string_view name,
                                     WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) = 0;

  // Sets (adds or replaces) an attribute; a reader's header is read-only and
  // answers NS_E_INVALID_REQUEST.
  virtual HRESULT SetAttribute(WORD streamNumber, std::u16string_view name,
                               WMT_ATTR_DATATYPE type, const BYTE* value, WORD length) = 0;
};

}  // namespace wmvcore
