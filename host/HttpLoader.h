// Where the browser host's built-in engine gets its pages: "http:" and
// "https:" through libcurl, "file:" from the local disk.
//
// One loader is one browsing session: its cookies are kept from request to
// request (and forgotten with it), redirects are followed (a form posted
// and answered with a redirect arrives as the page it leads to, its address
// the final one), and a "post" carries the form's body and content type.
// Redirects and requests stay on http and https. A page that can't be
// fetched is reported to OnFailure and loads as an empty page.
//
// Used on one browser thread at a time.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engines/memdom/ResourceLoader.h"

namespace qm::host {

class THttpResourceLoader final : public memdom::ResourceLoader {
public:
  THttpResourceLoader();
  ~THttpResourceLoader() override;
  THttpResourceLoader(const THttpResourceLoader&) = delete;
  THttpResourceLoader& operator=(const THttpResourceLoader&) = delete;

  std::optional<memdom::Resource> Load(const memdom::NavigationRequest& request) override;

  // Told of every address that could not be fetched, with the reason.
  std::function<void(const std::u16string& url, const std::string& reason)> OnFailure;

  // A page bigger than this is cut off and fails.
  static constexpr size_t MaxPageBytes = 64u << 20;

private:
  std::optional<memdom::Resource> Fetch(const memdom::NavigationRequest& request);

  void* curl_;  // the session's easy handle: its cookie engine is the session's cookies
  memdom::FileResourceLoader files_;
};

}  // namespace qm::host
