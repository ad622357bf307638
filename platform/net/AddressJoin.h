// Address joining: a relative address resolved against a base address
// (RFC 3986 reference resolution, by uriparser), as a browser resolves a
// link's href or a form's action, and the file-address conversions of the
// local resource loader.
//
// The relative address may be anything a page writes: it is trimmed of
// white space and control characters at both ends, loses tabs and line
// breaks, and has every character that an address may not hold encoded as
// %XX of its UTF-8 bytes (spaces, non-ASCII letters, stray "%", a second
// "#"). The result has its scheme and host in lower case, and "/" as path
// when the address has a host but no path ("http://a" gives "http://a/").
//
// Pure functions; thread safe. Every uriparser status becomes our
// Exception in CheckUriStatus, and nowhere else.
#pragma once

#include <string>
#include <string_view>

namespace qm::platform {

// Raises Exception "<what>: <reason>" for a uriparser failure status.
void CheckUriStatus(int status, std::u16string_view what);

// Raises Exception when base is not an absolute address or either text is
// no address even after encoding.
std::u16string CombineAddress(std::u16string_view base, std::u16string_view relative);

// The text of an address with the characters it may not hold encoded (see
// above); never raises.
std::u16string EncodeAddressText(std::u16string_view address);

// "file:///a%20b/c" -> "/a b/c"; raises for an address that isn't a local
// file address.
std::string FilePathFromAddress(std::u16string_view address);
// An absolute path -> "file:///...".
std::u16string AddressFromFilePath(std::string_view path);

}  // namespace qm::platform
