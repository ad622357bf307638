// Where the built-in browser gets its documents: an address (with the
// request's method and body) in, bytes and their content type out.
//
// MapResourceLoader serves pages held in memory (tests, demos) and records
// every request; FileResourceLoader serves "file:" addresses from the local
// disk (qmtool). Loaders are used on the browser's thread only.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engines/memdom/MemNavigation.h"

namespace qm::memdom {

struct Resource {
  std::string Bytes;
  // "text/html", "text/html; charset=windows-1252", "image/png", ...
  std::u16string ContentType = u"text/html";
  // Where the bytes came from when that is not the address asked for (the
  // end of a redirect); empty otherwise. The page is shown at this address.
  std::u16string Url;
};

class ResourceLoader {
public:
  virtual ~ResourceLoader() = default;
  // None when there is nothing at the address; raising counts the same.
  virtual std::optional<Resource> Load(const NavigationRequest& request) = 0;
};

class MapResourceLoader final : public ResourceLoader {
public:
  void Add(const std::u16string& url, std::string bytes, std::u16string contentType = u"text/html");
  // An exact address first, then without its fragment, then without query.
  std::optional<Resource> Load(const NavigationRequest& request) override;

  // Every request in the order it came.
  std::vector<NavigationRequest> Requests;

private:
  std::map<std::u16string, Resource> resources_;
};

class FileResourceLoader final : public ResourceLoader {
public:
  // The content type comes from the file name's extension.
  std::optional<Resource> Load(const NavigationRequest& request) override;
};

// The content type's charset parameter ("" when none); its media type
// alone, lower case.
std::u16string CharsetOfContentType(std::u16string_view contentType);
std::u16string MediaTypeOf(std::u16string_view contentType);

}  // namespace qm::memdom
