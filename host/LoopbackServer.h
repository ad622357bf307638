// The loopback server of `quillbrowse --serve DIR`: the files of one folder
// over HTTP on 127.0.0.1, on a port the system picks, so that demos and
// tests load pages and submit forms for real, in every engine.
//
// Besides the files, "/echo" answers any form sent to it (GET or POST,
// url-encoded or multipart) with a page that lists the submitted fields,
// one "name=value" line each in submission order, in the element with id
// "echo". Nothing outside the folder is served.
//
// The server runs on a thread of its own from construction to destruction;
// Root() may be read from any thread.
#pragma once

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace qm::host {

class TLoopbackServer {
public:
  // Raises platform::Exception when the folder is missing or no port can
  // be had.
  explicit TLoopbackServer(const std::string& folder);
  ~TLoopbackServer();
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  // "http://127.0.0.1:PORT" (no slash at the end).
  const std::string& Root() const noexcept { return root_; }

private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::string root_;
};

// The echo page for fields given as "name=value" lines.
std::string EchoPage(const std::string& lines);

}  // namespace qm::host
