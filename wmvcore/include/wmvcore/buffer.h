#pragma once
// Sample buffers: a block of bytes with a used length inside a fixed
// capacity, as samples travel between a client and the reader or writer.

#include <memory>
#include <vector>

#include "wmvcore/types.h"

namespace wmvcore {

class INSSBuffer {
 public:
  virtual ~INSSBuffer() = default;
  virtual HRESULT GetLength(DWORD* length) = 0;
  // Fails with E_INVALIDARG when `length` is more than the capacity.
  virtual HRESULT SetLength(DWORD length) = 0;
  virtual HRESULT GetMaxLength(DWORD* length) = 0;
  virtual HRESULT GetBuffer(BYTE** buffer) = 0;
  virtual HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) = 0;
};

// A heap buffer of a fixed capacity; its length starts at the capacity.
// Owns its bytes; not copyable.
class NSSBuffer final : public INSSBuffer {
 public:
  explicit NSSBuffer(DWORD capacity);
  NSSBuffer(const NSSBuffer&) = delete;
  NSSBuffer& operator=(const NSSBuffer&) = delete;

  HRESULT GetLength(DWORD* length) override;
  HRESULT SetLength(DWORD length) override;
  HRESULT GetMaxLength(DWORD* length) override;
  HRESULT GetBuffer(BYTE** buffer) override;
  HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) override;

 private:
  std::vector<BYTE> bytes_;
  DWORD length_;
};

}  // namespace wmvcore
