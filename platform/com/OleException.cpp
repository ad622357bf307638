#include "platform/com/OleException.h"

#include <cstdio>

#include "platform/com/ErrorInfo.h"

namespace qm::platform {

std::u16string StatusText(HRESULT hr) {
  switch (hr) {
    case E_UNEXPECTED: return u"Catastrophic failure";
    case E_NOTIMPL: return u"Not implemented";
    case E_NOINTERFACE: return u"No such interface supported";
    case E_POINTER: return u"Invalid pointer";
    case E_FAIL: return u"Unspecified error";
    case E_OUTOFMEMORY: return u"Not enough memory resources are available to complete this operation";
    case E_INVALIDARG: return u"The parameter is incorrect";
    case CLASS_E_CLASSNOTAVAILABLE: return u"ClassFactory cannot supply requested class";
    case CLASS_E_NOAGGREGATION: return u"Class does not support aggregation";
    case REGDB_E_READREGDB: return u"Could not read key from registry";
    case REGDB_E_CLASSNOTREG: return u"Class not registered";
    case CO_E_DLLNOTFOUND: return u"DLL for class not found";
    case CO_E_ERRORINDLL: return u"Error in the DLL";
    case MK_E_UNAVAILABLE: return u"Operation unavailable";
    case DISP_E_MEMBERNOTFOUND: return u"Member not found";
    case DISP_E_EXCEPTION: return u"Exception occurred";
    case RPC_E_DISCONNECTED: return u"The object invoked has disconnected from its clients";
    case RPC_E_TIMEOUT: return u"This operation returned because the timeout period expired";
    default: break;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "OLE error %08X", static_cast<unsigned>(hr));
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

void OleCheck(HRESULT hr) {
  if (Succeeded(hr)) return;
  if (auto info = TakeErrorInfo(); info && !info->Description.empty()) {
    throw EOleException(info->Description, hr, info->Source, u"", 0);
  }
  throw EOleSysError(StatusText(hr), hr);
}

}  // namespace qm::platform
