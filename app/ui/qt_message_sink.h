#pragma once
// Every message of the program as a modal Qt message box, with the captions
// and buttons of its kind, and the input query as a small modal window.

#include "zplatform/messages.h"

namespace zandro::ui {

class QtMessageSink final : public zplatform::MessageSink {
 public:
  zplatform::MessageAnswer Show(zplatform::MessageKind kind, std::string_view caption,
                                std::string_view text) override;
  zplatform::MessageAnswer ShowChoice(zplatform::MessageKind kind, std::string_view caption, std::string_view text,
                                      zplatform::MessageButtons buttons) override;
  bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                  std::size_t maxBytes) override;
};

// Installs the sink for its lifetime.
class ScopedQtMessages {
 public:
  ScopedQtMessages() : previous_(zplatform::SetMessageSink(&sink_)) {}
  ~ScopedQtMessages() { zplatform::SetMessageSink(previous_); }
  ScopedQtMessages(const ScopedQtMessages&) = delete;
  ScopedQtMessages& operator=(const ScopedQtMessages&) = delete;

 private:
  QtMessageSink sink_;
  zplatform::MessageSink* previous_;
};

}  // namespace zandro::ui
