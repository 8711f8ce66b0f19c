#pragma once
// Helpers shared by the tests: a temporary directory, a message recorder,
// byte-level file access and a builder for RIFF files.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "zplatform/messages.h"

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The full path of `name` inside the directory, as a string.
  std::string File(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

struct RecordedMessage {
  zplatform::MessageKind kind;
  std::string caption;
  std::string text;
};

// Installs itself as the message sink for its lifetime and records every
// message; confirm questions get `confirmAnswer`.
class MessageRecorder : public zplatform::MessageSink {
 public:
  MessageRecorder();
  ~MessageRecorder() override;

  zplatform::MessageAnswer Show(zplatform::MessageKind kind, std::string_view caption,
                                std::string_view text) override;
  bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                  std::size_t maxBytes) override;

  std::vector<std::string> Texts() const;

  std::vector<RecordedMessage> messages;
  zplatform::MessageAnswer confirmAnswer = zplatform::MessageAnswer::Yes;
  std::vector<std::string> inputAnswers;  // consumed front to back; none = Cancel
  std::vector<std::size_t> inputLimits;   // the byte limit of each input query

 private:
  zplatform::MessageSink* previous_;
};

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);

void AppendLe16(Bytes& out, std::uint32_t value);
void AppendLe32(Bytes& out, std::uint32_t value);
std::uint32_t Le32At(const Bytes& bytes, std::size_t offset);
std::uint16_t Le16At(const Bytes& bytes, std::size_t offset);

// Builds a RIFF file chunk by chunk.
class RiffBuilder {
 public:
  explicit RiffBuilder(std::string_view form = "WAVE", std::string_view riffId = "RIFF");

  // A chunk with its real size (and a pad byte when odd).
  RiffBuilder& Chunk(std::string_view id, const Bytes& body);
  // A chunk header that claims `declaredSize`, followed by `body` as it is.
  RiffBuilder& RawChunk(std::string_view id, std::uint32_t declaredSize, const Bytes& body);
  // A PCM "fmt " chunk of `size` bytes (16 or 18 or more).
  RiffBuilder& Format(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                      std::uint32_t size = 16, std::uint16_t formatTag = 1);

  // The file; the RIFF size is the real one unless `riffSize` is given.
  Bytes Build() const;
  Bytes Build(std::uint32_t riffSize) const;

 private:
  std::string riffId_;
  std::string form_;
  Bytes body_;
};

// `frames` frames of 16-bit PCM: a counting pattern so that offsets show.
Bytes Pcm16(std::size_t byteCount, std::uint8_t seed = 1);

// A complete 16-bit PCM WAV file with a 16-byte "fmt " chunk.
Bytes SimpleWav(std::uint16_t channels, std::uint32_t rate, const Bytes& samples);

std::string RealFixture(std::string_view name);

// The ASF file with a content-encryption object added first in its header,
// as protected files carry.
Bytes WithContentEncryption(Bytes file);

}  // namespace testing_support
