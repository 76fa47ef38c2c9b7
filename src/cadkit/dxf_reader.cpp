// DXF reader: sections, tables, blocks, entities and objects through their descriptions.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <optional>
#include <span>
#include <sstream>
#include <thread>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#include <unistd.h>
#define KELVARO_PAGED_FILE 1
#endif

#include "cadkit/dxf_header.h"
#include "cadkit/dxf_io.h"
#include "cadkit/dxf_scan.h"

namespace kelvaro::cad {
namespace {

// ENTITIES sections of at least this many bytes are read by two threads.
std::atomic<std::size_t> gTwoThreadsFrom{std::size_t{2} << 20};
std::atomic<std::size_t> gReadInTwo{0};

struct Record {
  std::string type;
  std::string key;  // type in capitals, for comparisons
  std::vector<Tag> tags;
  int line = 0;
};

std::string trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return std::string(s);
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c -= 32;
  return s;
}

// Told how far the reader has got: nothing before that offset is read again.
class Consumed {
 public:
  virtual ~Consumed() = default;
  virtual void before(std::size_t offset) = 0;
  // The same for a second reader, from `from` on (any thread); and bringing such bytes back
  // when they are to be read again after all.
  virtual void between(std::size_t from, std::size_t to) = 0;
  virtual void restore(std::size_t from, std::size_t to) = 0;
};

// What a second reader has passed, given back from where it started.
class ConsumedFrom : public Consumed {
 public:
  ConsumedFrom(Consumed& file, std::size_t from) : file_(file), from_(from), to_(from) {}
  void before(std::size_t offset) override {
    file_.between(to_, offset);
    to_ = std::max(to_, offset);
  }
  void between(std::size_t from, std::size_t to) override { file_.between(from, to); }
  void restore(std::size_t from, std::size_t to) override { file_.restore(from, to); }
  std::size_t to() const { return to_; }

 private:
  Consumed& file_;
  std::size_t from_, to_;
};

class Reader {
 public:
  explicit Reader(std::string_view data, const ReadProgress* progress = nullptr, Consumed* consumed = nullptr)
      : src_(data), progress_(progress), consumed_(consumed) {
    doc_.binary = src_.binary();
  }
  // A second reader for the entities from `at` on (line `line`), of the same file and release.
  Reader(const Reader& first, std::size_t at, int line) : src_(first.src_.data(), at, line - 1) {
    doc_.release = first.doc_.release;
    cp_ = first.cp_;
    utf8_ = first.utf8_;
  }

  Document run() {
    Record r;
    bool any = false;
    while (next(r)) {
      if (r.key == "EOF") break;
      if (r.key != "SECTION")
        throw DxfError("line " + std::to_string(r.line) + ": expected a SECTION, found \"" + r.type + "\"", r.line);
      std::string name;
      if (!r.tags.empty() && r.tags[0].code == 2) name = upper(trimmed(r.tags[0].text));
      any = true;
      section(name, r);
    }
    if (!any) throw DxfError("no DXF sections found (not a DXF file?)", 1);
    finish();
    return std::move(doc_);
  }

 private:
  bool next(Record& r) {
    if (pending_) {
      r = std::move(*pending_);
      pending_.reset();
      return true;
    }
    Tag t;
    if (!src_.next(t)) return false;
    if (progress_ && *progress_ && progressAt() >= nextReport_) reportProgress();
    if (consumed_ && src_.offset() >= nextConsumed_) {
      consumed_->before(std::min(src_.offset(), keepFrom_));
      nextConsumed_ = src_.offset() + (std::size_t{1} << 20);
    }
    if (t.code != 0)
      throw DxfError("line " + std::to_string(t.line) + ": expected group code 0, found " + std::to_string(t.code),
                     t.line);
    // Into the record's own strings: no new ones per record.
    std::string_view type = t.text;
    while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t' || type.back() == '\r')) type.remove_suffix(1);
    r.type.assign(type);
    r.key.assign(type);
    for (char& c : r.key)
      if (c >= 'a' && c <= 'z') c -= 32;
    r.line = t.line;
    r.tags.clear();
    // Tags are read straight into the record; the next record's code 0 is given back.
    while (true) {
      Tag& x = r.tags.emplace_back();
      if (!src_.next(x)) {
        r.tags.pop_back();
        break;
      }
      if (x.code == 0) {
        src_.unread(std::move(x));
        r.tags.pop_back();
        break;
      }
    }
    if (r.type != "SECTION") decode(r.tags);  // the header is decoded once its code page is known
    return true;
  }
  void pushBack(Record&& r) { pending_ = std::move(r); }

  void decode(std::vector<Tag>& tags) {
    for (Tag& t : tags)
      if (t.kind == Tag::kText && codeType(t.code) == CodeType::Text && !plainAscii(t.text))
        t.text = cp_.decode(t.text, utf8_);
  }

  [[noreturn]] void truncated(const std::string& section) {
    int at = src_.position();
    throw DxfError("line " + std::to_string(at) + ": the file ends inside the " + section +
                       " section (truncated file?)",
                   at);
  }

  // Must be followed by a record; ENDSEC ends the section.
  bool nextIn(Record& r, const std::string& section) {
    if (!next(r)) truncated(section);
    if (r.key == "ENDSEC") return false;
    if (r.key == "EOF") truncated(section);
    return true;
  }

  void section(const std::string& name, Record& head) {
    Record r;
    if (name == "HEADER") {
      header(head);
      while (nextIn(r, name)) {
      }
      return;
    }
    if (name == "CLASSES") {
      while (nextIn(r, name)) doc_.classes.push_back(r.tags);
    } else if (name == "TABLES") {
      while (nextIn(r, name)) {
        if (r.key == "TABLE") table(r);
      }
    } else if (name == "BLOCKS") {
      while (nextIn(r, name)) {
        if (r.key == "BLOCK") block(r);
      }
    } else if (name == "ENTITIES") {
      // Sized up front: growing a list of a million entities would briefly hold it twice.
      const std::initializer_list<std::string_view> kOwned{"VERTEX", "SEQEND", "ATTRIB"};
      if (!src_.binary() && !pending_ && src_.size() - src_.offset() >= gTwoThreadsFrom.load()) {
        if (entitiesInTwo(kOwned)) return;
      } else {
        loose_.reserve(src_.countRecordsUntil("ENDSEC", kOwned));
      }
      while (nextIn(r, name)) {
        Entity e;
        if (entity(r, e, name)) loose_.push_back(std::move(e));
      }
    } else if (name == "OBJECTS") {
      while (nextIn(r, name)) object(r);
    } else if (name == "THUMBNAILIMAGE") {
      for (const Tag& t : head.tags)
        if (t.code == 310) doc_.thumbnail += trimmed(t.text);
      while (nextIn(r, name)) {
      }
    } else {
      doc_.unsupported["section " + name]++;
      while (nextIn(r, name)) {
      }
    }
  }

  // Reads a large ENTITIES section in two halves at once: this thread the first, a second
  // reader from the split on. Both first count the records of their half of the rest of the
  // file, which sizes the list and places the split in the middle of the section. The second
  // half is taken only when this reader arrives at the split as a record of its own and the
  // other read to ENDSEC without fault; otherwise the section is read on from where this
  // reader is, as if alone. False: read on (the list is sized).
  bool entitiesInTwo(std::initializer_list<std::string_view> owned) {
    const std::string_view data = src_.data();
    const std::size_t from = src_.offset();
    const Tag* first = src_.peek();
    if (!first) return false;
    const std::string_view firstType = scan::trimmed(first->text);
    if (firstType == "ENDSEC") return false;
    const std::size_t firstCount = std::find(owned.begin(), owned.end(), firstType) == owned.end() ? 1 : 0;
    const std::size_t half = scan::recordAfter(data, from + (data.size() - from) / 2, owned);
    if (!half) {
      loose_.reserve(src_.countRecordsUntil("ENDSEC", owned));
      return false;
    }
    // The second thread counts from `half` while this one counts up to it; then it waits to be
    // told where to read from (or nothing: no split).
    struct Go {
      std::size_t at = 0;
      int line = 0;
      std::span<Entity> slots;
    };
    scan::Records theirs;
    std::promise<void> counted;
    std::promise<Go> go;
    std::future<Go> goFuture = go.get_future();
    std::size_t filled = 0;
    std::atomic<std::size_t> at{half};
    std::atomic<bool> stop{false};
    std::promise<bool> result;
    std::future<bool> done = result.get_future();
    std::optional<Reader> second;
    std::optional<ConsumedFrom> passed;
    TagSource::Split split;
    std::thread worker([&] {
      try {
        theirs = scan::records(data, half, 0, "ENDSEC", owned, std::string_view::npos);
      } catch (...) {
        theirs = {};  // no end found: no split
      }
      counted.set_value();
      Go g = goFuture.get();
      if (g.at == 0) {
        result.set_value(false);
        return;
      }
      bool ok = false;
      try {
        second.emplace(*this, g.at, g.line);
        if (consumed_) second->consumed_ = &passed.emplace(*consumed_, g.at);
        ok = second->entitiesInto(g.slots, filled, at, stop);
      } catch (...) {
      }
      result.set_value(ok);
    });
    bool told = false, joined = false;
    auto join = [&] {
      if (joined) return;
      stop = true;
      if (!told) go.set_value({});
      told = true;
      worker.join();
      joined = true;
      keepFrom_ = std::string_view::npos;
      aheadAt_ = nullptr;
    };
    // Reading on alone after the other reader gave pages back: they are brought back first.
    auto alone = [&] {
      join();
      if (passed) passed->restore(split.at, passed->to());
    };
    struct Guard {
      decltype(join)& f;
      ~Guard() { f(); }
    } guard{join};
    scan::Records ours = scan::records(data, from, src_.position(), "ENDSEC", owned, half);
    ours.count += firstCount;
    for (auto& m : ours.marks) m.before += firstCount;
    counted.get_future().wait();
    // Marks from both counts, and where the section ends.
    std::size_t total = ours.count, endAt = ours.endAt;
    if (!endAt && ours.stoppedAt == half) {
      total += theirs.count;
      endAt = theirs.endAt;
      for (const auto& m : theirs.marks) ours.marks.push_back({m.at, m.before + ours.count, m.line + ours.line});
    } else if (!endAt) {  // the counts do not meet: count again, alone
      join();
      loose_.reserve(src_.countRecordsUntil("ENDSEC", owned));
      return false;
    }
    // This thread also read the file and sorts out the entities afterwards: the other takes
    // somewhat more than half.
    const std::size_t middle = from + (endAt - from) / 7 * 3;
    auto m = std::lower_bound(ours.marks.begin(), ours.marks.end(), middle,
                              [](const scan::Mark& k, std::size_t at) { return k.at < at; });
    if (!endAt || m == ours.marks.end() || m->at >= endAt) {
      join();
      loose_.reserve(total);
      return false;
    }
    split.at = m->at;
    split.line = m->line;
    split.before = m->before;
    split.after = total - m->before;
    const std::size_t base = loose_.size();  // entities of an earlier ENTITIES section
    loose_.resize(base + split.before + split.after);
    std::size_t mine = base;
    keepFrom_ = split.at;  // the other reader still needs those pages
    at = split.at;
    aheadAt_ = &at;
    aheadFrom_ = split.at;
    go.set_value({split.at, split.line, std::span<Entity>(loose_.data() + base + split.before, split.after)});
    told = true;
    Record r;
    while (true) {
      const Tag* peeked = pending_ ? nullptr : src_.peek();
      const int line = pending_ ? pending_->line : peeked ? peeked->line : 0;
      if (line == split.line) break;
      if (line == 0 || line > split.line) {  // the split is not where a record starts
        alone();
        loose_.resize(mine);
        return false;
      }
      if (!nextIn(r, "ENTITIES")) {
        alone();
        loose_.resize(mine);
        return true;
      }
      if (mine == base + split.before) {  // more than counted
        Entity e;
        if (!entity(r, e, "ENTITIES")) continue;
        alone();
        loose_.resize(mine);
        loose_.push_back(std::move(e));
        return false;
      }
      // Read in place: a slot is a fresh entity, untouched when the record is not one.
      if (entity(r, loose_[mine], "ENTITIES")) ++mine;
    }
    // At the split: wait for the other half, telling how far both have got.
    while (done.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
      if (progress_ && *progress_ && progressAt() >= nextReport_) reportProgress();
    const bool ok = done.get();
    if (!ok) {
      alone();
      loose_.resize(mine);
      return false;
    }
    if (progress_ && *progress_) reportProgress();  // up to where the other reader ended
    join();
    loose_.erase(loose_.begin() + static_cast<std::ptrdiff_t>(base + split.before + filled), loose_.end());
    loose_.erase(loose_.begin() + static_cast<std::ptrdiff_t>(mine),
                 loose_.begin() + static_cast<std::ptrdiff_t>(base + split.before));
    for (const auto& [what, n] : second->doc_.unsupported) doc_.unsupported[what] += n;
    src_ = std::move(second->src_);
    pending_.reset();
    ++gReadInTwo;
    return true;
  }

  // The second reader: entities into `slots` up to ENDSEC. False, keeping nothing, on what the
  // first reader must meet for itself: an error, the end of the data, more entities than
  // counted, or being stopped.
  bool entitiesInto(std::span<Entity> slots, std::size_t& filled, std::atomic<std::size_t>& at,
                    const std::atomic<bool>& stop) {
    try {
      Record r;
      while (!stop.load(std::memory_order_relaxed)) {
        if (!next(r) || r.key == "EOF") return false;
        if (r.key == "ENDSEC") return true;
        if (filled < slots.size()) {
          if (entity(r, slots[filled], "ENTITIES")) ++filled;
        } else if (Entity e; entity(r, e, "ENTITIES")) {
          return false;
        }
        at.store(src_.offset(), std::memory_order_relaxed);
      }
    } catch (...) {
    }
    return false;
  }

  void header(Record& head) {
    for (std::size_t i = 0; i + 1 < head.tags.size(); ++i) {
      if (head.tags[i].code != 9) continue;
      std::string n = trimmed(head.tags[i].text);
      if (n == "$ACADVER") {
        Release rel;
        if (releaseFromMagic(trimmed(head.tags[i + 1].text), rel)) utf8_ = rel >= Release::R2007;
      } else if (n == "$DWGCODEPAGE") {
        cp_ = CodePage(trimmed(head.tags[i + 1].text));
      }
    }
    decode(head.tags);
    HeaderVar* cur = nullptr;
    for (Tag& t : head.tags) {
      if (t.code == 9) {
        doc_.header.all.push_back({trimmed(t.text), {}});
        cur = &doc_.header.all.back();
      } else if (cur) {
        cur->tags.push_back(t);
      }
    }
    readHeaderVars(doc_.header);
    doc_.header.acadver = trimmed(doc_.header.acadver);
    if (!releaseFromMagic(doc_.header.acadver, doc_.release)) {
      if (!doc_.header.acadver.empty() && doc_.header.acadver.rfind("AC", 0) == 0)
        doc_.release = Release::R2018;  // newer than we know: read as the latest
      else
        doc_.release = Release::R12;
    }
    haveVersion_ = !doc_.header.acadver.empty();
    utf8_ = doc_.release >= Release::R2007;
  }

  template <class Fn>
  void framed(std::vector<Tag>& tags, Frame& frame, int handleCode, Fn&& describeAll) {
    // The body is compacted in place: tags[first, w) are the ones the description reads.
    std::size_t first = 0, w = 0;
    auto drop = [&](std::size_t next) {
      if (w == first) first = w = next;  // nothing kept yet: just start later
    };
    FrameTags kept;
    bool sawSub = false, gotHandle = false, gotOwner = false;
    std::size_t n = tags.size();
    for (std::size_t i = 0; i < n; ++i) {
      Tag& t = tags[i];
      if (t.code == 1001) {
        for (; i < n; ++i) kept.xdata.push_back(std::move(tags[i]));
        break;
      }
      if (t.code == 101) {
        for (; i < n && tags[i].code != 1001; ++i) kept.embedded.push_back(std::move(tags[i]));
        drop(i);
        --i;
        continue;
      }
      if (t.code == 102 && !t.text.empty() && t.text[0] == '{') {
        for (; i < n; ++i) {
          bool close = tags[i].code == 102 && trimmed(tags[i].text) == "}";
          kept.appGroups.push_back(tags[i]);
          if (close) break;
        }
        drop(std::min(i + 1, n));
        continue;
      }
      if (!gotHandle && t.code == handleCode) {
        frame.handle = handleFromText(t.text);
        gotHandle = true;
        drop(i + 1);
        continue;
      }
      if (!gotOwner && !sawSub && t.code == 330) {
        frame.owner = handleFromText(t.text);
        gotOwner = true;
        drop(i + 1);
        continue;
      }
      if (t.code == 100) sawSub = true;
      if (w != i) tags[w] = std::move(t);
      ++w;
    }
    FieldReader rd(std::span<const Tag>(tags.data() + first, w - first), doc_.release);
    rd.readRecord(describeAll, kept.extras);
    if (!kept.xdata.empty() || !kept.embedded.empty() || !kept.appGroups.empty() || !kept.extras.empty())
      frame.tags.get() = std::move(kept);
  }

  template <class Rec>
  void tableEntries(Table<Rec>& table, Record& head, const std::string& name) {
    table.present = true;
    framed(head.tags, table.frame, 5, [](auto&) {});
    // The head's own name (2) and count (70) are rebuilt on save.
    for (auto& g : table.frame.extras())
      std::erase_if(g.tags, [](const Tag& t) { return t.code == 2 || t.code == 70; });
    Record r;
    while (true) {
      if (!next(r)) truncated("TABLES");
      const std::string& t = r.key;
      if (t == "ENDTAB") break;
      if (t == "ENDSEC" || t == "EOF") {
        pushBack(std::move(r));
        break;
      }
      if (t != name) {
        doc_.unsupported["table entry " + r.type]++;
        continue;
      }
      TableEntry<Rec> e;
      framed(r.tags, e.frame, name == "DIMSTYLE" ? 105 : 5, [&](auto& v) { e.rec.describe(v); });
      table.entries.push_back(std::move(e));
    }
  }

  void table(Record& head) {
    std::string name;
    for (const Tag& t : head.tags)
      if (t.code == 2) name = upper(trimmed(t.text));
    bool known = false;
    forEachTable(doc_, [&](auto& t) {
      using Rec = typename std::decay_t<decltype(t.entries)>::value_type;
      if (!known && name == decltype(Rec::rec)::kTable) {
        known = true;
        tableEntries(t, head, name);
      }
    });
    if (!known) {
      doc_.unsupported["table " + name]++;
      Record r;
      while (next(r) && r.key != "ENDTAB") {
      }
    }
  }

  template <class D>
  void sub(Record& r, Sub<D>& s) {
    framed(r.tags, s.frame, 5, [&](auto& v) {
      s.common.describe(v);
      s.data.describe(v);
    });
  }

  // Reads one entity and the records that belong to it (vertices, attributes, end of sequence).
  bool entity(Record& r, Entity& e, const std::string& where) {
    const std::string& type = r.key;
    if (type == "SEQEND") return false;
    if (type == "VERTEX" || type == "ATTRIB") {
      doc_.unsupported[type + " outside its owner"]++;
      return false;
    }
    e.data = makeEntityData(type == "3DLINE" ? "LINE" : type);  // old 3D lines are lines
    framed(r.tags, e.frame, 5, [&](auto& v) {
      e.common.describe(v);
      visitEntity([&](auto& d) { d.describe(v); }, e.data);
    });
    if (auto* raw = e.as<RawEntity>()) doc_.unsupported[raw->type]++;
    if (auto* p = e.as<Polyline>()) {
      Record x;
      while (next(x)) {
        const std::string& t = x.key;
        if (t == "VERTEX") {
          p->vertices.emplace_back();
          sub(x, p->vertices.back());
        } else if (t == "SEQEND") {
          sub(x, p->seqend);
          break;
        } else {
          pushBack(std::move(x));
          break;
        }
      }
    } else if (auto* ins = e.as<Insert>()) {
      Record x;
      bool attribs = false;
      while (next(x)) {
        const std::string& t = x.key;
        if (t == "ATTRIB") {
          ins->attribs.emplace_back();
          sub(x, ins->attribs.back());
          attribs = true;
        } else if (t == "SEQEND" && (attribs || ins->attribsFollow)) {
          sub(x, ins->seqend);
          break;
        } else {
          pushBack(std::move(x));
          break;
        }
      }
      ins->attribsFollow = ins->attribs.empty() ? 0 : 1;
    }
    (void)where;
    return true;
  }

  void block(Record& r) {
    Block b;
    framed(r.tags, b.frame, 5, [&](auto& v) {
      b.common.describe(v);
      b.begin.describe(v);
    });
    if (b.begin.name.empty()) b.begin.name = b.begin.name2;
    if (sameName(b.begin.name, "$MODEL_SPACE") || sameName(b.begin.name, kModelSpace)) b.begin.name = kModelSpace;
    if (sameName(b.begin.name, "$PAPER_SPACE") || sameName(b.begin.name, kPaperSpace)) b.begin.name = kPaperSpace;
    Record x;
    while (true) {
      if (!next(x)) truncated("BLOCKS");
      const std::string& t = x.key;
      if (t == "ENDBLK") {
        framed(x.tags, b.endFrame, 5, [&](auto& v) {
          b.endCommon.describe(v);
          b.end.describe(v);
        });
        break;
      }
      if (t == "ENDSEC" || t == "BLOCK" || t == "EOF") {  // missing ENDBLK
        pushBack(std::move(x));
        break;
      }
      Entity e;
      if (entity(x, e, "BLOCKS")) b.entities.push_back(std::move(e));
    }
    if (Block* existing = doc_.findBlock(b.begin.name)) {
      for (auto& e : b.entities) existing->entities.push_back(std::move(e));
    } else {
      doc_.blocks.push_back(std::move(b));
    }
  }

  void object(Record& r) {
    Object o;
    const std::string& type = r.key;
    if (type == "DICTIONARY") o.data = Dictionary{};
    else if (type == "LAYOUT") o.data = Layout{};
    else if (type == "XRECORD") o.data = XRecord{};
    else if (type == "IMAGEDEF") o.data = ImageDef{};
    else {
      o.data = RawObject{r.type};
      doc_.unsupported[r.type]++;
    }
    framed(r.tags, o.frame, 5, [&](auto& v) { std::visit([&](auto& d) { d.describe(v); }, o.data); });
    doc_.objects.push_back(std::move(o));
  }

  void finish() {
    doc_.assignHandles();  // seeds new handles above every handle of the file
    if (!haveVersion_) {
      doc_.hadHeader = false;
      doc_.release = Release::R12;
      doc_.header.acadver = releaseMagic(Release::R12);
    }
    // The ENTITIES section holds model space and the active paper space, told apart by the
    // paper-space flag (owner handles are not trusted: some files name model space oddly).
    Block& model = doc_.modelSpace();
    if (model.entities.empty()) {  // the usual case: take the section's list as it is
      std::vector<Entity> paper;
      for (auto& e : loose_)
        if (e.common.paperSpace) paper.push_back(std::move(e));
      std::erase_if(loose_, [](const Entity& e) { return e.common.paperSpace != 0; });
      model.entities.swap(loose_);
      loose_ = std::move(paper);
    }
    for (auto& e : loose_) {
      Block& target = e.common.paperSpace ? doc_.paperSpace() : doc_.modelSpace();
      target.entities.push_back(std::move(e));
    }
    loose_.clear();
    doc_.paperSpace();
    doc_.assignHandles();
  }

  // Bytes read, with those of a second reader ahead.
  std::size_t progressAt() const {
    std::size_t n = src_.offset();
    if (aheadAt_) n += aheadAt_->load(std::memory_order_relaxed) - aheadFrom_;
    return std::min(n, src_.size());
  }

  void reportProgress() {
    const std::size_t total = src_.size() ? src_.size() : 1;
    const int percent = static_cast<int>(progressAt() * 100 / total);
    nextReport_ = ((static_cast<std::size_t>(percent) + 1) * total + 99) / 100;
    if (percent <= lastPercent_) return;
    // With a second reader the count can leap while this one waits: each step is still told.
    const int from = aheadAt_ && lastPercent_ >= 0 ? lastPercent_ + 1 : percent;
    lastPercent_ = percent;
    for (int p = from; p <= percent; ++p) (*progress_)(p);
  }

  TagSource src_;
  const ReadProgress* progress_ = nullptr;
  Consumed* consumed_ = nullptr;
  std::size_t nextConsumed_ = 0;
  std::size_t keepFrom_ = std::string_view::npos;  // pages from here on are not to be given back
  const std::atomic<std::size_t>* aheadAt_ = nullptr;
  std::size_t aheadFrom_ = 0;
  std::size_t nextReport_ = 0;
  int lastPercent_ = -1;
  Document doc_;
  std::optional<Record> pending_;
  std::vector<Entity> loose_;
  CodePage cp_;
  bool utf8_ = false, haveVersion_ = false;
};

}  // namespace

bool isDwg(std::string_view data, std::string* magic) {
  if (data.size() < 6 || data.substr(0, 2) != "AC") return false;
  std::string m(data.substr(0, 6));
  Release r;
  // A release newer than any we know still names itself like one ("AC" and four digits).
  if (!releaseFromMagic(m, r) &&
      !std::all_of(m.begin() + 2, m.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  if (magic) *magic = m;
  return true;
}

void setDxfTwoThreadSize(std::size_t bytes) { gTwoThreadsFrom = bytes; }
std::size_t dxfSectionsReadInTwo() { return gReadInTwo.load(); }

Document readDxf(std::string_view data, const ReadProgress& progress) {
  if (std::string m; isDwg(data, &m))
    throw DxfError("this is a DWG drawing (" + m + "), not a DXF file", 0);
  Reader r(data, &progress);
  return r.run();
}

namespace {

// The bytes of a file in pages of their own: the pages the reader has passed go back to the
// system while the model grows, so a large file is not held whole beside the drawing it
// becomes. (Read, not mapped: a file cut short by someone else cannot fault the reader.)
class FileBytes : public Consumed {
 public:
  FileBytes(std::size_t size, std::filesystem::path path) : size_(size), path_(std::move(path)) {
#ifdef KELVARO_PAGED_FILE
    if (size_ >= kPagedFrom) {
      void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p != MAP_FAILED) {
        data_ = static_cast<char*>(p);
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        return;
      }
    }
#endif
    heap_.resize(size_);
    data_ = heap_.data();
  }
  ~FileBytes() override {
#ifdef KELVARO_PAGED_FILE
    if (page_) munmap(data_, size_);
#endif
  }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  char* data() { return data_; }
  std::string_view view() const { return {data_, size_}; }
  void before(std::size_t offset) override {
#ifdef KELVARO_PAGED_FILE
    if (!page_) return;
    std::size_t end = std::min(offset, size_) / page_ * page_;
    if (end > released_) madvise(data_ + released_, end - released_, MADV_DONTNEED);
    released_ = std::max(released_, end);
#else
    (void)offset;
#endif
  }
  // Pages wholly inside [from, to); nothing shared is touched, so any thread may call it.
  void between(std::size_t from, std::size_t to) override {
#ifdef KELVARO_PAGED_FILE
    if (!page_) return;
    std::size_t start = (from + page_ - 1) / page_ * page_, end = std::min(to, size_) / page_ * page_;
    if (end > start) madvise(data_ + start, end - start, MADV_DONTNEED);
#else
    (void)from, (void)to;
#endif
  }
  void restore(std::size_t from, std::size_t to) override {
    if (!page_ || to <= from) return;
    to = std::min(to, size_);
    std::ifstream f(path_, std::ios::binary);
    f.seekg(static_cast<std::streamoff>(from));
    f.read(data_ + from, static_cast<std::streamsize>(to - from));
    if (!f || static_cast<std::size_t>(f.gcount()) != to - from) throw DxfError("cannot read " + path_.string(), 0);
  }

 private:
  static constexpr std::size_t kPagedFrom = std::size_t{4} << 20;
  std::size_t size_ = 0, page_ = 0, released_ = 0;
  std::filesystem::path path_;
  char* data_ = nullptr;
  std::string heap_;
};

}  // namespace

Document readDxfFile(const std::filesystem::path& path, const ReadProgress& progress) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw DxfError("cannot open " + path.string(), 0);
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec) throw DxfError("cannot read " + path.string() + ": " + ec.message(), 0);
  FileBytes bytes(static_cast<std::size_t>(size), path);
  f.read(bytes.data(), static_cast<std::streamsize>(size));
  if (f.bad() || static_cast<std::uintmax_t>(f.gcount()) != size) throw DxfError("cannot read " + path.string(), 0);
  std::string_view data = bytes.view();
  if (std::string m; isDwg(data, &m))
    throw DxfError("this is a DWG drawing (" + m + "); reading DWG is not supported yet", 0);
  Reader r(data, &progress, &bytes);
  return r.run();
}

}  // namespace kelvaro::cad
