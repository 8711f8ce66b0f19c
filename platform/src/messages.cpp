#include "zplatform/messages.h"

#include <cstdio>
#include <string>

namespace zplatform {
namespace {

StderrMessageSink& DefaultSink() {
  static StderrMessageSink sink;
  return sink;
}

MessageSink* g_sink = nullptr;

}  // namespace

std::string_view CaptionFor(MessageKind kind) {
  switch (kind) {
    case MessageKind::Plain:
      return kApplicationTitle;
    case MessageKind::Information:
      return "Information";
    case MessageKind::Error:
      return "Error";
    case MessageKind::Confirm:
      return "Confirm";
  }
  return kApplicationTitle;
}

MessageSink& Messages() { return g_sink ? *g_sink : DefaultSink(); }

MessageSink* SetMessageSink(MessageSink* sink) {
  MessageSink* previous = g_sink;
  g_sink = sink;
  return previous;
}

MessageAnswer ShowMessage(MessageKind kind, std::string_view text) {
  return Messages().Show(kind, CaptionFor(kind), text);
}

MessageAnswer ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) {
  return Messages().ShowChoice(kind, CaptionFor(kind), text, buttons);
}

MessageAnswer StderrMessageSink::Show(MessageKind kind, std::string_view caption,
                                      std::string_view text) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
  return kind == MessageKind::Confirm ? MessageAnswer::Yes : MessageAnswer::Ok;
}

bool StderrMessageSink::InputQuery(std::string_view caption, std::string_view prompt,
                                   std::string& /*value*/, std::size_t /*maxBytes*/) {
  std::fprintf(stderr, "%.*s: %.*s (no input possible here)\n", static_cast<int>(caption.size()),
               caption.data(), static_cast<int>(prompt.size()), prompt.data());
  return false;
}

}  // namespace zplatform
