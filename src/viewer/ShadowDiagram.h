#pragma once
// The two shadow diagrams as drawings: a plan of the hourly shadows of a pole (horizontal) and
// two sections of a gabled block with the hourly sun rays (vertical). Plain C++ over the CAD
// toolkit calls, so the viewer and the batch tool build exactly the same drawing.
#include <string>

#include "cadkit/toolkit.h"
#include "shadow/Profile.h"

namespace kelvaro::viewer {

// The layers the diagrams add, with their colour numbers.
inline constexpr const char* kLayerShadow = "SHADOW";
inline constexpr const char* kLayerHeader = "SHADOW_HEADER";
inline constexpr const char* kLayerFooter = "SHADOW_FOOTER";
inline constexpr const char* kLayerText = "SHADOW_TEXT";
inline constexpr const char* kLayerHouse = "SHADOW_HOUSE";
inline constexpr const char* kLayerCompass = "SHADOW_COMPASS";
inline constexpr const char* kDiagramStyle = "Shadow_Archs";
inline constexpr const char* kDiagramFont = "Archs.shx";

// The working bounds of a build (they always hold the origin).
struct DiagramBounds {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// Label of one hour of the horizontal diagram: " 9.00hrs 2145mm".
std::string HorizontalHourLabel(const ProfileHour& hour, bool inches);
// Label of one hour of the vertical diagram: " 9.00hrs ".
std::string VerticalHourLabel(const ProfileHour& hour);
// Rotation (degrees) of a horizontal label so that it runs along its shadow; in [0, 360).
double HorizontalLabelRotation(double shadowBearing);

// Adds the layers, the text style and every entity of the diagram to drawing `d` (an empty
// drawing with at least one linetype, one layer and a model space), sets its dates to `now`
// and its extents and limits. Returns false (nothing more is added) when the drawing lacks its
// model space. `bounds` receives the final working bounds.
bool BuildHorizontalDiagram(cad::AdDrawing d, const ShadowProfile& profile, cad::AcadDate now,
                            DiagramBounds* bounds = nullptr);
bool BuildVerticalDiagram(cad::AdDrawing d, const ShadowProfile& profile, cad::AcadDate now,
                          DiagramBounds* bounds = nullptr);

// The empty drawing the diagrams start from (the program keeps it, saved as release 14, in its
// resources; tools/make_diagram_template writes it).
cad::Document MakeDiagramTemplate();
// Writes the template through the toolkit (adSaveFile); false with the toolkit's error text.
bool WriteDiagramTemplate(const std::string& path, std::string* error = nullptr);

}  // namespace kelvaro::viewer
