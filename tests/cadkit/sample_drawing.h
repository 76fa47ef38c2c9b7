#pragma once
// A drawing with every modelled entity type and table, each field away from its default.
#include "cadkit/document.h"

namespace kelvaro::cad::test {
Document sampleDrawing();
}
