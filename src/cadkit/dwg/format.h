#pragma once
// Fixed parts of the R13-2000 file layout shared by the reader and the writer: sentinels,
// object type numbers, and the tagged value encodings of extended data and extended records.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cadkit/dwg/codec.h"

namespace kelvaro::cad::dwg {

using Sentinel = std::array<std::uint8_t, 16>;
extern const Sentinel kHeaderBegin, kHeaderEnd, kClassesBegin, kClassesEnd, kFileHeaderEnd, kPreviewBegin,
    kPreviewEnd, kSecondHeaderBegin, kSecondHeaderEnd;

// Object type numbers below 500 (500 and above name a class).
enum Type : std::uint16_t {
  kText = 1, kAttrib = 2, kAttdef = 3, kBlock = 4, kEndblk = 5, kSeqend = 6, kInsert = 7, kMInsert = 8,
  kVertex2d = 10, kVertex3d = 11, kVertexMesh = 12, kVertexPface = 13, kVertexPfaceFace = 14,
  kPolyline2d = 15, kPolyline3d = 16, kArc = 17, kCircle = 18, kLine = 19,
  kDimOrdinate = 20, kDimLinear = 21, kDimAligned = 22, kDimAng3pt = 23, kDimAng2ln = 24, kDimRadius = 25,
  kDimDiameter = 26, kPoint = 27, kFace3d = 28, kPolylinePface = 29, kPolylineMesh = 30, kSolid = 31, kTrace = 32,
  kShape = 33, kViewport = 34, kEllipse = 35, kSpline = 36, kRegion = 37, kSolid3d = 38, kBody = 39, kRay = 40,
  kXLine = 41, kDictionary = 42, kOleFrame = 43, kMText = 44, kLeader = 45, kTolerance = 46, kMLine = 47,
  kBlockControl = 48, kBlockHeader = 49, kLayerControl = 50, kLayer = 51, kStyleControl = 52, kStyle = 53,
  kLtypeControl = 56, kLtype = 57, kViewControl = 60, kView = 61, kUcsControl = 62, kUcs = 63,
  kVportControl = 64, kVport = 65, kAppIdControl = 66, kAppId = 67, kDimStyleControl = 68, kDimStyle = 69,
  kVxControl = 70, kVx = 71, kGroup = 72, kMLineStyle = 73, kOle2Frame = 74, kLongTransaction = 76,
  kLwPolyline = 77, kHatch = 78, kXRecord = 79, kPlaceholder = 80, kVbaProject = 81, kLayout = 82,
};

// DXF name of a fixed type ("" when it is not an entity or object of its own).
const char* fixedTypeName(int type);
bool fixedTypeIsEntity(int type);

// Lineweights: the DWG index (0-31) <-> hundredths of a millimetre, -1 by layer, -2 by block,
// -3 default.
std::int16_t lineweightFromIndex(int index);
int lineweightIndex(std::int16_t lw);

std::string codePageName(int number);
int codePageNumber(std::string_view name);

// Extended data of one application (after its handle) <-> DXF tags from 1000 on.
void eedToTags(std::span<const std::uint8_t> data, const Ctx& ctx, std::vector<Tag>& out);
std::vector<std::uint8_t> tagsToEed(std::span<const Tag> tags, const Ctx& ctx);

// Extended record data <-> DXF tags.
void xrecordToTags(std::span<const std::uint8_t> data, const Ctx& ctx, std::vector<Tag>& out);
std::vector<std::uint8_t> tagsToXrecord(std::span<const Tag> tags, const Ctx& ctx);

Tag intTag(int code, std::int64_t v);
Tag realTag(int code, double v);
Tag textTag(int code, std::string s);

}  // namespace kelvaro::cad::dwg
