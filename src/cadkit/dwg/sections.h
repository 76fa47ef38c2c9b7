#pragma once
// The sections of an R13-2000 file: file header with its locators, header variables, classes,
// the object map and the preview picture. Every size and count is checked against the file.
#include <string>
#include <vector>

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
HeaderValues readHeaderSection(std::span<const std::uint8_t> f, const FileLayout& lay, Ctx& ctx,
                               std::vector<std::string>& warnings);
std::vector<ClassDef> readClassSection(std::span<const std::uint8_t> f, const FileLayout& lay, Ctx& ctx,
                                       std::vector<std::string>& warnings);
// Handle -> file offset, in map order.
std::vector<std::pair<std::uint64_t, std::size_t>> readObjectMap(std::span<const std::uint8_t> f,
                                                                 const FileLayout& lay,
                                                                 std::vector<std::string>& warnings);
// The stored preview's bitmap in hexadecimal, as the model keeps it ("" when there is none).
std::string previewHex(std::span<const std::uint8_t> f, const FileLayout& lay);

}  // namespace kelvaro::cad::dwg
