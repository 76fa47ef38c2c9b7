#pragma once
// The main window's view commands on the active drawing: zoom rectangle, pan, the standard
// views, the quarter turns and named views.
namespace kelvaro {

class TMainForm;
void installViewCommands(TMainForm& main);

}  // namespace kelvaro
