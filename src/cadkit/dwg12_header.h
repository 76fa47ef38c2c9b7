#pragma once
// The header variables of DWG files before R13 and the file's section directory.
#include <string>
#include <vector>

#include "cadkit/document.h"
#include "cadkit/dwg12_record.h"

namespace kelvaro::cad::dwg12 {

// Where a table sits: entry size, entry count, flags and address of its first entry.
struct TableHdr {
  std::uint16_t size = 0;
  std::int16_t count = 0;
  std::uint16_t flags = 0;
  std::uint32_t address = 0;
  bool present = false;
};

// The section directory: entity sections and the table headers (those of UCS and later
// tables live among the header variables).
struct Directory {
  std::uint32_t entStart = 0, entEnd = 0, blkStart = 0, blkSize = 0, xStart = 0, xSize = 0;
  TableHdr tables[static_cast<int>(Tbl::Count) + 1];  // + the VX table of R11
  TableHdr& operator[](Tbl t) { return tables[static_cast<int>(t)]; }
  const TableHdr& operator[](Tbl t) const { return tables[static_cast<int>(t)]; }
  TableHdr& vx() { return tables[static_cast<int>(Tbl::Count)]; }
  int numVars = 0;         // header variable count as the file states it
  std::uint32_t entityCount = 0;  // 1.4 to R9: how many entities the entity section holds
  std::uint32_t fileSize = 0;     // 1.4: the file's size
};

// How many header variables each layout writes.
int varCount(Ver v);

// Reads the variables at the reader's position into doc.header (typed fields and the kept
// variables) and the table headers among them into `dir`. Table names are looked up in
// `names` afterwards (see resolveHeaderNames), as the tables follow.
void readHeaderVars(ByteIn& in, Ctx& c, Directory& dir, Document& doc, std::vector<std::pair<int, int>>& indexes);
// Turns the table indexes the header names (current layer, style ...) into names.
void resolveHeaderNames(const std::vector<std::pair<int, int>>& indexes, const Names& names, Document& doc);
// Writes the variables of doc.header; the table headers come from `dir`. Returns the offsets of
// the table headers written (to patch once the tables are placed), in Tbl order.
void writeHeaderVars(ByteOut& out, Ctx& c, const Directory& dir, const Document& doc,
                     std::vector<std::pair<int, std::size_t>>& tablePatches);

void readTableHdr(ByteIn& in, TableHdr& t);
void writeTableHdr(ByteOut& out, const TableHdr& t);

}  // namespace kelvaro::cad::dwg12
