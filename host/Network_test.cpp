#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "host/HttpLoader.h"
#include "host/LoopbackServer.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::host {
namespace {

namespace fs = std::filesystem;
using platform::U8;
using platform::W;

memdom::NavigationRequest Get(const std::string& url) { return {W(url), u"get", {}, {}, {}}; }

memdom::NavigationRequest Post(const std::string& url, const std::string& body,
                               std::u16string type = u"application/x-www-form-urlencoded") {
  return {W(url), u"post", std::vector<uint8_t>(body.begin(), body.end()), u"Content-Type: " + type + u"\r\n", {}};
}

class NetworkTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-serve-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    fs::create_directories(folder_ + "/site");
    std::ofstream(folder_ + "/site/page.html") << "<html><title>P</title><body>hello</body></html>";
    std::ofstream(folder_ + "/secret.txt") << "not to be served";
    server_ = std::make_unique<TLoopbackServer>(folder_ + "/site");
    loader_->OnFailure = [this](const std::u16string& url, const std::string& reason) {
      failures_.push_back(U8(url) + ": " + reason);
    };
  }
  void TearDown() override {
    loader_.reset();  // a browser goes before the server it used
    server_.reset();
    fs::remove_all(folder_);
  }

  std::string folder_;
  std::unique_ptr<TLoopbackServer> server_;
  std::unique_ptr<THttpResourceLoader> loader_ = std::make_unique<THttpResourceLoader>();
  std::vector<std::string> failures_;
};

TEST_F(NetworkTest, ServesTheFolderAndNothingOutsideIt) {
  const auto page = loader_->Load(Get(server_->Root() + "/page.html"));
  ASSERT_TRUE(page);
  EXPECT_NE(page->Bytes.find("hello"), std::string::npos);
  EXPECT_EQ(U8(page->ContentType).rfind("text/html", 0), 0u);
  EXPECT_TRUE(page->Url.empty());
  const auto escaped = loader_->Load(Get(server_->Root() + "/../secret.txt"));
  ASSERT_TRUE(escaped);  // the server's "not found" page
  EXPECT_EQ(escaped->Bytes.find("not to be served"), std::string::npos);
}

TEST_F(NetworkTest, EchoListsTheSubmittedFieldsInOrderForEveryEncoding) {
  const auto posted = loader_->Load(Post(server_->Root() + "/echo", "b=2&a=x+y%26z&empty="));
  ASSERT_TRUE(posted);
  EXPECT_NE(posted->Bytes.find("<pre id=\"echo\">b=2\na=x y&amp;z\nempty=\n</pre>"), std::string::npos) << posted->Bytes;
  const auto got = loader_->Load(Get(server_->Root() + "/echo?q=%3Cb%3E"));
  ASSERT_TRUE(got);
  EXPECT_NE(got->Bytes.find("<pre id=\"echo\">q=&lt;b&gt;\n</pre>"), std::string::npos);
  const std::string multipart =
      "--XX\r\nContent-Disposition: form-data; name=\"who\"\r\n\r\nAnn\r\n--XX--\r\n";
  const auto parts = loader_->Load(Post(server_->Root() + "/echo", multipart, u"multipart/form-data; boundary=XX"));
  ASSERT_TRUE(parts);
  EXPECT_NE(parts->Bytes.find("who=Ann\n"), std::string::npos);
}

TEST_F(NetworkTest, RedirectsAreFollowedAndCookiesKeptForTheSession) {
  httplib::Server other;
  other.set_keep_alive_timeout(1);
  other.Post("/login", [](const httplib::Request& request, httplib::Response& response) {
    response.set_header("Set-Cookie", "session=" + request.get_param_value("user") + "; Path=/");
    response.set_redirect("/home", 303);
  });
  other.Get("/home", [](const httplib::Request& request, httplib::Response& response) {
    response.set_content("cookie:" + request.get_header_value("Cookie"), "text/plain");
  });
  const int port = other.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { other.listen_after_bind(); });
  const std::string root = "http://127.0.0.1:" + std::to_string(port);

  const auto landed = loader_->Load(Post(root + "/login", "user=ann"));
  ASSERT_TRUE(landed);
  EXPECT_EQ(landed->Bytes, "cookie:session=ann");
  EXPECT_EQ(U8(landed->Url), root + "/home");
  const auto again = loader_->Load(Get(root + "/home"));
  EXPECT_EQ(again->Bytes, "cookie:session=ann");
  // Another session has cookies of its own.
  THttpResourceLoader fresh;
  EXPECT_EQ(fresh.Load(Get(root + "/home"))->Bytes, "cookie:");
  other.stop();
  serving.join();
}

TEST_F(NetworkTest, WhatCannotBeFetchedIsReportedAndLoadsNothing) {
  // Port 1 of the loopback: nothing listens there (a privileged port).
  EXPECT_FALSE(loader_->Load(Get("http://127.0.0.1:1/x")));
  EXPECT_FALSE(loader_->Load(Get("ftp://127.0.0.1/x")));
  EXPECT_FALSE(loader_->Load(Get("file:///nonexistent/qm/page.html")));
  ASSERT_EQ(failures_.size(), 3u);
  EXPECT_NE(failures_[1].find("not one the browser reads"), std::string::npos);
  EXPECT_NE(failures_[2].find("no such file"), std::string::npos);
  EXPECT_THROW(TLoopbackServer(folder_ + "/missing"), platform::Exception);
}

}  // namespace
}  // namespace qm::host
