#include "host/LoopbackServer.h"

#include <httplib.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::host {

namespace {

std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// "a=1&b=2" to "a=1\nb=2\n", decoded, in the order given.
std::string UrlEncodedLines(const std::string& text) {
  std::string lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(start, end - start);
    if (!pair.empty()) {
      const size_t eq = pair.find('=');
      const std::string name = httplib::detail::decode_url(pair.substr(0, eq), true);
      const std::string value = eq == std::string::npos ? "" : httplib::detail::decode_url(pair.substr(eq + 1), true);
      lines += name + "=" + value + "\n";
    }
    start = end + 1;
  }
  return lines;
}

void Echo(const httplib::Request& request, httplib::Response& response) {
  std::string lines;
  if (request.is_multipart_form_data()) {
    for (const auto& [name, part] : request.files) lines += name + "=" + part.content + "\n";
  } else if (request.method == "POST") {
    lines = UrlEncodedLines(request.body);
  } else {
    const size_t query = request.target.find('?');
    if (query != std::string::npos) lines = UrlEncodedLines(request.target.substr(query + 1));
  }
  response.set_content(EchoPage(lines), "text/html; charset=utf-8");
}

}  // namespace

std::string EchoPage(const std::string& lines) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Echo</title></head>\n"
         "<body><h1>Submitted fields</h1>\n<pre id=\"echo\">" +
         EscapeHtml(lines) + "</pre></body></html>\n";
}

TLoopbackServer::TLoopbackServer(const std::string& folder) : server_(std::make_unique<httplib::Server>()) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    throw platform::Exception(platform::W("The folder to serve does not exist: " + folder));
  }
  if (!server_->set_mount_point("/", folder)) {
    throw platform::Exception(platform::W("Cannot serve the folder " + folder));
  }
  server_->Get("/echo", Echo);
  server_->Post("/echo", Echo);
  // Headers and body go out as two small writes: with Nagle's wait the
  // body sits until the browser's delayed acknowledgement (some 40 ms a
  // page). The option is taken at bind time, by the listening socket.
  server_->set_tcp_nodelay(true);
  const int port = server_->bind_to_any_port("127.0.0.1");
  if (port <= 0) throw platform::Exception(u"Cannot open a port on 127.0.0.1 for the page server");
  root_ = "http://127.0.0.1:" + std::to_string(port);
  // A browser keeps its connections; they must not hold up the end.
  server_->set_keep_alive_timeout(1);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() only reaches a server that runs: wait for it to run (a few
  // milliseconds at most), so that a quick end can't miss it.
  for (int i = 0; i < 5000 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TLoopbackServer::~TLoopbackServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace qm::host
