#include "audio/audio_io.h"

#include <array>

#include "audio/mp3_encoder.h"
#include "audio/mp3_file.h"
#include "audio/wav_file.h"
#include "audio/wma_bridge.h"
#include "zplatform/messages.h"
#include "zplatform/path.h"
#include "zplatform/text.h"

namespace zandro {
namespace {

// The one reader and the one writer of the process.
struct ReaderState {
  bool open = false;  // raised on entry to OpenAudioReader, whatever the outcome
  WavReader wav;
};

struct WriterState {
  WavWriter wav;
  Mp3Encoder mp3;
};

ReaderState& Reader() {
  static ReaderState state;
  return state;
}

WriterState& Writer() {
  static WriterState state;
  return state;
}

std::array<std::uint8_t, kPcmBlockSize>& BlockBuffer() {
  static std::array<std::uint8_t, kPcmBlockSize> buffer{};
  return buffer;
}

}  // namespace

AudioKind KindFromFileName(std::string_view fileName) {
  const std::string extension = zplatform::AsciiUpper(zplatform::ExtensionPart(fileName));
  if (extension == ".MP3") return AudioKind::Mp3;
  if (extension == ".WAV") return AudioKind::Wav;
  if (extension == ".WMA") return AudioKind::Wma;
  return AudioKind::None;
}

std::string_view ExtensionForKind(AudioKind kind) {
  switch (kind) {
    case AudioKind::Mp3:
      return ".mp3";
    case AudioKind::Wav:
      return ".wav";
    case AudioKind::Wma:
      return ".wma";
    case AudioKind::None:
      break;
  }
  return "";
}

std::uint8_t* PcmBlockBuffer() { return BlockBuffer().data(); }

bool CanWriteStream(AudioInfo target) {
  switch (target.kind) {
    case AudioKind::Wav:
      return target.sampleRate > 0 && target.channels > 0 && target.channels <= 0xFFFF;
    case AudioKind::Mp3:
      return Mp3Encoder::Accepts(target);
    case AudioKind::Wma:
      return WmaAvailable();
    case AudioKind::None:
      break;
  }
  return false;
}

bool ProbeAudioFile(const std::string& fileName, AudioInfo& info) {
  const AudioKind kind = KindFromFileName(fileName);
  bool ok = false;
  switch (kind) {
    case AudioKind::Wav:
      ok = ProbeWavFile(fileName, info);
      break;
    case AudioKind::Mp3:
      ok = ProbeMp3File(fileName, info);
      break;
    case AudioKind::Wma:
      if (WmaAvailable()) {
        ok = Wma().CheckWMAFileInfo(fileName.c_str(), &info);
      } else {
        info = AudioInfo{};  // without the library a WMA file reads like an unreadable one
      }
      break;
    case AudioKind::None:
      zplatform::ShowMessage(zplatform::MessageKind::Plain, "We can only accept mp3 and wav file");
      return false;
  }
  info.kind = kind;
  return ok;
}

bool OpenAudioReader(const std::string& fileName, AudioInfo info, std::uint32_t startMs) {
  ReaderState& reader = Reader();
  reader.open = true;
  switch (info.kind) {
    case AudioKind::Wav:
      return reader.wav.Open(fileName, info, startMs);
    case AudioKind::Mp3:
      return OpenMp3Decoder(fileName, startMs);
    case AudioKind::Wma:
      return WmaAvailable() && Wma().InitWMAReadFile(fileName.c_str(), &info, static_cast<std::int32_t>(startMs));
    default:
      return false;
  }
}

bool ReadAudioBlock(AudioInfo info, const std::uint8_t*& data, std::uint32_t& byteCount) {
  ReaderState& reader = Reader();
  switch (info.kind) {
    case AudioKind::Wav: {
      const std::size_t got = reader.wav.Read(PcmBlockBuffer(), kPcmBlockSize);
      data = PcmBlockBuffer();
      byteCount = static_cast<std::uint32_t>(got);
      return got > 0;
    }
    case AudioKind::Mp3:
      data = PcmBlockBuffer();
      return DecodeMp3Block(PcmBlockBuffer(), byteCount);
    case AudioKind::Wma: {
      std::uint8_t* block = nullptr;
      std::int32_t count = 0;
      const bool ok = WmaAvailable() && Wma().ReadWMAFile(&info, &block, &count);
      data = block;
      byteCount = ok && block && count > 0 ? static_cast<std::uint32_t>(count) : 0;
      return ok;
    }
    default:
      byteCount = 0;
      return false;
  }
}

void CloseAudioReader(AudioInfo info) {
  ReaderState& reader = Reader();
  if (!reader.open) return;
  reader.open = false;
  switch (info.kind) {
    case AudioKind::Wav:
      reader.wav.Close();
      break;
    case AudioKind::Mp3:
      CloseMp3Decoder();
      break;
    case AudioKind::Wma:
      if (WmaAvailable()) Wma().CloseWMAReadFile(&info);
      break;
    default:
      break;
  }
}

bool OpenAudioWriter(const std::string& fileName, AudioInfo info) {
  switch (info.kind) {
    case AudioKind::Wav:
      return Writer().wav.Create(fileName, info);
    case AudioKind::Mp3:
      return Writer().mp3.Open(fileName, info);
    case AudioKind::Wma:
      return WmaAvailable() && Wma().InitWMAWriteFile(fileName.c_str(), &info);
    default:
      return false;
  }
}

bool WriteAudioBlock(AudioInfo info, const std::uint8_t* data, std::uint32_t byteCount) {
  switch (info.kind) {
    case AudioKind::Wav:
      return Writer().wav.Write(data, byteCount);
    case AudioKind::Mp3:
      return Writer().mp3.Encode(data, byteCount);
    case AudioKind::Wma:
      return WmaAvailable() && byteCount <= 0x7FFFFFFFu &&
             Wma().WriteWMAFile(&info, data, static_cast<std::int32_t>(byteCount));
    default:
      return false;
  }
}

bool CloseAudioWriter(AudioInfo info) {
  switch (info.kind) {
    case AudioKind::Wav:
      return Writer().wav.Close();
    case AudioKind::Mp3:
      return Writer().mp3.Close();
    case AudioKind::Wma:
      // The library answers 1 when the file was finished, 0 otherwise.
      return WmaAvailable() && Wma().CloseWMAWriteFile() == 1;
    default:
      return false;
  }
}

}  // namespace zandro
