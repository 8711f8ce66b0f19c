#pragma once
// Media properties of a stream, an output or an input: its media type with
// the format block.

#include <string>

#include "wmvcore/types.h"

namespace wmvcore {

class IWMMediaProps {
 public:
  virtual ~IWMMediaProps() = default;
  virtual HRESULT GetType(GUID* majorType) = 0;
  // With `type` null, `*size` receives the bytes needed (the structure and
  // its format block). Otherwise `*size` must be at least that
  // (ASF_E_BUFFERTOOSMALL if not) and the buffer at `type` receives the
  // structure followed by the format block, pbFormat pointing at the latter.
  virtual HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) = 0;
  // Copies the structure and cbFormat bytes of its format block.
  virtual HRESULT SetMediaType(const WM_MEDIA_TYPE* type) = 0;
};

class IWMOutputMediaProps : public IWMMediaProps {
 public:
  // Both names are empty for a file's outputs.
  virtual HRESULT GetStreamGroupName(std::u16string* name) = 0;
  virtual HRESULT GetConnectionName(std::u16string* name) = 0;
};

class IWMInputMediaProps : public IWMMediaProps {
 public:
  virtual HRESULT GetConnectionName(std::u16string* name) = 0;
};

}  // namespace wmvcore
