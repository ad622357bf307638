// Helpers of the Chromium engine's tests: one browser for the whole test
// binary, loopback page servers, and waits that pump the window thread.
// Tests only.
#pragma once

#include <httplib.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engines/chromium/ChromiumEngine.h"
#include "platform/dom/PageDocument.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium::testing {

using namespace std::chrono_literals;
using platform::W;

// The browser every test of the binary shares; ended when the tests end
// (see ChromiumEnvironment in the test main).
std::shared_ptr<ChromiumEngine>& SharedEngine();

// A page server on a loopback port: pages by path, every request noted.
class PageServer {
public:
  struct Request {
    std::string Method, Path, Body, ContentType;
  };

  explicit PageServer(std::string host = "127.0.0.1") : host_(std::move(host)) {
    // One request per connection: an idle kept-alive connection would hold
    // the server's end for seconds.
    server_.set_keep_alive_max_count(1);
    // The browser opens connections ahead of need; an unused one must not
    // hold the server for the default five seconds when it stops.
    server_.set_read_timeout(0, 300000);
    server_.set_keep_alive_timeout(1);
    server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res); });
    server_.Post(".*", [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~PageServer() {
    server_.stop();
    thread_.join();
  }

  // The page at path (starting with "/").
  void Add(const std::string& path, std::string html,
           std::string type = "text/html; charset=utf-8") {
    std::lock_guard lock(lock_);
    pages_[path] = {std::move(html), std::move(type)};
  }
  std::u16string Url(const std::string& path) const {
    return W("http://" + host_ + ":" + std::to_string(port_) + path);
  }
  std::vector<Request> Requests() const {
    std::lock_guard lock(lock_);
    return requests_;
  }

private:
  void Serve(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(lock_);
    requests_.push_back({req.method, req.path, req.body, req.get_header_value("Content-Type")});
    const auto it = pages_.find(req.path);
    if (it == pages_.end()) {
      res.status = 404;
      res.set_content("<p>none</p>", "text/html");
      return;
    }
    res.set_content(it->second.first, it->second.second.c_str());
  }

  std::string host_;
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex lock_;
  std::map<std::string, std::pair<std::string, std::string>> pages_;
  std::vector<Request> requests_;
};

// A fresh tab of the shared browser, closed when the test ends.
inline ComPtr<ChromiumBrowser> OpenTab() {
  return SharedEngine()->OpenBrowser();
}

inline ComPtr<platform::PageDocument> DocumentOf(const ComPtr<ChromiumBrowser>& browser) {
  return browser->Document().As<platform::PageDocument>();
}

// The element whose id attribute is id, found the way the add-on finds
// elements (through `all`), so any engine's document will do.
inline ComPtr<platform::PageElement> FindById(const ComPtr<platform::PageDocument>& document,
                                              std::u16string_view id) {
  if (!document) return {};
  const auto all = document->all();
  const int32_t length = all->length();
  for (int32_t i = 0; i < length; ++i) {
    ComPtr<platform::PageElement> e = all->item(i);
    const platform::Variant v = e->getAttribute(u"id");
    if (v.GetKind() == platform::Variant::Kind::String && v.AsString() == id) return e;
  }
  return {};
}

}  // namespace qm::chromium::testing
