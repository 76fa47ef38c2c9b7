#pragma once
// Routes the program's messages (platform/notify.h) to modal message boxes.
#include "platform/notify.h"

namespace kelvaro {

// Installs the sink that shows each message as a modal box of its kind, captioned with the
// application title unless the message names a caption. Returns the previous sink.
MessageSink installMessageBoxes();

}  // namespace kelvaro
