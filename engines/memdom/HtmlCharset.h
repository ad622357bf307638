// Character sets of pages: which one a page is in, decoding its bytes for
// the parser, and encoding form data back into it.
//
// Names are given as the engine reports them in `charset`: "utf-8",
// "windows-1252" (also for the labels iso-8859-1, latin1 and us-ascii,
// which browsers read as windows-1252), "utf-16le", "utf-16be", or any other
// label ICU knows, in lower case.
//
// Thread safe. ICU failures become Exception through CheckIcu.
#pragma once

#include <string>
#include <string_view>

namespace qm::memdom {

// The engine's name for a label; empty for a label no converter knows.
std::u16string CanonicalCharset(std::u16string_view label);

// The character set of a page: its byte order mark, else the host's
// (canonical, may be empty), else its meta charset in the first 1024 bytes,
// else "utf-8".
std::u16string DetermineCharset(std::string_view bytes, std::u16string_view hostCharset);

// The page's bytes as UTF-8 (without a byte order mark). Malformed bytes of
// UTF-8 pages pass unchanged (the parser replaces them); other character
// sets decode through ICU with replacement characters.
std::string DecodeToUtf8(std::string_view bytes, std::u16string_view charset);

// text in charset; characters it lacks become "&#N;" as browsers send them.
std::string EncodeInCharset(std::u16string_view text, std::u16string_view charset);

}  // namespace qm::memdom
