// A page server on a loopback port for the engine's tests and benchmark:
// pages by path, every request noted. Tests and benchmarks only.
#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/Utf.h"

namespace qm::chromium::testing {

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
  // A redirect from path to location (any method) with status.
  void Redirect(const std::string& path, std::string location, int status = 302) {
    std::lock_guard lock(lock_);
    redirects_[path] = {std::move(location), status};
  }
  std::u16string Url(const std::string& path) const {
    return platform::W("http://" + host_ + ":" + std::to_string(port_) + path);
  }
  std::vector<Request> Requests() const {
    std::lock_guard lock(lock_);
    return requests_;
  }

private:
  void Serve(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(lock_);
    requests_.push_back({req.method, req.path, req.body, req.get_header_value("Content-Type")});
    if (const auto to = redirects_.find(req.path); to != redirects_.end()) {
      res.set_redirect(to->second.first, to->second.second);
      return;
    }
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
  std::map<std::string, std::pair<std::string, int>> redirects_;
  std::vector<Request> requests_;
};

}  // namespace qm::chromium::testing
