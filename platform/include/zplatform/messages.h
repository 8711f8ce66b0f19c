#pragma once
// Message boxes. The design shows every message modally through one message
// box component; here the front end installs a sink (Qt dialogs, a terminal,
// a test recorder) and everything that must tell the user something goes
// through it.

#include <cstddef>
#include <string>
#include <string_view>

namespace zplatform {

enum class MessageKind {
  Plain,        // caption: the application title, button OK
  Information,  // caption "Information", button OK
  Error,        // caption "Error", button OK
  Confirm,      // caption "Confirm", buttons "&Yes", "&No", "Cancel"
};

enum class MessageAnswer { Ok, Yes, No, Cancel };

// The buttons of a message that is not a question: OK alone, or OK and Cancel.
enum class MessageButtons { Ok, OkCancel };

inline constexpr std::string_view kApplicationTitle = "Zandro";

// The caption the design gives each kind of message.
std::string_view CaptionFor(MessageKind kind);

class MessageSink {
 public:
  virtual ~MessageSink() = default;

  // Shows `text` modally and returns the button used. `caption` is the
  // window title (normally CaptionFor(kind)).
  virtual MessageAnswer Show(MessageKind kind, std::string_view caption, std::string_view text) = 0;

  // The same with a choice of buttons (not for Confirm, whose buttons are
  // fixed). A sink that offers no choice shows the message and answers Ok.
  virtual MessageAnswer ShowChoice(MessageKind kind, std::string_view caption, std::string_view text,
                                   MessageButtons buttons) {
    (void)buttons;
    return Show(kind, caption, text);
  }

  // An input query: caption, prompt and one edit starting with `value`, at
  // most `maxBytes` bytes of UTF-8. Returns false on Cancel; on OK, `value`
  // holds the text entered.
  virtual bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                          std::size_t maxBytes) = 0;
};

// The installed sink; a default one writes to stderr and answers OK / Yes /
// keeps the value.
MessageSink& Messages();

// Installs `sink` (nullptr restores the default) and returns the previous one.
MessageSink* SetMessageSink(MessageSink* sink);

// Shorthand: shows `text` with the caption of its kind.
MessageAnswer ShowMessage(MessageKind kind, std::string_view text);
MessageAnswer ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons);

// A sink that writes to a stream-like function; used by the default and by
// the command-line tool.
class StderrMessageSink : public MessageSink {
 public:
  MessageAnswer Show(MessageKind kind, std::string_view caption, std::string_view text) override;
  bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                  std::size_t maxBytes) override;
};

}  // namespace zplatform
