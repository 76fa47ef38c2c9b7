#pragma once
// The sections of an R13-2000 file: file header with its locators, header variables, classes,
// the object map and the preview picture. Every size and count is checked against the file.
#include <cstdint>
#include <string>
#include <vector>

#include "cadkit/dwg/container.h"
#include "cadkit/dwg/header_vars.h"

namespace kelvaro::cad::dwg {

struct Locator {
  std::uint8_t number = 0;
  std::uint32_t address = 0, size = 0;
};

struct FileLayout {
  Release release = Release::R2000;
  std::uint8_t maint = 0;
  std::uint32_t previewAddress = 0;
  std::uint16_t codepage = 30;
  std::vector<Locator> sections;
  const Locator* find(int number) const {
    for (const auto& s : sections)
      if (s.number == number) return &s;
    return nullptr;
  }
};

struct ClassDef {
  int number = 500;
  int proxyFlags = 0;
  std::string appName, cppName, dxfName;
  bool wasZombie = false, isEntity = false;
};

// Throws DwgError when the file is not a readable R13-2000 drawing.
FileLayout readFileLayout(std::span<const std::uint8_t> f, std::vector<std::string>& warnings);
// The sections of an R13-2000 file in place: each span covers its locator, objects the whole
// file because the object map counts from the file's start.
SectionBuffers readSections2000(std::span<const std::uint8_t> f, std::vector<std::string>& warnings);
// Any DWG of R13 or later by its magic; throws DwgError for releases that cannot be read.
SectionBuffers readSections(std::span<const std::uint8_t> f, std::vector<std::string>& warnings);

// Each takes its section from the begin sentinel on.
HeaderValues readHeaderSection(std::span<const std::uint8_t> sec, Ctx& ctx, std::vector<std::string>& warnings);
std::vector<ClassDef> readClassSection(std::span<const std::uint8_t> sec, Ctx& ctx,
                                       std::vector<std::string>& warnings);
// Handle -> offset into the objects section, in map order.
std::vector<std::pair<std::uint64_t, std::size_t>> readObjectMap(std::span<const std::uint8_t> handles,
                                                                 std::size_t objectsSize, Release rel,
                                                                 std::vector<std::string>& warnings);
// The stored preview's bitmap in hexadecimal, as the model keeps it ("" when there is none).
// `base` is where the section starts in the numbering its entries use (R13-2000: the file).
std::string previewHex(std::span<const std::uint8_t> sec, std::size_t base, Release rel);
// The PNG picture later releases store instead of a bitmap (empty when there is none).
std::vector<std::uint8_t> previewPng(std::span<const std::uint8_t> sec, std::size_t base, Release rel);
// Where `part` starts in `file`, 0 when it lies elsewhere (a decompressed section).
inline std::size_t previewBase(std::span<const std::uint8_t> file, std::span<const std::uint8_t> part) {
  auto f = reinterpret_cast<std::uintptr_t>(file.data()), p = reinterpret_cast<std::uintptr_t>(part.data());
  return p >= f && p < f + file.size() ? static_cast<std::size_t>(p - f) : 0;
}

}  // namespace kelvaro::cad::dwg
