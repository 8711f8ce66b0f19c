#include "wmvcore/editor.h"

#include <algorithm>
#include <mutex>

#include "header_store.h"
#include "tag_io.h"
#include "zplatform/text.h"

namespace wmvcore {
namespace {

using detail::Attribute;

class MetadataEditor final : public IWMMetadataEditor {
 public:
  MetadataEditor() {
    header_.SetHookForWrites([this](const Attribute& a) { return Record(a); });
  }

  HRESULT Open(std::u16string_view path) override {
    std::vector<Attribute> attributes;
    {
      std::lock_guard lock(mutex_);
      if (open_) return NS_E_INVALID_REQUEST;
      if (path.empty()) return E_INVALIDARG;
      const std::string narrow = zplatform::PathFromUtf16(path);
      if (HRESULT hr = detail::ReadTagAttributes(narrow, &kind_, &attributes); Failed(hr)) {
        return hr;
      }
      path_ = narrow;
      pending_.clear();
      open_ = true;
    }
    // Outside the editor's lock: the header calls back into it on a set.
    header_.Reset(std::move(attributes), true);
    return S_OK;
  }

  HRESULT Flush() override {
    std::vector<Attribute> changes;
    std::string path;
    {
      std::lock_guard lock(mutex_);
      if (!open_) return NS_E_INVALID_REQUEST;
      changes.swap(pending_);
      path = path_;
    }
    if (changes.empty()) return S_OK;
    if (HRESULT hr = detail::WriteTagAttributes(path, changes); Failed(hr)) return hr;
    // Read back what the file now holds, with its stored types.
    detail::TagFileKind kind{};
    std::vector<Attribute> attributes;
    if (Succeeded(detail::ReadTagAttributes(path, &kind, &attributes))) {
      header_.Reset(std::move(attributes), true);
    }
    return S_OK;
  }

  HRESULT Close() override {
    {
      std::lock_guard lock(mutex_);
      if (!open_) return NS_E_INVALID_REQUEST;
      open_ = false;
      pending_.clear();
      path_.clear();
    }
    header_.Reset({}, false);
    return S_OK;
  }

  IWMHeaderInfo* QueryHeaderInfo() override { return &header_; }

 private:
  // Runs inside the header's set, before the header takes the value.
  HRESULT Record(const Attribute& attribute) {
    std::lock_guard lock(mutex_);
    if (!open_) return NS_E_INVALID_REQUEST;
    if (HRESULT hr = detail::CheckTagAttribute(kind_, attribute); Failed(hr)) return hr;
    const auto same = std::find_if(pending_.begin(), pending_.end(), [&](const Attribute& a) {
      return a.stream == attribute.stream && a.name == attribute.name;
    });
    if (same == pending_.end()) {
      pending_.push_back(attribute);
    } else {
      *same = attribute;
    }
    return S_OK;
  }

  std::mutex mutex_;
  detail::HeaderInfo header_;
  std::string path_;
  detail::TagFileKind kind_ = detail::TagFileKind::Other;
  std::vector<Attribute> pending_;
  bool open_ = false;
};

}  // namespace

HRESULT WMCreateEditor(std::shared_ptr<IWMMetadataEditor>* editor) {
  if (!editor) return E_POINTER;
  *editor = std::make_shared<MetadataEditor>();
  return S_OK;
}

}  // namespace wmvcore
