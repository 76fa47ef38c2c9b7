#include "cadkit/dxf_header.h"

#include <set>

#include "cadkit/describe.h"

namespace kelvaro::cad {
namespace {

template <class T>
struct OneVar {
  int code;
  T* v;
  template <class V> void describe(V& w) { w.field(code, *v); }
};

const HeaderVar* findVar(const Header& h, std::string_view name) {
  for (const auto& v : h.all)
    if (v.name == name) return &v;
  return nullptr;
}

struct HeaderReader {
  const Header& h;
  template <class T>
  void var(const char* name, int code, T& value, Opt = {}) {
    const HeaderVar* hv = findVar(h, name);
    if (!hv) return;
    // A variable's tags go through the field reader as a small record.
    OneVar<T> one{code, &value};
    FieldReader r(hv->tags, kLatest);
    Extras ignored;
    r.readRecord([&](auto& w) { one.describe(w); }, ignored);
  }
};

struct HeaderWriter {
  TagSink& out;
  std::set<std::string>& written;
  template <class T>
  void var(const char* name, int code, T& value, Opt o = {}) {
    written.insert(name);
    if (!o.gated(out.release())) return;
    out.raw(9, name);
    FieldWriter w(out, nullptr, false);
    w.field(code, value);
  }
};

}  // namespace

void readHeaderVars(Header& h) {
  HeaderReader r{h};
  h.describe(r);
}

void writeHeaderVars(Header& h, TagSink& out, bool keepOthers) {
  std::set<std::string> written;
  HeaderWriter w{out, written};
  h.describe(w);
  if (!keepOthers) return;
  for (const auto& v : h.all) {
    if (written.count(v.name)) continue;
    out.raw(9, v.name);
    for (const Tag& t : v.tags) out.tag(t);
  }
}

}  // namespace kelvaro::cad
