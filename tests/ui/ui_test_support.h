#pragma once
// Helpers for the window tests: scripted messages, modal dialogs driven by
// a timer, generated audio files and a probe that needs no files.

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QPushButton>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/file_list.h"
#include "zplatform/messages.h"

namespace ui_testing {

struct ShownMessage {
  zplatform::MessageKind kind;
  std::string caption;
  std::string text;
  zplatform::MessageButtons buttons;
};

// Installed as the message sink for its lifetime; records every message and
// answers from a script (Ok, or Yes for questions, when the script is empty).
class ScriptedMessages final : public zplatform::MessageSink {
 public:
  ScriptedMessages();
  ~ScriptedMessages() override;
  ScriptedMessages(const ScriptedMessages&) = delete;
  ScriptedMessages& operator=(const ScriptedMessages&) = delete;

  zplatform::MessageAnswer Show(zplatform::MessageKind kind, std::string_view caption,
                                std::string_view text) override;
  zplatform::MessageAnswer ShowChoice(zplatform::MessageKind kind, std::string_view caption, std::string_view text,
                                      zplatform::MessageButtons buttons) override;
  bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                  std::size_t maxBytes) override;

  std::vector<ShownMessage> shown;
  std::deque<zplatform::MessageAnswer> answers;

 private:
  zplatform::MessageSink* previous_;
};

// Runs `act` on the first modal window of type T once `ready` holds for it
// (polled by a timer, so it works whichever loop shows the window).
template <typename T>
void WhenModalAnd(std::function<bool(T*)> ready, std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, act] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!window || !ready(window)) return;
    timer->stop();
    timer->deleteLater();
    act(window);
  });
  timer->start();
}

// Runs `act` on the first modal window of type T as soon as one is shown.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
  WhenModalAnd<T>([](T*) { return true; }, std::move(act));
}

// A window's push button by its text, or null.
QPushButton* Button(QWidget* window, const QString& text);

// Clicks the push button with this text; fails the test when there is none.
inline void Click(QWidget* window, const QString& text) {
  QPushButton* button = Button(window, text);
  QVERIFY2(button != nullptr, qPrintable(text));
  QTest::mouseClick(button, Qt::LeftButton);
}

// A child widget by its object name, or null.
template <typename T>
T* Child(QWidget* window, const char* name) {
  return window->findChild<T*>(QLatin1String(name));
}

// Records the addresses handed to the desktop for a scheme while it lives.
class OpenedUrls final : public QObject {
  Q_OBJECT

 public:
  explicit OpenedUrls(const QString& scheme);
  ~OpenedUrls() override;
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls << url; }

 private:
  QString scheme_;
};

// Top-level widgets still shown; each test must leave none but its own.
QStringList VisibleTopLevels();

// A probe by extension alone, so rows can be listed without files.
zandro::FileInspector ProbeByExtension();

// A 16-bit PCM WAV file of `ms` milliseconds; returns its path.
std::string WriteWav(const std::string& path, std::uint16_t channels, std::uint32_t rate, std::uint32_t ms = 50);

// A real MP3 file from the program's own encoder.
std::string WriteMp3(const std::string& path, std::uint16_t channels, std::uint32_t rate, std::uint32_t ms = 300);

}  // namespace ui_testing
