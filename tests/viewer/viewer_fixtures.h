#pragma once
// Small drawings written for the viewer's tests, and a folder that goes away afterwards.
#include <filesystem>
#include <string>

#include "cadkit/document.h"

namespace kelvaro::viewer::test {

std::filesystem::path scratchFolder(const std::string& name);

// A red line (0,0)-(100,0) and a blue line (50,-50)-(50,50) in model space on layers "b",
// "C", "a" (in that file order) with linetypes "DASHED" and "Center" besides CONTINUOUS.
cad::Document crossDrawing();
// The cross drawing plus three layouts: "Model", "Sheet" whose block holds a viewport and
// "Empty" whose block holds only a line.
cad::Document layoutDrawing();

void save(const cad::Document& doc, const std::filesystem::path& path, cad::Release release = cad::Release::R2000);

}  // namespace kelvaro::viewer::test
