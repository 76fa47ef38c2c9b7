#pragma once
// One entity of a block: its frame, common properties and its own data.
#include <memory>
#include <variant>

#include "cadkit/ent_basic.h"
#include "cadkit/ent_hatch.h"
#include "cadkit/ent_misc.h"

namespace kelvaro::cad {

// A value kept on the heap: entities of a million-entity drawing then cost the size of their
// own type, not of the largest one. Copies are deep; use it as the value it holds.
template <class T>
class Box {
 public:
  Box() : p_(std::make_unique<T>()) {}
  template <class U>
    requires std::is_same_v<std::decay_t<U>, T>
  Box(U&& v) : p_(std::make_unique<T>(std::forward<U>(v))) {}
  Box(const Box& o) : p_(std::make_unique<T>(*o)) {}
  Box(Box&& o) noexcept = default;
  Box& operator=(const Box& o) {
    if (this != &o) p_ = std::make_unique<T>(*o);
    return *this;
  }
  Box& operator=(Box&& o) noexcept = default;
  template <class U>
    requires std::is_same_v<std::decay_t<U>, T>
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

// Types larger than a line, an arc or a light-weight polyline (the bulk of most drawings) live
// on the heap, so every entity costs about the size of a line.
template <class T>
inline constexpr bool kBoxed = sizeof(T) > 80;
template <class T>
using Stored = std::conditional_t<kBoxed<T>, Box<T>, T>;

using EntityData =
    std::variant<Stored<Line>, Stored<Point>, Stored<Circle>, Stored<Arc>, Stored<Ellipse>, Stored<Ray>, Stored<XLine>,
                 Stored<Solid>, Stored<Trace>, Stored<Face3d>, Stored<LwPolyline>, Stored<Polyline>, Stored<Spline>,
                 Stored<MLine>, Stored<Text>, Stored<MText>, Stored<AttDef>, Stored<Insert>, Stored<Dimension>,
                 Stored<Leader>, Stored<Viewport>, Stored<Image>, Stored<Ole2Frame>, Stored<Hatch>, RawEntity>;

template <class T> T& unbox(T& x) { return x; }
template <class T> const T& unbox(const T& x) { return x; }
template <class T> T& unbox(Box<T>& x) { return *x; }
template <class T> const T& unbox(const Box<T>& x) { return *x; }

// std::visit over the entity types themselves (boxes opened).
template <class F>
decltype(auto) visitEntity(F&& f, EntityData& d) {
  return std::visit([&](auto& x) -> decltype(auto) { return f(unbox(x)); }, d);
}
template <class F>
decltype(auto) visitEntity(F&& f, const EntityData& d) {
  return std::visit([&](const auto& x) -> decltype(auto) { return f(unbox(x)); }, d);
}

template <class T>
T* entityAs(EntityData& d) {
  if constexpr (kBoxed<T>) {
    auto* b = std::get_if<Box<T>>(&d);
    return b ? &**b : nullptr;
  } else {
    return std::get_if<T>(&d);
  }
}
template <class T>
const T* entityAs(const EntityData& d) {
  return entityAs<T>(const_cast<EntityData&>(d));
}

struct Entity {
  Frame frame;
  EntityCommon common;
  EntityData data;
  // The entity's data as type T, or null.
  template <class T> T* as() { return entityAs<T>(data); }
  template <class T> const T* as() const { return entityAs<T>(data); }
  template <class T> bool is() const { return as<T>() != nullptr; }
  // As T; std::bad_variant_access when it is another type.
  template <class T> T& get() {
    if (T* p = as<T>()) return *p;
    throw std::bad_variant_access();
  }
  template <class T> const T& get() const { return const_cast<Entity*>(this)->get<T>(); }
  bool operator==(const Entity&) const = default;
};

// DXF type name ("LINE", or the kept name of an entity the model does not know).
std::string typeName(const EntityData& d);
bool isRaw(const EntityData& d);

// Makes an entity of the given DXF type name; unknown names give a RawEntity.
EntityData makeEntityData(std::string_view type);

}  // namespace kelvaro::cad
