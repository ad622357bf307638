// The library's own type library, "Quillmate": its identifiers, the
// automation interface IQMAgent through which any toolbar reaches a
// browser window's commands, the toolbar's own interface IIEToolbar, the
// action kinds QMActionType, and the whole library described as data.
//
// The description (QuillmateTypeLibrary) is what registration writes for
// the type library and what the class factories take their class names and
// descriptions from; the automation object answers late-bound calls by the
// member table kept here. Everything is constant and usable on any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/Common/QuilloraLib.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

namespace qm {

inline constexpr platform::GUID LIBID_Quillmate =
    platform::MakeGuid("{1078B53A-8801-4988-93C3-A331EF1D3181}");
inline constexpr platform::IID IID_IIEToolbar =
    platform::MakeGuid("{94B5CA1D-8EBB-4FE2-BE73-D52418D3554B}");
inline constexpr platform::CLSID CLASS_IEToolbar =
    platform::MakeGuid("{B9F7135C-B512-4CC3-9316-FA0044083914}");
inline constexpr platform::IID IID_IQMAgent =
    platform::MakeGuid("{F824CFBD-0EE4-4AAF-81AF-1A348508A380}");
inline constexpr platform::CLSID CLASS_QMAgent =
    platform::MakeGuid("{19EF1EC1-0BB8-47F3-9904-806790DB13E2}");
inline constexpr platform::GUID GUID_QMActionType =
    platform::MakeGuid("{1E8D7F8E-BF1B-41B2-B2B9-EBDEB177AC58}");

// What kind of control an action is shown as.
enum QMActionType : int32_t {
  atButton = 0,
  atCheck = 1,
  atMenu = 2,
};

// The toolbar band's own interface: nothing beyond its identity.
struct IIEToolbar : platform::IUnknown {
  static constexpr platform::IID Iid = IID_IIEToolbar;
  using BaseInterface = platform::IUnknown;

protected:
  ~IIEToolbar() = default;
};

// Dispatch numbers of IQMAgent's members (206 is not used).
enum QMAgentDispId : platform::DISPID {
  DISPID_QMAgentWindow = 201,
  DISPID_QMAgentActionCount = 202,
  DISPID_QMAgentGetActionData = 203,
  DISPID_QMAgentExecuteAction = 204,
  DISPID_QMAgentSubActionCount = 205,
  DISPID_QMAgentExecuteSubAction = 207,
  DISPID_QMAgentGUIActive = 208,
  DISPID_QMAgentGetActionState = 209,
  DISPID_QMAgentGetSubActionState = 210,
};

// The commands of a browser window as a flat list of actions (dual: the
// same members are reachable late-bound through IDispatch). Every member
// answers a status; out texts are cleared at entry.
struct IQMAgent : platform::IDispatch {
  static constexpr platform::IID Iid = IID_IQMAgent;
  using BaseInterface = platform::IDispatch;

  // The browser the actions belong to (any object that offers the web
  // browser service through IServiceProvider).
  virtual HRESULT get_Window(platform::ComPtr<platform::IUnknown>& value) = 0;
  virtual HRESULT put_Window(platform::IUnknown* value) = 0;
  virtual HRESULT get_ActionCount(int32_t& value) = 0;
  virtual HRESULT GetActionData(int32_t index, QMActionType& type, String& iconName,
                                String& grayIconName) = 0;
  virtual HRESULT ExecuteAction(int32_t index) = 0;
  virtual HRESULT get_SubActionCount(int32_t index, int32_t& value) = 0;
  virtual HRESULT ExecuteSubAction(int32_t index, int32_t subIndex) = 0;
  virtual HRESULT get_GUIActive(platform::VARIANT_BOOL& value) = 0;
  virtual HRESULT put_GUIActive(platform::VARIANT_BOOL value) = 0;
  virtual HRESULT GetActionState(int32_t index, String& caption, String& hint,
                                 platform::VARIANT_BOOL& enabled,
                                 platform::VARIANT_BOOL& checked) = 0;
  virtual HRESULT GetSubActionState(int32_t index, int32_t subIndex, String& caption,
                                    String& hint) = 0;

protected:
  ~IQMAgent() = default;
};

// --- the type library as data ---

enum class TTypeKind : uint8_t { Interface, DispatchInterface, CoClass, Enumeration };

// Type flags as a type library keeps them.
inline constexpr uint16_t TYPEFLAG_FCANCREATE = 0x0002;
inline constexpr uint16_t TYPEFLAG_FDUAL = 0x0040;
inline constexpr uint16_t TYPEFLAG_FOLEAUTOMATION = 0x0100;
inline constexpr uint16_t TYPEFLAG_FDISPATCHABLE = 0x1000;

struct TTypeInfoEntry {
  TTypeKind Kind;
  const char16_t* Name;
  platform::GUID Id;
  const char16_t* HelpString;  // empty when it has none
  uint16_t Flags;
  platform::GUID DefaultInterface;  // classes: the interface they are used through
};

enum class TMemberKind : uint8_t { Method, PropertyGet, PropertyPut };

struct TDispatchMember {
  platform::DISPID Id;
  const char16_t* Name;
  TMemberKind Kind;
  uint8_t InCount;   // parameters passed in, in declared order
  uint8_t OutCount;  // parameters passed out after them
};

struct TEnumValue {
  const char16_t* Name;
  int32_t Value;
};

struct TTypeLibrary {
  const char16_t* Name;
  const char16_t* HelpString;
  platform::GUID Id;
  uint16_t MajorVersion;
  uint16_t MinorVersion;
  uint32_t Locale;
  std::span<const TTypeInfoEntry> Entries;  // in the library's order
  std::span<const TDispatchMember> QMAgentMembers;
  std::span<const TEnumValue> ActionTypes;

  // The entry of that identifier; null when none.
  const TTypeInfoEntry* Find(const platform::GUID& id) const noexcept;
  // "1.0".
  String VersionText() const;
};

const TTypeLibrary& QuillmateTypeLibrary();

}  // namespace qm
