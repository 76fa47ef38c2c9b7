#include "shell/ViewCommands.h"

#include <QAction>

#include "shell/Main.h"
#include "shell/Childwin.h"
#include "viewer/TDraftel.h"

namespace kelvaro {
using viewer::StandardView;
using viewer::TDraftel;

void installViewCommands(TMainForm& main) {
  auto on = [&main](const char* name, auto fn) {
    if (QAction* a = main.action(name)) QObject::connect(a, &QAction::triggered, &main, [&main, fn] {
        if (TDraftel* v = activeViewer(main)) fn(*v);
      });
  };
  on("ZoomRectangle", [](TDraftel& v) { v.StartZoomRectangle(); });
  on("Pan", [](TDraftel& v) { v.StartPan(); });
  on("vNamedViews", [](TDraftel& v) { v.ShowNamedViews(); });
  on("vRotate90Left", [](TDraftel& v) { v.RotateLeft90(); });
  on("vRotate90Right", [](TDraftel& v) { v.RotateRight90(); });
  static const struct {
    const char* action;
    StandardView view;
  } views[] = {{"vTop", StandardView::Top},     {"vBottom", StandardView::Bottom}, {"vLeft", StandardView::Left},
               {"vRight", StandardView::Right}, {"vFront", StandardView::Front},   {"vBack", StandardView::Back},
               {"vSW", StandardView::SW},       {"vSE", StandardView::SE},         {"vNE", StandardView::NE},
               {"vNW", StandardView::NW}};
  for (const auto& v : views) {
    const StandardView which = v.view;
    on(v.action, [which](TDraftel& d) { d.SetStandardView(which); });
  }
}

}  // namespace kelvaro
