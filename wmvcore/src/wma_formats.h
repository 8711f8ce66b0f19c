#pragma once
// The WMA 2 encoder formats this runtime offers.

#include <vector>

#include "media_type.h"

namespace wmvcore::detail {

struct WmaFormat {
  DWORD bitrate;  // bits per second, as offered
  WORD channels;
  DWORD sampleRate;
  WORD blockAlign;          // bytes per coded frame
  int frameSize;            // samples per channel per coded frame
  std::vector<BYTE> extra;  // the encoder's extra format bytes
};

// Every format, in the order the codec information lists them; found once by
// opening the encoder on each so that only what it really takes is offered.
const std::vector<WmaFormat>& WmaFormats();

MediaType WmaMediaType(const WmaFormat& format);

// The offered format that `wave` (with its extra bytes) describes exactly, or null.
const WmaFormat* FindWmaFormat(const WAVEFORMATEX& wave, const BYTE* extra);

}  // namespace wmvcore::detail
