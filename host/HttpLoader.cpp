#include "host/HttpLoader.h"

#include <curl/curl.h>

#include <mutex>

#include "platform/rtl/Utf.h"

namespace qm::host {

namespace {

using platform::U8;
using platform::Utf8ToUtf16;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TBody {
  std::string Bytes;
  bool TooBig = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
  auto& body = *static_cast<TBody*>(user);
  const size_t n = size * count;
  if (body.Bytes.size() + n > THttpResourceLoader::MaxPageBytes) {
    body.TooBig = true;
    return 0;  // ends the transfer with an error
  }
  body.Bytes.append(data, n);
  return n;
}

// Frees a header list on every way out.
struct THeaderList {
  curl_slist* List = nullptr;
  ~THeaderList() { curl_slist_free_all(List); }
};

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

THttpResourceLoader::THttpResourceLoader() {
  InitCurlOnce();
  curl_ = curl_easy_init();
  if (curl_ != nullptr) curl_easy_setopt(static_cast<CURL*>(curl_), CURLOPT_COOKIEFILE, "");
}

THttpResourceLoader::~THttpResourceLoader() {
  if (curl_ != nullptr) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

std::optional<memdom::Resource> THttpResourceLoader::Load(const memdom::NavigationRequest& request) {
  if (StartsWith(request.Url, u"http:") || StartsWith(request.Url, u"https:")) return Fetch(request);
  if (StartsWith(request.Url, u"file:")) {
    auto page = files_.Load(request);
    if (!page && OnFailure) OnFailure(request.Url, "no such file");
    return page;
  }
  if (OnFailure) OnFailure(request.Url, "this address is not one the browser reads");
  return std::nullopt;
}

std::optional<memdom::Resource> THttpResourceLoader::Fetch(const memdom::NavigationRequest& request) {
  auto* curl = static_cast<CURL*>(curl_);
  if (curl == nullptr) {
    if (OnFailure) OnFailure(request.Url, "the network library could not start");
    return std::nullopt;
  }
  // Everything but the cookies is set afresh for each request.
  const std::string url = U8(request.Url.substr(0, request.Url.find(u'#')));
  TBody body;
  THeaderList headers;
  char error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "quillbrowse/1");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  if (request.Method == u"post") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.PostData.size()));
    curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS,
                     request.PostData.empty() ? "" : reinterpret_cast<const char*>(request.PostData.data()));
  } else {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  }
  const std::string extra = U8(request.Headers);
  size_t start = 0;
  while (start < extra.size()) {
    size_t end = extra.find("\r\n", start);
    if (end == std::string::npos) end = extra.size();
    if (end > start) headers.List = curl_slist_append(headers.List, extra.substr(start, end - start).c_str());
    start = end + 2;
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.List);

  const CURLcode result = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (result != CURLE_OK) {
    if (OnFailure) {
      OnFailure(request.Url, body.TooBig ? "the page is larger than 64 MB"
                                         : std::string(error[0] ? error : curl_easy_strerror(result)));
    }
    return std::nullopt;
  }
  memdom::Resource page;
  page.Bytes = std::move(body.Bytes);
  const char* type = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
    page.ContentType = Utf8ToUtf16(type);
  }
  const char* effective = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr &&
      effective != url) {
    page.Url = Utf8ToUtf16(effective);
  }
  return page;
}

}  // namespace qm::host
