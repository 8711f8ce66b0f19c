#pragma once
// Attribute lists and the header-information object built on one.

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "wmvcore/header_info.h"

namespace wmvcore::detail {

struct Attribute {
  WORD stream = 0;
  std::u16string name;
  WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
  std::vector<BYTE> value;
};

// Values as the runtime stores them.
std::vector<BYTE> StringValue(std::u16string_view text);
std::vector<BYTE> DwordValue(DWORD value);
std::vector<BYTE> QwordValue(QWORD value);
std::vector<BYTE> WordValue(WORD value);
std::vector<BYTE> BoolValue(bool value);
// The text of a STRING value: its UTF-16LE units up to the first zero unit.
std::u16string TextOf(const BYTE* value, std::size_t length);

// IWMHeaderInfo over a list of attributes. Thread-safe: a reader fills it on
// its worker while a client may already ask.
class HeaderInfo final : public IWMHeaderInfo {
 public:
  // Decides whether a set is accepted; without one the header is read-only.
  using SetHook = std::function<HRESULT(const Attribute&)>;

  // Replaces the attributes; `available` false makes every call fail with
  // NS_E_INVALID_REQUEST (nothing is open).
  void Reset(std::vector<Attribute> attributes, bool available);
  void SetHookForWrites(SetHook hook);

  HRESULT GetAttributeCount(WORD streamNumber, WORD* count) override;
  HRESULT GetAttributeByIndex(WORD index, WORD* streamNumber, char16_t* name, WORD* nameLength,
                              WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) override;
  HRESULT GetAttributeByName(WORD* streamNumber, std::u16string_view name,
                             WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) override;
  HRESULT SetAttribute(WORD streamNumber, std::u16string_view name, WMT_ATTR_DATATYPE type,
                       const BYTE* value, WORD length) override;

 private:
  void IndexAttributes();

  std::mutex mutex_;
  std::vector<Attribute> attributes_;
  // Each stream's attributes by index, as positions in attributes_: a
  // caller walks a header index by index, and counting up to each one
  // would make that walk quadratic in the number of attributes.
  std::map<WORD, std::vector<std::size_t>> positions_;
  bool available_ = false;
  SetHook hook_;
};

}  // namespace wmvcore::detail
