#pragma once
// The binary DirectX mesh file ("xof 0302bin 0032"): reading its first Mesh and writing one.
// Only the geometry is taken (vertices and faces, polygons split into triangles); materials,
// normals and texture coordinates of the file are skipped, since the scene computes its own.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvaro::view3d {

struct XMesh {
  std::vector<std::array<float, 3>> vertices;
  std::vector<std::vector<std::uint32_t>> faces;  // vertex indices of each polygon
};

// The mesh, or nothing with a reason in `error`. Never reads past the data; nesting, counts
// and indices are checked.
std::optional<XMesh> ReadBinaryX(std::span<const std::uint8_t> bytes, std::string* error = nullptr);

// A file holding one Mesh with a white material, corner normals and zero texture coordinates.
std::vector<std::uint8_t> WriteBinaryX(const XMesh& mesh, const std::string& name = "Cube");

// The 8-corner block the program's CUBE resource holds: x and z at about +-0.996, y at +-1.
XMesh UnitBlock();

}  // namespace kelvaro::view3d
