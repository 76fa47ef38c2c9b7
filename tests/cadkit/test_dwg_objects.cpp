// DWG R13-2000 records the model keeps beyond geometry: multilines with their styles, groups,
// dictionary variables, placeholders, OLE frames and paper-space viewport views, through every
// release in both directions and through DXF.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "cadkit/dwg/desc_objects.h"
#include "cadkit/dwg/dwg_io.h"
#include "dwg_check_helper.h"
#include "sample_drawing.h"

namespace kelvaro::cad {
namespace {

namespace fs = std::filesystem;
const Release kReleases[] = {Release::R13, Release::R14, Release::R2000};

const MLine* firstMLine(const Document& d) {
  for (const auto& b : d.blocks)
    for (const auto& e : b.entities)
      if (auto* m = e.as<MLine>()) return m;
  return nullptr;
}

void expectSameMLine(const MLine& a, const MLine& b) {
  EXPECT_EQ(a.style, b.style);
  EXPECT_EQ(a.scale, b.scale);
  EXPECT_EQ(a.justification, b.justification);
  EXPECT_EQ(a.flags, b.flags);
  EXPECT_EQ(a.styleElements, b.styleElements);
  ASSERT_EQ(a.vertices.size(), b.vertices.size());
  for (std::size_t i = 0; i < a.vertices.size(); ++i) {
    const auto &va = a.vertices[i], &vb = b.vertices[i];
    EXPECT_NEAR(va.location.x, vb.location.x, 1e-9) << i;
    EXPECT_NEAR(va.miter.y, vb.miter.y, 1e-9) << i;
    ASSERT_EQ(va.elements.size(), vb.elements.size()) << i;
    for (std::size_t k = 0; k < va.elements.size(); ++k) {
      EXPECT_EQ(va.elements[k].params.size(), vb.elements[k].params.size()) << i << "/" << k;
      EXPECT_EQ(va.elements[k].fill.size(), vb.elements[k].fill.size()) << i << "/" << k;
    }
  }
}

// The multiline of each sample drawing reads without complaint and as its DXF has it.
TEST(DwgMLine, CorpusMultilinesMatchTheirDxf) {
  int n = 0;
  for (const char* name : {"example_2000", "example_r14", "example_r13"}) {
    fs::path dwg = fs::path(test::corpusDir()) / (std::string(name) + ".dwg");
    fs::path dxf = fs::path(test::corpusDir()) / (std::string(name) + ".dxf");
    if (!fs::exists(dwg) || !fs::exists(dxf)) continue;
    SCOPED_TRACE(name);
    DwgReadReport rep;
    Document a = readDwgFile(dwg, &rep);
    for (const auto& w : rep.warnings) ADD_FAILURE() << w;
    Document b = readDxfFile(dxf);
    const MLine *ma = firstMLine(a), *mb = firstMLine(b);
    ASSERT_NE(ma, nullptr);
    ASSERT_NE(mb, nullptr);
    expectSameMLine(*ma, *mb);
    ++n;
  }
  if (n == 0) GTEST_SKIP() << "sample drawings not found under " << test::corpusDir();
}

// Lines of a multiline carry their own counts of segment and fill parameters.
TEST(DwgMLine, UnevenParametersSurviveEveryRelease) {
  Document d;
  MLine ml;
  ml.style.clear();
  ml.styleElements = 3;
  ml.scale = 2.5;
  ml.justification = 2;
  ml.flags = 3;
  for (int i = 0; i < 4; ++i) {
    MLineVertex v;
    v.location = {i * 10.0, i * 1.0, 0};
    v.miter = {0.6, 0.8, 0};
    for (int k = 0; k < 3; ++k) {
      MLineElement el;
      for (int p = 0; p <= (i + k) % 4; ++p) el.params.push_back(p * 0.5 + k);
      if (k == 1) el.fill = {1.0, 2.0 + i};
      v.elements.push_back(el);
    }
    ml.vertices.push_back(v);
  }
  Entity e = makeEntity(ml);
  e.frame.handle = d.newHandle();
  d.modelSpace().entities.push_back(e);
  for (Release rel : kReleases) {
    SCOPED_TRACE(releaseName(rel));
    DwgReadReport rep;
    Document back = readDwg(writeDwg(d, rel), &rep);
    for (const auto& w : rep.warnings) ADD_FAILURE() << w;
    const MLine* got = firstMLine(back);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->vertices, ml.vertices);
    EXPECT_EQ(got->scale, ml.scale);
    EXPECT_EQ(got->justification, ml.justification);
  }
}

// --- OLE frames -----------------------------------------------------------------------------------

Ole2Frame sampleOle() {
  Ole2Frame f;
  f.oleType = 2;
  f.tileMode = 1;
  std::vector<std::uint8_t> b(300);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 3);
  // Corners: upper left (2, 9), upper right, lower right (6, 4), lower left.
  const double corners[4][3] = {{2, 9, 0}, {6, 9, 0}, {6, 4, 0}, {2, 4, 0}};
  std::memcpy(b.data() + 2, corners, sizeof corners);
  dwg::oleFromBytes(f, b);
  return f;
}

TEST(DwgOle2Frame, WrittenAndReadInEveryRelease) {
  Document d;
  Entity e = makeEntity(sampleOle());
  e.frame.handle = d.newHandle();
  e.common.layer = "0";
  d.modelSpace().entities.push_back(e);
  const Ole2Frame want = sampleOle();
  EXPECT_EQ(want.upperLeft, (Vec3{2, 9, 0}));
  EXPECT_EQ(want.lowerRight, (Vec3{6, 4, 0}));
  EXPECT_EQ(want.data.size(), 3u);  // 127 + 127 + 46 bytes
  for (Release rel : kReleases) {
    SCOPED_TRACE(releaseName(rel));
    SaveReport rep;
    DwgReadReport rr;
    Document back = readDwg(writeDwg(d, rel, &rep), &rr);
    EXPECT_EQ(rep.dropped.count("OLE2FRAME"), 0u);
    for (const auto& w : rr.warnings) ADD_FAILURE() << w;
    ASSERT_EQ(back.modelSpace().entities.size(), 1u);
    const Ole2Frame* got = back.modelSpace().entities[0].as<Ole2Frame>();
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->data, want.data);
    EXPECT_EQ(got->length, 300);
    EXPECT_EQ(got->oleType, want.oleType);
    EXPECT_EQ(got->tileMode, rel >= Release::R2000 ? want.tileMode : 0);
    EXPECT_EQ(got->upperLeft, want.upperLeft);
    EXPECT_EQ(got->lowerRight, want.lowerRight);
    // And on into DXF.
    Document dxf = readDxf(writeDxf(back, rel, WriteOptions{}));
    ASSERT_EQ(dxf.modelSpace().entities.size(), 1u);
    EXPECT_EQ(dxf.modelSpace().entities[0].get<Ole2Frame>().data, want.data);
  }
}

// A frame whose stored size runs past its record reads as a damaged frame, never past the data.
TEST(DwgOle2Frame, SizeBeyondTheRecordIsRefused) {
  dwg::Ctx ctx;
  dwg::BitWriter dat(Release::R2000), hdl(Release::R2000);
  dat.BS(2);
  dat.BS(0);
  dat.BL(1 << 30);
  dat.RC(1);
  auto bytes = dat.data();
  dwg::BitReader rd(bytes, Release::R2000), rh(hdl.data(), Release::R2000);
  dwg::ObjIn v(rd, rh, ctx, 1);
  Ole2Frame f;
  dwg::Links l;
  dwg::dwgBody(v, f, l);
  EXPECT_FALSE(v.ok());
  EXPECT_TRUE(f.data.empty());
}

// --- paper-space viewports -------------------------------------------------------------------------

// R13 and R14 keep the view in extended data: every field the model holds comes back.
TEST(DwgViewport, ViewSurvivesEveryRelease) {
  Document d = test::sampleDrawing();
  Viewport* vp = nullptr;
  for (auto& e : d.paperSpace().entities)
    if ((vp = e.as<Viewport>())) break;
  ASSERT_NE(vp, nullptr);
  vp->viewTarget = {1, 2, 3};
  vp->viewDirection = {0.5, -0.5, 0.7};
  vp->twist = 15;
  vp->viewHeight = 120;
  vp->viewCenter = {50, 60};
  vp->lens = 35;
  vp->frontClip = 2;
  vp->backClip = -3;
  vp->circleZoom = 500;
  vp->snapAngle = 30;
  vp->snapBase = {1, 1};
  vp->snapSpacing = {0.5, 0.25};
  vp->gridSpacing = {10, 20};
  vp->flags = 1 | 2 | 32 | 128 | 256 | 512 | 2048 | 8192;
  vp->frozenLayers = {d.layers.entries.back().frame.handle};
  const Viewport want = *vp;
  for (Release rel : kReleases) {
    SCOPED_TRACE(releaseName(rel));
    DwgReadReport rr;
    Document back = readDwg(writeDwg(d, rel), &rr);
    for (const auto& w : rr.warnings) ADD_FAILURE() << w;
    const Viewport* got = nullptr;
    const Entity* ent = nullptr;
    for (auto& e : back.paperSpace().entities)
      if ((got = e.as<Viewport>())) {
        ent = &e;
        break;
      }
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->viewTarget, want.viewTarget);
    EXPECT_EQ(got->viewDirection, want.viewDirection);
    EXPECT_EQ(got->viewCenter, want.viewCenter);
    EXPECT_EQ(got->viewHeight, want.viewHeight);
    EXPECT_NEAR(got->twist, want.twist, 1e-12);
    EXPECT_EQ(got->lens, want.lens);
    EXPECT_EQ(got->frontClip, want.frontClip);
    EXPECT_EQ(got->backClip, want.backClip);
    EXPECT_EQ(got->circleZoom, want.circleZoom);
    EXPECT_EQ(got->snapSpacing, want.snapSpacing);
    EXPECT_EQ(got->gridSpacing, want.gridSpacing);
    EXPECT_EQ(got->flags, want.flags);
    EXPECT_EQ(got->frozenLayers, want.frozenLayers);
    // The view is in the fields only, not also in extended data.
    for (const Tag& t : ent->frame.xdata()) EXPECT_FALSE(t.code == 1000 && t.asText() == "MVIEW");
    // Saved again the view is still there.
    Document again = readDwg(writeDwg(back, rel));
    for (auto& e : again.paperSpace().entities)
      if (auto* v = e.as<Viewport>()) {
        EXPECT_EQ(v->viewCenter, want.viewCenter);
      }
  }
}

// A view group too short to read stays in the extended data and goes back unchanged.
TEST(DwgViewport, UnreadableViewGroupIsKeptAsRead) {
  Document d = test::sampleDrawing();
  Entity* ve = nullptr;
  for (auto& e : d.paperSpace().entities)
    if (e.is<Viewport>()) ve = &e;
  ASSERT_NE(ve, nullptr);
  std::vector<Tag> x = {dwg::textTag(1001, "ACAD"), dwg::textTag(1000, "MVIEW"), dwg::textTag(1002, "{"),
                        dwg::intTag(1070, 16),         dwg::realTag(1040, 7.5),        dwg::textTag(1002, "}")};
  ve->frame.xdata() = x;
  for (Release rel : {Release::R13, Release::R14}) {
    Document back = readDwg(writeDwg(d, rel));
    const Entity* got = nullptr;
    for (auto& e : back.paperSpace().entities)
      if (e.is<Viewport>()) got = &e;
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->frame.xdata().size(), x.size()) << releaseName(rel);
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_TRUE(got->frame.xdata()[i] == x[i]) << i;
  }
}

// The R14 sample's viewports have their views, and keep them saved as 2000.
TEST(DwgViewport, R14SampleViewsSurviveASaveAs2000) {
  fs::path f = fs::path(test::corpusDir()) / "example_r14.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  Document d = readDwgFile(f);
  std::vector<Viewport> views;
  for (const auto& b : d.blocks)
    for (const auto& e : b.entities)
      if (auto* v = e.as<Viewport>()) views.push_back(*v);
  ASSERT_FALSE(views.empty());
  EXPECT_TRUE(std::any_of(views.begin(), views.end(), [](const Viewport& v) { return v.viewHeight != 1; }));
  Document back = readDwg(writeDwg(d, Release::R2000));
  std::vector<Viewport> after;
  for (const auto& b : back.blocks)
    for (const auto& e : b.entities)
      if (auto* v = e.as<Viewport>()) after.push_back(*v);
  ASSERT_EQ(after.size(), views.size());
  for (std::size_t i = 0; i < views.size(); ++i) {
    EXPECT_EQ(after[i].viewCenter, views[i].viewCenter) << i;
    EXPECT_EQ(after[i].viewHeight, views[i].viewHeight) << i;
    EXPECT_EQ(after[i].viewDirection, views[i].viewDirection) << i;
  }
}

// --- objects kept as their tags ----------------------------------------------------------------

using dwg::TagObject;
using dwg::TagObjectRec;
const TagObject kKinds[] = {TagObject::Group, TagObject::MLineStyle, TagObject::DictionaryVar, TagObject::Placeholder,
                            TagObject::DictionaryDefault, TagObject::IdBuffer};

TagObjectRec sampleRec(TagObject k) {
  TagObjectRec r;
  switch (k) {
    case TagObject::Group:
      r.name = "north walls", r.flags = 0, r.selectable = 1, r.refs = {Handle{0x41}, Handle{0x1F3}};
      break;
    case TagObject::MLineStyle:
      r.name = "WALLS", r.text = "two skins", r.flags = 2 | 16, r.fill = 3, r.startAngle = 45, r.endAngle = 90;
      r.lines = {{0.5, 1, "BYLAYER"}, {0, 256, "DASHED"}, {-0.5, 0, "BYBLOCK"}};
      break;
    case TagObject::DictionaryVar: r.schema = 0, r.text = "1:50"; break;
    case TagObject::DictionaryDefault:
      r.cloning = 1, r.entries = {{"Normal", Handle{0x0F}, 0}, {"Heavy", Handle{0x2A}, 0}}, r.dflt = Handle{0x0F};
      break;
    case TagObject::IdBuffer: r.refs = {Handle{0x51}, Handle{0x52}, Handle{0x7FF}}; break;
    default: break;
  }
  return r;
}

// Each description written and read back through its visitor pair, in every release, gives the
// same tags; cut short it fails without running past its data.
TEST(DwgTagObjects, EveryDescriptionRoundTripsInEveryRelease) {
  const std::vector<std::string> linetypes = {"CONTINUOUS", "DASHED"};
  for (Release rel : kReleases)
    for (TagObject k : kKinds) {
      SCOPED_TRACE(std::string(releaseName(rel)) + " kind " + std::to_string(int(k)));
      dwg::Ctx ctx;
      ctx.rel = rel;
      ctx.maint = 6;
      TagObjectRec in = sampleRec(k);
      dwg::BitWriter dat(rel), hdl(rel);
      dwg::ObjOut out(dat, hdl, ctx);
      dwg::dwgTagObject(out, k, in, linetypes);
      auto d = dat.data(), h = hdl.data();
      dwg::BitReader rd(d, rel), rh(h, rel);
      dwg::ObjIn v(rd, rh, ctx, 0x99);
      TagObjectRec back;
      dwg::dwgTagObject(v, k, back, linetypes);
      EXPECT_TRUE(v.ok());
      EXPECT_EQ(dwg::tagObjectTags(k, back), dwg::tagObjectTags(k, in));
      // The tags give back the record they came from.
      EXPECT_EQ(dwg::tagObjectTags(k, dwg::tagObjectFromTags(k, dwg::tagObjectTags(k, in))), dwg::tagObjectTags(k, in));
      if (k == TagObject::Placeholder) continue;
      // Half the data and no handles: reading stops with a failure and holds no invented lists.
      std::vector<std::uint8_t> half(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(d.size() / 2));
      dwg::BitReader hd(half, rel), none(std::span<const std::uint8_t>(), rel);
      dwg::ObjIn cut(hd, none, ctx, 0x99);
      TagObjectRec broken;
      dwg::dwgTagObject(cut, k, broken, linetypes);
      EXPECT_FALSE(cut.ok());
      EXPECT_LE(broken.refs.size(), in.refs.size());
      EXPECT_LE(broken.lines.size(), in.lines.size());
    }
}

// A count far beyond the data is refused before anything is sized by it.
TEST(DwgTagObjects, HugeCountsAreRefused) {
  dwg::Ctx ctx;
  dwg::BitWriter dat(Release::R2000);
  dat.TV("g");
  dat.BS(0);
  dat.BS(1);
  dat.BL(50'000'000);
  auto d = dat.data();
  dwg::BitReader rd(d, Release::R2000), rh(std::span<const std::uint8_t>(), Release::R2000);
  dwg::ObjIn v(rd, rh, ctx, 1);
  TagObjectRec r;
  dwg::dwgTagObject(v, TagObject::Group, r, {});
  EXPECT_FALSE(v.ok());
  EXPECT_TRUE(r.refs.empty());
}

Object tagObject(Document& d, TagObject k, const char* type, Handle owner) {
  Object o;
  o.frame.handle = d.newHandle();
  o.frame.owner = owner;
  o.frame.extras() = dwg::tagObjectTags(k, sampleRec(k));
  o.data = RawObject{type};
  return o;
}

// A drawing holding one object of each kind, named from the root dictionary, and a multiline
// drawn in the style it holds.
Document drawingWithObjects() {
  Document d = test::sampleDrawing();
  for (auto& b : d.blocks)
    for (auto& e : b.entities)
      if (auto* dim = e.as<Dimension>(); dim && !d.findBlock(dim->block)) dim->block.clear();
  if (!std::any_of(d.linetypes.entries.begin(), d.linetypes.entries.end(), [](auto& e) { return e.rec.name == "DASHED"; })) {
    TableEntry<Linetype> lt;
    lt.rec.name = "DASHED";
    lt.frame.handle = d.newHandle();
    d.linetypes.entries.push_back(lt);
  }
  Object root;
  root.frame.handle = d.newHandle();
  Dictionary rd;
  const std::pair<TagObject, const char*> kinds[] = {
      {TagObject::Group, "GROUP"}, {TagObject::MLineStyle, "MLINESTYLE"}, {TagObject::DictionaryVar, "DICTIONARYVAR"},
      {TagObject::Placeholder, "ACDBPLACEHOLDER"}, {TagObject::DictionaryDefault, "ACDBDICTIONARYWDFLT"},
      {TagObject::IdBuffer, "IDBUFFER"}};
  std::vector<Object> objs;
  for (auto [k, type] : kinds) {
    objs.push_back(tagObject(d, k, type, root.frame.handle));
    rd.entries.push_back({std::string("KELVARO_") + type, objs.back().frame.handle, 0});
  }
  // The group holds two real entities of model space.
  auto& ms = d.modelSpace().entities;
  objs[0].frame.extras() = dwg::tagObjectTags(TagObject::Group, [&] {
    TagObjectRec g = sampleRec(TagObject::Group);
    g.refs = {ms[0].frame.handle, ms[1].frame.handle};
    return g;
  }());
  rd.entries.push_back({"ACAD_MLINESTYLE", objs[1].frame.handle, 0});
  root.data = rd;
  d.objects.insert(d.objects.begin(), root);
  for (auto& o : objs) d.objects.push_back(std::move(o));
  for (auto& e : ms)
    if (auto* ml = e.as<MLine>()) ml->style = "WALLS", ml->styleHandle = {}, ml->styleElements = 3;
  Entity ole = makeEntity(sampleOle());
  ole.frame.handle = d.newHandle();
  ms.push_back(ole);
  d.assignHandles();
  return d;
}

std::string show(const Extras& x) {
  std::string s;
  for (const auto& g : x) {
    s += "[" + g.subclass + "]";
    for (const Tag& t : g.tags) s += " " + std::to_string(t.code) + "=" + t.asText();
  }
  return s;
}

// Equal tags, texts compared without case (files saved apart differ in case only).
bool sameTags(const Extras& a, const Extras& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].subclass != b[i].subclass || a[i].tags.size() != b[i].tags.size()) return false;
    for (std::size_t k = 0; k < a[i].tags.size(); ++k)
      if (!(a[i].tags[k] == b[i].tags[k]) && !sameName(a[i].tags[k].asText(), b[i].tags[k].asText())) return false;
  }
  return true;
}

std::map<std::uint64_t, const Object*> tagObjects(const Document& d) {
  std::map<std::uint64_t, const Object*> m;
  for (const auto& o : d.objects)
    if (auto* r = std::get_if<RawObject>(&o.data); r && dwg::tagObjectOf(r->type) != TagObject::None) m[o.frame.handle.v] = &o;
  return m;
}

void expectSameTagObjects(const Document& got, const Document& want) {
  auto a = tagObjects(got), b = tagObjects(want);
  ASSERT_EQ(a.size(), b.size());
  for (auto [h, o] : b) {
    SCOPED_TRACE(handleText(Handle{h}) + " " + objectTypeName(o->data));
    ASSERT_TRUE(a.count(h));
    EXPECT_EQ(objectTypeName(a[h]->data), objectTypeName(o->data));
    EXPECT_EQ(a[h]->frame.extras(), o->frame.extras()) << show(a[h]->frame.extras()) << "\n" << show(o->frame.extras());
  }
}

// Through DWG of every release, through DXF after DWG, and DWG to DWG again.
TEST(DwgTagObjects, KeptThroughDwgAndDxf) {
  Document d = drawingWithObjects();
  for (Release rel : kReleases) {
    SCOPED_TRACE(releaseName(rel));
    SaveReport rep;
    DwgReadReport rr;
    Document back = readDwg(writeDwg(d, rel, &rep), &rr);
    for (const auto& w : rr.warnings) ADD_FAILURE() << w;
    for (const char* t : {"GROUP", "MLINESTYLE", "DICTIONARYVAR", "ACDBPLACEHOLDER", "ACDBDICTIONARYWDFLT", "IDBUFFER"})
      EXPECT_EQ(rep.dropped.count(t), 0u) << t;
    expectSameTagObjects(back, d);
    // The multiline finds its style by name and by handle.
    const MLine* ml = firstMLine(back);
    ASSERT_NE(ml, nullptr);
    EXPECT_EQ(ml->style, "WALLS");
    const Object* style = back.findObject(ml->styleHandle);
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(objectTypeName(style->data), "MLINESTYLE");
    Document dxf = readDxf(writeDxf(back, rel, WriteOptions{}));
    expectSameTagObjects(dxf, d);
    Document again = readDwg(writeDwg(back, rel));
    expectSameTagObjects(again, d);
  }
}

// The sample drawings hold these objects as their DXF files do, and keep them saved as DWG.
TEST(DwgTagObjects, CorpusObjectsMatchTheirDxfAndSurviveASave) {
  int n = 0;
  for (const char* name : {"example_2000", "example_r14", "example_r13", "sample_2000"}) {
    fs::path dwg = fs::path(test::corpusDir()) / (std::string(name) + ".dwg");
    fs::path dxf = fs::path(test::corpusDir()) / (std::string(name) + ".dxf");
    if (!fs::exists(dwg) || !fs::exists(dxf)) continue;
    SCOPED_TRACE(name);
    Document a = readDwgFile(dwg), b = readDxfFile(dxf);
    // The DXF files were saved apart from the drawings: they agree on the objects both hold.
    auto oa = tagObjects(a), ob = tagObjects(b);
    int common = 0;
    for (auto [h, o] : oa) {
      if (!ob.count(h) || objectTypeName(ob[h]->data) != objectTypeName(o->data)) continue;
      SCOPED_TRACE(handleText(Handle{h}) + " " + objectTypeName(o->data));
      EXPECT_TRUE(sameTags(o->frame.extras(), ob[h]->frame.extras())) << show(o->frame.extras()) << "\n" << show(ob[h]->frame.extras());
      ++common;
    }
    EXPECT_GT(common, 3);
    expectSameTagObjects(readDwg(writeDwg(a, a.release)), a);
    expectSameTagObjects(readDwg(writeDwg(b, a.release)), b);
    ++n;
  }
  if (n == 0) GTEST_SKIP() << "sample drawings not found under " << test::corpusDir();
}

// The independent reader finds each object in a file of every release.
TEST(DwgTagObjects, IndependentReaderFindsThem) {
  if (std::string why = test::dwgCheckMissing(); !why.empty()) GTEST_SKIP() << why;
  Document d = drawingWithObjects();
  fs::path dir = fs::temp_directory_path() / ("kelvaro_dwg_objects_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<fs::path> files;
  for (Release rel : kReleases) {
    files.push_back(dir / ("objects_" + std::to_string(files.size()) + ".dwg"));
    saveDwgFile(d, files.back(), rel);
  }
  std::string out;
  auto got = test::checkDwgs(files, out);
  fs::remove_all(dir);
  ASSERT_EQ(got.size(), files.size()) << out;
  for (const auto& g : got) {
    SCOPED_TRACE(g.line);
    EXPECT_EQ(g.error, "");
    for (const char* t : {"GROUP", "MLINESTYLE", "DICTIONARYVAR", "PLACEHOLDER", "DICTIONARYWDFLT", "IDBUFFER"})
      EXPECT_EQ(g.objects.count(t) ? g.objects.at(t) : 0, 1) << t;
    for (const char* t : {"MLINE", "OLE2FRAME"}) EXPECT_EQ(g.entities.count(t) ? g.entities.at(t) : 0, 1) << t;
  }
}

// Damaged bytes anywhere in a file holding all of these give warnings or an error, never a
// crash, and what still reads is a drawing that saves again.
TEST(DwgTagObjects, DamagedFilesNeverCrash) {
  for (Release rel : kReleases) {
    auto good = writeDwg(drawingWithObjects(), rel);
    int warned = 0;
    for (std::size_t at = 0x80; at < good.size(); at += 29) {
      auto bad = good;
      bad[at] ^= 0x5A;
      bad[at + 1 < bad.size() ? at + 1 : at] ^= 0xFF;
      try {
        DwgReadReport rep;
        Document d = readDwg(bad, &rep);
        warned += !rep.warnings.empty();
        (void)writeDwg(d, rel);
      } catch (const DwgError&) {
      }
    }
    EXPECT_GT(warned, 10) << releaseName(rel);
  }
}

}  // namespace
}  // namespace kelvaro::cad
