#pragma once
// The names the program runs under: its settings place and the caption of its windows.

namespace kelvaro {

// Names the running application (title "Sardon Kelvaro", organisation "Dravenco"). Call once,
// after the QApplication exists and before any window is made.
void setUpApplication();

}  // namespace kelvaro
