#pragma once
// Tag attributes of files through TagLib, with the ASF and MP3 mappings.

#include <string>
#include <vector>

#include "header_store.h"

namespace wmvcore::detail {

enum class TagFileKind { Asf, Mpeg, Other };

// The file's tag attributes. Fails with E_FILE_NOT_FOUND for a missing file
// and NS_E_UNRECOGNIZED_STREAM_TYPE when TagLib cannot open it.
HRESULT ReadTagAttributes(const std::string& path, TagFileKind* kind,
                          std::vector<Attribute>* attributes);

// Whether `attribute` can be stored in a file of `kind`.
HRESULT CheckTagAttribute(TagFileKind kind, const Attribute& attribute);

// Stores `changes` (each already checked) in the file and saves it.
HRESULT WriteTagAttributes(const std::string& path, const std::vector<Attribute>& changes);

// Routes TagLib's debug messages to the trace output.
void InstallTagLibDebugListener();

}  // namespace wmvcore::detail
