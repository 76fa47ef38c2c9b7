#pragma once
// Built-in help: one page per context number, shown in a single help window.
#include <QString>

class QWidget;

namespace kelvaro::help {

inline constexpr int kContents = 0;

// The page of a context number: "qrc:/help/topicN.html", or the contents page for 0 and for
// numbers without a page of their own.
QString topicUrl(int context);
bool hasTopic(int context);

// Shows the help window (created on first use, reused after) on the page of the context.
void showContents();
void showTopic(int context);
// Closes the help window (program end).
void close();
// The help window, or nullptr when it was never shown (tests).
QWidget* window();

}  // namespace kelvaro::help
