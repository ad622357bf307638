// Late-bound calls: IDispatch and its argument block.
//
// Event interfaces are called this way: the source calls Invoke on each
// connected sink with the event's dispatch number and its arguments.
// Arguments travel last-first, as the platform passes them: the declared
// argument j of n sits at Args[n - 1 - j], unless it is passed by name, in
// which case NamedArgs[i] == j says it sits at Args[i].
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

namespace qm::platform {

using DISPID = int32_t;

inline constexpr uint16_t DISPATCH_METHOD = 0x1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 0x2;
inline constexpr uint16_t DISPATCH_PROPERTYPUT = 0x4;
inline constexpr uint16_t DISPATCH_PROPERTYPUTREF = 0x8;

struct DispParams {
  std::vector<Variant> Args;       // last argument first
  std::vector<DISPID> NamedArgs;   // declared positions of Args[0..]
};

struct IDispatch : IUnknown {
  static constexpr IID Iid = MakeGuid("{00020400-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;

  virtual HRESULT GetTypeInfoCount(uint32_t& count) = 0;
  virtual HRESULT GetIDsOfNames(const std::vector<std::u16string>& names,
                                std::vector<DISPID>& ids) = 0;
  // result may be null when the caller wants none.
  virtual HRESULT Invoke(DISPID id, uint16_t flags, const DispParams& params, Variant* result) = 0;
};

}  // namespace qm::platform
