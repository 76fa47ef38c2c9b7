#include <algorithm>
#include <cctype>

#include "app/cli/command.h"
#include "app/cli/json.h"
#include "app/cli/support_site.h"
#include "cadkit/acad_date.h"
#include "cadkit/toolkit.h"
#include "shadow/Profile.h"
#include "viewer/ShadowDiagram.h"

namespace kelvaro::cli {
namespace {

bool isDrawingFile(std::string path) {
  std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
  auto ends = [&](const char* ext) {
    std::string e(ext);
    return path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
  };
  return ends(".dwg") || ends(".dxf");
}

const std::pair<const char*, double ProfileHour::*> kHourFields[] = {
    {"Time", &ProfileHour::Time},
    {"Azimuth", &ProfileHour::Azimuth},
    {"Altitude", &ProfileHour::Altitude},
    {"ShadowBearing", &ProfileHour::ShadowBearing},
    {"ShadowLength", &ProfileHour::ShadowLength},
    {"ShadowX", &ProfileHour::ShadowX},
    {"ShadowY", &ProfileHour::ShadowY},
    {"ProfileAngle", &ProfileHour::ProfileAngle},
    {"ProfileWidth", &ProfileHour::ProfileWidth},
    {"ProfileWidthCopy", &ProfileHour::ProfileWidthCopy},
};

std::vector<std::pair<const char*, const std::string*>> texts(const ShadowProfile& p) {
  return {{"HorizontalTitle", &p.HorizontalTitle}, {"VerticalTitle", &p.VerticalTitle},
          {"SiteLine", &p.SiteLine},               {"SunLine", &p.SunLine},
          {"CreatedLine", &p.CreatedLine},         {"HorizontalNote", &p.HorizontalNote},
          {"VerticalNote", &p.VerticalNote}};
}

std::string toJson(const ShadowProfile& p, const SiteTime& site) {
  JsonWriter w;
  w.beginObject();
  for (const auto& [name, text] : texts(p)) w.field(name, *text);
  w.key("RiseSet").beginObject();
  w.field("RiseUT", p.RiseSet.RiseUT).field("RiseLCT", p.RiseSet.RiseLCT);
  w.field("RiseAzimuth", p.RiseSet.RiseAzimuth).field("SetUT", p.RiseSet.SetUT);
  w.field("SetLCT", p.RiseSet.SetLCT).field("SetAzimuth", p.RiseSet.SetAzimuth);
  w.endObject();
  w.field("Threshold", p.Threshold).field("Height", p.Height).field("TextHeight", p.TextHeight);
  w.field("Orientation", p.Orientation).field("Inches", p.Inches).field("UnitsText", site.UnitsText);
  w.key("Hours").beginArray();
  for (const auto& h : p.Hours) {
    w.beginObject();
    for (const auto& [name, member] : kHourFields) w.field(name, h.*member);
    w.endObject();
  }
  w.endArray();
  w.endObject();
  return w.str();
}

std::string toText(const ShadowProfile& p) {
  std::string s;
  for (const auto& [name, text] : texts(p)) s += std::string(name) + ": " + *text + "\n";
  for (size_t i = 0; i < std::size(kHourFields); ++i) s += std::string(i ? "\t" : "") + kHourFields[i].first;
  s += "\n";
  for (const auto& h : p.Hours) {
    for (size_t i = 0; i < std::size(kHourFields); ++i)
      s += std::string(i ? "\t" : "") + numberText(h.*(kHourFields[i].second));
    s += "\n";
  }
  return s;
}

int releaseIndex(const std::string& rel) {
  static const char* names[] = {"2.5", "2.6", "9", "10", "11/12", "13", "14", "2000"};
  for (int i = 0; i < 8; ++i)
    if (rel == names[i] || rel == std::string("R") + names[i] || (i == 4 && (rel == "11" || rel == "12"))) return i;
  throw UsageError("--release must be one of 2.5, 2.6, 9, 10, 11/12, 13, 14, 2000");
}

// The diagram, built by the window's builder on the template drawing, saved as `out`.
void saveDiagram(const ShadowProfile& profile, bool vertical, const std::string& out, int release, bool binary) {
  std::string lowerOut = out;
  std::transform(lowerOut.begin(), lowerOut.end(), lowerOut.begin(), [](unsigned char c) { return std::tolower(c); });
  const bool dwg = lowerOut.size() >= 4 && lowerOut.compare(lowerOut.size() - 4, 4, ".dwg") == 0;
  if (dwg && binary) throw UsageError("--binary: only DXF files are binary");
  const cad::AdDrawing d = cad::adOpenDocument(viewer::MakeDiagramTemplate(), out.c_str());
  struct Closer {
    cad::AdDrawing d;
    ~Closer() { cad::adCloseFile(d); }
  } closer{d};
  const bool built = vertical ? viewer::BuildVerticalDiagram(d, profile, cad::acadNow())
                              : viewer::BuildHorizontalDiagram(d, profile, cad::acadNow());
  if (!built) throw Failure("the shadow diagram could not be built");
  if (cad::adSaveFile(d, out.c_str(), dwg ? 0 : binary ? 2 : 1, release, 0, 16, 1, 0) != 1) {
    if (dwg && cad::adError(0) == cad::kAdDwgUnsupported)
      throw FileError(out + ": writing DWG drawings is not available yet; save as .dxf");
    throw FileError(out + ": " + cad::adErrorStr(cad::adError(0)));
  }
}

int run(const std::vector<std::string>& argv, Io& io) {
  auto specs = siteOptions();
  specs.insert(specs.end(), {{"--height"},
                             {"--text-height"},
                             {"--threshold"},
                             {"--orientation"},
                             {"--units"},
                             {"--json", false},
                             {"--output"},
                             {"--release"},
                             {"--binary", false}});
  Args args = parseArgs(argv, specs);
  if (args.positional.empty()) throw UsageError("missing argument h|v");
  const std::string& kind = args.positional[0];
  if (kind != "h" && kind != "v") throw UsageError("invalid value for h|v: '" + kind + "'");
  if (args.positional.size() > 1) throw UsageError("unexpected argument " + args.positional[1]);
  const auto output = args.get("--output");
  const bool drawing = output && isDrawingFile(*output);
  if (!drawing && (args.has("--release") || args.flag("--binary")))
    throw UsageError("--release and --binary need --output FILE.dwg or FILE.dxf");
  const int release = releaseIndex(args.get("--release").value_or("2000"));

  SiteInputs in = parseSiteInputs(args);
  in.Orientation = intOption(args, "--orientation", 0, 359, 135);
  ProfileInputs pin;
  pin.Height = intOption(args, "--height", 1, 999999, 2000);
  pin.TextHeight = intOption(args, "--text-height", 1, 999999, 100);
  pin.Threshold = intOption(args, "--threshold", 1, 45, 10);
  std::string units = args.get("--units").value_or("mm");
  if (units != "mm" && units != "inches") throw UsageError("invalid value for --units: '" + units + "' (mm or inches)");
  pin.Inches = units == "inches";

  SiteTime site;
  ReadSiteInputs(in, site);
  ShadowProfile profile;
  if (!ComputeProfile(site, pin, profile)) return kFailed;  // the message is already on stderr
  if (drawing) {
    saveDiagram(profile, kind == "v", *output, release, args.flag("--binary"));
    return kOk;
  }
  emit(args, io, args.flag("--json") ? toJson(profile, site) : toText(profile));
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND(
    "profile", "the hourly shadow profile of a vertical structure",
    "kelvaro-cli profile h|v [--lat 52:00:00N] [--lon 0:07:00W] [--zone -5:30] [--dst 1]\n"
    "                    [--date 2024-06-21] [--height 2000] [--text-height 100] [--threshold 10]\n"
    "                    [--orientation 135] [--units mm|inches] [--json] [--output FILE]\n"
    "                    [--release 2.5|2.6|9|10|11/12|13|14|2000] [--binary]\n"
    "  prints the seven header and footer texts and the 24 hourly entries; exits 3 after the\n"
    "  message when no profile can be made. With --output FILE.dxf the shadow diagram drawing is\n"
    "  saved instead (release 2000 unless --release; --binary for binary DXF); FILE.dwg exits 4\n"
    "  until DWG writing is available.",
    run);
}  // namespace kelvaro::cli
