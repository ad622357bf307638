// The system's single-byte code page, Windows-1252, as the program's
// conversions of "ANSI" texts: byte strings in streams, the single-byte
// twins of word lists, the address helpers.
//
// Converting to the code page replaces characters it lacks by '?', as the
// platform does; converting from it never fails. Thread safe (each thread
// keeps its own converter).
#pragma once

#include <string>
#include <string_view>

namespace qm::platform {

std::u16string AnsiToWide(std::string_view bytes);
std::string WideToAnsi(std::u16string_view text);

}  // namespace qm::platform
