#pragma once
// Message boxes without a window system: the plain libraries report what the user must see
// through this hook; the GUI routes it to modal boxes, the batch tool and tests capture it.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

enum class MsgKind { Information, Warning, Error, Confirmation };

// Answers of a confirmation (also returned for OK-only boxes).
enum class MsgAnswer { Ok, Yes, No, Cancel };

enum class MsgButtons { Ok, YesNo, YesNoCancel };

struct Message {
  MsgKind kind = MsgKind::Information;
  std::string text;
  std::string caption;  // empty: the application title
  MsgButtons buttons = MsgButtons::Ok;
};

using MessageSink = std::function<MsgAnswer(const Message&)>;

// Installs the sink and returns the previous one. Without a sink messages go to stderr.
MessageSink setMessageSink(MessageSink sink);

MsgAnswer showMessage(const Message& msg);
inline MsgAnswer showInfo(std::string_view text) { return showMessage({MsgKind::Information, std::string(text), {}, MsgButtons::Ok}); }
inline MsgAnswer showWarning(std::string_view text) { return showMessage({MsgKind::Warning, std::string(text), {}, MsgButtons::Ok}); }
inline MsgAnswer showError(std::string_view text) { return showMessage({MsgKind::Error, std::string(text), {}, MsgButtons::Ok}); }

// A command that is present but not built yet says so rather than doing nothing:
// "<command> is not available yet." as information.
void showNotAvailable(std::string_view command);

// "Information", "Warning", "Error", "Confirmation": the prefix the batch tool prints.
const char* kindName(MsgKind kind);

// Scoped capture for tests and batch runs: collects every message, answers with `answer`.
class MessageCapture {
 public:
  explicit MessageCapture(MsgAnswer answer = MsgAnswer::Ok);
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  const std::vector<Message>& messages() const { return messages_; }
  void clear() { messages_.clear(); }

 private:
  std::vector<Message> messages_;
  MessageSink previous_;
};

}  // namespace kelvaro
