#pragma once
// The CAD toolkit calls the viewer and the diagram builders use: a thin layer over the drawing
// model. A drawing is named by a 32-bit handle (0 = none). Records are the model's own types
// with the object handle beside them; the header pointer is the live header of the drawing.
// One thread at a time (the user-interface thread) drives these calls.
#include <cstdint>
#include <string>

#include "cadkit/document.h"

namespace kelvaro::cad {

using AdDrawing = std::int32_t;
using AdHeader = Header;

// Error codes of adError; adErrorStr gives the text (with the file's details for the last one).
enum AdErrorCode : int {
  kAdOk = 0,
  kAdNotStarted = 1,
  kAdFileNotFound = 2,
  kAdCannotRead = 3,
  kAdInvalidFile = 4,
  kAdDwgUnsupported = 5,
  kAdCannotWrite = 6,
  kAdBadDrawing = 7,
  kAdBadArgument = 8,
  kAdBadStartupFile = 9,
};

// Entity type numbers of adGetEntity / adSetEntityDefaults.
enum AdEntType : int {
  kAdEntLine = 1, kAdEntPoint = 2, kAdEntCircle = 3, kAdEntShape = 4, kAdEntArc = 8, kAdEntTrace = 9,
  kAdEntSolid = 10, kAdEntText = 11, kAdEntInsert = 14, kAdEntAttdef = 15, kAdEntAttrib = 16,
  kAdEntPolyline = 19, kAdEntFace3d = 22, kAdEntDimension = 23, kAdEntViewport = 24, kAdEntEllipse = 35,
  kAdEntSpline = 36, kAdEntRay = 40, kAdEntXline = 41, kAdEntMtext = 44, kAdEntLeader = 45, kAdEntMline = 47,
  kAdEntHatch = 78, kAdEntImage = 79, kAdEntOle2Frame = 74, kAdEntLwpline = 77, kAdEntOther = 500,
};
enum AdObjType : int { kAdObjDictionary = 42, kAdObjXrecord = 60, kAdObjLayout = 82, kAdObjImageDef = 80, kAdObjOther = 500 };

struct AdLayer {
  Handle objhandle;
  Layer rec;
  Handle linetypeObjhandle;  // the LTYPE entry named by rec.linetype
  std::int8_t purgedflag = 0;
};
struct AdLinetype {
  Handle objhandle;
  Linetype rec;
};
struct AdView {
  Handle objhandle;
  View rec;
};
struct AdVport {
  Handle objhandle;
  Vport rec;
};
struct AdShapefile {  // a text style or shape file entry
  Handle objhandle;
  TextStyle rec;
};
struct AdBlockheader {
  Handle objhandle;
  std::string name;
  std::int16_t flags = 0;
  Vec3 base;
  std::size_t entityCount = 0;
};
struct AdEntity {
  Handle objhandle;
  int enttype = 0;
  Entity entity;  // the whole entity (layer, colour, geometry ...)
};
struct AdObject {
  Handle objhandle;
  int objtype = 0;
  std::string typeName;
  ObjectData data;
  Handle layoutBlockheader;  // for layouts: the block header of the layout's block
};
struct AdEntityList {
  AdDrawing drawing = 0;
  std::string block;  // name of the block whose entities this list walks
  std::size_t next = 0;
};

// Start and stop.
int adInitAd2(const char* startupFile, int reserved);
void adSetupDwgRead();
void adSetupDxfRead();
void adAcceptR14BetaFiles();
int adInitAd3();
void adCloseAd2();
void adSetDlpMode(int mode);
void adIgnoreBadVpEntData(int on);
std::uint16_t* monty();  // 256 entries
// Writes the start-up data file the toolkit expects (installed beside the program).
bool adWriteStartupFile(const char* path);

// Files.
AdDrawing adLoadFile(const char* path, int, int);
// Heard about every 1% while adLoadFile reads (the viewer keeps its window painted); none: 0.
void adSetLoadProgressFn(void (*fn)(int percent, void* user), void* user);
// Opens a drawing built in memory (generated drawings, tests) as if it had been loaded.
AdDrawing adOpenDocument(Document doc, const char* path = "");
int adSaveFile(AdDrawing d, const char* path, int kind, int version, int, int places, int zeroes, int);
void adTerminateVectorize(AdDrawing d);
int adCloseFile(AdDrawing d);
int adFileVersionLoaded(AdDrawing d);
// The release the loaded file really has ("2.10" for a file that reports version 0).
std::string adFileReleaseName(AdDrawing d);
AdHeader* adHeaderPointer(AdDrawing d);
int adFileDisplayableInPaperspace(AdDrawing d);
int adLwplineEnttype(AdDrawing d);
int adExtractBmpFromFileToFile(const char* drawingPath, const char* bitmapPath);
// The drawing's model, for callers (display, DWG) that go beyond the calls above.
Document* adDocument(AdDrawing d);

// Tables.
int adNumLayers(AdDrawing d);
void adStartLayerGet(AdDrawing d);
int adGetLayer(AdDrawing d, AdLayer& out);
int adGetLayerState(AdDrawing d, Handle layer, std::uint8_t state[4]);
int adSetLayerState(AdDrawing d, Handle layer, const std::uint8_t state[4]);
int adReplaceLayer(AdDrawing d, const AdLayer& layer);
int adSeekLayer(AdDrawing d, Handle h, AdLayer& out);
int adAddLayer(AdDrawing d, AdLayer& layer);
void adSetDefaultLayer(AdDrawing d, AdLayer& layer);

int adNumLinetypes(AdDrawing d);
void adStartLinetypeGet(AdDrawing d);
int adGetLinetype(AdDrawing d, AdLinetype& out);
int adSeekLinetype(AdDrawing d, Handle h, AdLinetype& out);
int adFindLinetypeByName(AdDrawing d, const char* name, Handle& out);

int adNumViews(AdDrawing d);
void adStartViewGet(AdDrawing d);
int adGetView(AdDrawing d, AdView& out);

int adNumVports(AdDrawing d);
void adStartVportGet(AdDrawing d);
int adGetVport(AdDrawing d, AdVport& out);
int adReplaceVport(AdDrawing d, const AdVport& vport);

int adNumShapefiles(AdDrawing d);
void adStartShapefileGet(AdDrawing d);
int adGetShapefile(AdDrawing d, AdShapefile& out);
int adReplaceShapefile(AdDrawing d, const AdShapefile& s);
int adAddShapefile(AdDrawing d, AdShapefile& s);
void adSetDefaultShapefile(AdDrawing d, AdShapefile& s);

int adNumBlockheaders(AdDrawing d);
void adStartBlockheaderGet(AdDrawing d);
int adGetBlockheader(AdDrawing d, AdBlockheader& out);
int adSeekBlockheader(AdDrawing d, Handle h, AdBlockheader& out);
int adFindBlockheaderByName(AdDrawing d, const char* name, Handle& out);
int adGetBlockHandle(AdDrawing d, Handle& out, int which);  // which 0: paper space

void adStartObjectGet(AdDrawing d);
int adGetObject(AdDrawing d, AdObject& out);
int adLayoutObjtype(AdDrawing d);

void adHanclear(Handle& h);
int adGenerateObjhandle(AdDrawing d, Handle& out);

// Entities.
AdEntityList adEntityList(AdDrawing d, const AdBlockheader& block);
void adStartEntityGet(AdEntityList& list);
int adGetEntity(AdEntityList& list, AdEntity& out);
int adNumEntities(const AdEntityList& list);
int adSetEntityDefaults(AdDrawing d, AdEntity& e, int enttype);
int adAddEntityToList(AdDrawing d, AdEntityList& list, const AdEntity& e);

// Errors and dates.
int adError(int reserved);
std::string adErrorStr(int code);
void adDecodeAcadDate(AcadDate date, int& year, int& month, int& day, int& hour, int& minute, int& second);
void adDecodeAcadTime(AcadDate span, int& days, int& hours, int& minutes, int& seconds);

}  // namespace kelvaro::cad
