#pragma once
// One entity of a block: its frame, common properties and its own data.
#include <variant>

#include "cadkit/ent_basic.h"
#include "cadkit/ent_hatch.h"
#include "cadkit/ent_misc.h"

namespace kelvaro::cad {

using EntityData = std::variant<Line, Point, Circle, Arc, Ellipse, Ray, XLine, Solid, Trace, Face3d, LwPolyline,
                                Polyline, Spline, MLine, Text, MText, AttDef, Insert, Dimension, Leader, Viewport,
                                Image, Ole2Frame, Hatch, RawEntity>;

struct Entity {
  Frame frame;
  EntityCommon common;
  EntityData data;
  bool operator==(const Entity&) const = default;
};

// DXF type name ("LINE", or the kept name of an entity the model does not know).
std::string typeName(const EntityData& d);
bool isRaw(const EntityData& d);

// Makes an entity of the given DXF type name; unknown names give a RawEntity.
EntityData makeEntityData(std::string_view type);

}  // namespace kelvaro::cad
