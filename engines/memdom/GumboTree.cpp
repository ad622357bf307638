#include "engines/memdom/GumboTree.h"

#include <gumbo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::memdom {
namespace {

using platform::Utf8ToUtf16;

// Every block Gumbo asks for, linked, so that the whole output goes at once.
class GumboArena {
public:
  GumboArena() { head_.Prev = head_.Next = &head_; }
  GumboArena(const GumboArena&) = delete;
  GumboArena& operator=(const GumboArena&) = delete;
  ~GumboArena() {
    Block* b = head_.Next;
    while (b != &head_) {
      Block* next = b->Next;
      std::free(b);
      b = next;
    }
  }

  static void* Allocate(void* userdata, size_t size) {
    auto* arena = static_cast<GumboArena*>(userdata);
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    // Gumbo has no way back from a failed allocation.
    if (block == nullptr) std::abort();
    block->Prev = &arena->head_;
    block->Next = arena->head_.Next;
    arena->head_.Next->Prev = block;
    arena->head_.Next = block;
    return block + 1;
  }

  static void Deallocate(void*, void* pointer) {
    if (pointer == nullptr) return;
    Block* block = static_cast<Block*>(pointer) - 1;
    block->Prev->Next = block->Next;
    block->Next->Prev = block->Prev;
    std::free(block);
  }

private:
  struct alignas(16) Block {
    Block* Prev;
    Block* Next;
  };
  Block head_;
};

// The one place where Gumbo's failure becomes ours.
void CheckGumboOutput(const GumboOutput* output) {
  if (output == nullptr || output->root == nullptr || output->root->type != GUMBO_NODE_ELEMENT) {
    throw platform::Exception(u"The HTML parser gave no document");
  }
}

GumboOutput* Parse(GumboArena& arena, const std::string& text, GumboTag context) {
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &GumboArena::Allocate;
  options.deallocator = &GumboArena::Deallocate;
  options.userdata = &arena;
  options.max_errors = 0;
  options.fragment_context = context;
  GumboOutput* output = gumbo_parse_with_options(&options, text.data(), text.size());
  CheckGumboOutput(output);
  return output;
}

std::u16string LowerUtf8Name(const char* data, size_t length) {
  std::string name(data, length);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return Utf8ToUtf16(name);
}

std::u16string LocalNameOf(const GumboElement& e) {
  if (e.tag_namespace == GUMBO_NAMESPACE_SVG && e.original_tag.length > 0) {
    GumboStringPiece piece = e.original_tag;
    gumbo_tag_from_original_text(&piece);
    if (const char* svg = gumbo_normalize_svg_tagname(&piece)) return Utf8ToUtf16(svg);
  }
  if (e.tag != GUMBO_TAG_UNKNOWN) return Utf8ToUtf16(gumbo_normalized_tagname(e.tag));
  GumboStringPiece piece = e.original_tag;
  gumbo_tag_from_original_text(&piece);
  if (piece.data == nullptr || piece.length == 0) return u"unknown";
  return LowerUtf8Name(piece.data, piece.length);
}

Namespace NamespaceOf(const GumboElement& e) {
  switch (e.tag_namespace) {
    case GUMBO_NAMESPACE_SVG:
      return Namespace::Svg;
    case GUMBO_NAMESPACE_MATHML:
      return Namespace::MathMl;
    default:
      return Namespace::Html;
  }
}

class TreeConverter {
public:
  TreeConverter(MemDocument& document, const GuardedHtml& html)
      : document_(document), spans_(html.FormSpans), spanForms_(spans_.size(), nullptr) {}

  ComPtr<MemElement> MakeElement(const GumboNode& node) {
    const GumboElement& g = node.v.element;
    const Namespace ns = NamespaceOf(g);
    std::u16string name = LocalNameOf(g);
    const ElementKind kind = ns == Namespace::Html ? KindOfTag(name) : ElementKind::Other;
    ComPtr<MemElement> e = CreateElement(&document_, kind, ns, std::move(name));
    for (unsigned i = 0; i < g.attributes.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(g.attributes.data[i]);
      e->AppendParsedAttribute(Utf8ToUtf16(a->name), Utf8ToUtf16(a->value));
    }
    e->ParsedAttributesReady();
    Note(*e, g.start_pos.offset);
    return e;
  }

  // Converts the children of from into children of to, depth first,
  // without recursion.
  void Children(const GumboNode& from, MemElement& to, std::vector<MemElement*>* tops = nullptr) {
    struct Frame {
      const GumboVector* Children;
      unsigned Next;
      MemElement* Parent;
    };
    std::vector<Frame> stack;
    stack.push_back({&from.v.element.children, 0, &to});
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.Next >= frame.Children->length) {
        stack.pop_back();
        continue;
      }
      const auto* child = static_cast<const GumboNode*>(frame.Children->data[frame.Next++]);
      MemElement* parent = frame.Parent;
      const bool top = stack.size() == 1;
      switch (child->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
          ComPtr<MemElement> e = MakeElement(*child);
          MemTree::AppendChild(*parent, e);
          if (top && tops != nullptr) tops->push_back(e.Get());
          if (child->v.element.children.length > 0) {
            stack.push_back({&child->v.element.children, 0, e.Get()});  // frame is stale now
          }
          break;
        }
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
          MemTree::AppendChild(
              *parent, new MemCharacterData(NodeKind::Text, Utf8ToUtf16(child->v.text.text)));
          break;
        case GUMBO_NODE_COMMENT:
          MemTree::AppendChild(
              *parent, new MemCharacterData(NodeKind::Comment, Utf8ToUtf16(child->v.text.text)));
          break;
        default:
          break;
      }
    }
  }

  // Links the controls that the parser put in a form's span but outside
  // the form itself.
  void Associate() {
    for (const auto& [control, offset] : listed_) {
      const int span = SpanContaining(offset);
      if (span >= 0 && spanForms_[static_cast<size_t>(span)] != nullptr) {
        control->SetParserForm(spanForms_[static_cast<size_t>(span)]);
      }
    }
  }

private:
  void Note(MemElement& e, size_t offset) {
    if (e.Is(ElementKind::Form)) {
      const int span = SpanContaining(offset);
      if (span >= 0 && spans_[static_cast<size_t>(span)].Start == offset) {
        spanForms_[static_cast<size_t>(span)] = static_cast<MemFormElement*>(&e);
      }
    } else if (e.IsFormListed() && !e.HasAttribute(u"form")) {
      listed_.push_back({&e, offset});
    }
  }

  int SpanContaining(size_t offset) const {
    const auto it = std::upper_bound(spans_.begin(), spans_.end(), offset,
                                     [](size_t o, const FormSpan& s) { return o < s.Start; });
    if (it == spans_.begin()) return -1;
    const auto& span = *(it - 1);
    if (offset >= span.End) return -1;
    return static_cast<int>(it - 1 - spans_.begin());
  }

  MemDocument& document_;
  const std::vector<FormSpan>& spans_;
  std::vector<MemFormElement*> spanForms_;
  std::vector<std::pair<MemElement*, size_t>> listed_;
};

GumboTag ContextTag(const MemElement& parent) {
  if (parent.Ns() != Namespace::Html) return GUMBO_TAG_DIV;
  const GumboTag tag = gumbo_tag_enum(platform::U8(parent.LocalName()).c_str());
  return tag == GUMBO_TAG_UNKNOWN || tag == GUMBO_TAG_LAST ? GUMBO_TAG_DIV : tag;
}

}  // namespace

void BuildDocumentTree(MemDocument& document, const GuardedHtml& html) {
  GumboArena arena;
  const GumboOutput* output = Parse(arena, html.Text, GUMBO_TAG_LAST);
  TreeConverter converter(document, html);
  ComPtr<MemElement> root = converter.MakeElement(*output->root);
  document.SetRoot(root);
  converter.Children(*output->root, *root);
  converter.Associate();
}

std::vector<MemElement*> AppendFragment(MemDocument& document, MemElement& parent,
                                        const GuardedHtml& html) {
  GumboArena arena;
  const GumboOutput* output = Parse(arena, html.Text, ContextTag(parent));
  TreeConverter converter(document, html);
  std::vector<MemElement*> tops;
  converter.Children(*output->root, parent, &tops);
  converter.Associate();
  return tops;
}

}  // namespace qm::memdom
