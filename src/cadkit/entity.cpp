#include "cadkit/entity.h"

#include "cadkit/document.h"

namespace kelvaro::cad {

std::vector<std::uint8_t> Ole2Frame::bytes() const {
  std::vector<std::uint8_t> out;
  auto nib = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  for (const auto& chunk : data)
    for (std::size_t i = 0; i + 1 < chunk.size(); i += 2) {
      int hi = nib(chunk[i]), lo = nib(chunk[i + 1]);
      if (hi < 0 || lo < 0) break;
      out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
  return out;
}

std::string typeName(const EntityData& d) {
  return visitEntity(
      [](const auto& e) -> std::string {
        using T = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<T, RawEntity>) return e.type;
        else return T::kType;
      },
      d);
}

bool isRaw(const EntityData& d) { return std::holds_alternative<RawEntity>(d); }

namespace {
template <std::size_t I = 0>
bool makeByName(std::string_view type, EntityData& out) {
  if constexpr (I + 1 < std::variant_size_v<EntityData>) {
    using T = std::decay_t<decltype(unbox(std::declval<std::variant_alternative_t<I, EntityData>&>()))>;
    if (type == T::kType) {
      out = T{};
      return true;
    }
    return makeByName<I + 1>(type, out);
  }
  return false;
}
}  // namespace

EntityData makeEntityData(std::string_view type) {
  // The common types first: this runs once per entity read.
  if (type == "LINE") return Line{};
  if (type == "LWPOLYLINE") return LwPolyline{};
  if (type == "CIRCLE") return Circle{};
  if (type == "ARC") return Arc{};
  if (type == "TEXT") return Text{};
  EntityData d;
  if (!makeByName(type, d)) d = RawEntity{std::string(type)};
  return d;
}

std::string objectTypeName(const ObjectData& d) {
  return std::visit(
      [](const auto& o) -> std::string {
        using T = std::decay_t<decltype(o)>;
        if constexpr (std::is_same_v<T, RawObject>) return o.type;
        else return T::kType;
      },
      d);
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

Block* Document::findBlock(std::string_view name) {
  for (auto& b : blocks)
    if (sameName(b.name(), name)) return &b;
  return nullptr;
}
const Block* Document::findBlock(std::string_view name) const {
  for (const auto& b : blocks)
    if (sameName(b.name(), name)) return &b;
  return nullptr;
}

Block& Document::addBlock(std::string_view name) {
  Block b;
  b.begin.name = std::string(name);
  b.frame.handle = newHandle();
  b.endFrame.handle = newHandle();
  blocks.push_back(std::move(b));
  return blocks.back();
}

Block& Document::modelSpace() {
  if (Block* b = findBlock(kModelSpace)) return *b;
  return addBlock(kModelSpace);
}
Block& Document::paperSpace() {
  if (Block* b = findBlock(kPaperSpace)) return *b;
  Block& b = addBlock(kPaperSpace);
  b.common.paperSpace = 1;
  return b;
}

Handle Document::newHandle() { return Handle{nextHandle++}; }

Object* Document::findObject(Handle h) {
  for (auto& o : objects)
    if (o.frame.handle == h) return &o;
  return nullptr;
}

void forEachFrame(Document& d, const std::function<void(Frame&)>& fn) {
  forEachTable(d, [&](auto& t) {
    if (t.present || !t.entries.empty()) fn(t.frame);
    for (auto& e : t.entries) fn(e.frame);
  });
  for (auto& b : d.blocks) {
    fn(b.frame);
    for (auto& e : b.entities) {
      fn(e.frame);
      if (auto* p = e.as<Polyline>()) {
        for (auto& v : p->vertices) fn(v.frame);
        fn(p->seqend.frame);
      } else if (auto* i = e.as<Insert>()) {
        for (auto& a : i->attribs) fn(a.frame);
        if (!i->attribs.empty()) fn(i->seqend.frame);
      }
    }
    fn(b.endFrame);
  }
  for (auto& o : d.objects) fn(o.frame);
}

void Document::assignHandles() {
  std::uint64_t maxH = 0;
  forEachFrame(*this, [&](Frame& f) { maxH = std::max(maxH, f.handle.v); });
  if (header.handseed.v > maxH) maxH = header.handseed.v - 1;
  nextHandle = std::max<std::uint64_t>(nextHandle, maxH + 1);
  forEachFrame(*this, [&](Frame& f) {
    if (!f.handle) f.handle = newHandle();
  });
  header.handseed = Handle{nextHandle};
}

Entity makeEntity(EntityData data, std::string_view layer) {
  Entity e;
  e.common.layer = std::string(layer);
  e.data = std::move(data);
  return e;
}

}  // namespace kelvaro::cad
