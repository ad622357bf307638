#include "tools/PageFiles.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "addon/BHO/Enumerators.h"
#include "addon/BHO/FillFormUtils.h"
#include "addon/BHO/MSHTMLUtils.h"
#include "core/Common/TextUtils.h"
#include "engines/memdom/MemNode.h"
#include "engines/memdom/ResourceLoader.h"
#include "platform/com/Guid.h"
#include "platform/net/AddressJoin.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"
#include "tools/TransitCommands.h"

namespace qm::tool {
namespace {

namespace fs = std::filesystem;
using platform::PageBrowser;
using platform::PageDocument;
using platform::U8;
using platform::Variant;

// See the header: the page's bytes at its address, local frames, nothing
// else.
class TPageFileLoader final : public memdom::ResourceLoader {
public:
  TPageFileLoader(std::u16string pageUrl, std::string bytes, fs::path folder)
      : pageUrl_(std::move(pageUrl)), bytes_(std::move(bytes)), folder_(std::move(folder)) {
    // "." against the page's address is the folder the page sits in.
    if (!IsFileAddress(pageUrl_)) pageFolderUrl_ = platform::CombineAddress(pageUrl_, u".");
    folderUrl_ = platform::AddressFromFilePath(folder_.string());
    if (folderUrl_.empty() || folderUrl_.back() != u'/') folderUrl_ += u'/';
  }

  const std::u16string& PageUrl() const { return pageUrl_; }

  std::optional<memdom::Resource> Load(const memdom::NavigationRequest& request) override {
    if (request.Url == pageUrl_) return memdom::Resource{bytes_, u"text/html", {}};
    if (IsFileAddress(request.Url)) return files_.Load(request);
    if (pageFolderUrl_.empty() || request.Url.compare(0, pageFolderUrl_.size(), pageFolderUrl_)) {
      return std::nullopt;
    }
    memdom::NavigationRequest local = request;
    local.Url = folderUrl_ + request.Url.substr(pageFolderUrl_.size());
    // An escaped "..", which address joining leaves alone, must not lead
    // out of the page's folder once the file name is decoded.
    std::error_code error;
    const fs::path file = fs::weakly_canonical(platform::FilePathFromAddress(local.Url), error);
    if (error) return std::nullopt;
    const fs::path relative = file.lexically_relative(folder_);
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    return files_.Load(local);
  }

private:
  static bool IsFileAddress(std::u16string_view url) {
    return SameTextIgnoreCase(url.substr(0, 5), u"file:");
  }

  std::u16string pageUrl_;
  std::string bytes_;
  fs::path folder_;
  std::u16string pageFolderUrl_;  // empty for a page at a file address
  std::u16string folderUrl_;      // the page file's folder, as a file address
  memdom::FileResourceLoader files_;
};

std::u16string PageAddress(const std::string& url, const fs::path& file) {
  if (url.empty()) return platform::AddressFromFilePath(file.string());
  const std::u16string given = ArgText(url);
  try {
    // Joining the address to itself gives it the form the browser asks for.
    return platform::CombineAddress(given, given);
  } catch (const platform::Exception&) {
    throw ToolError("--url: '" + url + "' is not an absolute address");
  }
}

// The form's action as an absolute address, normalised like every page
// address the add-on files; empty when the action can't be joined.
std::u16string ActionUrl(const ComPtr<PageElement>& form, const ComPtr<PageDocument>& document) {
  const auto view = form.As<platform::PageFormElement>();
  if (!view || !document) return {};
  try {
    return NormalizeUrl(CombineUrl(document->url(), view->action(), ICU_BROWSER_MODE));
  } catch (const platform::Exception&) {
    return {};
  }
}

platform::GUID FormSysIDOf(const ComPtr<PageElement>& form) {
  std::u16string text;
  if (!GetAttributeText(form, u"FormSysID", text)) return {};
  return platform::TryParseGuid(text).value_or(platform::GUID{});
}

// The value each control holds now, read before anything is written (a
// radio's or an option's attribute may move the state of its group).
struct TControlState {
  memdom::MemElement* Element;
  enum class TKind { Value, Checked, Selected, Text } Kind;
  std::u16string Value;
  bool On = false;
};

std::vector<TControlState> ControlStates(memdom::MemDocument& document) {
  std::vector<TControlState> states;
  for (memdom::MemElement* element : document.Order()) {
    const ComPtr<PageElement> control(element);
    if (auto input = control.As<platform::PageInputElement>()) {
      const std::u16string type = input->type();
      if (type == u"checkbox" || type == u"radio") {
        states.push_back({element, TControlState::TKind::Checked, {}, input->checked()});
      } else if (type != u"file") {
        states.push_back({element, TControlState::TKind::Value, input->value()});
      }
    } else if (auto option = control.As<platform::PageOptionElement>()) {
      states.push_back({element, TControlState::TKind::Selected, {}, option->selected()});
    } else if (auto textarea = control.As<platform::PageTextAreaElement>()) {
      states.push_back({element, TControlState::TKind::Text, textarea->value()});
    }
  }
  return states;
}

// A textarea's markup is its text: its first text node holds the text, any
// further ones nothing; one is made when there is none.
void SetTextAreaText(memdom::MemDocument& document, memdom::MemElement& textarea,
                     const std::u16string& text) {
  if (textarea.FirstChild() == nullptr) document.AppendHtml(textarea, "x");
  bool first = true;
  for (memdom::MemNode* node = textarea.FirstChild(); node != nullptr; node = node->NextSibling()) {
    if (node->Kind() != memdom::NodeKind::Text) continue;
    static_cast<memdom::MemCharacterData*>(node)->Data = first ? text : std::u16string();
    first = false;
  }
}

// The page now says it is UTF-8, as the file written will be.
void DeclareUtf8(memdom::MemDocument& document) {
  const auto metas = document.all()->tags(u"meta");
  for (int32_t i = 0; i < metas->length(); ++i) {
    const ComPtr<PageElement> meta = metas->item(i);
    if (!meta->getAttribute(u"charset").IsEmptyOrNull()) {
      meta->setAttribute(u"charset", Variant::FromString(u"utf-8"));
    }
    std::u16string equiv;
    if (GetAttributeText(meta, u"http-equiv", equiv) &&
        SameTextIgnoreCase(Trim(equiv), u"content-type")) {
      meta->setAttribute(u"content", Variant::FromString(u"text/html; charset=utf-8"));
    }
  }
}

void AppendAttributeValue(std::u16string& out, std::u16string_view value) {
  for (char16_t c : value) {
    if (c == u'&') {
      out += u"&amp;";
    } else if (c == u'"') {
      out += u"&quot;";
    } else if (c == u'\u00A0') {
      out += u"&nbsp;";
    } else {
      out += c;
    }
  }
}

}  // namespace

TToolPage OpenPageFile(const std::string& path, const std::string& url, ToolContext& io) {
  const std::string bytes = ReadInput(path, io);
  std::error_code error;
  const fs::path file =
      IsStdin(path) ? fs::current_path() / "-" : fs::weakly_canonical(fs::absolute(path), error);
  if (error) throw ToolError("cannot open " + path);
  auto loader =
      std::make_shared<TPageFileLoader>(PageAddress(url, file), bytes, file.parent_path());
  TToolPage page;
  page.Browser = memdom::MemBrowser::Create(loader);
  page.Browser->Load(loader->PageUrl());
  page.Document = page.Browser->HtmlDocument();
  if (!page.Document) throw ToolError("cannot show " + path + " as an HTML page");
  return page;
}

std::vector<ComPtr<PageElement>> PageForms(const TToolPage& page) {
  std::vector<ComPtr<PageElement>> forms;
  TWBEnumerator walker;
  walker.OnBrowser = [&](TWBEnumerator&, const ComPtr<PageBrowser>& browser) {
    const auto document = browser->Document().As<PageDocument>();
    if (!document) return true;
    const auto all = document->forms();
    for (int32_t i = 0; i < all->length(); ++i)
      forms.push_back(all->item(i));
    return true;
  };
  walker.Enumerate(ComPtr<PageBrowser>(page.Browser));
  return forms;
}

void BuildFormCard(const ComPtr<PageElement>& form, int32_t parts, TTransitFormCard& card) {
  const ComPtr<PageDocument> document = form->document();
  const auto view = form.As<platform::PageFormElement>();
  card.Url = (parts & CardPartUrl) != 0 ? ActionUrl(form, document) : std::u16string();
  card.Method = (parts & CardPartMethod) != 0 && view ? view->method() : std::u16string();
  card.Charset =
      (parts & CardPartCharset) != 0 && document ? document->charset() : std::u16string();
  card.FormHtml = (parts & CardPartFormHtml) != 0 ? form->innerHTML() : std::u16string();
  card.CurrentForm = false;
  card.FormSysID = FormSysIDOf(form);
  ReadFormFields(form, nullptr, card);
}

TTransitFormSet ReadPageForms(const std::vector<ComPtr<PageElement>>& forms, int32_t parts) {
  TTransitFormSet set;
  for (const ComPtr<PageElement>& form : forms)
    BuildFormCard(form, parts, set.Add());
  if (set.Count() == 1) set[0].CurrentForm = true;
  return set;
}

int32_t PartsOption(const TToolArgs& args, int32_t fallback) {
  if (!args.Has("--parts")) return fallback;
  const std::string text = args.Value("--parts");
  int32_t parts = -1;
  if (!TryTextToInt(ArgText(text), parts) || parts < 0 || parts > CardPartsAll) {
    throw ToolError("--parts expects a number from 0 to 15, not '" + text + "'");
  }
  return parts;
}

std::string FilledPageMarkup(memdom::MemDocument& document) {
  for (const TControlState& state : ControlStates(document)) {
    memdom::MemElement& element = *state.Element;
    switch (state.Kind) {
      case TControlState::TKind::Value:
        element.setAttribute(u"value", Variant::FromString(state.Value));
        break;
      case TControlState::TKind::Checked:
      case TControlState::TKind::Selected: {
        const char16_t* name =
            state.Kind == TControlState::TKind::Checked ? u"checked" : u"selected";
        if (state.On) {
          element.setAttribute(name, Variant::FromString(u""));
        } else {
          element.removeAttribute(name);
        }
        break;
      }
      case TControlState::TKind::Text:
        SetTextAreaText(document, element, state.Value);
        break;
    }
  }
  DeclareUtf8(document);
  memdom::MemElement* root = document.Root();
  std::u16string markup = u"<!DOCTYPE html>\n<" + root->LocalName();
  for (const memdom::MemAttribute& attribute : root->Attributes()) {
    // Names that markup can't hold are left out, as inside the page.
    if (attribute.Name.find_first_of(u" \t\n\f\r\"'=/>") != std::u16string::npos) continue;
    markup += u' ' + AsciiLowerCase(attribute.Name) + u"=\"";
    AppendAttributeValue(markup, attribute.Value.ToText());
    markup += u'"';
  }
  markup += u'>' + root->innerHTML() + u"</" + root->LocalName() + u">\n";
  return U8(markup);
}

}  // namespace qm::tool
