#include "engines/memdom/MemScript.h"

#include "engines/memdom/MemDocument.h"

namespace qm::memdom {
namespace {

std::u16string_view TrimScript(std::u16string_view text) {
  while (!text.empty() && text.front() <= u' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() <= u' ')
    text.remove_suffix(1);
  return text;
}

}  // namespace

void ScriptContext::Navigate(const std::u16string& url) const {
  if (Document == nullptr || Document->Closed()) return;
  NavigationRequest request;
  request.Url = Document->ResolveUrl(url);
  request.Method = u"get";
  Document->RequestNavigation(std::move(request), AsMemElement(Element).Get());
}

void ScriptContext::Reload() const {
  if (Document != nullptr) Navigate(Document->url());
}

void ScriptBindings::Bind(std::u16string_view text, ScriptFunction function) {
  functions_[std::u16string(TrimScript(text))] = std::move(function);
}

const ScriptFunction* ScriptBindings::Find(std::u16string_view text) const {
  const auto it = functions_.find(TrimScript(text));
  return it == functions_.end() ? nullptr : &it->second;
}

ComPtr<IUnknown> ScriptFromValue(const Variant& value) {
  switch (value.GetKind()) {
    case Variant::Kind::String:
      return MakeCom<MemScript>(value.AsString()).As<IUnknown>();
    case Variant::Kind::Unknown: {
      const ComPtr<IMemScript> script = value.AsUnknown().As<IMemScript>();
      return script ? script.As<IUnknown>() : ComPtr<IUnknown>();
    }
    default:
      return {};
  }
}

Variant ValueFromScript(const ComPtr<IUnknown>& script) {
  return script ? Variant::FromUnknown(script) : Variant::Null();
}

std::optional<bool> RunScript(const ComPtr<IUnknown>& script, ScriptContext& context) {
  const ComPtr<IMemScript> value = script.As<IMemScript>();
  if (!value) return std::nullopt;
  const std::u16string_view text = TrimScript(value->Text());
  const ScriptFunction* function = nullptr;
  if (context.Document != nullptr && context.Document->Scripts()) {
    function = context.Document->Scripts()->Find(text);
  }
  if (function != nullptr && *function) {
    (*function)(context);
    return context.ReturnValue;
  }
  if (text == u"return false" || text == u"return false;") return false;
  if (text == u"return true" || text == u"return true;") return true;
  return std::nullopt;
}

}  // namespace qm::memdom
