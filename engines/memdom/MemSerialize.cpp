#include "engines/memdom/MemSerialize.h"

#include <algorithm>

namespace qm::memdom {
namespace {

// Walks the descendants of scope in document order without recursion.
// enter(element) answers whether to go into its children; leave(element)
// follows the last of them (also when it was not entered); leaf(node) gets
// texts and comments.
template <class Enter, class Leave, class Leaf>
void Walk(const MemElement& scope, Enter enter, Leave leave, Leaf leaf) {
  const MemNode* node = scope.FirstChild();
  while (node != nullptr) {
    bool descend = false;
    if (node->IsElement()) {
      const auto* e = static_cast<const MemElement*>(node);
      descend = enter(*e) && e->FirstChild() != nullptr;
      if (descend) {
        node = e->FirstChild();
        continue;
      }
      leave(*e);
    } else {
      leaf(*static_cast<const MemCharacterData*>(node));
    }
    // Up until a node with a next sibling, closing what is left behind.
    while (node != nullptr && node->NextSibling() == nullptr) {
      node = node->Parent();
      if (node == &scope) return;
      leave(*static_cast<const MemElement*>(node));
    }
    if (node != nullptr) node = node->NextSibling();
  }
}

bool IsVoid(const MemElement& e) {
  if (e.Ns() != Namespace::Html) return false;
  static constexpr std::u16string_view names[] = {
      u"area", u"base",  u"basefont", u"bgsound", u"br",   u"col",   u"embed",  u"frame", u"hr",
      u"img",  u"input", u"keygen",   u"link",    u"meta", u"param", u"source", u"track", u"wbr"};
  return std::find(std::begin(names), std::end(names), e.LocalName()) != std::end(names);
}

bool HoldsRawText(const MemElement* e) {
  if (e == nullptr || e->Ns() != Namespace::Html) return false;
  static constexpr std::u16string_view names[] = {u"style",   u"script",   u"xmp",      u"iframe",
                                                  u"noembed", u"noframes", u"plaintext"};
  return std::find(std::begin(names), std::end(names), e->LocalName()) != std::end(names);
}

bool MarkupCanName(std::u16string_view name) {
  if (name.empty()) return false;
  for (char16_t c : name) {
    if (c <= u' ' || c == u'"' || c == u'\'' || c == u'>' || c == u'/' || c == u'=' || c == u'<' ||
        c == 0x7F) {
      return false;
    }
  }
  return true;
}

void AppendEscaped(std::u16string& out, std::u16string_view text, bool attribute) {
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case 0x00A0:
        out += u"&nbsp;";
        break;
      case u'"':
        if (attribute) {
          out += u"&quot;";
        } else {
          out.push_back(c);
        }
        break;
      case u'<':
        if (attribute) {
          out.push_back(c);
        } else {
          out += u"&lt;";
        }
        break;
      case u'>':
        if (attribute) {
          out.push_back(c);
        } else {
          out += u"&gt;";
        }
        break;
      default:
        out.push_back(c);
    }
  }
}

}  // namespace

std::u16string SerializeChildren(const MemElement& element) {
  std::u16string out;
  Walk(
      element,
      [&out](const MemElement& e) {
        out += u'<';
        out += e.LocalName();
        for (const MemAttribute& a : e.Attributes()) {
          if (!MarkupCanName(a.Name)) continue;
          out += u' ';
          out += e.Ns() == Namespace::Html ? AsciiLower(a.Name) : a.Name;
          out += u"=\"";
          AppendEscaped(out, a.Value.ToText(), true);
          out += u'"';
        }
        out += u'>';
        return !IsVoid(e);
      },
      [&out](const MemElement& e) {
        if (IsVoid(e)) return;
        out += u"</";
        out += e.LocalName();
        out += u'>';
      },
      [&out](const MemCharacterData& n) {
        if (n.Kind() == NodeKind::Comment) {
          out += u"<!--";
          out += n.Data;
          out += u"-->";
        } else if (HoldsRawText(n.Parent())) {
          out += n.Data;
        } else {
          AppendEscaped(out, n.Data, false);
        }
      });
  return out;
}

namespace {

bool IsBlock(const MemElement& e) {
  if (e.Ns() != Namespace::Html) return false;
  static constexpr std::u16string_view names[] = {
      u"address",   u"article", u"aside",   u"blockquote", u"center",  u"dd",       u"details",
      u"dialog",    u"dir",     u"div",     u"dl",         u"dt",      u"fieldset", u"figcaption",
      u"figure",    u"footer",  u"form",    u"h1",         u"h2",      u"h3",       u"h4",
      u"h5",        u"h6",      u"header",  u"hgroup",     u"hr",      u"legend",   u"li",
      u"listing",   u"main",    u"menu",    u"nav",        u"ol",      u"pre",      u"section",
      u"summary",   u"table",   u"tr",      u"ul",         u"caption", u"body",     u"html",
      u"plaintext", u"xmp",     u"frameset"};
  return std::find(std::begin(names), std::end(names), e.LocalName()) != std::end(names);
}

bool IsHidden(const MemElement& e) {
  if (e.HasAttribute(u"hidden")) return true;
  if (e.Ns() != Namespace::Html) return false;
  static constexpr std::u16string_view names[] = {
      u"script", u"style",  u"template", u"head",  u"noscript", u"iframe",  u"object",
      u"embed",  u"select", u"textarea", u"input", u"noembed",  u"noframes"};
  return std::find(std::begin(names), std::end(names), e.LocalName()) != std::end(names);
}

bool KeepsWhiteSpace(const MemElement& e) {
  return e.Ns() == Namespace::Html && (e.LocalName() == u"pre" || e.LocalName() == u"listing" ||
                                       e.LocalName() == u"xmp" || e.LocalName() == u"plaintext");
}

class TextBuilder {
public:
  void Break(int count) {
    breaks_ = std::max(breaks_, count);
    space_ = false;
  }
  void LineBreak() {
    Flush();
    out_ += u"\r\n";
    lineStart_ = true;
  }
  void Tab() {
    Flush();
    out_ += u'\t';
    lineStart_ = true;
  }
  void Text(std::u16string_view text, bool keepSpaces) {
    for (char16_t c : text) {
      if (keepSpaces) {
        if (c == u'\r') continue;
        Flush();
        if (c == u'\n') {
          out_ += u"\r\n";
          lineStart_ = true;
        } else {
          out_ += c;
          lineStart_ = false;
        }
      } else if (IsHtmlSpace(c)) {
        space_ = space_ || !lineStart_;
      } else {
        Flush();
        out_ += c;
        lineStart_ = false;
      }
    }
  }
  std::u16string Take() { return std::move(out_); }

private:
  void Flush() {
    if (breaks_ > 0 && !out_.empty()) {
      for (int i = 0; i < breaks_; ++i)
        out_ += u"\r\n";
      lineStart_ = true;
      space_ = false;
    }
    breaks_ = 0;
    if (space_ && !out_.empty()) out_ += u' ';
    space_ = false;
  }

  std::u16string out_;
  int breaks_ = 0;
  bool space_ = false;
  bool lineStart_ = true;
};

}  // namespace

std::u16string RenderedText(const MemElement& element) {
  TextBuilder text;
  int preserving = 0;
  Walk(
      element,
      [&](const MemElement& e) {
        if (IsHidden(e)) return false;
        if (e.Is(ElementKind::Br)) {
          text.LineBreak();
          return false;
        }
        if (e.LocalName() == u"td" || e.LocalName() == u"th") {
          const MemNode* before = e.PreviousSibling();
          while (before != nullptr && !before->IsElement())
            before = before->PreviousSibling();
          if (before != nullptr) text.Tab();
        }
        if (IsBlock(e)) text.Break(e.LocalName() == u"p" ? 2 : 1);
        if (e.LocalName() == u"p") text.Break(2);
        if (KeepsWhiteSpace(e)) ++preserving;
        return true;
      },
      [&](const MemElement& e) {
        if (IsHidden(e) || e.Is(ElementKind::Br)) return;
        if (KeepsWhiteSpace(e)) --preserving;
        if (e.LocalName() == u"p") {
          text.Break(2);
        } else if (IsBlock(e)) {
          text.Break(1);
        }
      },
      [&](const MemCharacterData& n) {
        if (n.Kind() == NodeKind::Text) text.Text(n.Data, preserving > 0);
      });
  return text.Take();
}

}  // namespace qm::memdom
