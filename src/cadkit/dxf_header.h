#pragma once
// The header's typed variables <-> the variables kept as read.
#include "cadkit/dxf_tags.h"
#include "cadkit/header.h"

namespace kelvaro::cad {

// Fills the typed fields from header.all.
void readHeaderVars(Header& h);
// Writes the HEADER section contents for `release`; the kept variables the typed ones do not
// cover are written too when `keepOthers` is set.
void writeHeaderVars(Header& h, TagSink& out, bool keepOthers);

}  // namespace kelvaro::cad
