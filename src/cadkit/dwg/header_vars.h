#pragma once
// The header variables of a DWG file: one table in file order, with each variable's wire type,
// DXF group code and releases. Read values become the model's header variables (as a DXF file
// would carry them); written values come from the model, with defaults for the rest.
#include <map>
#include <string>
#include <vector>

#include "cadkit/dwg/codec.h"
#include "cadkit/header.h"

namespace kelvaro::cad::dwg {

struct HeaderValue {
  double d[3] = {0, 0, 0};
  std::int64_t i = 0;
  std::string s;
  std::uint64_t h = 0;
};

// Values by variable name (without "$"), as stored in the file.
using HeaderValues = std::map<std::string, HeaderValue, std::less<>>;

// Reads the variables that follow the section's size field.
HeaderValues readHeaderValues(BitReader& r, Ctx& ctx);
// Since 2007 references and texts come from streams of their own.
HeaderValues readHeaderValues(BitReader& r, BitReader& handles, BitReader& strings, Ctx& ctx);
// Turns read values into the model's header (names of referenced records from ctx.names).
void headerToModel(const HeaderValues& vals, const Ctx& ctx, Header& h);
// The values to write for a model header (names become handles through ctx.names); `fixed`
// supplies the handles the writer owns (control objects, dictionaries, block records).
HeaderValues headerFromModel(const Header& h, const Ctx& ctx, const HeaderValues& fixed);
void writeHeaderValues(BitWriter& w, Ctx& ctx, const HeaderValues& vals);

// Dimension style variables share the header's layout in the DIMSTYLE record.
void dimStyleBody(ObjIn& v, std::vector<Tag>& tags);
void dimStyleBody(ObjOut& v, std::vector<Tag>& tags);

}  // namespace kelvaro::cad::dwg
