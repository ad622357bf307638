// What a page asks of its host when it wants to go somewhere: a followed
// link, a submitted form, a script's navigation. The engine never loads
// anything itself; it hands a NavigationRequest to the document's
// NavigationHost (the browser, or a test that records requests).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm::memdom {

class MemDocument;

struct NavigationRequest {
  std::u16string Url;             // absolute, with the query of a "get" form
  std::u16string Method;          // "get" or "post"
  std::vector<uint8_t> PostData;  // the body of a "post"
  std::u16string Headers;         // "Content-Type: ...\r\n" for a "post"; else empty
  std::u16string Target;          // the target frame name; empty for the same one
};

class NavigationHost {
public:
  // Called inside the click or submit that asked; the host must not
  // replace document before it returns (a browser only queues the load).
  virtual void NavigateFrom(MemDocument& document, const NavigationRequest& request) = 0;

protected:
  ~NavigationHost() = default;
};

}  // namespace qm::memdom
