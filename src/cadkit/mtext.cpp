// Reading MTEXT inline codes and TEXT control codes.
#include "cadkit/mtext.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "cadkit/utf8.h"

namespace kelvaro::cad {
namespace {

constexpr char32_t kDegree = 0x00B0, kPlusMinus = 0x00B1, kDiameter = 0x2300, kNbsp = 0x00A0;

// %%d, %%p, %%c, %%%, %%nnn at s[i] (which is '%'); the character and its length, or 0.
std::size_t percentCode(std::string_view s, std::size_t i, char32_t& c, char& toggle) {
  toggle = 0;
  if (i + 2 >= s.size() || s[i + 1] != '%') return 0;
  const char k = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i + 2])));
  switch (k) {
    case 'd': c = kDegree; return 3;
    case 'p': c = kPlusMinus; return 3;
    case 'c': c = kDiameter; return 3;
    case '%': c = '%'; return 3;
    case 'u':
    case 'o':
    case 'k':
      toggle = k;
      return 3;
    default: break;
  }
  if (std::isdigit(static_cast<unsigned char>(k))) {
    std::size_t j = i + 2;
    unsigned v = 0;
    while (j < s.size() && j < i + 5 && std::isdigit(static_cast<unsigned char>(s[j]))) v = v * 10 + (s[j++] - '0');
    if (v == 0 || v > 255) return 0;
    c = v;
    return j - i;
  }
  return 0;
}

bool hexValue(std::string_view s, std::size_t i, std::size_t n, unsigned& v) {
  if (i + n > s.size()) return false;
  v = 0;
  for (std::size_t k = i; k < i + n; ++k) {
    const char c = s[k];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return false;
    v = v * 16 + d;
  }
  return true;
}

bool parseNumber(std::string_view s, double& v) {
  // Leading spaces and a '+' are tolerated; the whole value must be a number.
  std::size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  if (b < s.size() && s[b] == '+') ++b;
  s = s.substr(b);
  if (s.empty()) return false;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  auto r = std::from_chars(first, last, v);
  return r.ec == std::errc() && r.ptr == last && std::isfinite(v);
}

class MTextParser {
 public:
  MTextParser(std::string_view s, const MTextFormat& base) : s_(s) { stack_.push_back(base); }

  std::vector<MTextParagraph> run() {
    paras_.emplace_back();
    while (i_ < s_.size()) step();
    flush();
    return std::move(paras_);
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;
  std::vector<MTextFormat> stack_;
  std::string text_;
  std::vector<MTextParagraph> paras_;

  MTextFormat& fmt() { return stack_.back(); }

  void flush() {
    if (text_.empty()) return;
    MTextRun r;
    r.text = std::move(text_);
    r.fmt = fmt();
    paras_.back().runs.push_back(std::move(r));
    text_.clear();
  }
  // Formatting changes end the current run first.
  MTextFormat& change() {
    flush();
    return fmt();
  }
  void newParagraph() {
    flush();
    paras_.emplace_back();
    // Paragraph properties carry over to the next paragraph.
    const auto& prev = paras_[paras_.size() - 2];
    paras_.back().alignment = prev.alignment;
    paras_.back().indentFirst = prev.indentFirst;
    paras_.back().indentLeft = prev.indentLeft;
    paras_.back().tabStops = prev.tabStops;
  }
  void tab() {
    flush();
    MTextRun r;
    r.tab = true;
    r.fmt = fmt();
    paras_.back().runs.push_back(std::move(r));
  }

  // The argument of a code up to ';' starting at i_; false (nothing consumed) when no ';'.
  bool argument(std::string_view& arg) {
    const auto semi = s_.find(';', i_);
    if (semi == std::string_view::npos) return false;
    arg = s_.substr(i_, semi - i_);
    i_ = semi + 1;
    return true;
  }

  void literal(std::size_t from) {
    // Malformed code: keep its characters as text.
    text_.append(s_.substr(from, i_ - from));
  }

  void step() {
    const char c = s_[i_];
    if (c == '\\') {
      code();
      return;
    }
    if (c == '{') {
      flush();
      stack_.push_back(fmt());
      ++i_;
      return;
    }
    if (c == '}') {
      ++i_;
      if (stack_.size() > 1) {
        flush();
        stack_.pop_back();
      } else {
        text_ += '}';  // unbalanced: keep it
      }
      return;
    }
    if (c == '\n') {
      ++i_;
      newParagraph();
      return;
    }
    if (c == '\r') {
      ++i_;
      return;
    }
    if (c == '\t') {
      ++i_;
      tab();
      return;
    }
    if (c == '^' && i_ + 1 < s_.size()) {
      // Caret notation of control characters: ^I tab, ^J line feed, "^ " a caret.
      const char n = s_[i_ + 1];
      if (n == 'I') {
        i_ += 2;
        tab();
        return;
      }
      if (n == 'J' || n == 'M') {
        i_ += 2;
        if (n == 'J') newParagraph();
        return;
      }
      if (n == ' ') {
        i_ += 2;
        text_ += '^';
        return;
      }
    }
    if (c == '%') {
      char32_t ch;
      char toggle;
      if (const std::size_t n = percentCode(s_, i_, ch, toggle)) {
        i_ += n;
        if (toggle == 'u') change().underline = !fmt().underline;
        else if (toggle == 'o') change().overline = !fmt().overline;
        else if (toggle == 'k') change().strike = !fmt().strike;
        else utf8::append(text_, ch);
        return;
      }
    }
    const char32_t ch = utf8::next(s_, i_);
    utf8::append(text_, ch);
  }

  void code() {
    const std::size_t from = i_;
    if (i_ + 1 >= s_.size()) {
      ++i_;
      text_ += '\\';
      return;
    }
    const char k = s_[i_ + 1];
    i_ += 2;
    std::string_view arg;
    double v = 0;
    switch (k) {
      case '\\': text_ += '\\'; return;
      case '{': text_ += '{'; return;
      case '}': text_ += '}'; return;
      case '~': utf8::append(text_, kNbsp); return;
      case 'P':
      case 'N':  // column break: a new paragraph in a single column
      case 'X':  // dimension text: the line below the dimension line
        newParagraph();
        return;
      case 'L': change().underline = true; return;
      case 'l': change().underline = false; return;
      case 'O': change().overline = true; return;
      case 'o': change().overline = false; return;
      case 'K': change().strike = true; return;
      case 'k': change().strike = false; return;
      case 'H':
      case 'W':
      case 'Q':
      case 'T':
      case 'A': {
        if (!argument(arg)) break;
        bool relative = false;
        if (!arg.empty() && (arg.back() == 'x' || arg.back() == 'X')) {
          relative = true;
          arg.remove_suffix(1);
        }
        if (!parseNumber(arg, v)) break;
        MTextFormat& f = change();
        if (k == 'H') {
          if (v <= 0) return;  // a height of zero or less would make the text vanish
          if (!relative) {
            f.height = v;
            f.heightScale = 1;
          } else if (f.height > 0) {
            f.height *= v;
          } else {
            f.heightScale *= v;
          }
          return;
        }
        if (k == 'W') {
          if (v > 0) f.widthFactor = relative ? f.widthFactor * v : v;
          return;
        }
        if (k == 'Q') {
          f.oblique = v;
          return;
        }
        if (k == 'T') {
          if (v > 0) f.tracking = relative ? f.tracking * v : v;
          return;
        }
        if (v >= 0 && v <= 2) f.align = static_cast<int>(v);
        return;
      }
      case 'C': {
        if (!argument(arg) || !parseNumber(arg, v)) break;
        MTextFormat& f = change();
        f.colorIndex = v >= 0 && v <= 256 ? static_cast<int>(v) : -1;
        if (f.colorIndex == 256) f.colorIndex = -1;
        f.hasTrueColor = false;
        return;
      }
      case 'c': {
        if (!argument(arg) || !parseNumber(arg, v) || v < 0 || v > 0xFFFFFF) break;
        MTextFormat& f = change();
        // The value packs red in its low byte (blue, green, red from the top).
        const auto bgr = static_cast<std::uint32_t>(v);
        f.trueColor = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
        f.hasTrueColor = true;
        return;
      }
      case 'F':
      case 'f': {
        if (!argument(arg)) break;
        MTextFormat& f = change();
        // "family|b1|i0|c0|p34" or a font file name (which may carry the same options).
        const auto bar = arg.find('|');
        f.font = std::string(arg.substr(0, bar));
        f.fontIsFamily = k == 'f';
        std::size_t p = bar;
        while (p != std::string_view::npos) {
          const auto q = arg.find('|', p + 1);
          const auto opt = arg.substr(p + 1, q == std::string_view::npos ? std::string_view::npos : q - p - 1);
          if (opt.size() >= 2 && (opt[0] == 'b' || opt[0] == 'i')) {
            const bool on = opt[1] != '0';
            if (opt[0] == 'b') f.bold = on;
            else f.italic = on;
          }
          p = q;
        }
        return;
      }
      case 'S': {
        if (!argument(arg)) break;
        stacked(arg);
        return;
      }
      case 'p': {
        if (!argument(arg)) break;
        paragraphProps(arg);
        return;
      }
      case 'U': {
        unsigned cp;
        if (i_ < s_.size() && s_[i_] == '+' && hexValue(s_, i_ + 1, 4, cp)) {
          i_ += 5;
          // Up to two more hex digits for code points beyond the basic plane.
          utf8::append(text_, cp);
          return;
        }
        break;
      }
      case 'M': {
        unsigned cp;
        if (i_ + 1 < s_.size() && s_[i_] == '+' && std::isdigit(static_cast<unsigned char>(s_[i_ + 1])) &&
            hexValue(s_, i_ + 2, 4, cp)) {
          i_ += 6;
          // A double-byte code of a big font: kept as its two bytes (as the code page does).
          if (cp > 0xFF) utf8::append(text_, cp >> 8);
          utf8::append(text_, cp & 0xFF);
          return;
        }
        break;
      }
      default:
        // Other letters are codes without argument this reader ignores; anything else stays.
        if (std::isalpha(static_cast<unsigned char>(k))) return;
        break;
    }
    i_ = from + 1;
    literal(from);
  }

  void stacked(std::string_view arg) {
    // upper / lower, upper # lower, upper ^ lower; "\/" etc. escape the separators.
    std::string upper, lower;
    char kind = 0;
    for (std::size_t j = 0; j < arg.size(); ++j) {
      char c = arg[j];
      if (c == '\\' && j + 1 < arg.size()) {
        (kind ? lower : upper) += arg[++j];
        continue;
      }
      if (!kind && (c == '/' || c == '#' || c == '^')) {
        kind = c;
        continue;
      }
      (kind ? lower : upper) += c;
    }
    flush();
    MTextRun r;
    r.fmt = fmt();
    r.stacked = true;
    r.stackKind = kind ? kind : '^';
    r.text = decodeTextCodes(upper);
    r.lower = decodeTextCodes(lower);
    paras_.back().runs.push_back(std::move(r));
  }

  void paragraphProps(std::string_view arg) {
    auto& p = paras_.back();
    std::size_t j = 0;
    if (!arg.empty() && arg[0] == 'x') j = 1;
    bool tabs = false;  // inside the list of tab stops ("t4,8,12")
    while (j <= arg.size()) {
      auto comma = arg.find(',', j);
      if (comma == std::string_view::npos) comma = arg.size();
      std::string_view item = arg.substr(j, comma - j);
      j = comma + 1;
      if (item.empty()) continue;
      double v;
      if (tabs && parseNumber(item, v)) {
        if (v >= 0) p.tabStops.push_back(v);
        continue;
      }
      tabs = false;
      const char key = item[0];
      item.remove_prefix(1);
      if (key == 'q' && !item.empty()) {
        switch (item[0]) {
          case 'l': p.alignment = 1; break;
          case 'c': p.alignment = 2; break;
          case 'r': p.alignment = 3; break;
          case 'j':
          case 'd': p.alignment = 4; break;
          default: p.alignment = 0; break;
        }
      } else if (key == 'i' && parseNumber(item, v)) {
        p.indentFirst = v;
      } else if (key == 'l' && parseNumber(item, v)) {
        p.indentLeft = v;
      } else if (key == 't') {
        tabs = true;
        p.tabStops.clear();
        if (parseNumber(item, v) && v >= 0) p.tabStops.push_back(v);
      }
    }
    std::sort(p.tabStops.begin(), p.tabStops.end());
  }
};

}  // namespace

std::vector<MTextParagraph> parseMText(std::string_view text, const MTextFormat& base) {
  return MTextParser(text, base).run();
}

std::string decodeTextCodes(std::string_view text, std::vector<std::pair<std::size_t, char>>* toggles) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '%') {
      char32_t c;
      char toggle;
      if (const std::size_t n = percentCode(text, i, c, toggle)) {
        i += n;
        if (toggle) {
          if (toggles) toggles->emplace_back(out.size(), toggle);
        } else {
          utf8::append(out, c);
        }
        continue;
      }
    }
    utf8::append(out, utf8::next(text, i));
  }
  return out;
}

}  // namespace kelvaro::cad
