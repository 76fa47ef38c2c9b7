#pragma once
// Each record of the drawing declares its group codes once, in a describe(V&) template:
//   v.subclass("AcDbLine"); v.field(10, start); v.field(39, thickness, {.opt = true});
// FieldReader (DXF tags -> record) and FieldWriter (record -> DXF tags) are the two visitors.
// Version gates and defaults are data in Opt, never branches inside a backend.
#include <algorithm>
#include <bitset>
#include <cmath>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "cadkit/dxf_tags.h"
#include "cadkit/name.h"
#include "cadkit/types.h"

namespace kelvaro::cad {

struct Opt {
  Release since = Release::R2_5;
  Release until = kLatest;
  bool opt = false;      // written only when it differs from dflt (numbers) or is non-empty (text)
  double dflt = 0.0;
  bool normal = false;   // an extrusion vector: default (0, 0, 1)
  bool gateRead = false; // also ignore the code when reading older files (disambiguation)
  bool gated(Release r) const { return r >= since && r <= until; }
};

// Tags a record carried that no field claimed, grouped by the subclass they appeared in, so
// they are written back in place.
struct ExtraGroup {
  std::string subclass;
  std::vector<Tag> tags;
  bool operator==(const ExtraGroup&) const = default;
};
using Extras = std::vector<ExtraGroup>;

// Collects the subclass names a record declares (used to decide whether a file's subclass
// marker can be trusted to route group codes).
struct SubclassProbe {
  Release release = kLatest;
  std::string_view wanted;
  bool found = false;
  void subclass(std::string_view name, Opt = {}) {
    if (name == wanted) found = true;
  }
  template <class T> void field(int, T&, Opt = {}) {}
  template <class T> void countOf(int, const std::vector<T>&, Opt = {}) {}
  template <class T, class Fn> void seq(int, std::vector<T>&, Opt, Fn) {}
  template <class T> void seq(int, std::vector<T>&, Opt = {}) {}
  template <class T, class Fn> void list(int, std::vector<T>&, Opt, Fn) {}
  template <class T> void list(int, std::vector<T>&, Opt = {}) {}
  template <class T> void values(int, std::vector<T>&, Opt = {}) {}
  template <class T> void points(int, std::vector<T>&, Opt = {}) {}
  void longText(int, int, std::string&, Opt = {}) {}
  void opaqueRest() {}
  bool reading() const { return true; }
};

class FieldReader {
 public:
  FieldReader(std::span<const Tag> tags, Release release) : tags_(tags), release_(release) {}

  // Reads a whole record: every tag is offered to describe(); unclaimed tags go to `extras`.
  template <class Fn>
  void readRecord(Fn&& describeAll, Extras& extras, std::string_view (*probe)(std::string_view) = nullptr);

  // Visitor interface --------------------------------------------------------------------------
  void subclass(std::string_view name, Opt = {}) {
    descSub_ = name;
    subOk_ = !strict_ || descSub_ == fileSub_;
  }
  bool reading() const { return true; }
  Release rel() const { return release_; }

  template <class T>
  void field(int code, T& v, Opt o = {}) {
    if (matched_ || !readable(o) || !subOk()) return;
    const Tag& t = *cur_;
    if constexpr (std::is_same_v<T, Vec3> || std::is_same_v<T, Vec2>) {
      int d = t.code - code;
      if (d != 0 && d != 10 && !(d == 20 && std::is_same_v<T, Vec3>)) return;
      if (seen(t.code)) return;
      double val = t.asReal();
      if (d == 0) {
        v.x = val;
        // A 2D point (older files) has z 0, whatever the field's default.
        if constexpr (std::is_same_v<T, Vec3>)
          if (!seen(code + 20)) v.z = 0;
      } else if (d == 10) v.y = val;
      else if constexpr (std::is_same_v<T, Vec3>) v.z = val;
      take(t.code);
    } else {
      if (t.code != code || seen(code)) return;
      assign(t, v);
      take(code);
    }
  }
  template <class T>
  void countOf(int code, const std::vector<T>&, Opt o = {}) {
    if (matched_ || !readable(o) || !subOk() || cur_->code != code || seen(code)) return;
    count_ = cur_->asInt();
    take(code);
  }
  template <class T>
  void seq(int startCode, std::vector<T>& items, Opt o = {}) {
    seq(startCode, items, o, [](auto& v, T& e) { e.describe(v); });
  }
  template <class T, class Fn>
  void seq(int startCode, std::vector<T>& items, Opt o, Fn fn) {
    if (matched_ || !readable(o) || !subOk() || cur_->code != startCode) return;
    std::size_t start = pos_;
    // A count read before sizes the list (never beyond the tags left: counts can lie).
    if (items.empty() && count_ > 0) items.reserve(std::min<std::size_t>(count_, tags_.size() - pos_));
    count_ = 0;
    while (pos_ < tags_.size() && tags_[pos_].code == startCode) {
      T e{};
      std::size_t before = pos_;
      element(e, fn);
      if (pos_ == before) break;
      items.push_back(std::move(e));
    }
    // Without progress the tag stays unclaimed (kept), so reading always moves on.
    matched_ = advanced_ = pos_ != start;
    if (pos_ < tags_.size()) cur_ = &tags_[pos_];
  }
  template <class T>
  void list(int countCode, std::vector<T>& items, Opt o = {}) {
    list(countCode, items, o, [](auto& v, T& e) { e.describe(v); });
  }
  template <class T, class Fn>
  void list(int countCode, std::vector<T>& items, Opt o, Fn fn) {
    if (matched_ || !readable(o) || !subOk() || cur_->code != countCode || seen(countCode)) return;
    markSeen(countCode);
    std::int64_t n = cur_->asInt();
    ++pos_;
    if (n < 0) n = 0;
    for (std::int64_t i = 0; i < n && pos_ < tags_.size(); ++i) {
      T e{};
      std::size_t before = pos_;
      element(e, fn);
      if (pos_ == before) break;
      items.push_back(std::move(e));
    }
    matched_ = advanced_ = true;
  }
  template <class T>
  void values(int code, std::vector<T>& items, Opt o = {}) {
    if (matched_ || !readable(o) || !subOk() || cur_->code != code) return;
    T v{};
    assign(*cur_, v);
    items.push_back(std::move(v));
    matched_ = true;
  }
  template <class T>
  void points(int code, std::vector<T>& items, Opt o = {}) {
    if (matched_ || !readable(o) || !subOk()) return;
    int d = cur_->code - code;
    double val = cur_->asReal();
    if (d == 0) {
      T p{};
      p.x = val;
      items.push_back(p);
    } else if (d == 10 && !items.empty()) {
      items.back().y = val;
    } else if (d == 20 && !items.empty()) {
      if constexpr (std::is_same_v<T, Vec3>) items.back().z = val;
      else return;
    } else {
      return;
    }
    matched_ = true;
  }
  void longText(int code, int chunkCode, std::string& s, Opt o = {}) {
    if (matched_ || !readable(o) || !subOk()) return;
    if (cur_->code == chunkCode) {
      if (!chunked_) s.clear();
      chunked_ = true;
      s += cur_->text;
      matched_ = true;
    } else if (cur_->code == code && !seen(code)) {
      if (!chunked_) s.clear();
      s += cur_->text;
      take(code);
    }
  }
  void opaqueRest() {
    if (!matched_ && subOk()) opaque_ = true;
  }

 private:
  template <class T>
  static void assign(const Tag& t, T& v) {
    if constexpr (std::is_same_v<T, std::string>) v = t.asText();
    else if constexpr (std::is_same_v<T, Name>) v = t.kind == Tag::kText ? std::string_view(t.text) : std::string_view(t.asText());
    else if constexpr (std::is_same_v<T, double>) v = t.asReal();
    else if constexpr (std::is_same_v<T, bool>) v = t.asInt() != 0;
    else if constexpr (std::is_integral_v<T>) v = static_cast<T>(t.asInt());
    else if constexpr (std::is_same_v<T, Handle>) v = handleFromText(t.asText());
    else if constexpr (std::is_same_v<T, AcadDate>) {
      double d = t.asReal();
      double day = std::floor(d);
      if (!(std::fabs(day) < 1e8)) day = 0, d = 0;
      v.day = static_cast<std::int32_t>(day);
      v.ms = static_cast<std::int32_t>(std::llround((d - day) * 86400000.0));
      if (v.ms >= 86400000) v.ms = 86399999;
    } else static_assert(sizeof(T) == 0, "unsupported field type");
  }
  bool readable(const Opt& o) const { return !o.gateRead || o.gated(release_); }
  bool subOk() const { return subOk_; }
  bool seen(int code) const { return code >= 0 && code < 1072 && seen_->test(static_cast<std::size_t>(code)); }
  void markSeen(int code) {
    if (code >= 0 && code < 1072) seen_->set(static_cast<std::size_t>(code));
  }
  void take(int code) {
    markSeen(code);
    matched_ = true;
  }
  template <class T, class Fn>
  void element(T& e, Fn& fn) {
    std::bitset<1072> mySeen;
    auto* savedSeen = seen_;
    bool savedStrict = strict_, savedChunk = chunked_, savedOk = subOk_;
    seen_ = &mySeen;
    strict_ = false;
    subOk_ = true;
    chunked_ = false;
    while (pos_ < tags_.size()) {
      cur_ = &tags_[pos_];
      matched_ = advanced_ = false;
      fn(*this, e);
      if (!matched_) break;
      if (!advanced_) ++pos_;
    }
    seen_ = savedSeen;
    strict_ = savedStrict;
    chunked_ = savedChunk;
    subOk_ = savedOk;
  }

  std::span<const Tag> tags_;
  Release release_;
  std::size_t pos_ = 0;
  const Tag* cur_ = nullptr;
  bool matched_ = false, advanced_ = false, strict_ = false, chunked_ = false, opaque_ = false, subOk_ = true;
  std::bitset<1072>* seen_ = nullptr;
  std::int64_t count_ = 0;  // the last count field, for sizing the list that follows
  std::string_view descSub_, fileSub_;
};

template <class Fn>
void FieldReader::readRecord(Fn&& describeAll, Extras& extras, std::string_view (*)(std::string_view)) {
  std::bitset<1072> top;
  seen_ = &top;
  fileSub_ = {};
  extras.clear();
  while (pos_ < tags_.size()) {
    cur_ = &tags_[pos_];
    if (cur_->code == 100) {
      fileSub_ = cur_->text;
      SubclassProbe probe;
      probe.wanted = fileSub_;
      describeAll(probe);
      strict_ = probe.found;
      // A marker the description does not know is kept even when no tags follow it: records
      // such as FIELDLIST need the bare marker.
      if (!probe.found && (extras.empty() || extras.back().subclass != fileSub_))
        extras.push_back({std::string(fileSub_), {}});
      top.reset();
      ++pos_;
      continue;
    }
    matched_ = advanced_ = false;
    descSub_ = {};
    subOk_ = !strict_ || fileSub_.empty();
    if (!opaque_) describeAll(*this);
    if (!matched_) {
      std::string sub(fileSub_);
      if (extras.empty() || extras.back().subclass != sub) extras.push_back({sub, {}});
      extras.back().tags.push_back(*cur_);
    }
    if (!advanced_) ++pos_;
  }
  // Bare markers the description declares once its fields are read (subclasses that follow a
  // flag) are its own, not extras.
  std::erase_if(extras, [&](const ExtraGroup& g) {
    if (!g.tags.empty()) return false;
    SubclassProbe probe;
    probe.wanted = g.subclass;
    describeAll(probe);
    return probe.found;
  });
}

// Writes fields in declaration order, honouring version gates and defaults.
class FieldWriter {
 public:
  FieldWriter(TagSink& out, const Extras* extras, bool writeExtras)
      : out_(out), release_(out.release()), extras_(extras), writeExtras_(writeExtras && extras) {}
  bool reading() const { return false; }
  Release rel() const { return release_; }

  void subclass(std::string_view name, Opt o = {}) {
    flush(curSub_);
    curSub_ = name;
    if (release_ >= Release::R13 && o.gated(release_)) out_.raw(100, name);
  }
  // Writes extras whose subclass the description never declared.
  void finish() {
    flush(curSub_);
    if (!writeExtras_) return;
    for (std::size_t i = 0; i < extras_->size(); ++i) {
      if (done_.size() > i && done_[i]) continue;
      const auto& g = (*extras_)[i];
      if (!g.subclass.empty() && release_ >= Release::R13) out_.raw(100, g.subclass);
      for (const Tag& t : g.tags) out_.tag(t);
    }
  }

  template <class T>
  void field(int code, const T& v, Opt o = {}) {
    if (!o.gated(release_)) return;
    if (o.opt && isDefault(v, o)) return;
    put(code, v);
  }
  template <class T>
  void countOf(int code, const std::vector<T>& items, Opt o = {}) {
    if (o.gated(release_)) out_.integer(code, static_cast<std::int64_t>(items.size()));
  }
  template <class T>
  void seq(int code, std::vector<T>& items, Opt o = {}) {
    seq(code, items, o, [](auto& v, T& e) { e.describe(v); });
  }
  template <class T, class Fn>
  void seq(int, std::vector<T>& items, Opt o, Fn fn) {
    if (!o.gated(release_)) return;
    for (auto& e : items) fn(*this, e);
  }
  template <class T>
  void list(int code, std::vector<T>& items, Opt o = {}) {
    list(code, items, o, [](auto& v, T& e) { e.describe(v); });
  }
  template <class T, class Fn>
  void list(int code, std::vector<T>& items, Opt o, Fn fn) {
    if (!o.gated(release_)) return;
    out_.integer(code, static_cast<std::int64_t>(items.size()));
    for (auto& e : items) fn(*this, e);
  }
  template <class T>
  void values(int code, const std::vector<T>& items, Opt o = {}) {
    if (!o.gated(release_)) return;
    for (const auto& v : items) put(code, v);
  }
  template <class T>
  void points(int code, const std::vector<T>& items, Opt o = {}) {
    if (!o.gated(release_)) return;
    for (const auto& v : items) put(code, v);
  }
  void longText(int code, int chunkCode, const std::string& s, Opt o = {}) {
    if (!o.gated(release_)) return;
    // Chunks of 250 bytes, never splitting a UTF-8 sequence.
    std::size_t i = 0;
    while (s.size() - i > 250) {
      std::size_t n = 250;
      while (n > 1 && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) --n;
      out_.text(chunkCode, std::string_view(s).substr(i, n));
      i += n;
    }
    out_.text(code, std::string_view(s).substr(i));
  }
  void opaqueRest() {}

 private:
  void flush(std::string_view sub) {
    if (!writeExtras_) return;
    done_.resize(extras_->size());
    for (std::size_t i = 0; i < extras_->size(); ++i) {
      if (done_[i] || (*extras_)[i].subclass != sub) continue;
      done_[i] = true;
      for (const Tag& t : (*extras_)[i].tags) out_.tag(t);
    }
  }
  template <class T>
  static bool isDefault(const T& v, const Opt& o) {
    if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, Name>) return v.empty();
    else if constexpr (std::is_same_v<T, Vec3>) return o.normal ? (v.x == 0 && v.y == 0 && v.z == 1) : v == Vec3{};
    else if constexpr (std::is_same_v<T, Vec2>) return v == Vec2{};
    else if constexpr (std::is_same_v<T, Handle>) return !v;
    else if constexpr (std::is_same_v<T, AcadDate>) return v == AcadDate{};
    else return static_cast<double>(v) == o.dflt;
  }
  void put(int code, const std::string& v) {
    CodeType ct = codeType(code);
    if (ct == CodeType::Text) out_.text(code, v);
    else out_.raw(code, v);
  }
  void put(int code, const Name& v) { put(code, v.str()); }
  void put(int code, double v) { out_.real(code, v); }
  void put(int code, bool v) { out_.integer(code, v ? 1 : 0); }
  template <class T>
    requires std::is_integral_v<T>
  void put(int code, T v) { out_.integer(code, static_cast<std::int64_t>(v)); }
  void put(int code, Handle h) { out_.handle(code, h); }
  void put(int code, Vec2 p) {
    out_.real(code, p.x);
    out_.real(code + 10, p.y);
  }
  void put(int code, Vec3 p) {
    out_.real(code, p.x);
    out_.real(code + 10, p.y);
    if (p.z != 0 || release_ >= Release::R10) out_.real(code + 20, p.z);  // 2D points before R10
  }
  void put(int code, AcadDate d) { out_.real(code, d.day + d.ms / 86400000.0); }

  TagSink& out_;
  Release release_;
  const Extras* extras_;
  bool writeExtras_;
  std::string_view curSub_;
  std::vector<bool> done_;
};

}  // namespace kelvaro::cad
