#pragma once
// One entity of a block: its frame, common properties and its own data.
#include <memory>
#include <variant>

#include "cadkit/ent_basic.h"
#include "cadkit/ent_hatch.h"
#include "cadkit/ent_misc.h"

namespace kelvaro::cad {

using EntityData = std::variant<Line, Point, Circle, Arc, Ellipse, Ray, XLine, Solid, Trace, Face3d, LwPolyline,
                                Polyline, Spline, MLine, Text, MText, AttDef, Insert, Dimension, Leader, Viewport,
                                Image, Ole2Frame, Hatch, RawEntity>;

// A value kept on the heap: entities of a million-entity drawing then cost the size of their
// own type, not of the largest one. Copies are deep; use it as the value it holds.
template <class T>
class Box {
 public:
  Box() : p_(std::make_unique<T>()) {}
  template <class U>
    requires(!std::is_same_v<std::decay_t<U>, Box> && std::is_constructible_v<T, U &&>)
  Box(U&& v) : p_(std::make_unique<T>(std::forward<U>(v))) {}
  Box(const Box& o) : p_(std::make_unique<T>(*o)) {}
  Box(Box&& o) noexcept = default;
  Box& operator=(const Box& o) {
    if (this != &o) p_ = std::make_unique<T>(*o);
    return *this;
  }
  Box& operator=(Box&& o) noexcept = default;
  template <class U>
    requires(!std::is_same_v<std::decay_t<U>, Box> && std::is_assignable_v<T&, U &&>)
  Box& operator=(U&& v) {
    if (p_) *p_ = std::forward<U>(v);
    else p_ = std::make_unique<T>(std::forward<U>(v));
    return *this;
  }
  T& operator*() { return *p_; }
  const T& operator*() const { return *p_; }
  T* operator->() { return p_.get(); }
  const T* operator->() const { return p_.get(); }
  operator T&() { return *p_; }
  operator const T&() const { return *p_; }
  bool operator==(const Box& o) const { return *p_ == *o.p_; }

 private:
  std::unique_ptr<T> p_;
};

struct Entity {
  Frame frame;
  EntityCommon common;
  Box<EntityData> data;
  bool operator==(const Entity&) const = default;
};

// DXF type name ("LINE", or the kept name of an entity the model does not know).
std::string typeName(const EntityData& d);
bool isRaw(const EntityData& d);

// Makes an entity of the given DXF type name; unknown names give a RawEntity.
EntityData makeEntityData(std::string_view type);

}  // namespace kelvaro::cad
