// Page scripts in an engine without a script engine.
//
// A page's handler (an on... attribute, or a value assigned to onclick or
// onchange) is a script value that carries its text. The embedding program
// binds script texts to C++ functions; when a handler fires, the function
// bound to its text runs. That is how tests and hosts model pages whose
// scripts navigate, reload or change values. An unbound text does nothing,
// except the two texts "return false" and "return true" (a trailing ";"
// allowed), which answer as they say. A "javascript:" link runs the text
// after the scheme the same way.
//
// ScriptBindings are shared (std::shared_ptr) by the browser and every
// document it loads; bind before loading or at any time after. Everything
// here belongs to the page's user-interface thread.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "engines/memdom/MemNode.h"

namespace qm::memdom {

// What a running script may see and do.
struct ScriptContext {
  ComPtr<PageElement> Element;  // whose handler runs; none for the window
  ComPtr<PageEvent> Event;      // the event being handled; none for a link
  MemDocument* Document = nullptr;
  // false cancels the event's default action.
  std::optional<bool> ReturnValue;
  bool CancelBubble = false;

  // Asks the document's browser to go to url (resolved against the page).
  void Navigate(const std::u16string& url) const;
  // Asks the browser to load the page again.
  void Reload() const;
};

using ScriptFunction = std::function<void(ScriptContext&)>;

class ScriptBindings {
public:
  // text is compared after trimming white space at both ends.
  void Bind(std::u16string_view text, ScriptFunction function);
  const ScriptFunction* Find(std::u16string_view text) const;

private:
  std::map<std::u16string, ScriptFunction, std::less<>> functions_;
};

// The script value of a handler.
struct IMemScript : IUnknown {
  static constexpr IID Iid = platform::MakeGuid("{6A1E2B41-51C3-4E0B-9C7A-2D4F0E8B1402}");
  using BaseInterface = IUnknown;
  virtual const std::u16string& Text() = 0;
};

class MemScript final : public platform::ComObject<IMemScript> {
public:
  explicit MemScript(std::u16string text) : text_(std::move(text)) {}
  const std::u16string& Text() override { return text_; }

private:
  std::u16string text_;
};

// The script object behind a handler value: an IMemScript, or a text
// (taken as script text); none for null, empty and anything else.
ComPtr<IUnknown> ScriptFromValue(const Variant& value);
Variant ValueFromScript(const ComPtr<IUnknown>& script);

// Runs script (from ScriptFromValue) with context; answers the script's
// return value.
std::optional<bool> RunScript(const ComPtr<IUnknown>& script, ScriptContext& context);

}  // namespace qm::memdom
