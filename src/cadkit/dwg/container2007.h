#pragma once
// The pieces of the 2007 container, each usable on its own: Reed-Solomon interleaving, the
// page compressor's expansion, the file header, the page map, the section map and the pages
// of one section. Everything here takes untrusted bytes: counts, sizes and offsets are checked
// against what is there before use, and damage is reported, never trusted.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvaro::cad::dwg::r2007 {

// Reed-Solomon codewords are 255 bytes: k data bytes, then 255-k parity bytes. System pages and
// the file header use k = 239, section pages k = 251.
constexpr std::size_t kCodeword = 255;
constexpr std::size_t kSystemData = 239;
constexpr std::size_t kPageData = 251;

// Whether a codeword's parity matches its data (every syndrome zero).
bool rsCodewordOk(std::span<const std::uint8_t, kCodeword> codeword, std::size_t k);

// `raw` holds `blocks` codewords interleaved byte by byte (byte j of codeword i at j*blocks+i).
// Returns their data bytes codeword after codeword; nullopt when `raw` is too short.
// `badBlocks`, when given, counts codewords whose parity does not match.
std::optional<std::vector<std::uint8_t>> rsDeinterleave(std::span<const std::uint8_t> raw, std::size_t blocks,
                                                        std::size_t k, std::size_t* badBlocks = nullptr);

// Expands the page compressor's output `src` into `dst`. Returns the number of bytes written;
// sets `error` and stops (keeping what was written) on any copy that would reach outside
// `src`, outside `dst` or before the start of the output.
std::size_t expand(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst, std::string* error = nullptr);

// The literal runs of the compressor store their bytes in groups, last group first; the groups
// of a run of n bytes (n < 32) in stored order are listed here by size. Runs of 32 and more are
// whole 32-byte blocks of four 8-byte groups, then one shorter run.
extern const char* const kLiteralGroups[32];

struct FileHeader {
  std::int64_t headerSize = 0, fileSize = 0;
  std::int64_t pageMapCrcCompressed = 0, pageMapCorrection = 0, pageMapCrcSeed = 0;
  std::int64_t pageMap2Offset = 0, pageMap2Id = 0, pageMapOffset = 0, pageMapId = 0, header2Offset = 0;
  std::int64_t pageMapSizeCompressed = 0, pageMapSizeUncompressed = 0, pageCount = 0, pageMaxId = 0;
  std::int64_t pageMapCrcUncompressed = 0;
  std::int64_t sectionCount = 0, sectionMapCrcUncompressed = 0, sectionMapSizeCompressed = 0;
  std::int64_t sectionMap2Id = 0, sectionMapId = 0, sectionMapSizeUncompressed = 0, sectionMapCrcCompressed = 0;
  std::int64_t sectionMapCorrection = 0, sectionMapCrcSeed = 0, streamVersion = 0;
  std::int64_t crcSeed = 0, crcSeedEncoded = 0, randomSeed = 0, headerCrc = 0;
};
constexpr std::size_t kFileHeaderAt = 0x80;      // the encoded file header
constexpr std::size_t kFileHeaderRaw = 0x3d8;    // its stored size
constexpr std::size_t kFileHeaderFields = 0x110;  // its decoded fields, 34 little-endian int64
constexpr std::size_t kPagesBase = 0x480;        // pages are counted from here

// The fields from their 0x110 decoded bytes (shorter input leaves the rest zero).
FileHeader fileHeaderFields(std::span<const std::uint8_t> fields);
// The file header of a whole file. Throws DwgError when it cannot be decoded at all.
FileHeader readFileHeader(std::span<const std::uint8_t> file, std::vector<std::string>& warnings);

struct Page {
  std::int64_t id = 0;
  std::uint64_t offset = 0, size = 0;  // offset in the file
};
// The page map's entries: (size, id) pairs, the pages lying one after another from kPagesBase.
std::vector<Page> pageMap(std::span<const std::uint8_t> data, std::vector<std::string>& warnings);
const Page* findPage(const std::vector<Page>& pages, std::int64_t id);

struct SectionPage {
  std::uint64_t offset = 0;  // in the section's data
  std::uint64_t size = 0;
  std::int64_t id = 0;
  std::uint64_t uncompressedSize = 0, compressedSize = 0, checksum = 0, crc = 0;
};
struct Section {
  std::uint64_t dataSize = 0, maxPageSize = 0;
  std::uint64_t encrypted = 0, hashcode = 0, encoding = 0;
  std::string name;  // UTF-8
  std::vector<SectionPage> pages;
};
std::vector<Section> sectionMap(std::span<const std::uint8_t> data, std::vector<std::string>& warnings);

// A system page (page map, section map): Reed-Solomon with k = 239 over `repeat` copies of the
// compressed data, then expanded when it is compressed. Returns nullopt (with a warning) when
// it cannot be read; a short expansion is a warning and leaves the rest zero.
std::optional<std::vector<std::uint8_t>> readSystemPage(std::span<const std::uint8_t> file, std::uint64_t at,
                                                        std::int64_t compressed, std::int64_t uncompressed,
                                                        std::int64_t repeat, const std::string& what,
                                                        std::vector<std::string>& warnings);

// Undoes one section page as stored (`stored` is the whole page from the page map) into `out`:
// Reed-Solomon with k = 251 when encoded, then expanded when compressed. Returns false (with a
// warning) when nothing could be read.
bool decodeDataPage(std::span<const std::uint8_t> stored, const SectionPage& sp, bool encoded,
                    std::span<std::uint8_t> out, const std::string& what, std::vector<std::string>& warnings);

// The data of one section, its pages put in place. `budget` is what the whole file may still
// produce; the section is cut short (with a warning) where it runs out.
std::vector<std::uint8_t> readSection(std::span<const std::uint8_t> file, const std::vector<Page>& pages,
                                      const Section& s, std::uint64_t& budget, std::vector<std::string>& warnings);

}  // namespace kelvaro::cad::dwg::r2007
