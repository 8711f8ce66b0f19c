#include "support/test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace testing_support {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zandro-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(std::string_view name) const { return (path_ / name).string(); }

MessageRecorder::MessageRecorder() : previous_(zplatform::SetMessageSink(this)) {}

MessageRecorder::~MessageRecorder() { zplatform::SetMessageSink(previous_); }

zplatform::MessageAnswer MessageRecorder::Show(zplatform::MessageKind kind,
                                               std::string_view caption, std::string_view text) {
  messages.push_back({kind, std::string(caption), std::string(text)});
  return kind == zplatform::MessageKind::Confirm ? confirmAnswer : zplatform::MessageAnswer::Ok;
}

bool MessageRecorder::InputQuery(std::string_view caption, std::string_view prompt,
                                 std::string& value, std::size_t maxBytes) {
  messages.push_back({zplatform::MessageKind::Plain, std::string(caption), std::string(prompt)});
  inputLimits.push_back(maxBytes);
  if (inputAnswers.empty()) return false;
  value = inputAnswers.front();
  inputAnswers.erase(inputAnswers.begin());
  return true;
}

std::vector<std::string> MessageRecorder::Texts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) texts.push_back(m.text);
  return texts;
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void AppendLe16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendLe32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t Le32At(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes.at(offset)) |
         (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8) |
         (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16) |
         (static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24);
}

std::uint16_t Le16At(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

RiffBuilder::RiffBuilder(std::string_view form, std::string_view riffId)
    : riffId_(riffId), form_(form) {}

RiffBuilder& RiffBuilder::Chunk(std::string_view id, const Bytes& body) {
  RawChunk(id, static_cast<std::uint32_t>(body.size()), body);
  if (body.size() % 2) body_.push_back(0);
  return *this;
}

RiffBuilder& RiffBuilder::RawChunk(std::string_view id, std::uint32_t declaredSize,
                                   const Bytes& body) {
  body_.insert(body_.end(), id.begin(), id.end());
  AppendLe32(body_, declaredSize);
  body_.insert(body_.end(), body.begin(), body.end());
  return *this;
}

RiffBuilder& RiffBuilder::Format(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                 std::uint32_t size, std::uint16_t formatTag) {
  Bytes fmt;
  const std::uint32_t blockAlign = channels * ((bits + 7u) / 8u);
  AppendLe16(fmt, formatTag);
  AppendLe16(fmt, channels);
  AppendLe32(fmt, rate);
  AppendLe32(fmt, rate * blockAlign);
  AppendLe16(fmt, blockAlign);
  AppendLe16(fmt, bits);
  while (fmt.size() < size) fmt.push_back(0);
  fmt.resize(size);
  return Chunk("fmt ", fmt);
}

Bytes RiffBuilder::Build() const { return Build(static_cast<std::uint32_t>(4 + body_.size())); }

Bytes RiffBuilder::Build(std::uint32_t riffSize) const {
  Bytes out(riffId_.begin(), riffId_.end());
  AppendLe32(out, riffSize);
  out.insert(out.end(), form_.begin(), form_.end());
  out.insert(out.end(), body_.begin(), body_.end());
  return out;
}

Bytes Pcm16(std::size_t byteCount, std::uint8_t seed) {
  Bytes out(byteCount);
  for (std::size_t i = 0; i < byteCount; ++i) out[i] = static_cast<std::uint8_t>(seed + i * 7);
  return out;
}

Bytes SimpleWav(std::uint16_t channels, std::uint32_t rate, const Bytes& samples) {
  return RiffBuilder().Format(channels, rate, 16).Chunk("data", samples).Build();
}

std::string RealFixture(std::string_view name) {
  return std::string(ZANDRO_REAL_FIXTURES) + "/" + std::string(name);
}

// A content-encryption object (no secret, protection type "DRM", no key
// id, no licence URL) placed first in the header of an otherwise good file.
Bytes WithContentEncryption(Bytes file) {
  const std::uint8_t guid[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
  Bytes object(guid, guid + 16);
  Bytes body;
  AppendLe32(body, 0);
  AppendLe32(body, 4);
  for (char c : {'D', 'R', 'M', '\0'}) body.push_back(static_cast<std::uint8_t>(c));
  AppendLe32(body, 0);
  AppendLe32(body, 0);
  const std::uint64_t size = 24 + body.size();
  for (int i = 0; i < 8; ++i) object.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  object.insert(object.end(), body.begin(), body.end());

  std::uint64_t headerSize = 0;
  for (int i = 0; i < 8; ++i) headerSize |= std::uint64_t{file[16 + static_cast<std::size_t>(i)]} << (8 * i);
  headerSize += size;
  for (int i = 0; i < 8; ++i) file[16 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(headerSize >> (8 * i));
  const std::uint32_t count = Le32At(file, 24) + 1;
  for (int i = 0; i < 4; ++i) file[24 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(count >> (8 * i));
  file.insert(file.begin() + 30, object.begin(), object.end());
  return file;
}

}  // namespace testing_support
