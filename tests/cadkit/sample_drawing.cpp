#include "sample_drawing.h"

namespace kelvaro::cad::test {

namespace {
template <class T>
void add(Document& d, T data, const char* layer = "WALLS", std::int16_t color = 256) {
  Entity e = makeEntity(std::move(data), layer);
  e.common.color = color;
  e.frame.handle = d.newHandle();
  d.modelSpace().entities.push_back(std::move(e));
}
}  // namespace

Document sampleDrawing() {
  Document d;
  d.release = Release::R2000;
  d.nextHandle = 0x100;
  d.header.extMin = {-10, -20, 0};
  d.header.extMax = {300, 200, 0};
  d.header.limMax = {420, 297};
  d.header.created = {2460000, 3600000};
  d.header.updated = {2460001, 7200000};
  d.header.editTime = {2, 61000};
  d.header.clayer = "WALLS";
  d.header.tileMode = 1;

  auto table = [&](auto& t, auto rec) {
    t.present = true;
    t.frame.handle = d.newHandle();
    typename std::decay_t<decltype(t.entries)>::value_type e;
    e.rec = rec;
    e.frame.handle = d.newHandle();
    t.entries.push_back(e);
  };
  Linetype cont;
  cont.name = "CONTINUOUS";
  cont.description = "Solid line";
  table(d.linetypes, cont);
  Linetype dashed;
  dashed.name = "DASHED";
  dashed.description = "__ __ __";
  dashed.length = 0.75;
  dashed.dashes = {{.length = 0.5}, {.length = -0.25}};
  table(d.linetypes, dashed);
  Layer zero;
  zero.name = "0";
  table(d.layers, zero);
  Layer walls;
  walls.name = "WALLS";
  walls.color = -3;  // off
  walls.flags = 4;   // locked
  walls.linetype = "DASHED";
  table(d.layers, walls);
  TextStyle st;
  st.name = "STANDARD";
  st.font = "txt";
  table(d.styles, st);
  TextStyle arch;
  arch.name = "Shadow_Archs";
  arch.font = "Archs.shx";
  arch.bigFont = "bigfont.shx";
  arch.widthFactor = 0.8;
  table(d.styles, arch);
  View view;
  view.name = "NORTH";
  view.center = {50, 60};
  view.height = 40;
  view.width = 80;
  table(d.views, view);
  Vport act;
  act.name = "*ACTIVE";
  act.center = {100, 50};
  act.height = 250;
  act.aspect = 1.5;
  table(d.vports, act);
  Ucs ucs;
  ucs.name = "TILTED";
  ucs.origin = {1, 2, 3};
  table(d.ucss, ucs);
  AppId acad;
  acad.name = "ACAD";
  table(d.appids, acad);
  DimStyle ds;
  ds.name = "STANDARD";
  table(d.dimstyles, ds);

  Block& b = d.addBlock("DOOR");
  b.begin.base = {1, 2, 0};
  {
    AttDef ad;
    ad.tag = "WIDTH";
    ad.prompt = "Door width";
    ad.text = "900";
    ad.insert = {0, 1, 0};
    ad.height = 2.5;
    Entity e = makeEntity(ad);
    e.frame.handle = d.newHandle();
    b.entities.push_back(e);
    Line l;
    l.start = {0, 0, 0};
    l.end = {9, 0, 0};
    Entity le = makeEntity(l);
    le.frame.handle = d.newHandle();
    b.entities.push_back(le);
  }
  d.modelSpace();

  add(d, Line{.start = {1, 2, 3}, .end = {4, 5, 6}, .thickness = 0.5}, "WALLS", 1);
  add(d, Point{.location = {7, 8, 0}});
  add(d, Circle{.center = {10, 10, 0}, .radius = 5});
  add(d, Arc{.center = {20, 10, 0}, .radius = 3, .startAngle = 30, .endAngle = 120});
  add(d, Ellipse{.center = {40, 10, 0}, .majorAxis = {10, 0, 0}, .ratio = 0.5, .startParam = 0, .endParam = 6.283185307179586});
  Solid so;
  so.p[0] = {0, 0, 0}, so.p[1] = {1, 0, 0}, so.p[2] = {0, 1, 0}, so.p[3] = {1, 1, 0};
  add(d, so);
  Trace tr;
  tr.p[0] = {5, 0, 0}, tr.p[1] = {6, 0, 0}, tr.p[2] = {5, 1, 0}, tr.p[3] = {6, 1, 0};
  add(d, tr);
  Face3d f;
  f.p[0] = {0, 0, 1}, f.p[1] = {1, 0, 1}, f.p[2] = {1, 1, 2}, f.p[3] = {0, 1, 2};
  f.invisibleEdges = 5;
  add(d, f);
  LwPolyline lw;
  lw.flags = 1;
  lw.elevation = 2;
  lw.vertices = {{.p = {0, 0}, .bulge = 0.5}, {.p = {10, 0}}, {.p = {10, 10}, .startWidth = 1, .endWidth = 2}};
  add(d, lw);
  Polyline pl;
  pl.flags = 8;
  for (Vec3 p : {Vec3{0, 0, 0}, Vec3{1, 1, 1}, Vec3{2, 0, 3}}) {
    Vertex v;
    v.data.location = p;
    v.data.flags = 32;
    v.common.layer = "WALLS";
    v.frame.handle = d.newHandle();
    pl.vertices.push_back(v);
  }
  pl.seqend.common.layer = "WALLS";
  pl.seqend.frame.handle = d.newHandle();
  add(d, pl);
  Spline sp;
  sp.degree = 3;
  sp.flags = 8;
  sp.knots = {0, 0, 0, 0, 1, 1, 1, 1};
  sp.control = {{0, 0, 0}, {1, 2, 0}, {3, 2, 0}, {4, 0, 0}};
  add(d, sp);
  Text t;
  t.text = "Caf\xC3\xA9 \xE2\x82\xAC 9.00hrs";  // é and the euro sign
  t.insert = {5, 5, 0};
  t.height = 2.5;
  t.rotation = 45;
  t.style = "Shadow_Archs";
  add(d, t);
  MText mt;
  mt.text = std::string(300, 'x') + "\xC3\xA9";  // longer than one 250-byte chunk
  mt.insert = {50, 50, 0};
  mt.height = 3;
  mt.refWidth = 100;
  add(d, mt);
  Insert in;
  in.block = "DOOR";
  in.insert = {100, 100, 0};
  in.sx = 2;
  in.rotation = 90;
  Attrib at;
  at.data.tag = "WIDTH";
  at.data.text = "1000";
  at.data.insert = {100, 101, 0};
  at.data.height = 2.5;
  at.common.layer = "WALLS";
  at.frame.handle = d.newHandle();
  in.attribs.push_back(at);
  in.attribsFollow = 1;
  in.seqend.common.layer = "WALLS";
  in.seqend.frame.handle = d.newHandle();
  add(d, in);
  Insert arr;
  arr.block = "DOOR";
  arr.columns = 3;
  arr.rows = 2;
  arr.columnSpacing = 10;
  arr.rowSpacing = 20;
  add(d, arr);
  Dimension dim;
  dim.type = 1;
  dim.defPoint = {0, 10, 0};
  dim.textMid = {5, 11, 0};
  dim.p13 = {0, 0, 0};
  dim.p14 = {10, 0, 0};
  dim.block = "*D1";
  add(d, dim);
  Leader ld;
  ld.vertices = {{0, 0, 0}, {5, 5, 0}, {10, 5, 0}};
  add(d, ld);
  Hatch h;
  HatchPath path;
  path.flags = 3;
  path.vertices = {{{0, 0}, 0}, {{10, 0}, 0}, {{10, 10}, 0}};
  h.paths.push_back(path);
  HatchPath edges;
  edges.flags = 1;
  edges.edges.push_back({.type = 1, .p1 = {20, 0}, .p2 = {30, 0}});
  edges.edges.push_back({.type = 2, .p1 = {30, 5}, .radius = 5, .start = 270, .end = 90});
  edges.edges.push_back({.type = 1, .p1 = {30, 10}, .p2 = {20, 0}});
  h.paths.push_back(edges);
  add(d, h);
  Hatch pat;
  pat.pattern = "ANSI31";
  pat.solid = 0;
  pat.angle = 45;
  pat.scale = 2;
  pat.lines.push_back({.angle = 45, .base = {0, 0}, .offset = {-2.2, 2.2}, .dashes = {}});
  pat.paths.push_back(path);
  pat.seeds = {{1, 1}};
  add(d, pat);
  add(d, Ray{.start = {0, 0, 0}, .direction = {1, 0, 0}});
  add(d, XLine{.start = {0, 0, 0}, .direction = {0, 1, 0}});
  MLine ml;
  ml.start = {0, 0, 0};
  ml.vertices = {{.location = {0, 0, 0}, .elements = {{{0, 1}, {}}, {{-0.5, 1}, {}}}},
                 {.location = {10, 0, 0}, .elements = {{{0, 1}, {}}, {{-0.5, 1}, {}}}}};
  add(d, ml);

  Viewport vp;
  vp.center = {100, 100, 0};
  vp.width = 200;
  vp.height = 150;
  vp.id = 2;
  vp.viewCenter = {50, 50};
  vp.viewHeight = 120;
  Entity ve = makeEntity(vp);
  ve.frame.handle = d.newHandle();
  ve.common.paperSpace = 1;
  d.paperSpace().entities.push_back(ve);
  d.assignHandles();
  return d;
}

}  // namespace kelvaro::cad::test
