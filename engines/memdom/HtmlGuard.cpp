#include "engines/memdom/HtmlGuard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

namespace qm::memdom {
namespace {

enum TagFlag : uint32_t {
  Void = 1u << 0,
  RawText = 1u << 1,     // content up to the matching end tag is text
  Formatting = 1u << 2,  // kept in the list of active formatting elements
  Special = 1u << 3,     // stops "any other end tag" and list closing
  ClosesP = 1u << 4,     // a start tag that closes an open p
  Scope = 1u << 5,       // bounds the default scope
  Marker = 1u << 6,      // pushes a marker on the formatting list
  Breakout = 1u << 7,    // leaves foreign content
  Heading = 1u << 8,
  Reconstructs = 1u << 9,  // reopens formatting elements before it
  TablePart = 1u << 10,
};

const std::unordered_map<std::string_view, uint32_t>& TagFlags() {
  static const std::unordered_map<std::string_view, uint32_t> flags = [] {
    std::unordered_map<std::string_view, uint32_t> m;
    auto add = [&m](std::initializer_list<std::string_view> names, uint32_t f) {
      for (std::string_view n : names)
        m[n] |= f;
    };
    add({"area", "base", "basefont", "bgsound", "br", "col", "embed", "hr", "img", "input",
         "keygen", "link", "meta", "param", "source", "track", "wbr", "frame", "image"},
        Void);
    add({"script", "style", "xmp", "iframe", "noembed", "noframes", "textarea", "title",
         "plaintext"},
        RawText);
    add({"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt",
         "u"},
        Formatting | Reconstructs);
    add({"address", "applet",     "area",     "article",    "aside",     "base",     "basefont",
         "bgsound", "blockquote", "body",     "br",         "button",    "caption",  "center",
         "col",     "colgroup",   "dd",       "details",    "dir",       "div",      "dl",
         "dt",      "embed",      "fieldset", "figcaption", "figure",    "footer",   "form",
         "frame",   "frameset",   "h1",       "h2",         "h3",        "h4",       "h5",
         "h6",      "head",       "header",   "hgroup",     "hr",        "html",     "iframe",
         "img",     "input",      "keygen",   "li",         "link",      "listing",  "main",
         "marquee", "menu",       "meta",     "nav",        "noembed",   "noframes", "noscript",
         "object",  "ol",         "p",        "param",      "plaintext", "pre",      "script",
         "section", "select",     "source",   "style",      "summary",   "table",    "tbody",
         "td",      "template",   "textarea", "tfoot",      "th",        "thead",    "title",
         "tr",      "track",      "ul",       "wbr",        "xmp"},
        Special);
    add({"address", "article", "aside", "blockquote", "center",     "details",   "dialog",
         "dir",     "div",     "dl",    "fieldset",   "figcaption", "figure",    "footer",
         "header",  "hgroup",  "main",  "menu",       "nav",        "ol",        "p",
         "section", "summary", "ul",    "h1",         "h2",         "h3",        "h4",
         "h5",      "h6",      "pre",   "listing",    "form",       "plaintext", "table",
         "hr",      "xmp",     "li",    "dd",         "dt"},
        ClosesP);
    add({"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template"}, Scope);
    add({"applet", "marquee", "object", "td", "th", "caption", "template"}, Marker);
    add({"b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
         "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
         "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
         "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
         "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"},
        Breakout);
    add({"h1", "h2", "h3", "h4", "h5", "h6"}, Heading);
    add({"applet", "marquee", "object", "br", "img", "input", "embed", "wbr", "keygen", "area",
         "image", "button", "select"},
        Reconstructs);
    add({"caption", "colgroup", "col", "tbody", "thead", "tfoot", "tr", "td", "th"}, TablePart);
    return m;
  }();
  return flags;
}

uint32_t FlagsOf(std::string_view name) {
  const auto& m = TagFlags();
  const auto it = m.find(name);
  if (it != m.end()) return it->second;
  // Every tag the builder has no rule for is an ordinary element that
  // reopens formatting elements before it.
  return Reconstructs;
}

bool IsSpaceByte(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerByte(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

struct OpenElement {
  std::string Name;
  uint64_t FormattingId;  // 0 when not on the formatting list
  bool Foreign;
  uint32_t Flags;
};

struct FormattingEntry {
  uint64_t Id;  // 0 for a marker
  std::string Name;
  std::string Attributes;
  bool Open;
};

struct Attribute {
  size_t Begin;  // from the space before it
  size_t End;
};

class Guard {
public:
  Guard(std::string_view in, const GuardLimits& limits)
      : in_(in), limits_(limits), reopenBudget_(in.size() / 4 + 4096) {
    out_.Text.reserve(in.size() + in.size() / 64);
  }

  GuardedHtml Run() {
    size_t pos = 0;
    while (pos < in_.size()) {
      const void* lt = std::memchr(in_.data() + pos, '<', in_.size() - pos);
      const size_t next = lt == nullptr
                              ? in_.size()
                              : static_cast<size_t>(static_cast<const char*>(lt) - in_.data());
      if (next > pos) Text(pos, next);
      if (next >= in_.size()) break;
      pos = Markup(next);
    }
    if (formOpen_) out_.FormSpans.push_back({formStart_, out_.Text.size()});
    return std::move(out_);
  }

private:
  // --- tokens ---

  void Text(size_t begin, size_t end) {
    bool visible = false;
    for (size_t i = begin; i < end && !visible; ++i)
      visible = !IsSpaceByte(in_[i]);
    if (visible && !InSelect() && !InForeign()) {
      MakeRoom(0, true);
      Reconstruct();
    }
    out_.Text.append(in_.substr(begin, end - begin));
  }

  // Handles the markup at in_[at] == '<'; answers where to go on.
  size_t Markup(size_t at) {
    const std::string_view rest = in_.substr(at);
    if (rest.substr(0, 4) == "<!--") return Copy(at, CommentEnd(at));
    if (rest.size() >= 2 && (rest[1] == '!' || rest[1] == '?')) {
      if (InForeign() && rest.substr(0, 9) == "<![CDATA[") {
        const size_t end = in_.find("]]>", at + 9);
        return Copy(at, end == std::string_view::npos ? in_.size() : end + 3);
      }
      return Copy(at, TagEnd(at + 2));
    }
    if (rest.size() >= 2 && rest[1] == '/') {
      if (rest.size() >= 3 && IsLetter(rest[2])) return EndTagToken(at);
      return Copy(at, TagEnd(at + 2));  // "</>" and bogus comments
    }
    if (rest.size() >= 2 && IsLetter(rest[1])) return StartTagToken(at);
    out_.Text.push_back('<');
    return at + 1;
  }

  size_t Copy(size_t begin, size_t end) {
    out_.Text.append(in_.substr(begin, end - begin));
    return end;
  }

  size_t CommentEnd(size_t at) const {
    size_t i = at + 4;
    if (i < in_.size() && in_[i] == '>') return i + 1;
    if (in_.substr(i, 2) == "->") return i + 2;
    // "--!>" counts only before the first "-->"; searching it past there
    // would scan the rest of the page for every comment.
    const size_t a = in_.find("-->", i);
    const std::string_view before =
        a == std::string_view::npos ? in_.substr(i) : in_.substr(i, a + 3 - i);
    const size_t b = before.find("--!>");
    if (b != std::string_view::npos) return i + b + 4;
    return a == std::string_view::npos ? in_.size() : a + 3;
  }

  // The position after the next '>' from i (or the end).
  size_t TagEnd(size_t i) const {
    const size_t gt = in_.find('>', i);
    return gt == std::string_view::npos ? in_.size() : gt + 1;
  }

  size_t ReadName(size_t i, std::string& name) const {
    name.clear();
    while (i < in_.size() && !IsSpaceByte(in_[i]) && in_[i] != '/' && in_[i] != '>') {
      name.push_back(LowerByte(in_[i]));
      ++i;
    }
    return i;
  }

  // Reads the attributes up to and including '>'; answers the position
  // after it, or npos when the text ends inside the tag.
  size_t ReadAttributes(size_t i, std::vector<Attribute>& attributes, bool& selfClosing) const {
    attributes.clear();
    selfClosing = false;
    while (i < in_.size()) {
      const size_t before = i;
      while (i < in_.size() && (IsSpaceByte(in_[i]) || in_[i] == '/')) {
        selfClosing = in_[i] == '/';
        ++i;
      }
      if (i >= in_.size()) break;
      if (in_[i] == '>') return i + 1;
      selfClosing = false;
      // The name (a leading '=' belongs to it).
      ++i;
      while (i < in_.size() && !IsSpaceByte(in_[i]) && in_[i] != '/' && in_[i] != '>' &&
             in_[i] != '=') {
        ++i;
      }
      size_t j = i;
      while (j < in_.size() && IsSpaceByte(in_[j]))
        ++j;
      if (j < in_.size() && in_[j] == '=') {
        ++j;
        while (j < in_.size() && IsSpaceByte(in_[j]))
          ++j;
        if (j < in_.size() && (in_[j] == '"' || in_[j] == '\'')) {
          const size_t close = in_.find(in_[j], j + 1);
          j = close == std::string_view::npos ? in_.size() : close + 1;
        } else {
          while (j < in_.size() && !IsSpaceByte(in_[j]) && in_[j] != '>')
            ++j;
        }
        i = j;
      }
      attributes.push_back({before, i});
    }
    return std::string_view::npos;
  }

  size_t StartTagToken(size_t at) {
    std::string name;
    const size_t afterName = ReadName(at + 1, name);
    bool selfClosing = false;
    const size_t end = ReadAttributes(afterName, attributes_, selfClosing);
    if (end == std::string_view::npos) return Copy(at, in_.size());  // dropped by the tokenizer
    std::string tag;
    std::string_view attributeText;
    if (attributes_.size() > limits_.MaxAttributes) {
      out_.Limited = true;
      tag.assign(in_.substr(at, afterName - at));
      for (size_t k = 0; k < limits_.MaxAttributes; ++k) {
        tag.append(in_.substr(attributes_[k].Begin, attributes_[k].End - attributes_[k].Begin));
      }
      tag.append(selfClosing ? "/>" : ">");
    } else {
      tag.assign(in_.substr(at, end - at));
    }
    if (!attributes_.empty()) {
      attributeText =
          in_.substr(attributes_.front().Begin, attributes_.back().End - attributes_.front().Begin);
    }
    StartTag(name, selfClosing, tag, attributeText);
    if ((FlagsOf(name) & RawText) != 0 && !InForeign() && !stack_.empty() &&
        stack_.back().Name == name) {
      return RawTextEnd(end, name);
    }
    return end;
  }

  // Copies a raw text element's content; answers the position of its end
  // tag (which the main loop then reads), or the text's end.
  size_t RawTextEnd(size_t from, const std::string& name) {
    if (name == "plaintext") return Copy(from, in_.size());
    size_t i = from;
    while (true) {
      const size_t lt = in_.find("</", i);
      if (lt == std::string_view::npos) return Copy(from, in_.size());
      size_t j = lt + 2;
      size_t k = 0;
      while (k < name.size() && j < in_.size() && LowerByte(in_[j]) == name[k]) {
        ++j;
        ++k;
      }
      if (k == name.size() &&
          (j >= in_.size() || IsSpaceByte(in_[j]) || in_[j] == '/' || in_[j] == '>')) {
        return Copy(from, lt);
      }
      i = lt + 2;
    }
  }

  size_t EndTagToken(size_t at) {
    std::string name;
    const size_t afterName = ReadName(at + 2, name);
    bool selfClosing = false;
    const size_t end = ReadAttributes(afterName, attributes_, selfClosing);
    if (end == std::string_view::npos) return Copy(at, in_.size());
    const size_t tagStart = out_.Text.size();
    Copy(at, end);
    EndTag(name, tagStart);
    return end;
  }

  // --- the tree builder's model ---

  bool InForeign() const { return !stack_.empty() && stack_.back().Foreign; }
  bool InSelect() const { return Count("select") > 0 && !InForeign(); }

  int Count(const std::string& name) const {
    const auto it = counts_.find(name);
    return it == counts_.end() ? 0 : it->second;
  }

  void Push(const std::string& name, bool foreign, uint64_t formattingId = 0) {
    stack_.push_back({name, formattingId, foreign, FlagsOf(name)});
    ++counts_[name];
  }

  void PopTop() {
    OpenElement& top = stack_.back();
    --counts_[top.Name];
    if (top.FormattingId != 0) {
      for (size_t k = formatting_.size(); k-- > 0;) {
        if (formatting_[k].Id == top.FormattingId) {
          formatting_[k].Open = false;
          break;
        }
      }
    }
    stack_.pop_back();
  }

  void PopUntil(const std::string& name) {
    if (Count(name) == 0) return;
    while (!stack_.empty()) {
      const bool last = stack_.back().Name == name;
      PopTop();
      if (last) break;
    }
  }

  bool InScope(const std::string& name, std::string_view extraBoundary = {}) const {
    if (Count(name) == 0) return false;
    for (size_t k = stack_.size(); k-- > 0;) {
      const OpenElement& e = stack_[k];
      if (e.Name == name) return true;
      if ((e.Flags & Scope) != 0 || e.Foreign ||
          (!extraBoundary.empty() && e.Name == extraBoundary)) {
        return false;
      }
    }
    return false;
  }

  // Where the nearest table structure puts the insertion point.
  enum class TableMode { None, Table, Body, Row, Cell };
  TableMode CurrentTableMode() const {
    for (size_t k = stack_.size(); k-- > 0;) {
      const std::string& n = stack_[k].Name;
      if (n == "td" || n == "th" || n == "caption") return TableMode::Cell;
      if (n == "tr") return TableMode::Row;
      if (n == "tbody" || n == "thead" || n == "tfoot") return TableMode::Body;
      if (n == "table") return TableMode::Table;
      if (n == "template" || n == "html") return TableMode::None;
    }
    return TableMode::None;
  }

  void PopWhileTopNotIn(std::initializer_list<std::string_view> names) {
    while (!stack_.empty()) {
      bool stop = false;
      for (std::string_view n : names)
        stop = stop || stack_.back().Name == n;
      if (stop) return;
      PopTop();
    }
  }

  void ClearFormattingToMarker() {
    while (!formatting_.empty()) {
      const bool marker = formatting_.back().Id == 0;
      formatting_.pop_back();
      if (marker) break;
    }
  }

  // Formatting elements the builder would reopen before the next content.
  size_t PendingReconstruct() const {
    size_t pending = 0;
    for (size_t k = formatting_.size(); k-- > 0;) {
      if (formatting_[k].Id == 0 || formatting_[k].Open) break;
      ++pending;
    }
    return pending;
  }

  void Reconstruct() {
    size_t first = formatting_.size();
    while (first > 0 && formatting_[first - 1].Id != 0 && !formatting_[first - 1].Open)
      --first;
    reopenBudget_ -= std::min(reopenBudget_, formatting_.size() - first);
    for (size_t k = first; k < formatting_.size(); ++k) {
      formatting_[k].Open = true;
      Push(formatting_[k].Name, false, formatting_[k].Id);
    }
  }

  uint64_t AddFormatting(const std::string& name, std::string_view attributes) {
    // Three alike since the last marker are the most the list keeps.
    size_t alike = 0;
    size_t earliest = formatting_.size();
    for (size_t k = formatting_.size(); k-- > 0;) {
      const FormattingEntry& f = formatting_[k];
      if (f.Id == 0) break;
      if (f.Name == name && f.Attributes == attributes) {
        ++alike;
        earliest = k;
      }
    }
    if (alike >= 3) formatting_.erase(formatting_.begin() + static_cast<ptrdiff_t>(earliest));
    formatting_.push_back({++nextId_, name, std::string(attributes), true});
    return nextId_;
  }

  // Emits end tags until need more elements fit under the depth limit, and
  // the formatting elements to reopen within their limits.
  void MakeRoom(size_t need, bool reconstructs) {
    while (true) {
      const size_t pending = reconstructs ? PendingReconstruct() : 0;
      const bool tooMany = pending > std::min(limits_.MaxReopen, reopenBudget_);
      if (!tooMany && (stack_.size() + pending + need <= limits_.MaxDepth ||
                       (stack_.empty() && pending == 0))) {
        return;
      }
      out_.Limited = true;
      if (pending > 0) {
        // The newest entry waits to be reopened; its end tag drops it.
        const std::string name = formatting_.back().Name;
        out_.Text.append("</").append(name).append(">");
        formatting_.pop_back();
        continue;
      }
      const std::string name = stack_.back().Name;
      const size_t tagStart = out_.Text.size();
      const size_t before = stack_.size();
      out_.Text.append("</").append(name).append(">");
      EndTag(name, tagStart);
      // Where the model's rules leave the element open, it goes anyway, so
      // that every round makes progress.
      if (stack_.size() >= before) PopTop();
    }
  }

  void ImpliedEndTagsFor(const std::string& name, uint32_t flags) {
    if ((flags & ClosesP) != 0 && InScope("p", "button")) PopUntil("p");
    if ((flags & Heading) != 0 && !stack_.empty() && (stack_.back().Flags & Heading) != 0) {
      PopTop();
    }
    if (name == "li" || name == "dd" || name == "dt") {
      for (size_t k = stack_.size(); k-- > 0;) {
        const std::string& n = stack_[k].Name;
        const bool match = name == "li" ? n == "li" : (n == "dd" || n == "dt");
        if (match) {
          PopUntil(n);
          break;
        }
        if ((stack_[k].Flags & Special) != 0 && n != "address" && n != "div" && n != "p") break;
      }
    }
    if (name == "button" && InScope("button")) PopUntil("button");
    if ((name == "option" || name == "optgroup") && !stack_.empty() &&
        stack_.back().Name == "option") {
      PopTop();
    }
    if (name == "a") {
      for (size_t k = formatting_.size(); k-- > 0 && formatting_[k].Id != 0;) {
        if (formatting_[k].Name == "a") {
          FormattingEnd("a");
          break;
        }
      }
    }
    if (name == "nobr" && InScope("nobr")) FormattingEnd("nobr");
  }

  // The implied closings and openings of table tags.
  void TableStructureFor(const std::string& name) {
    const TableMode mode = CurrentTableMode();
    const bool inTable =
        mode == TableMode::Table || mode == TableMode::Body || mode == TableMode::Row;
    if (name == "table" && inTable) {
      PopUntil("table");
      return;
    }
    if (name == "td" || name == "th") {
      if (mode == TableMode::Cell && (Count("td") > 0 || Count("th") > 0)) {
        PopWhileTopNotIn({"td", "th"});
        if (!stack_.empty()) PopTop();
        ClearFormattingToMarker();
      }
      const TableMode now = CurrentTableMode();
      if (now == TableMode::Table) {
        PopWhileTopNotIn({"table", "template"});
        Push("tbody", false);
        Push("tr", false);
      } else if (now == TableMode::Body) {
        PopWhileTopNotIn({"tbody", "thead", "tfoot", "template"});
        Push("tr", false);
      } else if (now == TableMode::Row) {
        PopWhileTopNotIn({"tr", "template"});
      }
      return;
    }
    if (!inTable) return;
    if (name == "tr") {
      PopWhileTopNotIn({"tbody", "thead", "tfoot", "table", "template"});
      if (!stack_.empty() && stack_.back().Name == "table") Push("tbody", false);
    } else if (name == "caption" || name == "colgroup" || name == "col" || name == "tbody" ||
               name == "thead" || name == "tfoot") {
      PopWhileTopNotIn({"table", "template"});
    }
  }

  // In foreign content; false when the tag breaks out of it (the foreign
  // elements are closed then and the tag is HTML again).
  bool ForeignStartTag(const std::string& name, uint32_t flags, bool selfClosing,
                       const std::string& tag, std::string_view attributes) {
    const bool breaksOut = (flags & Breakout) != 0 ||
                           (name == "font" && (attributes.find("color") != std::string::npos ||
                                               attributes.find("face") != std::string::npos ||
                                               attributes.find("size") != std::string::npos));
    if (breaksOut) {
      while (InForeign()) PopTop();
      return false;
    }
    if (!selfClosing) MakeRoom(1, false);
    out_.Text.append(tag);
    if (!selfClosing) Push(name, true);
    return true;
  }

  // Inside a select only options and groups open; false for the tags that
  // close the select and are read again outside it.
  bool SelectStartTag(const std::string& name, const std::string& tag) {
    if (name == "option" || name == "optgroup" || name == "hr") {
      if (!stack_.empty() && stack_.back().Name == "option") PopTop();
      if (name != "option" && !stack_.empty() && stack_.back().Name == "optgroup") PopTop();
      if (name != "hr") MakeRoom(1, false);
      out_.Text.append(tag);
      if (name != "hr") Push(name, false);
      return true;
    }
    if (name == "select") {
      out_.Text.append(tag);
      PopUntil("select");
      return true;
    }
    if (name == "input" || name == "keygen" || name == "textarea") {
      PopUntil("select");
      return false;
    }
    if (name == "script" || name == "template") return false;
    out_.Text.append(tag);  // the builder ignores it
    return true;
  }

  void FormStartTag(const std::string& tag) {
    const TableMode mode = CurrentTableMode();
    const bool tableContext =
        mode == TableMode::Table || mode == TableMode::Body || mode == TableMode::Row;
    if (formOpen_ && Count("template") == 0) {
      out_.Text.append(tag);  // ignored: a form is already open
      return;
    }
    MakeRoom(tableContext ? 0 : 1, false);
    formOpen_ = true;
    formStart_ = out_.Text.size();
    out_.Text.append(tag);
    // In a table the builder inserts the form empty and closes it at once.
    if (!tableContext) Push("form", false);
  }

  void StartTag(const std::string& name, bool selfClosing, const std::string& tag,
                std::string_view attributes) {
    const uint32_t flags = FlagsOf(name);
    if (InForeign() && ForeignStartTag(name, flags, selfClosing, tag, attributes)) return;
    if (InSelect() && SelectStartTag(name, tag)) return;
    if (name == "html" || name == "body" || name == "head") {
      out_.Text.append(tag);
      return;
    }
    if (name == "svg" || name == "math") {
      MakeRoom(selfClosing ? 0 : 1, true);
      Reconstruct();
      out_.Text.append(tag);
      if (!selfClosing) Push(name, true);
      return;
    }
    ImpliedEndTagsFor(name, flags);
    if ((flags & TablePart) != 0 || name == "table") TableStructureFor(name);
    if (name == "form") {
      FormStartTag(tag);
      return;
    }
    const bool reconstructs = (flags & Reconstructs) != 0;
    const bool pushes = (flags & Void) == 0;
    MakeRoom(pushes ? 1 : 0, reconstructs);
    if (reconstructs) Reconstruct();
    out_.Text.append(tag);
    if (!pushes) return;
    uint64_t formattingId = 0;
    if ((flags & Formatting) != 0) formattingId = AddFormatting(name, attributes);
    if ((flags & Marker) != 0) formatting_.push_back({0, {}, {}, false});
    Push(name, false, formattingId);
  }

  // The adoption agency's effect on depth: the element and what was opened
  // inside it close; the formatting ones among those stay listed, to be
  // reopened later.
  void FormattingEnd(const std::string& name) {
    for (size_t k = formatting_.size(); k-- > 0;) {
      FormattingEntry& f = formatting_[k];
      if (f.Id == 0) break;
      if (f.Name != name) continue;
      const uint64_t id = f.Id;
      const bool open = f.Open;
      formatting_.erase(formatting_.begin() + static_cast<ptrdiff_t>(k));
      if (open) {
        while (!stack_.empty()) {
          const bool last = stack_.back().FormattingId == id;
          if (last) stack_.back().FormattingId = 0;
          PopTop();
          if (last) break;
        }
      }
      return;
    }
    AnyOtherEndTag(name);
  }

  void AnyOtherEndTag(const std::string& name) {
    for (size_t k = stack_.size(); k-- > 0;) {
      const std::string& n = stack_[k].Name;
      if (n == name) {
        while (stack_.size() > k)
          PopTop();
        return;
      }
      if ((stack_[k].Flags & Special) != 0) return;
    }
  }

  void EndTag(const std::string& name, size_t tagStart) {
    if (InForeign()) {
      for (size_t k = stack_.size(); k-- > 0 && stack_[k].Foreign;) {
        if (stack_[k].Name == name) {
          while (stack_.size() > k)
            PopTop();
          return;
        }
      }
    }
    if (InSelect()) {
      if (name == "option" && !stack_.empty() && stack_.back().Name == "option") PopTop();
      if (name == "optgroup") {
        if (!stack_.empty() && stack_.back().Name == "option") PopTop();
        if (!stack_.empty() && stack_.back().Name == "optgroup") PopTop();
      }
      if (name == "select") PopUntil("select");
      return;
    }
    const uint32_t flags = FlagsOf(name);
    if (name == "form") {
      if (formOpen_) out_.FormSpans.push_back({formStart_, tagStart});
      formOpen_ = false;
      PopUntil("form");
    } else if (name == "p") {
      if (InScope("p", "button")) PopUntil("p");
    } else if (name == "body" || name == "html" || name == "br") {
      // No effect on depth.
    } else if ((flags & Formatting) != 0) {
      FormattingEnd(name);
    } else if ((flags & Marker) != 0) {
      if (Count(name) > 0) {
        PopUntil(name);
        ClearFormattingToMarker();
      }
    } else if ((flags & Heading) != 0) {
      for (size_t k = stack_.size(); k-- > 0;) {
        if ((stack_[k].Flags & Heading) != 0) {
          while (stack_.size() > k)
            PopTop();
          break;
        }
      }
    } else if ((flags & TablePart) != 0 || name == "table" || name == "select" || name == "li" ||
               name == "dd" || name == "dt") {
      PopUntil(name);
    } else {
      AnyOtherEndTag(name);
    }
  }

  std::string_view in_;
  GuardLimits limits_;
  GuardedHtml out_;
  std::vector<OpenElement> stack_;
  std::unordered_map<std::string, int> counts_;
  std::vector<FormattingEntry> formatting_;
  std::vector<Attribute> attributes_;
  uint64_t nextId_ = 0;
  // Elements the builder may still reopen in all: each reopening clones
  // elements without new input, so the total stays in proportion to it.
  size_t reopenBudget_;
  bool formOpen_ = false;
  size_t formStart_ = 0;
};

}  // namespace

GuardedHtml GuardHtml(std::string_view utf8, const GuardLimits& limits) {
  return Guard(utf8, limits).Run();
}

}  // namespace qm::memdom
