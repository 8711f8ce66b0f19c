#include "write_context.h"

#include <cstring>
#include <memory>

#include "audio_profile.h"
#include "wide_text.h"
#include "wmvcore/writer.h"
#include "zplatform/messages.h"

namespace talvex {

using namespace wmvcore;

namespace {

struct WriteState {
  std::shared_ptr<IWMWriter> writer;
  IWMWriterAdvanced* writerAdvanced = nullptr;
  std::shared_ptr<IWMWriterFileSink> fileSink;
  IWMWriterFileSink2* fileSink2 = nullptr;
  std::shared_ptr<IWMProfile> profile;
  std::int32_t bytesPerSecond = 0;
  std::int64_t runningTime = 0;
  std::uint64_t bytesWritten = 0;  // PCM bytes handed to the writer so far
  bool writing = false;
};

WriteState& State() {
  static WriteState state;
  return state;
}

void Release(WriteState& state) { state = WriteState{}; }

bool Fail(WriteState& state, const char* message) {
  zplatform::ShowMessage(zplatform::MessageKind::Error, message);
  Release(state);
  return false;
}

}  // namespace

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  std::int64_t quotient = product / c;
  const std::int64_t remainder = product % c;
  // Half away from zero: compare twice the remainder with the divisor.
  if (remainder != 0 && 2 * (remainder < 0 ? -remainder : remainder) >= (c < 0 ? -static_cast<std::int64_t>(c) : c)) {
    quotient += ((product < 0) != (c < 0)) ? -1 : 1;
  }
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<std::int32_t>(quotient);
}

bool InitWriteContext(const char* path, const TalvexAudioInfo* info) {
  WriteState& state = State();
  // One write at a time: a second one would lose the first file's end.
  if (state.writing) {
    zplatform::ShowMessage(zplatform::MessageKind::Error, "Create WMA format Error - 0003");
    return false;
  }
  if (!info) return false;
  if (Failed(WMCreateWriter(&state.writer)) || !state.writer) return Fail(state, "Create WMA format Error - 0001");
  if (Failed(WMCreateWriterFileSink(&state.fileSink)) || !state.fileSink) {
    return Fail(state, "Create WMA format Error - 0002");
  }
  state.writerAdvanced = state.writer->QueryAdvanced();
  if (!state.writerAdvanced) return Fail(state, "Create WMA format Error - 0004");
  state.fileSink2 = state.fileSink->QueryFileSink2();
  if (!state.fileSink2) return Fail(state, "Create WMA format Error - 0005");
  if (Failed(state.writerAdvanced->AddSink(state.fileSink))) return Fail(state, "Create WMA format Error - 0006");

  state.bytesPerSecond = static_cast<std::int32_t>(info->sampleRate * info->channels * 2);
  if (Failed(BuildAudioProfile(WAVE_FORMAT_WMAUDIO2, info->bitrate * 1000, info->sampleRate, info->channels,
                               &state.profile)) ||
      !state.profile) {
    return Fail(state, "Create WMA format Error - 0008");
  }
  if (Failed(state.writer->SetProfile(state.profile.get()))) return Fail(state, "Create WMA format Error - 0009");
  const std::optional<std::u16string> wide = WidePath(path);
  if (!wide || Failed(state.fileSink->Open(*wide))) return Fail(state, "Create WMA format Error - 0010");
  state.runningTime = 0;
  state.bytesWritten = 0;
  if (Failed(state.writer->BeginWriting())) return Fail(state, "Create WMA format Error - 0012");
  state.writing = true;
  return true;
}

bool WriteBlock(const std::uint8_t* data, std::int32_t byteCount) {
  WriteState& state = State();
  if (!state.writing || byteCount < 0 || (!data && byteCount > 0)) return false;
  std::shared_ptr<INSSBuffer> sample;
  if (Failed(state.writer->AllocateSample(static_cast<DWORD>(byteCount), &sample)) || !sample) {
    zplatform::ShowMessage(zplatform::MessageKind::Error, "Write WMA format Error - 0001");
    return false;
  }
  BYTE* buffer = nullptr;
  DWORD length = 0;
  if (Failed(sample->GetBufferAndLength(&buffer, &length))) {
    zplatform::ShowMessage(zplatform::MessageKind::Error, "Write WMA format Error - 0002");
    return false;
  }
  if (length > 0) std::memcpy(buffer, data, length);
  if (Failed(state.writer->WriteSample(0, static_cast<QWORD>(state.runningTime), 0, sample.get()))) {
    zplatform::ShowMessage(zplatform::MessageKind::Error, "Write WMA format Error - 0003");
    return false;
  }
  // The time comes from the byte count so far, rounded once: summing rounded
  // block durations drifts (426667 for 426666.67 units per 8192 bytes at
  // 48 kHz stereo passes a whole sample after 26.7 s).
  state.bytesWritten += length;
  state.runningTime = static_cast<std::int64_t>(
      (state.bytesWritten * 10'000'000 + static_cast<std::uint64_t>(state.bytesPerSecond) / 2) /
      static_cast<std::uint64_t>(state.bytesPerSecond));
  return true;
}

std::int64_t NextSampleTime() { return State().runningTime; }

bool CloseWriteContext() {
  WriteState& state = State();
  if (!state.writing) return false;
  bool finished = true;
  if (Failed(state.writer->EndWriting())) {
    zplatform::ShowMessage(zplatform::MessageKind::Error, "Release WMA format Error - 0001");
    finished = false;
  } else if (Failed(state.fileSink2->Close())) {
    zplatform::ShowMessage(zplatform::MessageKind::Error, "Release WMA format Error - 0002");
    finished = false;
  }
  // Released either way, so that the next write can begin.
  Release(state);
  return finished;
}

}  // namespace talvex
