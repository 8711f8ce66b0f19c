#include "ui_test_support.h"

#include <QDesktopServices>
#include <filesystem>

#include "audio/audio_io.h"
#include "support/test_support.h"

namespace ui_testing {

using zplatform::MessageAnswer;
using zplatform::MessageButtons;
using zplatform::MessageKind;

ScriptedMessages::ScriptedMessages() : previous_(zplatform::SetMessageSink(this)) {}

ScriptedMessages::~ScriptedMessages() { zplatform::SetMessageSink(previous_); }

MessageAnswer ScriptedMessages::Show(MessageKind kind, std::string_view caption, std::string_view text) {
  return ShowChoice(kind, caption, text, MessageButtons::Ok);
}

MessageAnswer ScriptedMessages::ShowChoice(MessageKind kind, std::string_view caption, std::string_view text,
                                           MessageButtons buttons) {
  shown.push_back({kind, std::string(caption), std::string(text), buttons});
  if (answers.empty()) return kind == MessageKind::Confirm ? MessageAnswer::Yes : MessageAnswer::Ok;
  const MessageAnswer answer = answers.front();
  answers.pop_front();
  return answer;
}

bool ScriptedMessages::InputQuery(std::string_view, std::string_view, std::string&, std::size_t) { return false; }

OpenedUrls::OpenedUrls(const QString& scheme) : scheme_(scheme) {
  QDesktopServices::setUrlHandler(scheme_, this, "open");
}

OpenedUrls::~OpenedUrls() { QDesktopServices::unsetUrlHandler(scheme_); }

QPushButton* Button(QWidget* window, const QString& text) {
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

QStringList VisibleTopLevels() {
  QStringList names;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible()) names << QString::fromLatin1(widget->metaObject()->className()) + ":" + widget->objectName();
  }
  return names;
}

zandro::FileInspector ProbeByExtension() {
  return zandro::FileInspector{
      [](const std::string& path, zandro::AudioInfo& info) {
        info.kind = zandro::KindFromFileName(path);
        if (info.kind == zandro::AudioKind::None) return;
        info.sampleRate = 44100;
        info.channels = 2;
        info.bitrate = 128;
        info.durationMs = 1000;
      },
      [](const std::string&, zandro::AudioInfo, zandro::SongTags&) {},
  };
}

std::string WriteWav(const std::string& path, std::uint16_t channels, std::uint32_t rate, std::uint32_t ms) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::size_t bytes = static_cast<std::size_t>(rate) * channels * 2u * ms / 1000u;
  testing_support::WriteBytes(path, testing_support::SimpleWav(channels, rate, testing_support::Pcm16(bytes)));
  return path;
}

std::string WriteMp3(const std::string& path, std::uint16_t channels, std::uint32_t rate, std::uint32_t ms) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  zandro::AudioInfo info;
  info.kind = zandro::AudioKind::Mp3;
  info.sampleRate = rate;
  info.channels = channels;
  info.bitrate = 128;
  if (!zandro::OpenAudioWriter(path, info)) return {};
  const std::size_t total = static_cast<std::size_t>(rate) * channels * 2u * ms / 1000u;
  const testing_support::Bytes pcm = testing_support::Pcm16(total, 3);
  bool ok = true;
  for (std::size_t at = 0; at < total && ok; at += zandro::kPcmBlockSize) {
    const std::size_t n = std::min(zandro::kPcmBlockSize, total - at);
    ok = zandro::WriteAudioBlock(info, pcm.data() + at, static_cast<std::uint32_t>(n));
  }
  return zandro::CloseAudioWriter(info) && ok ? path : std::string();
}

}  // namespace ui_testing
