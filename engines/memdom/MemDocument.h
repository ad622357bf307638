// An HTML document of the built-in engine, and its window.
//
// Load turns any bytes into a document: it decodes them (UTF-8 unless the
// host or the page's meta charset says otherwise), makes them safe for the
// parser (see HtmlGuard.h), parses them with Gumbo and builds the engine's
// own mutable tree. Bad input never fails a load; it makes an odd page.
//
// Ownership. The document owns its tree and its window; the window and
// the elements point back at it without owning it. Close (called by the
// browser when it replaces the document, and by the destructor) detaches
// every element and drops every sink, so references held elsewhere stay
// safe (see PageDocument.h). Collections hold the document.
//
// Document order, sourceIndex and the form of each control are computed
// once per change of the tree (and of id and form attributes) and kept,
// so walking `all` or a form's controls costs one pass, not one per item.
//
// Everything here belongs to the page's user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engines/memdom/MemEvents.h"
#include "engines/memdom/MemNavigation.h"
#include "engines/memdom/MemNode.h"
#include "engines/memdom/MemScript.h"
#include "platform/dom/PageDocument.h"

namespace qm::memdom {

class MemDocument;
class MemFormElement;

struct DocumentOptions {
  std::u16string Url = u"about:blank";
  // The character set the host was told (a content type's charset); empty
  // lets the page's own meta charset decide, else UTF-8.
  std::u16string Charset;
  std::shared_ptr<ScriptBindings> Scripts;
  NavigationHost* Host = nullptr;
};

class MemWindow final : public platform::ComObject<platform::PageWindow> {
public:
  explicit MemWindow(MemDocument* document) : document_(document) {}

  uint32_t Advise(const ComPtr<PageEventSink>& sink) override;
  void Unadvise(uint32_t cookie) override;
  ComPtr<PageEvent> event() override;
  ComPtr<platform::PageDocument> document() override;

  ListenerList& Listeners() { return listeners_; }
  // The events being dispatched, innermost last.
  void PushEvent(ComPtr<PageEvent> event) { events_.push_back(std::move(event)); }
  void PopEvent() {
    if (!events_.empty()) events_.pop_back();
  }
  void Detach() noexcept;

private:
  MemDocument* document_;
  ListenerList listeners_;
  std::vector<ComPtr<PageEvent>> events_;
};

class MemDocument final
    : public platform::ComObject<platform::PageDocument, platform::PageObjectContainer> {
public:
  static ComPtr<MemDocument> Load(std::string_view bytes, DocumentOptions options);
  ~MemDocument() override;

  // --- PageDocument ---
  uint32_t Advise(const ComPtr<PageEventSink>& sink) override;
  void Unadvise(uint32_t cookie) override;
  ComPtr<platform::ElementCollection> all() override;
  ComPtr<platform::ElementCollection> forms() override;
  ComPtr<PageElement> activeElement() override;
  std::u16string url() override { return url_; }
  std::u16string charset() override { return charset_; }
  std::u16string title() override;
  ComPtr<platform::PageWindow> parentWindow() override;
  // --- PageObjectContainer ---
  std::vector<ComPtr<IUnknown>> embeddedObjects() override;

  // --- engine ---
  bool Closed() const noexcept { return closed_; }
  // Detaches every element, frees the tree, drops all sinks and the host.
  void Close() noexcept;
  MemElement* Root() const noexcept { return root_; }
  MemElement* Body() const noexcept;
  MemWindow& Window() noexcept { return *window_; }
  ListenerList& Listeners() noexcept { return listeners_; }
  NavigationHost* Host() const noexcept { return host_; }
  void SetHost(NavigationHost* host) noexcept { host_ = host; }
  const std::shared_ptr<ScriptBindings>& Scripts() const noexcept { return scripts_; }
  // True when the parser guard had to cut nesting or attributes.
  bool InputWasLimited() const noexcept { return inputLimited_; }

  // Hands request to the host (nothing without one). A "javascript:"
  // address runs its script instead, for element.
  void RequestNavigation(NavigationRequest request, MemElement* element = nullptr);
  // The address links resolve against: the first base href, else url.
  std::u16string BaseUrl();
  // relative resolved against BaseUrl; relative itself when that fails.
  std::u16string ResolveUrl(std::u16string_view relative);

  MemElement* FocusedElement() const noexcept { return focused_.Get(); }
  // Moves the focus (nullptr: none); a text control that loses the focus
  // with a value changed since it got it raises change.
  void MoveFocus(MemElement* element);

  // --- caches ---
  // The elements of the tree in document order (template contents left
  // out); valid until the next change of the tree.
  const std::vector<MemElement*>& Order();
  int32_t SourceIndexOf(const MemElement& element);
  const std::vector<MemElement*>& FormControls(MemFormElement& form);
  MemFormElement* OwnerOf(const MemElement& element);
  MemElement* ElementById(std::u16string_view id);
  // Called by the tree and by id/form attribute changes.
  void StructureChanged() noexcept { ++version_; }
  // Changes with every change of the tree; caches compare it.
  uint64_t TreeVersion() const noexcept { return version_; }

  // --- changing the tree (tests and hosts model scripts with these) ---
  // Parses html as a fragment and appends its nodes to parent.
  void AppendHtml(MemElement& parent, std::string_view html);
  void RemoveElement(MemElement& element);

  // Used while building.
  // Takes a tree reference of root.
  void SetRoot(const ComPtr<MemElement>& root);
  void FinishParsing();

private:
  explicit MemDocument(DocumentOptions options);
  void EnsureCaches();

  std::u16string url_;
  std::u16string charset_;
  std::shared_ptr<ScriptBindings> scripts_;
  NavigationHost* host_;
  ComPtr<MemWindow> window_;
  ListenerList listeners_;
  MemElement* root_ = nullptr;
  ComPtr<MemElement> focused_;
  std::u16string focusValue_;
  bool closed_ = false;
  bool inputLimited_ = false;

  uint64_t version_ = 1;
  uint64_t cacheVersion_ = 0;
  std::vector<MemElement*> order_;
  std::unordered_map<std::u16string, MemElement*> ids_;
  std::u16string baseUrl_;
};

// The controls of form with tag name tagName (any tag when empty).
ComPtr<platform::ElementCollection> MakeFormControlCollection(MemFormElement& form,
                                                              std::u16string_view tagName);

}  // namespace qm::memdom
