#include "platform/notify.h"

#include <cstdio>
#include <utility>

namespace kelvaro {
namespace {
MessageSink& sink() {
  static MessageSink s;
  return s;
}
}  // namespace

MessageSink setMessageSink(MessageSink s) { return std::exchange(sink(), std::move(s)); }

const char* kindName(MsgKind kind) {
  switch (kind) {
    case MsgKind::Information: return "Information";
    case MsgKind::Warning: return "Warning";
    case MsgKind::Error: return "Error";
    case MsgKind::Confirmation: return "Confirmation";
  }
  return "Message";
}

MsgAnswer showMessage(const Message& msg) {
  if (auto& s = sink()) return s(msg);
  std::fprintf(stderr, "%s: %s\n", kindName(msg.kind), msg.text.c_str());
  return msg.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
}

void showNotAvailable(std::string_view command) {
  showInfo(std::string(command) + " is not available yet.");
}

MessageCapture::MessageCapture(MsgAnswer answer) {
  previous_ = setMessageSink([this, answer](const Message& m) {
    messages_.push_back(m);
    return m.buttons == MsgButtons::Ok ? MsgAnswer::Ok : answer;
  });
}

MessageCapture::~MessageCapture() { setMessageSink(std::move(previous_)); }

}  // namespace kelvaro
