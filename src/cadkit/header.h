#pragma once
// Header variables. The ones callers use are typed fields; every variable of the file is also
// kept as read so the rest goes back out unchanged.
#include <string>
#include <vector>

#include "cadkit/record.h"

namespace kelvaro::cad {

struct HeaderVar {
  std::string name;
  std::vector<Tag> tags;
  bool operator==(const HeaderVar&) const = default;
};

struct Header {
  std::string acadver = "AC1015";
  std::string codepage = "ANSI_1252";
  Vec3 insBase, extMin{1e20, 1e20, 1e20}, extMax{-1e20, -1e20, -1e20};
  Vec2 limMin, limMax{12, 9};
  std::int16_t tileMode = 1, quickText = 0, lunits = 2, luprec = 4, insUnits = 0, measurement = 0;
  std::int16_t lwDisplay = 0, handling = 1;
  std::string clayer = "0", celtype = "BYLAYER", textStyle = "STANDARD";
  std::int16_t cecolor = 256;
  double ltscale = 1, textSize = 2.5;
  AcadDate created, updated, editTime;  // editTime: days and milliseconds spent editing
  Handle handseed;
  std::vector<HeaderVar> all;  // every variable in file order (typed ones refreshed on save)
  std::vector<HeaderVar> dwgVars;  // values only DWG files carry, kept to write them back

  template <class V> void describe(V& v) {
    v.var("$ACADVER", 1, acadver);
    v.var("$DWGCODEPAGE", 3, codepage, {.since = R::R10});
    v.var("$INSBASE", 10, insBase);
    v.var("$EXTMIN", 10, extMin);
    v.var("$EXTMAX", 10, extMax);
    v.var("$LIMMIN", 10, limMin);
    v.var("$LIMMAX", 10, limMax);
    v.var("$LTSCALE", 40, ltscale);
    v.var("$QTEXTMODE", 70, quickText);
    v.var("$TEXTSIZE", 40, textSize);
    v.var("$TEXTSTYLE", 7, textStyle);
    v.var("$CLAYER", 8, clayer);
    v.var("$CELTYPE", 6, celtype, {.since = R::R10});
    v.var("$CECOLOR", 62, cecolor, {.since = R::R10});
    v.var("$LUNITS", 70, lunits);
    v.var("$LUPREC", 70, luprec);
    v.var("$TDCREATE", 40, created);
    v.var("$TDUPDATE", 40, updated);
    v.var("$TDINDWG", 40, editTime);
    v.var("$TILEMODE", 70, tileMode, {.since = R::R12});
    v.var("$HANDLING", 70, handling, {.since = R::R12, .until = R::R14});
    v.var("$HANDSEED", 5, handseed, {.since = R::R12});
    v.var("$MEASUREMENT", 70, measurement, {.since = R::R14});
    v.var("$INSUNITS", 70, insUnits, {.since = R::R2000});
    v.var("$LWDISPLAY", 290, lwDisplay, {.since = R::R2000});
  }
  bool operator==(const Header&) const = default;
};

}  // namespace kelvaro::cad
