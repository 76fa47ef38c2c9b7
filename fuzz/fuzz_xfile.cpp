// links: kelvaro_view3d_core
// The binary mesh file reader on arbitrary bytes: it reads a mesh whose faces name only its
// own vertices, or refuses, and never reads out of bounds. Most inputs get a valid header in
// front so the search spends its time on the records.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "view3d/Scene3D.h"
#include "view3d/XFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes;
  if (size && (data[0] & 1) == 0) {
    const char head[] = "xof 0302bin 0032";
    bytes.assign(head, head + 16);
    bytes.insert(bytes.end(), data + 1, data + size);
  } else {
    bytes.assign(data, data + size);
  }
  auto mesh = kelvaro::view3d::ReadBinaryX(bytes);
  if (mesh) {
    for (const auto& f : mesh->faces)
      for (auto i : f)
        if (i >= mesh->vertices.size()) __builtin_trap();
    kelvaro::view3d::MeshBuilder b;
    if (!b.Load(bytes)) __builtin_trap();
    b.Scale(2, 2, 2);
    b.GetBox();
  }
  return 0;
}
