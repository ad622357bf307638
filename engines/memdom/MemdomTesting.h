// Helpers shared by the engine's tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "platform/rtl/Utf.h"

namespace qm::memdom::testing {

using platform::W;

// Records what pages ask for instead of going anywhere.
class RecordingHost final : public NavigationHost {
public:
  void NavigateFrom(MemDocument&, const NavigationRequest& request) override {
    Requests.push_back(request);
  }
  std::vector<NavigationRequest> Requests;
};

inline ComPtr<MemDocument> LoadPage(std::string_view html,
                                    std::u16string url = u"http://example.com/dir/page.html",
                                    NavigationHost* host = nullptr,
                                    std::shared_ptr<ScriptBindings> scripts = {}) {
  DocumentOptions options;
  options.Url = std::move(url);
  options.Host = host;
  options.Scripts = std::move(scripts);
  return MemDocument::Load(html, std::move(options));
}

inline ComPtr<PageElement> ById(const ComPtr<MemDocument>& document, std::u16string_view id) {
  return ComPtr<PageElement>(document->ElementById(id));
}

template <class View>
ComPtr<View> ViewById(const ComPtr<MemDocument>& document, std::u16string_view id) {
  return ById(document, id).template As<View>();
}

inline std::string PostText(const NavigationRequest& request) {
  return std::string(request.PostData.begin(), request.PostData.end());
}

}  // namespace qm::memdom::testing
