#include "reports/HtmlRepair.h"

#include <tidy.h>
#include <tidybuffio.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace kelvaro::reports {
namespace {

struct DocDeleter {
  void operator()(TidyDoc d) const { tidyRelease(d); }
};
using DocPtr = std::unique_ptr<std::remove_pointer_t<TidyDoc>, DocDeleter>;

struct Buffer {
  TidyBuffer b;
  Buffer() { tidyBufInit(&b); }
  ~Buffer() { tidyBufFree(&b); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
};

std::string escapeText(const std::string& s, bool attribute) {
  std::string r;
  r.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"':
        if (attribute) {
          r += "&quot;";
          break;
        }
        [[fallthrough]];
      default: r += c;
    }
  }
  return r;
}

bool isVoid(TidyTagId id) {
  return id == TidyTag_BR || id == TidyTag_IMG || id == TidyTag_HR || id == TidyTag_META ||
         id == TidyTag_LINK || id == TidyTag_INPUT || id == TidyTag_COL || id == TidyTag_AREA ||
         id == TidyTag_BASE || id == TidyTag_WBR;
}

int spanOf(TidyNode cell) {
  TidyAttr a = tidyAttrGetById(cell, TidyAttr_COLSPAN);
  if (!a || !tidyAttrValue(a)) return 1;
  int v = std::atoi(tidyAttrValue(a));
  return v < 1 ? 1 : v;
}

std::vector<TidyNode> childrenWithTag(TidyNode parent, TidyTagId id) {
  std::vector<TidyNode> out;
  for (TidyNode c = tidyGetChild(parent); c; c = tidyGetNext(c)) {
    TidyTagId cid = tidyNodeGetId(c);
    if (cid == id) out.push_back(c);
    // Rows may sit in a tbody/thead/tfoot that tidy or the author added.
    if (id == TidyTag_TR && (cid == TidyTag_TBODY || cid == TidyTag_THEAD || cid == TidyTag_TFOOT)) {
      auto inner = childrenWithTag(c, id);
      out.insert(out.end(), inner.begin(), inner.end());
    }
  }
  return out;
}

bool isCell(TidyNode n) {
  TidyTagId id = tidyNodeGetId(n);
  return id == TidyTag_TD || id == TidyTag_TH;
}

// Columns of a table as a browser counts them for the rows without spanning cells; 0 when
// every row spans (then nothing is cut).
int plainColumnCount(TidyNode table) {
  int columns = 0;
  for (TidyNode row : childrenWithTag(table, TidyTag_TR)) {
    int cells = 0;
    bool spans = false;
    for (TidyNode c = tidyGetChild(row); c; c = tidyGetNext(c)) {
      if (!isCell(c)) continue;
      ++cells;
      if (spanOf(c) > 1) spans = true;
    }
    if (!spans) columns = std::max(columns, cells);
  }
  return columns;
}

// A width attribute in whole pixels, or 0 (percentages, nothing).
int pixelWidth(TidyNode n) {
  TidyAttr a = tidyAttrGetById(n, TidyAttr_WIDTH);
  const char* v = a ? tidyAttrValue(a) : nullptr;
  if (!v || !*v) return 0;
  std::string s(v);
  if (s.find('%') != std::string::npos) return 0;
  return std::max(0, std::atoi(v));
}

// A whole-number attribute, or `fallback` when it is absent or no number.
int numberAttr(TidyNode n, TidyAttrId id, int fallback) {
  TidyAttr a = tidyAttrGetById(n, id);
  const char* v = a ? tidyAttrValue(a) : nullptr;
  if (!v || !*v || !std::isdigit(static_cast<unsigned char>(*v))) return fallback;
  return std::max(0, std::atoi(v));
}

// The widest fixed width among the tables inside `n`.
int widestInnerTable(TidyNode n) {
  int widest = 0;
  for (TidyNode c = tidyGetChild(n); c; c = tidyGetNext(c)) {
    if (tidyNodeGetId(c) == TidyTag_TABLE) widest = std::max(widest, pixelWidth(c));
    widest = std::max(widest, widestInnerTable(c));
  }
  return widest;
}

// A spacer cell holds a blank: an empty cell as the last of a row would swallow the spacing
// above the paragraph after its table.
constexpr const char* kSpacer = "<td>&nbsp;</td>";
constexpr int kSpacerWidth = 16;

class Writer {
 public:
  explicit Writer(TidyDoc doc) : doc_(doc) {}

  void node(TidyNode n) {
    switch (tidyNodeGetType(n)) {
      case TidyNode_Root:
        children(n);
        break;
      case TidyNode_Text: {
        Buffer b;
        if (tidyNodeGetValue(doc_, n, &b.b) && b.b.bp) out_ += escapeText(std::string(reinterpret_cast<const char*>(b.b.bp), b.b.size), false);
        break;
      }
      case TidyNode_Start:
      case TidyNode_StartEnd:
        element(n);
        break;
      default:  // doctype, comments, processing instructions: not needed by the view
        break;
    }
  }

 private:
  void children(TidyNode n) {
    for (TidyNode c = tidyGetChild(n); c; c = tidyGetNext(c)) node(c);
  }

  void element(TidyNode n) {
    TidyTagId id = tidyNodeGetId(n);
    if (id == TidyTag_HEAD) return;  // tidy adds an empty title; the view needs nothing there
    const char* name = tidyNodeGetName(n);
    if (!name) {
      children(n);
      return;
    }
    // A fixed-width table narrower than the table cell it sits in keeps its width: the view
    // would stretch it over the whole cell, so it stands between flexible spacer cells.
    const Holder holder = id == TidyTag_TABLE ? holderFor(n) : Holder{};
    if (holder.active) {
      out_ += "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\"><tr>";
      if (holder.before) out_ += kSpacer;
      out_ += "<td width=\"" + std::to_string(holder.width) + "\">";
    }
    out_ += '<';
    out_ += name;
    bool hasAlign = false;
    for (TidyAttr a = tidyAttrFirst(n); a; a = tidyAttrNext(a)) {
      const char* an = tidyAttrName(a);
      if (!an) continue;
      std::string value = tidyAttrValue(a) ? tidyAttrValue(a) : "";
      if (tidyAttrGetId(a) == TidyAttr_ALIGN) hasAlign = true;
      // A browser widens a fixed-width table to the fixed-width tables it holds; Qt would
      // squeeze them instead.
      if (id == TidyTag_TABLE && tidyAttrGetId(a) == TidyAttr_WIDTH && pixelWidth(n) > 0)
        value = std::to_string(std::max(pixelWidth(n), widestInnerTable(n)));
      if (tidyAttrGetId(a) == TidyAttr_COLSPAN && isCell(n) && !limits_.empty() && limits_.back() > 0) {
        int span = std::min(spanOf(n), std::max(1, limits_.back() - column_.back()));
        value = std::to_string(span);
      }
      out_ += ' ';
      out_ += an;
      out_ += "=\"" + escapeText(value, true) + '"';
    }
    if (id == TidyTag_TABLE && !hasAlign && !centred_.empty() && centred_.back()) out_ += " align=\"center\"";
    out_ += '>';
    if (isVoid(id)) return;

    // Track what decides a table's alignment and a row's used columns.
    bool pushesCentre = id == TidyTag_CENTER || id == TidyTag_TD || id == TidyTag_TH || id == TidyTag_TABLE;
    if (pushesCentre) centred_.push_back(id == TidyTag_CENTER);
    if (id == TidyTag_TABLE) {
      limits_.push_back(plainColumnCount(n));
      column_.push_back(0);
      const int border = numberAttr(n, TidyAttr_BORDER, 0);
      // Cell content width of a cell spanning the whole table: the table's frame and the
      // cell's own border on both sides, the spacing at both ends and the cell padding.
      const int inner = widthAttr(n) - 4 * border - 2 * numberAttr(n, TidyAttr_CELLSPACING, 2) -
                        2 * numberAttr(n, TidyAttr_CELLPADDING, 0);
      context_.push_back({true, widthAttr(n) > 0 ? inner : 0, limits_.back()});
    }
    if (isCell(n)) context_.push_back({false, 0, spanOf(n)});
    if (id == TidyTag_TR && !column_.empty()) column_.back() = 0;
    children(n);
    if (isCell(n) && !column_.empty()) column_.back() += spanOf(n);
    if (id == TidyTag_TABLE) {
      limits_.pop_back();
      column_.pop_back();
    }
    if (id == TidyTag_TABLE || isCell(n)) context_.pop_back();
    if (pushesCentre) centred_.pop_back();
    out_ += "</";
    out_ += name;
    out_ += '>';
    if (holder.active) out_ += std::string("</td>") + (holder.after ? kSpacer : "") + "</tr></table>";
  }

  struct Holder {
    bool active = false;
    bool before = false, after = false;  // spacer cells
    int width = 0;
  };

  // The table width as written out (widened to the tables it holds), 0 for none or percent.
  static int widthAttr(TidyNode table) {
    const int own = pixelWidth(table);
    return own > 0 ? std::max(own, widestInnerTable(table)) : 0;
  }

  // Whether `table` goes between spacers: it has a fixed width, sits in a cell that spans its
  // whole enclosing table of fixed width, and is narrower than that cell by room for spacers.
  Holder holderFor(TidyNode table) const {
    Holder h;
    if (context_.size() < 2) return h;
    const Context& cell = context_.back();
    const Context& outer = context_[context_.size() - 2];
    if (cell.table || !outer.table || outer.width <= 0) return h;
    if (outer.columns > 1 && cell.columns < outer.columns) return h;
    const int width = widthAttr(table);
    if (width <= 0) return h;
    std::string align;
    if (TidyAttr a = tidyAttrGetById(table, TidyAttr_ALIGN); a && tidyAttrValue(a)) align = tidyAttrValue(a);
    for (char& c : align) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool centred = align == "center" || (align.empty() && !centred_.empty() && centred_.back());
    h.before = centred || align == "right";
    h.after = centred || !h.before;
    // Room for the blank of each spacer.
    if (width + kSpacerWidth * (int(h.before) + int(h.after)) > outer.width) return h;
    h.active = true;
    h.width = width;
    return h;
  }

 public:
  std::string out_;

 private:
  TidyDoc doc_;
  std::vector<bool> centred_;
  std::vector<int> limits_;
  std::vector<int> column_;
  struct Context {
    bool table;   // a table, else a cell
    int width;    // table: content width of a cell spanning it (0: not fixed)
    int columns;  // table: plain columns; cell: its span
  };
  std::vector<Context> context_;
};

// Crossed end tags of inline formatting elements ("<b><font>x</b>y</font>") are resolved the
// way a browser's parser does before tidy sees them: the end tag closes the elements opened
// inside it, and those are opened again before the next content. Tidy's own repair would
// instead carry the outer element over the rest ("y" bold, not small).
class FormattingPass {
 public:
  std::string run(const std::string& in) {
    size_t i = 0;
    while (i < in.size()) {
      if (in[i] != '<') {
        size_t j = in.find('<', i);
        if (j == std::string::npos) j = in.size();
        reopen();
        out_.append(in, i, j - i);
        i = j;
        continue;
      }
      if (in.compare(i, 4, "<!--") == 0) {
        size_t j = in.find("-->", i);
        j = j == std::string::npos ? in.size() : j + 3;
        out_.append(in, i, j - i);
        i = j;
        continue;
      }
      size_t j = tagEnd(in, i);
      tag(in.substr(i, j - i));
      i = j;
    }
    return out_;
  }

 private:
  struct Open {
    std::string name;  // empty: a table or cell boundary
    std::string text;
  };

  static size_t tagEnd(const std::string& s, size_t i) {
    char quote = 0;
    for (size_t j = i + 1; j < s.size(); ++j) {
      char c = s[j];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return j + 1;
      }
    }
    return s.size();
  }

  static std::string nameOf(const std::string& t, bool& end) {
    size_t i = 1;
    end = i < t.size() && t[i] == '/';
    if (end) ++i;
    std::string n;
    while (i < t.size() && std::isalnum(static_cast<unsigned char>(t[i])))
      n += static_cast<char>(std::tolower(static_cast<unsigned char>(t[i++])));
    return n;
  }

  static bool formatting(const std::string& n) {
    return n == "b" || n == "i" || n == "u" || n == "font" || n == "em" || n == "strong" || n == "s" ||
           n == "small" || n == "big" || n == "tt" || n == "strike";
  }
  static bool boundary(const std::string& n) {
    return n == "table" || n == "tr" || n == "td" || n == "th" || n == "caption";
  }
  static bool phrasing(const std::string& n) { return n == "br" || n == "img" || n == "span" || n == "a"; }

  void reopen() {
    for (const Open& o : pending_) {
      out_ += o.text;
      stack_.push_back(o);
    }
    pending_.clear();
  }

  void tag(const std::string& t) {
    bool end = false;
    std::string n = nameOf(t, end);
    if (n.empty()) {
      out_ += t;
      return;
    }
    if (boundary(n)) {
      // What was left open stays to tidy; nothing is carried across a cell or table edge.
      pending_.clear();
      if (!end) {
        stack_.push_back({"", n});
      } else {
        for (size_t k = stack_.size(); k-- > 0;) {
          if (stack_[k].name.empty() && stack_[k].text == n) {
            stack_.resize(k);
            break;
          }
        }
      }
      out_ += t;
      return;
    }
    if (!formatting(n)) {
      if (!end && phrasing(n)) reopen();
      out_ += t;
      return;
    }
    if (!end) {
      reopen();
      stack_.push_back({n, t});
      out_ += t;
      return;
    }
    // An end tag of a formatting element: find it within the current cell.
    size_t k = stack_.size();
    while (k-- > 0) {
      if (stack_[k].name.empty()) {
        k = std::string::npos;
        break;
      }
      if (stack_[k].name == n) break;
    }
    if (k == std::string::npos || k >= stack_.size()) {
      // Not open: either one waiting to be reopened (then it is simply dropped) or stray.
      for (size_t p = pending_.size(); p-- > 0;) {
        if (pending_[p].name == n) {
          pending_.erase(pending_.begin() + static_cast<long>(p));
          return;
        }
      }
      out_ += t;
      return;
    }
    std::vector<Open> inner(stack_.begin() + static_cast<long>(k) + 1, stack_.end());
    for (size_t p = inner.size(); p-- > 0;) out_ += "</" + inner[p].name + ">";
    out_ += t;
    stack_.resize(k);
    pending_.insert(pending_.begin(), inner.begin(), inner.end());
  }

  std::string out_;
  std::vector<Open> stack_;
  std::vector<Open> pending_;
};

}  // namespace

std::string repairReportHtml(const std::string& html) {
  DocPtr doc(tidyCreate());
  if (!doc) throw std::runtime_error("The report could not be prepared for display");
  TidyDoc d = doc.get();
  Buffer errors;
  tidySetErrorBuffer(d, &errors.b);  // keeps tidy's diagnostics off the console
  tidyOptSetBool(d, TidyShowWarnings, no);
  tidyOptSetBool(d, TidyQuiet, yes);
  tidyOptSetBool(d, TidyForceOutput, yes);
  tidyOptSetBool(d, TidyDropEmptyParas, no);
  tidyOptSetBool(d, TidyDropEmptyElems, no);
  tidyOptSetBool(d, TidyMakeClean, no);
  tidySetCharEncoding(d, "utf8");
  const std::string nested = FormattingPass().run(html);
  if (tidyParseString(d, nested.c_str()) < 0) throw std::runtime_error("The report could not be prepared for display");
  if (tidyCleanAndRepair(d) < 0) throw std::runtime_error("The report could not be prepared for display");
  Writer w(d);
  w.node(tidyGetRoot(d));
  return w.out_;
}

}  // namespace kelvaro::reports
