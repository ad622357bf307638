// Shared test helpers: checking an exception's class and its message (with
// the location-code trail).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <typeinfo>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::testing {

// The message a reported failure carries: base, then "\r\n>>" and each code.
inline std::u16string Trail(std::u16string base, std::initializer_list<int> codes) {
  for (int code : codes) base += u"\r\n>>" + platform::Utf8ToUtf16(std::to_string(code));
  return base;
}

// Runs body and checks that it raises exactly class E (not a subclass of it
// nor a base) with exactly the given message. Returns the caught exception
// for further checks of its fields.
template <class E, class F>
E ExpectThrowsExactly(F&& body, const std::u16string& message) {
  try {
    body();
  } catch (const E& e) {
    EXPECT_EQ(typeid(e), typeid(E)) << "raised " << typeid(e).name() << " instead";
    EXPECT_EQ(platform::Utf16ToUtf8(e.Message()), platform::Utf16ToUtf8(message));
    return e;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "raised " << typeid(e).name() << ": " << e.what();
    throw;
  }
  ADD_FAILURE() << "nothing was raised";
  throw std::logic_error("nothing was raised");
}

}  // namespace qm::testing
