// The program's exception classes and its one error reporting convention.
//
// Every operation that can fail wraps its body in a handler with its own
// location code (LocationCodes.h):
//
//   return Reported(loc::LexiconNormalize, [&] { ... });
//
// A failure that passes the handler comes out with "\r\n>>" and the code
// appended to its message, so that the outermost catcher sees one line per
// handler passed, innermost first. EVxException and its descendants are
// control-flow signals and pass unchanged. Annotation turns every exception
// into the common base class, except that EOleException and ArkException
// keep their class and fields. Standard-library exceptions that reach a
// handler are converted to the common base with their message.
//
// At a COM method's edge, SafeCallEdge turns what escapes into a status and
// error information for the caller.
//
// Everything here is thread safe; nothing holds state.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/com/ErrorInfo.h"
#include "platform/com/HResult.h"
#include "platform/com/OleException.h"
#include "platform/rtl/Exception.h"

namespace qm {

using platform::EOleException;
using platform::EOleSysError;
using platform::Exception;
using platform::HRESULT;

// The program's own exceptions, which must reach their catcher unchanged.
class EVxException : public Exception {
public:
  using Exception::Exception;
};

// Raised when a navigation began while an operation was changing the page.
class EBeforeNavigate : public EVxException {
public:
  EBeforeNavigate() : EVxException(u"BeforeNavigate executes during procedure call!") {}
};

// Carries one 8-bit value that survives annotation.
class ArkException : public Exception {
public:
  ArkException(std::u16string message, uint8_t value, int helpContext = 0)
      : Exception(std::move(message), helpContext), value_(value) {}
  uint8_t Value() const noexcept { return value_; }

private:
  uint8_t value_;
};

// Navigation recorder errors; the message names the modes the operation
// needs.
class ERecorderException : public Exception {
public:
  enum ModeFlag : uint8_t { Stop = 1, Record = 2, Play = 4 };
  explicit ERecorderException(uint8_t modeFlags);
  // "Need "Stop" or "Record" mode for operation!" and the like; flags in
  // the order Stop, Play, Record.
  static std::u16string BuildMessage(uint8_t modeFlags);
};

// The separator between a message and each appended location code.
inline constexpr char16_t ReportSeparator[] = u"\r\n>>";

// Returns for EVxException (and descendants); otherwise raises the
// annotated replacement of e and never returns.
void ReportException(const Exception& e, int code);

// The message of a standard-library exception as the common base class.
Exception FromStdException(const std::exception& e);

// The handler pattern: runs body; a failure of the common base class (or a
// standard-library exception) is reported with code and raised again.
template <class F>
decltype(auto) Reported(int code, F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (const Exception& e) {
    ReportException(e, code);
    throw;  // reached only for EVxException
  } catch (const std::exception& e) {
    ReportException(FromStdException(e), code);
    throw;  // not reached: the converted exception is never an EVxException
  }
}

// For steps whose failure must not stop the rest (one element, one frame,
// one page event): runs body and answers whether it finished. Failures of
// the common base class, EVxException included, and standard-library
// exceptions end the step silently.
template <class F>
bool Swallowed(F&& body) noexcept {
  try {
    std::forward<F>(body)();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Status for an exception at a COM method's edge: the failure status an
// OLE system error carries, E_UNEXPECTED for everything else.
HRESULT StatusOfException(const std::exception& e) noexcept;

// Runs a COM method's body: S_OK when it finishes; otherwise the status of
// what escaped, with its whole message left as the caller's error
// information. Nothing escapes.
template <class F>
HRESULT SafeCallEdge(F&& body) noexcept {
  try {
    std::forward<F>(body)();
    return platform::S_OK;
  } catch (const Exception& e) {
    platform::SetErrorInfo({e.Message(), {}});
    return StatusOfException(e);
  } catch (const std::exception& e) {
    platform::SetErrorInfo({FromStdException(e).Message(), {}});
    return StatusOfException(e);
  } catch (...) {
    platform::SetErrorInfo({u"Unknown exception", {}});
    return platform::E_UNEXPECTED;
  }
}

}  // namespace qm
