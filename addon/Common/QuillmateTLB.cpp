#include "addon/Common/QuillmateTLB.h"

#include <string>

namespace qm {
namespace {

constexpr TTypeInfoEntry Entries[] = {
    {TTypeKind::Interface, u"IIEToolbar", IID_IIEToolbar, u"Interface for IEToolbar Object",
     TYPEFLAG_FOLEAUTOMATION, platform::GUID_NULL},
    {TTypeKind::CoClass, u"IEToolbar", CLASS_IEToolbar, u"IEToolbar", TYPEFLAG_FCANCREATE,
     IID_IIEToolbar},
    {TTypeKind::DispatchInterface, u"IQMAgent", IID_IQMAgent,
     u"Dispatch interface for QMAgent Object",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, platform::GUID_NULL},
    {TTypeKind::CoClass, u"QMAgent", CLASS_QMAgent, u"QMAgent Object", TYPEFLAG_FCANCREATE,
     IID_IQMAgent},
    {TTypeKind::Enumeration, u"QMActionType", GUID_QMActionType, u"", 0, platform::GUID_NULL},
};

constexpr TDispatchMember QMAgentMembers[] = {
    {DISPID_QMAgentWindow, u"Window", TMemberKind::PropertyGet, 0, 1},
    {DISPID_QMAgentWindow, u"Window", TMemberKind::PropertyPut, 1, 0},
    {DISPID_QMAgentActionCount, u"ActionCount", TMemberKind::PropertyGet, 0, 1},
    {DISPID_QMAgentGetActionData, u"GetActionData", TMemberKind::Method, 1, 3},
    {DISPID_QMAgentExecuteAction, u"ExecuteAction", TMemberKind::Method, 1, 0},
    {DISPID_QMAgentSubActionCount, u"SubActionCount", TMemberKind::PropertyGet, 1, 1},
    {DISPID_QMAgentExecuteSubAction, u"ExecuteSubAction", TMemberKind::Method, 2, 0},
    {DISPID_QMAgentGUIActive, u"GUIActive", TMemberKind::PropertyGet, 0, 1},
    {DISPID_QMAgentGUIActive, u"GUIActive", TMemberKind::PropertyPut, 1, 0},
    {DISPID_QMAgentGetActionState, u"GetActionState", TMemberKind::Method, 1, 4},
    {DISPID_QMAgentGetSubActionState, u"GetSubActionState", TMemberKind::Method, 2, 2},
};

constexpr TEnumValue ActionTypes[] = {
    {u"atButton", atButton},
    {u"atCheck", atCheck},
    {u"atMenu", atMenu},
};

constexpr TTypeLibrary Library{
    u"Quillmate", u"VxQMHelper Library", LIBID_Quillmate, 1, 0, 1033,
    Entries,      QMAgentMembers,        ActionTypes,
};

}  // namespace

const TTypeInfoEntry* TTypeLibrary::Find(const platform::GUID& id) const noexcept {
  for (const TTypeInfoEntry& e : Entries) {
    if (e.Id == id) return &e;
  }
  return nullptr;
}

String TTypeLibrary::VersionText() const {
  const std::string text = std::to_string(MajorVersion) + "." + std::to_string(MinorVersion);
  return String(text.begin(), text.end());
}

const TTypeLibrary& QuillmateTypeLibrary() {
  return Library;
}

}  // namespace qm
