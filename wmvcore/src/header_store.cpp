#include "header_store.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace wmvcore::detail {
namespace {

template <typename T>
std::vector<BYTE> LittleEndian(T value, std::size_t bytes) {
  std::vector<BYTE> out(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    out[i] = static_cast<BYTE>((static_cast<QWORD>(value) >> (8 * i)) & 0xFF);
  }
  return out;
}

// Value lengths are 16-bit here, as in the runtime's calls.
constexpr std::size_t kMaxLength = std::numeric_limits<WORD>::max();

}  // namespace

std::vector<BYTE> StringValue(std::u16string_view text) {
  std::vector<BYTE> out;
  out.reserve((text.size() + 1) * 2);
  for (char16_t unit : text) {
    out.push_back(static_cast<BYTE>(unit & 0xFF));
    out.push_back(static_cast<BYTE>(unit >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::vector<BYTE> DwordValue(DWORD value) { return LittleEndian(value, 4); }
std::vector<BYTE> QwordValue(QWORD value) { return LittleEndian(value, 8); }
std::vector<BYTE> WordValue(WORD value) { return LittleEndian(value, 2); }
std::vector<BYTE> BoolValue(bool value) { return LittleEndian(value ? 1u : 0u, 4); }

std::u16string TextOf(const BYTE* value, std::size_t length) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    const auto unit = static_cast<char16_t>(value[i] | (value[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

void HeaderInfo::Reset(std::vector<Attribute> attributes, bool available) {
  std::lock_guard lock(mutex_);
  attributes.erase(std::remove_if(attributes.begin(), attributes.end(),
                                  [](const Attribute& a) {
                                    return a.value.size() > kMaxLength ||
                                           a.name.size() + 1 > kMaxLength;
                                  }),
                   attributes.end());
  attributes_ = std::move(attributes);
  IndexAttributes();
  available_ = available;
}

void HeaderInfo::IndexAttributes() {
  positions_.clear();
  for (std::size_t i = 0; i < attributes_.size(); ++i) positions_[attributes_[i].stream].push_back(i);
}

void HeaderInfo::SetHookForWrites(SetHook hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

HRESULT HeaderInfo::GetAttributeCount(WORD streamNumber, WORD* count) {
  if (!count) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (!available_) return NS_E_INVALID_REQUEST;
  const auto stream = positions_.find(streamNumber);
  const std::size_t n = stream == positions_.end() ? 0 : stream->second.size();
  *count = static_cast<WORD>(std::min(n, kMaxLength));
  return S_OK;
}

HRESULT HeaderInfo::GetAttributeByIndex(WORD index, WORD* streamNumber, char16_t* name,
                                        WORD* nameLength, WMT_ATTR_DATATYPE* type, BYTE* value,
                                        WORD* length) {
  if (!streamNumber || !nameLength || !type || !length) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (!available_) return NS_E_INVALID_REQUEST;
  const auto stream = positions_.find(*streamNumber);
  if (stream == positions_.end() || index >= stream->second.size()) return E_INVALIDARG;
  const Attribute* found = &attributes_[stream->second[index]];

  const auto nameUnits = static_cast<WORD>(found->name.size() + 1);
  const auto valueBytes = static_cast<WORD>(found->value.size());
  const bool nameFits = !name || *nameLength >= nameUnits;
  const bool valueFits = !value || *length >= valueBytes;
  *type = found->type;
  if (!nameFits || !valueFits) {
    *nameLength = nameUnits;
    *length = valueBytes;
    return ASF_E_BUFFERTOOSMALL;
  }
  if (name) {
    std::copy(found->name.begin(), found->name.end(), name);
    name[found->name.size()] = 0;
  }
  if (value && valueBytes) std::memcpy(value, found->value.data(), valueBytes);
  *nameLength = nameUnits;
  *length = valueBytes;
  return S_OK;
}

HRESULT HeaderInfo::GetAttributeByName(WORD* streamNumber, std::u16string_view name,
                                       WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) {
  if (!streamNumber || !type || !length) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (!available_) return NS_E_INVALID_REQUEST;
  const auto it = std::find_if(attributes_.begin(), attributes_.end(), [&](const Attribute& a) {
    return a.stream == *streamNumber && a.name == name;
  });
  if (it == attributes_.end()) {
    *length = 0;
    return ASF_E_NOTFOUND;
  }
  const auto bytes = static_cast<WORD>(it->value.size());
  *type = it->type;
  if (value) {
    if (*length < bytes) {
      *length = bytes;
      return ASF_E_BUFFERTOOSMALL;
    }
    if (bytes) std::memcpy(value, it->value.data(), bytes);
  }
  *length = bytes;
  return S_OK;
}

HRESULT HeaderInfo::SetAttribute(WORD streamNumber, std::u16string_view name,
                                 WMT_ATTR_DATATYPE type, const BYTE* value, WORD length) {
  if (name.empty() || (length && !value)) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (!available_ || !hook_) return NS_E_INVALID_REQUEST;
  Attribute attribute{streamNumber, std::u16string(name), type,
                      std::vector<BYTE>(value, value + length)};
  if (HRESULT hr = hook_(attribute); Failed(hr)) return hr;
  const auto it = std::find_if(attributes_.begin(), attributes_.end(), [&](const Attribute& a) {
    return a.stream == streamNumber && a.name == name;
  });
  if (it == attributes_.end()) {
    positions_[streamNumber].push_back(attributes_.size());
    attributes_.push_back(std::move(attribute));
  } else {
    *it = std::move(attribute);
  }
  return S_OK;
}

}  // namespace wmvcore::detail
