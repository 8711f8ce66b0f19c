#pragma once
// The encoder formats the runtime offers, and the profile built for a file
// from the one that matches a request.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "wmvcore/profile.h"

namespace talvex {

// One format: its WAVEFORMATEX and the extra bytes after it, as listed.
struct EncoderFormat {
  wmvcore::WAVEFORMATEX wave{};
  std::vector<std::uint8_t> formatBlock;  // cbSize + 18 bytes
};

// Calls `visit` for every format of every audio codec, in index order;
// stops at the first failure (a format that is no WAVEFORMATEX is E_FAIL).
wmvcore::HRESULT ForEachEncoderFormat(wmvcore::IWMProfileManager& manager,
                                      const std::function<void(const EncoderFormat&)>& visit);

// Of the formats with this tag, rate and channels whose bit rate lies
// within 250 bit/s of `bitsPerSecond`, the one with the largest block
// alignment (the later one of equals); nothing when none matches.
const EncoderFormat* ChooseFormat(const std::vector<EncoderFormat>& formats, std::uint16_t formatTag,
                                  std::uint32_t bitsPerSecond, std::uint32_t sampleRate, std::uint32_t channels);

// A "Custom Profile" with one audio stream of the chosen format;
// 0xC00D0BC2 when no format matches.
wmvcore::HRESULT BuildAudioProfile(std::uint16_t formatTag, std::uint32_t bitsPerSecond, std::uint32_t sampleRate,
                                   std::uint32_t channels, std::shared_ptr<wmvcore::IWMProfile>* profile);

}  // namespace talvex
