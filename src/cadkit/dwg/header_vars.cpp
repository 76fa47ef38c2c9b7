#include "cadkit/dwg/header_vars.h"

#include <cmath>

#include "cadkit/dwg/desc_tables.h"
#include "cadkit/dwg/format.h"
#include "cadkit/dxf_header.h"

namespace kelvaro::cad::dwg {
namespace {

enum class K : std::uint8_t { B, BS, BL, BLL, RC, BD, TV, H, P2, P3, CMC, Date, Flags };
using R = Release;

struct Def {
  const char* name;
  K kind;
  std::int16_t code;  // DXF group code; 0: the variable exists only in DWG files
  R since = R::R13;
  R until = R::R2018;
  Names names = Names::Count;  // handles shown by name in DXF
  double dflt[3] = {0, 0, 0};
  std::uint8_t hcode = 5;      // handle reference code when written
  const char* sdflt = "";
};

constexpr R A = R::R13, B14 = R::R14, B2000 = R::R2000, Z = R::R2018, C4 = R::R2004, C7 = R::R2007,
            C10 = R::R2010, C13 = R::R2013, U4 = R::R2004;

// In file order; `until` R14 and `since` 2000 pairs are the same variable moved.
const Def kHeader[] = {
    {"REQUIREDVERSIONS", K::BLL, 0, C13},
    {"unit1_ratio", K::BD, 0, A, Z, Names::Count, {412148564080.0}},
    {"unit2_ratio", K::BD, 0, A, Z, Names::Count, {1.0}},
    {"unit3_ratio", K::BD, 0, A, Z, Names::Count, {1.0}},
    {"unit4_ratio", K::BD, 0, A, Z, Names::Count, {1.0}},
    {"unit1_name", K::TV, 0, A, R::R2004, Names::Count, {}, 5, "m"},
    {"unit2_name", K::TV, 0, A, R::R2004},
    {"unit3_name", K::TV, 0, A, R::R2004},
    {"unit4_name", K::TV, 0, A, R::R2004},
    {"unknown_8", K::BL, 0, A, Z, Names::Count, {24}},
    {"unknown_9", K::BL, 0},
    {"unknown_10", K::BS, 0, A, B14},
    {"VX_TABLE_RECORD", K::H, 0, A, B2000},
    {"DIMASO", K::B, 70, A, Z, Names::Count, {1}},
    {"DIMSHO", K::B, 70, A, Z, Names::Count, {1}},
    {"DIMSAV", K::B, 0, A, B14},
    {"PLINEGEN", K::B, 70},
    {"ORTHOMODE", K::B, 70},
    {"REGENMODE", K::B, 70, A, Z, Names::Count, {1}},
    {"FILLMODE", K::B, 70, A, Z, Names::Count, {1}},
    {"QTEXTMODE", K::B, 70},
    {"PSLTSCALE", K::B, 70, A, Z, Names::Count, {1}},
    {"LIMCHECK", K::B, 70},
    {"BLIPMODE", K::B, 70, A, B14},
    {"unknown_11", K::B, 0, C4},
    {"USRTIMER", K::B, 70, A, Z, Names::Count, {1}},
    {"SKPOLY", K::B, 70},
    {"ANGDIR", K::B, 70},
    {"SPLFRAME", K::B, 70},
    {"ATTREQ", K::B, 70, A, B14, Names::Count, {1}},
    {"ATTDIA", K::B, 70, A, B14},
    {"MIRRTEXT", K::B, 70},
    {"WORLDVIEW", K::B, 70, A, Z, Names::Count, {1}},
    {"WIREFRAME", K::B, 0, A, B14},
    {"TILEMODE", K::B, 70, A, Z, Names::Count, {1}},
    {"PLIMCHECK", K::B, 70},
    {"VISRETAIN", K::B, 70, A, Z, Names::Count, {1}},
    {"DELOBJ", K::B, 70, A, B14, Names::Count, {1}},
    {"DISPSILH", K::B, 70},
    {"PELLIPSE", K::B, 70},
    {"PROXYGRAPHICS", K::BS, 70, A, Z, Names::Count, {1}},
    {"DRAGMODE", K::BS, 70, A, B14, Names::Count, {2}},
    {"TREEDEPTH", K::BS, 70, A, Z, Names::Count, {3020}},
    {"LUNITS", K::BS, 70, A, Z, Names::Count, {2}},
    {"LUPREC", K::BS, 70, A, Z, Names::Count, {4}},
    {"AUNITS", K::BS, 70},
    {"AUPREC", K::BS, 70},
    {"OSMODE", K::BS, 70, A, B14},
    {"ATTMODE", K::BS, 70, A, Z, Names::Count, {1}},
    {"COORDS", K::BS, 70, A, B14, Names::Count, {1}},
    {"PDMODE", K::BS, 70},
    {"PICKSTYLE", K::BS, 70, A, B14, Names::Count, {1}},
    {"unknown_12", K::BL, 0, C4},
    {"unknown_13", K::BL, 0, C4},
    {"unknown_14", K::BL, 0, C4},
    {"USERI1", K::BS, 70},
    {"USERI2", K::BS, 70},
    {"USERI3", K::BS, 70},
    {"USERI4", K::BS, 70},
    {"USERI5", K::BS, 70},
    {"SPLINESEGS", K::BS, 70, A, Z, Names::Count, {8}},
    {"SURFU", K::BS, 70, A, Z, Names::Count, {6}},
    {"SURFV", K::BS, 70, A, Z, Names::Count, {6}},
    {"SURFTYPE", K::BS, 70, A, Z, Names::Count, {6}},
    {"SURFTAB1", K::BS, 70, A, Z, Names::Count, {6}},
    {"SURFTAB2", K::BS, 70, A, Z, Names::Count, {6}},
    {"SPLINETYPE", K::BS, 70, A, Z, Names::Count, {6}},
    {"SHADEDGE", K::BS, 70, A, Z, Names::Count, {3}},
    {"SHADEDIF", K::BS, 70, A, Z, Names::Count, {70}},
    {"UNITMODE", K::BS, 70},
    {"MAXACTVP", K::BS, 70, A, Z, Names::Count, {64}},
    {"ISOLINES", K::BS, 70, A, Z, Names::Count, {4}},
    {"CMLJUST", K::BS, 70},
    {"TEXTQLTY", K::BS, 70, A, Z, Names::Count, {50}},
    {"LTSCALE", K::BD, 40, A, Z, Names::Count, {1}},
    {"TEXTSIZE", K::BD, 40, A, Z, Names::Count, {0.2}},
    {"TRACEWID", K::BD, 40, A, Z, Names::Count, {0.05}},
    {"SKETCHINC", K::BD, 40, A, Z, Names::Count, {0.1}},
    {"FILLETRAD", K::BD, 40},
    {"THICKNESS", K::BD, 40},
    {"ANGBASE", K::BD, 50},
    {"PDSIZE", K::BD, 40},
    {"PLINEWID", K::BD, 40},
    {"USERR1", K::BD, 40},
    {"USERR2", K::BD, 40},
    {"USERR3", K::BD, 40},
    {"USERR4", K::BD, 40},
    {"USERR5", K::BD, 40},
    {"CHAMFERA", K::BD, 40},
    {"CHAMFERB", K::BD, 40},
    {"CHAMFERC", K::BD, 40},
    {"CHAMFERD", K::BD, 40},
    {"FACETRES", K::BD, 40, A, Z, Names::Count, {0.5}},
    {"CMLSCALE", K::BD, 40, A, Z, Names::Count, {1}},
    {"CELTSCALE", K::BD, 40, A, Z, Names::Count, {1}},
    {"MENU", K::TV, 1, A, U4, Names::Count, {}, 5, "acad"},
    {"TDCREATE", K::Date, 40},
    {"TDUPDATE", K::Date, 40},
    {"unknown_15", K::BL, 0, C4},
    {"unknown_16", K::BL, 0, C4},
    {"unknown_17", K::BL, 0, C4},
    {"TDINDWG", K::Date, 40},
    {"TDUSRTIMER", K::Date, 40},
    {"CECOLOR", K::CMC, 62, A, Z, Names::Count, {256}},
    {"HANDSEED", K::H, 5, A, Z, Names::Count, {}, 0},
    {"CLAYER", K::H, 8, A, Z, Names::Layer},
    {"TEXTSTYLE", K::H, 7, A, Z, Names::Style},
    {"CELTYPE", K::H, 6, A, Z, Names::Ltype},
    {"CMATERIAL", K::H, 0, C7},
    {"DIMSTYLE", K::H, 2, A, Z, Names::DimStyle},
    {"CMLSTYLE", K::H, 0},
    {"PSVPSCALE", K::BD, 40, B2000},
    {"PINSBASE", K::P3, 10},
    {"PEXTMIN", K::P3, 10, A, Z, Names::Count, {1e20, 1e20, 1e20}},
    {"PEXTMAX", K::P3, 10, A, Z, Names::Count, {-1e20, -1e20, -1e20}},
    {"PLIMMIN", K::P2, 10},
    {"PLIMMAX", K::P2, 10, A, Z, Names::Count, {12, 9}},
    {"PELEVATION", K::BD, 40},
    {"PUCSORG", K::P3, 10},
    {"PUCSXDIR", K::P3, 10, A, Z, Names::Count, {1, 0, 0}},
    {"PUCSYDIR", K::P3, 10, A, Z, Names::Count, {0, 1, 0}},
    {"PUCSNAME", K::H, 2, A, Z, Names::Ucs},
    {"PUCSORTHOREF", K::H, 2, B2000, Z, Names::Ucs},
    {"PUCSORTHOVIEW", K::BS, 70, B2000},
    {"PUCSBASE", K::H, 2, B2000, Z, Names::Ucs},
    {"PUCSORGTOP", K::P3, 10, B2000},
    {"PUCSORGBOTTOM", K::P3, 10, B2000},
    {"PUCSORGLEFT", K::P3, 10, B2000},
    {"PUCSORGRIGHT", K::P3, 10, B2000},
    {"PUCSORGFRONT", K::P3, 10, B2000},
    {"PUCSORGBACK", K::P3, 10, B2000},
    {"INSBASE", K::P3, 10},
    {"EXTMIN", K::P3, 10, A, Z, Names::Count, {1e20, 1e20, 1e20}},
    {"EXTMAX", K::P3, 10, A, Z, Names::Count, {-1e20, -1e20, -1e20}},
    {"LIMMIN", K::P2, 10},
    {"LIMMAX", K::P2, 10, A, Z, Names::Count, {12, 9}},
    {"ELEVATION", K::BD, 40},
    {"UCSORG", K::P3, 10},
    {"UCSXDIR", K::P3, 10, A, Z, Names::Count, {1, 0, 0}},
    {"UCSYDIR", K::P3, 10, A, Z, Names::Count, {0, 1, 0}},
    {"UCSNAME", K::H, 2, A, Z, Names::Ucs},
    {"UCSORTHOREF", K::H, 2, B2000, Z, Names::Ucs},
    {"UCSORTHOVIEW", K::BS, 70, B2000},
    {"UCSBASE", K::H, 2, B2000, Z, Names::Ucs},
    {"UCSORGTOP", K::P3, 10, B2000},
    {"UCSORGBOTTOM", K::P3, 10, B2000},
    {"UCSORGLEFT", K::P3, 10, B2000},
    {"UCSORGRIGHT", K::P3, 10, B2000},
    {"UCSORGFRONT", K::P3, 10, B2000},
    {"UCSORGBACK", K::P3, 10, B2000},
    {"DIMPOST", K::TV, 1, B2000, R::R2004},
    {"DIMAPOST", K::TV, 1, B2000, R::R2004},
    {"DIMTOL", K::B, 70, A, B14},
    {"DIMLIM", K::B, 70, A, B14},
    {"DIMTIH", K::B, 70, A, B14, Names::Count, {1}},
    {"DIMTOH", K::B, 70, A, B14, Names::Count, {1}},
    {"DIMSE1", K::B, 70, A, B14},
    {"DIMSE2", K::B, 70, A, B14},
    {"DIMALT", K::B, 70, A, B14},
    {"DIMTOFL", K::B, 70, A, B14},
    {"DIMSAH", K::B, 70, A, B14},
    {"DIMTIX", K::B, 70, A, B14},
    {"DIMSOXD", K::B, 70, A, B14},
    {"DIMALTD", K::RC, 70, A, B14, Names::Count, {2}},
    {"DIMZIN", K::RC, 70, A, B14},
    {"DIMSD1", K::B, 70, A, B14},
    {"DIMSD2", K::B, 70, A, B14},
    {"DIMTOLJ", K::RC, 70, A, B14, Names::Count, {1}},
    {"DIMJUST", K::RC, 70, A, B14},
    {"DIMFIT", K::RC, 70, A, B14, Names::Count, {3}},
    {"DIMUPT", K::B, 70, A, B14},
    {"DIMTZIN", K::RC, 70, A, B14},
    {"DIMALTZ", K::RC, 70, A, B14},
    {"DIMALTTZ", K::RC, 70, A, B14},
    {"DIMTAD", K::RC, 70, A, B14},
    {"DIMUNIT", K::BS, 70, A, B14, Names::Count, {2}},
    {"DIMAUNIT", K::BS, 70, A, B14},
    {"DIMDEC", K::BS, 70, A, B14, Names::Count, {4}},
    {"DIMTDEC", K::BS, 70, A, B14, Names::Count, {4}},
    {"DIMALTU", K::BS, 70, A, B14, Names::Count, {2}},
    {"DIMALTTD", K::BS, 70, A, B14, Names::Count, {2}},
    {"DIMTXSTY", K::H, 7, A, B14, Names::Style},
    {"DIMSCALE", K::BD, 40, A, Z, Names::Count, {1}},
    {"DIMASZ", K::BD, 40, A, Z, Names::Count, {0.18}},
    {"DIMEXO", K::BD, 40, A, Z, Names::Count, {0.0625}},
    {"DIMDLI", K::BD, 40, A, Z, Names::Count, {0.38}},
    {"DIMEXE", K::BD, 40, A, Z, Names::Count, {0.18}},
    {"DIMRND", K::BD, 40},
    {"DIMDLE", K::BD, 40},
    {"DIMTP", K::BD, 40},
    {"DIMTM", K::BD, 40},
    {"DIMFXL", K::BD, 0, C7},
    {"DIMJOGANG", K::BD, 0, C7},
    {"DIMTFILL", K::BS, 0, C7},
    {"DIMTFILLCLR", K::CMC, 0, C7},
    {"DIMTOL", K::B, 70, B2000},
    {"DIMLIM", K::B, 70, B2000},
    {"DIMTIH", K::B, 70, B2000, Z, Names::Count, {1}},
    {"DIMTOH", K::B, 70, B2000, Z, Names::Count, {1}},
    {"DIMSE1", K::B, 70, B2000},
    {"DIMSE2", K::B, 70, B2000},
    {"DIMTAD", K::BS, 70, B2000},
    {"DIMZIN", K::BS, 70, B2000},
    {"DIMAZIN", K::BS, 70, B2000},
    {"DIMARCSYM", K::BS, 0, C7},
    {"DIMTXT", K::BD, 40, A, Z, Names::Count, {0.18}},
    {"DIMCEN", K::BD, 40, A, Z, Names::Count, {0.09}},
    {"DIMTSZ", K::BD, 40},
    {"DIMALTF", K::BD, 40, A, Z, Names::Count, {25.4}},
    {"DIMLFAC", K::BD, 40, A, Z, Names::Count, {1}},
    {"DIMTVP", K::BD, 40},
    {"DIMTFAC", K::BD, 40, A, Z, Names::Count, {1}},
    {"DIMGAP", K::BD, 40, A, Z, Names::Count, {0.09}},
    {"DIMPOST", K::TV, 1, A, B14},
    {"DIMAPOST", K::TV, 1, A, B14},
    {"DIMBLK", K::TV, 1, A, B14},
    {"DIMBLK1", K::TV, 1, A, B14},
    {"DIMBLK2", K::TV, 1, A, B14},
    {"DIMALTRND", K::BD, 40, B2000},
    {"DIMALT", K::B, 70, B2000},
    {"DIMALTD", K::BS, 70, B2000, Z, Names::Count, {2}},
    {"DIMTOFL", K::B, 70, B2000},
    {"DIMSAH", K::B, 70, B2000},
    {"DIMTIX", K::B, 70, B2000},
    {"DIMSOXD", K::B, 70, B2000},
    {"DIMCLRD", K::CMC, 70},
    {"DIMCLRE", K::CMC, 70},
    {"DIMCLRT", K::CMC, 70},
    {"DIMADEC", K::BS, 70, B2000},
    {"DIMDEC", K::BS, 70, B2000, Z, Names::Count, {4}},
    {"DIMTDEC", K::BS, 70, B2000, Z, Names::Count, {4}},
    {"DIMALTU", K::BS, 70, B2000, Z, Names::Count, {2}},
    {"DIMALTTD", K::BS, 70, B2000, Z, Names::Count, {2}},
    {"DIMAUNIT", K::BS, 70, B2000},
    {"DIMFRAC", K::BS, 70, B2000},
    {"DIMLUNIT", K::BS, 70, B2000, Z, Names::Count, {2}},
    {"DIMDSEP", K::BS, 70, B2000, Z, Names::Count, {46}},
    {"DIMTMOVE", K::BS, 70, B2000},
    {"DIMJUST", K::BS, 70, B2000},
    {"DIMSD1", K::B, 70, B2000},
    {"DIMSD2", K::B, 70, B2000},
    {"DIMTOLJ", K::BS, 70, B2000, Z, Names::Count, {1}},
    {"DIMTZIN", K::BS, 70, B2000},
    {"DIMALTZ", K::BS, 70, B2000},
    {"DIMALTTZ", K::BS, 70, B2000},
    {"DIMUPT", K::B, 70, B2000},
    {"DIMATFIT", K::BS, 70, B2000, Z, Names::Count, {3}},
    {"DIMFXLON", K::B, 0, C7},
    {"DIMTXTDIRECTION", K::B, 0, C10},
    {"DIMALTMZF", K::BD, 0, C10},
    {"DIMMZF", K::BD, 0, C10},
    {"DIMTXSTY", K::H, 7, B2000, Z, Names::Style},
    {"DIMLDRBLK", K::H, 1, B2000, Z, Names::Block},
    {"DIMBLK", K::H, 1, B2000, Z, Names::Block},
    {"DIMBLK1", K::H, 1, B2000, Z, Names::Block},
    {"DIMBLK2", K::H, 1, B2000, Z, Names::Block},
    {"DIMLTYPE", K::H, 0, C7},
    {"DIMLTEX1", K::H, 0, C7},
    {"DIMLTEX2", K::H, 0, C7},
    {"DIMLWD", K::BS, 70, B2000, Z, Names::Count, {-2}},
    {"DIMLWE", K::BS, 70, B2000, Z, Names::Count, {-2}},
    {"BLOCK_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"LAYER_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"STYLE_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"LTYPE_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"VIEW_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"UCS_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"VPORT_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"APPID_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"DIMSTYLE_CONTROL_OBJECT", K::H, 0, A, Z, Names::Count, {}, 3},
    {"VX_CONTROL_OBJECT", K::H, 0, A, B2000, Names::Count, {}, 3},
    {"DICTIONARY_ACAD_GROUP", K::H, 0},
    {"DICTIONARY_ACAD_MLINESTYLE", K::H, 0},
    {"DICTIONARY_NAMED_OBJECT", K::H, 0},
    {"TSTACKALIGN", K::BS, 0, B2000, Z, Names::Count, {1}},
    {"TSTACKSIZE", K::BS, 0, B2000, Z, Names::Count, {70}},
    {"HYPERLINKBASE", K::TV, 1, B2000, R::R2004},
    {"STYLESHEET", K::TV, 1, B2000, R::R2004},
    {"DICTIONARY_LAYOUT", K::H, 0, B2000},
    {"DICTIONARY_PLOTSETTINGS", K::H, 0, B2000},
    {"DICTIONARY_PLOTSTYLENAME", K::H, 0, B2000},
    {"DICTIONARY_MATERIAL", K::H, 0, C4},
    {"DICTIONARY_COLOR", K::H, 0, C4},
    {"DICTIONARY_VISUALSTYLE", K::H, 0, C7},
    {"unknown_20", K::H, 0, C13},
    {"FLAGS", K::Flags, 0, B2000},
    {"INSUNITS", K::BS, 70, B2000},
    {"CEPSNTYPE", K::BS, 380, B2000},
    {"CPSNID", K::H, 390, B2000},  // only when CEPSNTYPE is 3
    {"FINGERPRINTGUID", K::TV, 2, B2000, R::R2004},
    {"VERSIONGUID", K::TV, 2, B2000, R::R2004},
    {"SORTENTS", K::RC, 0, C4, Z, Names::Count, {127}},
    {"INDEXCTL", K::RC, 0, C4},
    {"HIDETEXT", K::RC, 0, C4, Z, Names::Count, {1}},
    {"XCLIPFRAME", K::RC, 0, C4},
    {"DIMASSOC", K::RC, 0, C4, Z, Names::Count, {2}},
    {"HALOGAP", K::RC, 0, C4},
    {"OBSCOLOR", K::BS, 0, C4, Z, Names::Count, {257}},
    {"INTERSECTIONCOLOR", K::BS, 0, C4, Z, Names::Count, {257}},
    {"OBSLTYPE", K::RC, 0, C4},
    {"INTERSECTIONDISPLAY", K::RC, 0, C4},
    {"PROJECTNAME", K::TV, 0, C4, U4},
    {"BLOCK_RECORD_PSPACE", K::H, 0},
    {"BLOCK_RECORD_MSPACE", K::H, 0},
    {"LTYPE_BYLAYER", K::H, 0},
    {"LTYPE_BYBLOCK", K::H, 0},
    {"LTYPE_CONTINUOUS", K::H, 0},
    {"CAMERADISPLAY", K::B, 0, C7},
    {"unknown_21", K::BL, 0, C7},
    {"unknown_22", K::BL, 0, C7},
    {"unknown_23", K::BD, 0, C7},
    {"STEPSPERSEC", K::BD, 0, C7, Z, Names::Count, {2}},
    {"STEPSIZE", K::BD, 0, C7, Z, Names::Count, {6}},
    {"3DDWFPREC", K::BD, 0, C7, Z, Names::Count, {2}},
    {"LENSLENGTH", K::BD, 0, C7, Z, Names::Count, {50}},
    {"CAMERAHEIGHT", K::BD, 0, C7},
    {"SOLIDHIST", K::RC, 0, C7},
    {"SHOWHIST", K::RC, 0, C7, Z, Names::Count, {1}},
    {"PSOLWIDTH", K::BD, 0, C7, Z, Names::Count, {0.25}},
    {"PSOLHEIGHT", K::BD, 0, C7, Z, Names::Count, {4}},
    {"LOFTANG1", K::BD, 0, C7, Z, Names::Count, {1.5707963267948966}},
    {"LOFTANG2", K::BD, 0, C7, Z, Names::Count, {1.5707963267948966}},
    {"LOFTMAG1", K::BD, 0, C7},
    {"LOFTMAG2", K::BD, 0, C7},
    {"LOFTPARAM", K::BS, 0, C7, Z, Names::Count, {7}},
    {"LOFTNORMALS", K::RC, 0, C7, Z, Names::Count, {1}},
    {"LATITUDE", K::BD, 0, C7, Z, Names::Count, {37.795}},
    {"LONGITUDE", K::BD, 0, C7, Z, Names::Count, {-122.394}},
    {"NORTHDIRECTION", K::BD, 0, C7},
    {"TIMEZONE", K::BL, 0, C7, Z, Names::Count, {-8000}},
    {"LIGHTGLYPHDISPLAY", K::RC, 0, C7, Z, Names::Count, {1}},
    {"TILEMODELIGHTSYNCH", K::RC, 0, C7, Z, Names::Count, {1}},
    {"DWFFRAME", K::RC, 0, C7, Z, Names::Count, {2}},
    {"DGNFRAME", K::RC, 0, C7},
    {"REALWORLDSCALE", K::B, 0, C7, Z, Names::Count, {1}},
    {"INTERFERECOLOR", K::CMC, 0, C7, Z, Names::Count, {1}},
    {"INTERFEREOBJVS", K::H, 0, C7},
    {"INTERFEREVPVS", K::H, 0, C7},
    {"DRAGVS", K::H, 0, C7},
    {"CSHADOW", K::RC, 0, C7},
    {"SHADOWPLANELOCATION", K::BD, 0, C7},
    {"unknown_54", K::BS, 0, B14, Z, Names::Count, {4}},
    {"unknown_55", K::BS, 0, B14, Z, Names::Count, {0x2B}},
    {"unknown_56", K::BS, 0, B14},
    {"unknown_57", K::BS, 0, B14},
    // Since 2007 the texts come last, from the header's string stream.
    {"unit1_name", K::TV, 0, C7, Z, Names::Count, {}, 5, "m"},
    {"unit2_name", K::TV, 0, C7},
    {"unit3_name", K::TV, 0, C7},
    {"unit4_name", K::TV, 0, C7},
    {"MENU", K::TV, 1, C7, Z, Names::Count, {}, 5, "acad"},
    {"DIMPOST", K::TV, 1, C7},
    {"DIMAPOST", K::TV, 1, C7},
    {"DIMALTMZS", K::TV, 0, C10},
    {"DIMMZS", K::TV, 0, C10},
    {"HYPERLINKBASE", K::TV, 1, C7},
    {"STYLESHEET", K::TV, 1, C7},
    {"FINGERPRINTGUID", K::TV, 2, C7},
    {"VERSIONGUID", K::TV, 2, C7},
    {"PROJECTNAME", K::TV, 0, C7},
};

// The header's FLAGS word and the variables it holds.
struct FlagVar {
  const char* name;
  std::int16_t code;
  int mask;
  bool inverted;
};
const FlagVar kFlagVars[] = {
    {"ENDCAPS", 280, 0x60, false},   {"JOINSTYLE", 280, 0x180, false}, {"LWDISPLAY", 290, 0x200, true},
    {"XEDIT", 290, 0x400, true},     {"EXTNAMES", 290, 0x800, false},  {"PSTYLEMODE", 290, 0x2000, false},
    {"OLESTARTUP", 290, 0x4000, false},
};

bool gated(const Def& d, Release r) { return r >= d.since && r <= d.until; }

template <class V>
void value(V& v, const Def& d, HeaderValue& x) {
  BitReader* rd = nullptr;
  (void)rd;
  switch (d.kind) {
    case K::B: v.B(x.i); break;
    case K::BS: v.BS(x.i); break;
    case K::BL: v.BL(x.i); break;
    case K::BLL: {
      if constexpr (V::kReading) x.i = static_cast<std::int64_t>(v.data().BLL());
      else v.data().BLL(static_cast<std::uint64_t>(x.i));
      break;
    }
    case K::RC: v.RC(x.i); break;
    case K::Flags: v.BL(x.i); break;
    case K::BD: v.BD(x.d[0]); break;
    case K::TV: v.TV(x.s); break;
    case K::H: {
      // Since 2007 references sit in the handle stream, except the next free handle.
      bool inData = v.rel() < Release::R2007 || std::string_view(d.name) == "HANDSEED";
      if constexpr (V::kReading) {
        x.h = (inData ? v.data() : v.handles()).H().value;
      } else {
        (inData ? v.data() : v.handles()).H({d.hcode, x.h});
      }
      break;
    }
    case K::P2: {
      Vec2 p{x.d[0], x.d[1]};
      v.RD2(p);
      x.d[0] = p.x, x.d[1] = p.y;
      break;
    }
    case K::P3: {
      Vec3 p{x.d[0], x.d[1], x.d[2]};
      v.BD3(p);
      x.d[0] = p.x, x.d[1] = p.y, x.d[2] = p.z;
      break;
    }
    case K::CMC: {
      std::int16_t c = static_cast<std::int16_t>(x.i);
      v.CMC(c);
      x.i = c;
      break;
    }
    case K::Date: {
      std::int32_t day = static_cast<std::int32_t>(x.i), ms = static_cast<std::int32_t>(x.h);
      v.BL(day);
      v.BL(ms);
      x.i = day, x.h = static_cast<std::uint32_t>(ms);
      break;
    }
  }
}

template <class V>
void describeHeader(V& v, HeaderValues& vals) {
  for (const Def& d : kHeader) {
    if (!gated(d, v.rel())) continue;
    if (std::string_view(d.name) == "CPSNID") {
      auto it = vals.find("CEPSNTYPE");
      if (it == vals.end() || it->second.i != 3) continue;
    }
    value(v, d, vals[d.name]);
    if (!v.ok()) return;
  }
}

}  // namespace

HeaderValues readHeaderValues(BitReader& r, Ctx& ctx) {
  BitReader none;
  return readHeaderValues(r, none, r, ctx);
}

HeaderValues readHeaderValues(BitReader& r, BitReader& handles, BitReader& strings, Ctx& ctx) {
  HeaderValues vals;
  ObjIn v(r, handles, ctx, 0, &strings);
  describeHeader(v, vals);
  return vals;
}

void writeHeaderValues(BitWriter& w, Ctx& ctx, const HeaderValues& vals) {
  HeaderValues copy = vals;
  BitWriter none(ctx.rel);
  ObjOut v(w, none, ctx);
  describeHeader(v, copy);
}

void headerToModel(const HeaderValues& vals, const Ctx& ctx, Header& h) {
  h.all.clear();
  h.all.push_back({"$ACADVER", {textTag(1, releaseMagic(ctx.rel))}});
  h.all.push_back({"$DWGCODEPAGE", {textTag(3, ctx.cp.name())}});
  for (const Def& d : kHeader) {
    if (!gated(d, ctx.rel) || (d.code == 0 && d.kind != K::Flags)) continue;
    auto it = vals.find(d.name);
    if (it == vals.end()) continue;
    const HeaderValue& x = it->second;
    HeaderVar var{std::string("$") + d.name, {}};
    switch (d.kind) {
      case K::B:
      case K::BS:
      case K::BL:
      case K::BLL:
      case K::RC:
      case K::CMC: var.tags.push_back(intTag(d.code, x.i)); break;
      case K::BD: var.tags.push_back(realTag(d.code, x.d[0])); break;
      case K::TV: var.tags.push_back(textTag(d.code, x.s)); break;
      case K::P2:
        var.tags.push_back(realTag(d.code, x.d[0]));
        var.tags.push_back(realTag(d.code + 10, x.d[1]));
        break;
      case K::P3:
        for (int k = 0; k < 3; ++k) var.tags.push_back(realTag(d.code + 10 * k, x.d[k]));
        break;
      case K::Date: var.tags.push_back(realTag(d.code, static_cast<double>(x.i) + static_cast<double>(x.h) / 86400000.0)); break;
      case K::H:
        if (d.names != Names::Count) var.tags.push_back(textTag(d.code, ctx.names.name(d.names, x.h)));
        else var.tags.push_back(textTag(d.code, handleText(Handle{x.h})));
        break;
      case K::Flags:
        h.all.push_back({"$CELWEIGHT", {intTag(370, lineweightFromIndex(static_cast<int>(x.i & 0x1F)))}});
        for (const FlagVar& f : kFlagVars) {
          bool set = (x.i & f.mask) != 0;
          h.all.push_back({std::string("$") + f.name, {intTag(f.code, (set != f.inverted) ? 1 : 0)}});
        }
        continue;
    }
    // The same variable gated by release appears once.
    bool dup = false;
    for (const auto& e : h.all) dup |= e.name == var.name;
    if (!dup) h.all.push_back(std::move(var));
  }
  readHeaderVars(h);
  // Values only DWG files carry are kept for writing them back.
  h.dwgVars.clear();
  for (const Def& d : kHeader) {
    if (!gated(d, ctx.rel) || d.code != 0 || d.kind == K::Flags) continue;
    auto it = vals.find(d.name);
    if (it == vals.end()) continue;
    HeaderVar var{d.name, {}};
    if (d.kind == K::H) var.tags.push_back(textTag(0, handleText(Handle{it->second.h})));
    else if (d.kind == K::BD) var.tags.push_back(realTag(0, it->second.d[0]));
    else if (d.kind == K::TV) var.tags.push_back(textTag(0, it->second.s));
    else var.tags.push_back(intTag(0, it->second.i));
    h.dwgVars.push_back(std::move(var));
  }
}

namespace {
// Typed header fields as tags, so the written values follow edits of the model.
struct TypedTags {
  std::map<std::string, std::vector<Tag>, std::less<>>& out;
  template <class T>
  void var(const char* name, int code, T& v, Opt = {}) {
    std::vector<Tag> t;
    if constexpr (std::is_same_v<T, std::string>) t.push_back(textTag(code, v));
    else if constexpr (std::is_same_v<T, Vec3>) t = {realTag(code, v.x), realTag(code + 10, v.y), realTag(code + 20, v.z)};
    else if constexpr (std::is_same_v<T, Vec2>) t = {realTag(code, v.x), realTag(code + 10, v.y)};
    else if constexpr (std::is_same_v<T, double>) t.push_back(realTag(code, v));
    else if constexpr (std::is_same_v<T, AcadDate>) t.push_back(realTag(code, v.day + v.ms / 86400000.0));
    else if constexpr (std::is_same_v<T, Handle>) t.push_back(textTag(code, handleText(v)));
    else t.push_back(intTag(code, static_cast<std::int64_t>(v)));
    out[name + 1] = std::move(t);
  }
};
}  // namespace

HeaderValues headerFromModel(const Header& hdr, const Ctx& ctx, const HeaderValues& fixed) {
  std::map<std::string, std::vector<Tag>, std::less<>> tags;
  for (const auto& v : hdr.all)
    if (v.name.size() > 1 && v.name[0] == '$') tags[v.name.substr(1)] = v.tags;
  Header copy = hdr;
  TypedTags typed{tags};
  copy.describe(typed);
  HeaderValues vals;
  for (const Def& d : kHeader) {
    if (!gated(d, ctx.rel)) continue;
    HeaderValue x;
    for (int k = 0; k < 3; ++k) x.d[k] = d.dflt[k];
    x.i = static_cast<std::int64_t>(d.dflt[0]);
    x.s = d.sdflt;
    if (auto f = fixed.find(d.name); f != fixed.end()) {
      vals[d.name] = f->second;
      continue;
    }
    if (d.kind == K::Flags) {
      // Defaults: lineweight by layer, lineweights not shown, in-place editing on, long names.
      std::int64_t w = lineweightIndex(-1) | 0x200 | 0x800 | 0x2000;
      if (auto t = tags.find("CELWEIGHT"); t != tags.end() && !t->second.empty())
        w = (w & ~0x1F) | lineweightIndex(static_cast<std::int16_t>(t->second[0].asInt()));
      for (const FlagVar& f : kFlagVars) {
        auto t = tags.find(f.name);
        if (t == tags.end() || t->second.empty()) continue;
        bool on = t->second[0].asInt() != 0;
        bool set = on != f.inverted;
        // Multi-bit fields keep their lowest bit only.
        int bit = f.mask & -f.mask;
        w = (w & ~f.mask) | (set ? bit : 0);
      }
      x.i = w;
      vals[d.name] = x;
      continue;
    }
    const std::vector<Tag>* t = nullptr;
    if (d.code != 0) {
      if (auto it = tags.find(d.name); it != tags.end()) t = &it->second;
    } else if (d.kind != K::H) {
      for (const auto& dv : hdr.dwgVars)
        if (dv.name == d.name) t = &dv.tags;
    }
    if (t && !t->empty()) {
      const Tag& a = (*t)[0];
      switch (d.kind) {
        case K::B:
        case K::BS:
        case K::BL:
        case K::BLL:
        case K::RC:
        case K::CMC: x.i = a.asInt(); break;
        case K::BD: x.d[0] = a.asReal(); break;
        case K::TV: x.s = a.asText(); break;
        case K::P2:
        case K::P3:
          for (std::size_t k = 0; k < t->size() && k < 3; ++k) x.d[k] = (*t)[k].asReal();
          break;
        case K::Date: {
          double v = a.asReal();
          double day = std::floor(v);
          if (!(std::fabs(day) < 1e8)) day = 0, v = 0;
          x.i = static_cast<std::int64_t>(day);
          x.h = static_cast<std::uint64_t>(std::llround((v - day) * 86400000.0));
          break;
        }
        case K::H:
          if (d.names != Names::Count) x.h = ctx.names.handle(d.names, a.asText());
          else x.h = handleFromText(a.asText()).v;
          break;
        case K::Flags: break;
      }
    }
    vals[d.name] = x;
  }
  return vals;
}

// --- dimension styles ----------------------------------------------------------------------------

namespace {
struct DimDef {
  K kind;
  std::int16_t code;
  R since, until;
  double dflt;
};
// Record fields in file order (DXF codes of the DIMSTYLE record).
const DimDef kDim[] = {
    {K::B, 71, A, B14, 0},      {K::B, 72, A, B14, 0},      {K::B, 73, A, B14, 1},      {K::B, 74, A, B14, 1},
    {K::B, 75, A, B14, 0},      {K::B, 76, A, B14, 0},      {K::B, 170, A, B14, 0},     {K::B, 172, A, B14, 0},
    {K::B, 173, A, B14, 0},     {K::B, 174, A, B14, 0},     {K::B, 175, A, B14, 0},     {K::RC, 171, A, B14, 2},
    {K::RC, 78, A, B14, 0},     {K::B, 281, A, B14, 0},     {K::B, 282, A, B14, 0},     {K::RC, 283, A, B14, 1},
    {K::RC, 280, A, B14, 0},    {K::RC, 287, A, B14, 3},    {K::B, 288, A, B14, 0},     {K::RC, 284, A, B14, 0},
    {K::RC, 285, A, B14, 0},    {K::RC, 286, A, B14, 0},    {K::RC, 77, A, B14, 0},     {K::BS, 270, A, B14, 2},
    {K::BS, 275, A, B14, 0},    {K::BS, 271, A, B14, 4},    {K::BS, 272, A, B14, 4},    {K::BS, 273, A, B14, 2},
    {K::BS, 274, A, B14, 2},    {K::BD, 40, A, B14, 1},     {K::BD, 41, A, B14, 0.18},  {K::BD, 42, A, B14, 0.0625},
    {K::BD, 43, A, B14, 0.38},  {K::BD, 44, A, B14, 0.18},  {K::BD, 45, A, B14, 0},     {K::BD, 46, A, B14, 0},
    {K::BD, 47, A, B14, 0},     {K::BD, 48, A, B14, 0},     {K::BD, 140, A, B14, 0.18}, {K::BD, 141, A, B14, 0.09},
    {K::BD, 142, A, B14, 0},    {K::BD, 143, A, B14, 25.4}, {K::BD, 144, A, B14, 1},    {K::BD, 145, A, B14, 0},
    {K::BD, 146, A, B14, 1},    {K::BD, 147, A, B14, 0.09}, {K::TV, 3, A, B14, 0},      {K::TV, 4, A, B14, 0},
    {K::TV, 5, A, B14, 0},      {K::TV, 6, A, B14, 0},      {K::TV, 7, A, B14, 0},      {K::CMC, 176, A, B14, 0},
    {K::CMC, 177, A, B14, 0},   {K::CMC, 178, A, B14, 0},
    // 2000
    {K::TV, 3, B2000, Z, 0},    {K::TV, 4, B2000, Z, 0},    {K::BD, 40, B2000, Z, 1},   {K::BD, 41, B2000, Z, 0.18},
    {K::BD, 42, B2000, Z, 0.0625}, {K::BD, 43, B2000, Z, 0.38}, {K::BD, 44, B2000, Z, 0.18}, {K::BD, 45, B2000, Z, 0},
    {K::BD, 46, B2000, Z, 0},   {K::BD, 47, B2000, Z, 0},   {K::BD, 48, B2000, Z, 0},
    // 2007: fixed extension length, jog angle, text fill and its colour (not kept as tags)
    {K::BD, -49, C7, Z, 1},     {K::BD, -50, C7, Z, 0.7853981633974483}, {K::BS, -69, C7, Z, 0},
    {K::CMC, -70, C7, Z, 0},    {K::B, 71, B2000, Z, 0},
    {K::B, 72, B2000, Z, 0},    {K::B, 73, B2000, Z, 1},    {K::B, 74, B2000, Z, 1},    {K::B, 75, B2000, Z, 0},
    {K::B, 76, B2000, Z, 0},    {K::BS, 77, B2000, Z, 0},   {K::BS, 78, B2000, Z, 0},   {K::BS, 79, B2000, Z, 0},
    {K::BS, -90, C7, Z, 0},
    {K::BD, 140, B2000, Z, 0.18}, {K::BD, 141, B2000, Z, 0.09}, {K::BD, 142, B2000, Z, 0}, {K::BD, 143, B2000, Z, 25.4},
    {K::BD, 144, B2000, Z, 1},  {K::BD, 145, B2000, Z, 0},  {K::BD, 146, B2000, Z, 1},  {K::BD, 147, B2000, Z, 0.09},
    {K::BD, 148, B2000, Z, 0},  {K::B, 170, B2000, Z, 0},   {K::BS, 171, B2000, Z, 2},  {K::B, 172, B2000, Z, 0},
    {K::B, 173, B2000, Z, 0},   {K::B, 174, B2000, Z, 0},   {K::B, 175, B2000, Z, 0},   {K::CMC, 176, B2000, Z, 0},
    {K::CMC, 177, B2000, Z, 0}, {K::CMC, 178, B2000, Z, 0}, {K::BS, 179, B2000, Z, 0},  {K::BS, 271, B2000, Z, 4},
    {K::BS, 272, B2000, Z, 4},  {K::BS, 273, B2000, Z, 2},  {K::BS, 274, B2000, Z, 2},  {K::BS, 275, B2000, Z, 0},
    {K::BS, 276, B2000, Z, 0},  {K::BS, 277, B2000, Z, 2},  {K::BS, 278, B2000, Z, 46}, {K::BS, 279, B2000, Z, 0},
    {K::BS, 280, B2000, Z, 0},  {K::B, 281, B2000, Z, 0},   {K::B, 282, B2000, Z, 0},   {K::BS, 283, B2000, Z, 1},
    {K::BS, 284, B2000, Z, 0},  {K::BS, 285, B2000, Z, 0},  {K::BS, 286, B2000, Z, 0},  {K::B, 288, B2000, Z, 0},
    {K::BS, 289, B2000, Z, 3},
    {K::B, -290, C7, Z, 0},     {K::B, -294, C10, Z, 0},    {K::BD, -1, C10, Z, 0},     {K::TV, -2, C10, Z, 0},
    {K::BD, -3, C10, Z, 0},     {K::TV, -4, C10, Z, 0},
    {K::BS, 371, B2000, Z, -2}, {K::BS, 372, B2000, Z, -2},
};
// Text style, arrow blocks, and since 2007 the dimension and extension line linetypes.
const std::int16_t kDimHandles2000[] = {340, 341, 342, 343, 344, 345, 346, 347};

const Tag* findCode(const std::vector<Tag>& tags, int code) {
  for (const Tag& t : tags)
    if (t.code == code) return &t;
  return nullptr;
}

template <class V>
void dimBody(V& v, std::vector<Tag>& tags) {
  std::vector<Tag> out;
  for (const DimDef& d : kDim) {
    if (v.rel() < d.since || v.rel() > d.until) continue;
    HeaderValue x;
    x.i = static_cast<std::int64_t>(d.dflt);
    x.d[0] = d.dflt;
    if constexpr (!V::kReading) {
      if (const Tag* t = findCode(tags, d.code)) {
        if (d.kind == K::BD) x.d[0] = t->asReal();
        else if (d.kind == K::TV) x.s = t->asText();
        else x.i = t->asInt();
      }
    }
    Def def{"", d.kind, d.code};
    value(v, def, x);
    if constexpr (V::kReading) {
      if (d.code < 0) continue;  // fields DXF 2000 has no place for
      if (d.kind == K::BD) out.push_back(realTag(d.code, x.d[0]));
      else if (d.kind == K::TV) out.push_back(textTag(d.code, x.s));
      else out.push_back(intTag(d.code, x.i));
    }
  }
  bool flag0 = false;
  v.B(flag0);
  int handles = v.rel() >= Release::R2007 ? 8 : v.rel() >= Release::R2000 ? 5 : 1;
  for (int i = 0; i < handles; ++i) {
    Handle h;
    if constexpr (!V::kReading) {
      if (const Tag* t = findCode(tags, kDimHandles2000[i])) h = handleFromText(t->asText());
    }
    v.H(h, 5);
    if constexpr (V::kReading) {
      if (h) out.push_back(textTag(kDimHandles2000[i], handleText(h)));
    }
  }
  if constexpr (V::kReading) tags = std::move(out);
}
}  // namespace

void dimStyleBody(ObjIn& v, std::vector<Tag>& tags) { dimBody(v, tags); }
void dimStyleBody(ObjOut& v, std::vector<Tag>& tags) { dimBody(v, tags); }

}  // namespace kelvaro::cad::dwg
