#pragma once
// A whole drawing: header, tables, blocks with their entities (model and paper space are the
// blocks "*Model_Space" and "*Paper_Space"), objects and what the model keeps without knowing.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cadkit/entity.h"
#include "cadkit/header.h"
#include "cadkit/objects.h"
#include "cadkit/tables.h"

namespace kelvaro::cad {

struct BlockBegin {
  std::string name, name2, xref, description;
  std::int16_t flags = 0;
  Vec3 base;
  template <class V> void describe(V& v) {
    v.subclass("AcDbBlockBegin");
    v.field(2, name);
    v.field(70, flags);
    v.field(10, base);
    v.field(3, name2);
    v.field(1, xref, {.since = R::R12});
    v.field(4, description, {.since = R::R2000, .opt = true});
  }
  bool operator==(const BlockBegin&) const = default;
};

struct BlockEnd {
  template <class V> void describe(V& v) { v.subclass("AcDbBlockEnd"); }
  bool operator==(const BlockEnd&) const = default;
};

struct Block {
  Frame frame;
  EntityCommon common;
  BlockBegin begin;
  std::vector<Entity> entities;
  Frame endFrame;
  EntityCommon endCommon;
  BlockEnd end;
  const std::string& name() const { return begin.name; }
  bool operator==(const Block&) const = default;
};

inline constexpr const char* kModelSpace = "*Model_Space";
inline constexpr const char* kPaperSpace = "*Paper_Space";

bool sameName(std::string_view a, std::string_view b);  // case-insensitive (ASCII)

struct Document {
  Release release = Release::R2000;  // as loaded
  bool binary = false;
  bool hadHeader = true;
  Header header;
  std::vector<std::vector<Tag>> classes;  // CLASSES entries, kept as read
  Table<Vport> vports;
  Table<Linetype> linetypes;
  Table<Layer> layers;
  Table<TextStyle> styles;
  Table<View> views;
  Table<Ucs> ucss;
  Table<AppId> appids;
  Table<DimStyle> dimstyles;
  Table<BlockRecord> blockRecords;
  std::vector<Block> blocks;
  std::vector<Object> objects;
  std::string thumbnail;  // THUMBNAILIMAGE data in hexadecimal (a device-independent bitmap)
  // Types of entities and objects the model keeps but does not interpret, and sections it
  // skipped, with how many of each.
  std::map<std::string, int> unsupported;

  Block* findBlock(std::string_view name);
  const Block* findBlock(std::string_view name) const;
  Block& modelSpace();
  Block& paperSpace();
  Block& addBlock(std::string_view name);
  Handle newHandle();
  // Gives every record without a handle (older files) a fresh one and sets $HANDSEED.
  void assignHandles();
  Object* findObject(Handle h);
  bool operator==(const Document&) const = default;

  std::uint64_t nextHandle = 1;
};

// Calls fn(table) for each symbol table in file order.
template <class Doc, class Fn>
void forEachTable(Doc& d, Fn&& fn) {
  fn(d.vports);
  fn(d.linetypes);
  fn(d.layers);
  fn(d.styles);
  fn(d.views);
  fn(d.ucss);
  fn(d.appids);
  fn(d.dimstyles);
  fn(d.blockRecords);
}

// Every frame of the drawing (tables, blocks, entities and their parts, objects).
void forEachFrame(Document& d, const std::function<void(Frame&)>& fn);

// A new entity with the defaults a caller expects (layer "0", colour by layer).
Entity makeEntity(EntityData data, std::string_view layer = "0");

}  // namespace kelvaro::cad
