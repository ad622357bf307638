#include "addon/Common/QMAgentObject.h"

#include <array>

#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/com/SiteInterfaces.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::DISPID;
using platform::VARIANT_BOOL;
using platform::VARIANT_FALSE;
using platform::VARIANT_TRUE;

constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007u);
constexpr DISPID DISPID_PROPERTYPUT = -3;

struct TAction {
  QMActionType Type;
  const char16_t* IconName;
  const char16_t* GrayIconName;
  const char16_t* Caption;
};

// The actions in their order: index, kind, the coloured and the plain icon,
// and the caption the agent translates.
constexpr std::array<TAction, TQMAgent::ActionCount> Actions{{
    {atCheck, u"Z100", u"Z101", u"Activate"},
    {atButton, u"Z104", u"Z105", u"Quillora Manager"},
    {atButton, u"Z106", u"Z107", u"Save forms"},
    {atButton, u"Z108", u"Z109", u"Fill form"},
    {atButton, u"Z110", u"Z111", u"Bind field"},
    {atButton, u"Z112", u"Z113", u"Unbind field"},
    {atMenu, u"Z114", u"Z115", u"Add to profile field"},
    {atButton, u"Z116", u"Z117", u"Clear forms"},
    {atCheck, u"Z118", u"Z119", u"Record"},
    {atButton, u"Z124", u"Z125", u"Options"},
}};

constexpr std::array<const char16_t*, 3> SubActionCaptions{u"Add synonim", u"Add value",
                                                           u"Add all values"};

bool ValidIndex(int32_t index) {
  return index >= 0 && index < TQMAgent::ActionCount;
}

VARIANT_BOOL Bool16(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

String Translated(const ComPtr<IQuillmateAgent>& agent, const char16_t* caption) {
  return agent ? agent->Translate(caption) : String(caption);
}

// The executing side of the table.
void Execute(IQuillmateAgent& agent, int32_t index) {
  switch (index) {
    case 0:
      agent.SetActive(!agent.GetActive());
      break;
    case 1:
      agent.ShowManager(Variant(), Variant(), Variant());
      break;
    case 2:
      agent.SaveForms();
      break;
    case 3:
      agent.ShowDialog(true);
      break;
    case 4:
      agent.BindField();
      break;
    case 5:
      agent.UnbindField();
      break;
    case 7:
      agent.ClearForms();
      break;
    case 8:
      agent.SetRecording(!agent.IsRecording());
      break;
    case 9:
      agent.ShowOptions();
      break;
    default:  // the menu action and unknown indices do nothing
      break;
  }
}

bool Checked(IQuillmateAgent& agent, int32_t index) {
  if (index == 0) return agent.GetActive();
  if (index == 8) return agent.IsRecording();
  return false;
}

}  // namespace

platform::ComPtr<IQMAgent> CreateQMAgentObject() {
  return platform::MakeCom<TQMAgent>();
}

String AgentPropertyName() {
  return platform::GuidToString(IQuillmateAgent::Iid);
}

ComPtr<IQuillmateAgent> TQMAgent::FindAgent() const {
  if (!browser_) return {};
  ComPtr<IQuillmateAgent> agent;
  Swallowed([&] {
    const Variant value = browser_->GetProperty(AgentPropertyName());
    if (value.GetKind() == Variant::Kind::Unknown) agent = value.AsUnknown().As<IQuillmateAgent>();
  });
  return agent;
}

bool TQMAgent::Connected(const ComPtr<IQuillmateAgent>& agent) {
  return agent && agent->IsConnected();
}

HRESULT TQMAgent::get_Window(ComPtr<platform::IUnknown>& value) {
  value = window_;
  return platform::S_OK;
}

HRESULT TQMAgent::put_Window(platform::IUnknown* value) {
  window_ = ComPtr<platform::IUnknown>(value);
  browser_ = nullptr;
  const auto provider = window_.As<platform::IServiceProvider>();
  if (!provider) return platform::E_NOINTERFACE;
  return SafeCallEdge([&] {
    browser_ = platform::QueryService<platform::PageBrowser>(provider, platform::SID_SWebBrowserApp);
  });
}

HRESULT TQMAgent::get_ActionCount(int32_t& value) {
  value = ActionCount;
  return platform::S_OK;
}

HRESULT TQMAgent::GetActionData(int32_t index, QMActionType& type, String& iconName,
                                String& grayIconName) {
  iconName.clear();
  grayIconName.clear();
  type = atButton;
  if (!ValidIndex(index)) return platform::S_OK;
  const TAction& action = Actions[static_cast<size_t>(index)];
  type = action.Type;
  iconName = action.IconName;
  grayIconName = action.GrayIconName;
  return platform::S_OK;
}

HRESULT TQMAgent::ExecuteAction(int32_t index) {
  return SafeCallEdge([&] {
    const ComPtr<IQuillmateAgent> agent = FindAgent();
    if (Connected(agent)) Execute(*agent, index);
  });
}

HRESULT TQMAgent::get_SubActionCount(int32_t index, int32_t& value) {
  value = index == MenuAction ? static_cast<int32_t>(SubActionCaptions.size()) : 0;
  return platform::S_OK;
}

HRESULT TQMAgent::ExecuteSubAction(int32_t index, int32_t subIndex) {
  return SafeCallEdge([&] {
    if (index != MenuAction) return;
    const ComPtr<IQuillmateAgent> agent = FindAgent();
    if (!Connected(agent)) return;
    switch (subIndex) {
      case 0:
        agent->AddSynonym();
        break;
      case 1:
        agent->AddValue();
        break;
      case 2:
        agent->AddAllValues();
        break;
      default:
        break;
    }
  });
}

HRESULT TQMAgent::get_GUIActive(VARIANT_BOOL& value) {
  value = VARIANT_FALSE;
  return SafeCallEdge([&] {
    const ComPtr<IQuillmateAgent> agent = FindAgent();
    value = Bool16(agent && agent->GetGUIActive());
  });
}

HRESULT TQMAgent::put_GUIActive(VARIANT_BOOL value) {
  return SafeCallEdge([&] {
    if (const ComPtr<IQuillmateAgent> agent = FindAgent()) agent->SetGUIActive(value != 0);
  });
}

HRESULT TQMAgent::GetActionState(int32_t index, String& caption, String& hint,
                                 VARIANT_BOOL& enabled, VARIANT_BOOL& checked) {
  caption.clear();
  hint.clear();
  enabled = VARIANT_FALSE;
  checked = VARIANT_FALSE;
  if (!ValidIndex(index)) return platform::S_OK;
  return SafeCallEdge([&] {
    const ComPtr<IQuillmateAgent> agent = FindAgent();
    const bool connected = Connected(agent);
    caption = Translated(agent, Actions[static_cast<size_t>(index)].Caption);
    hint = caption;
    enabled = Bool16(connected);
    checked = Bool16(connected && Checked(*agent, index));
  });
}

HRESULT TQMAgent::GetSubActionState(int32_t index, int32_t subIndex, String& caption,
                                    String& hint) {
  caption.clear();
  hint.clear();
  if (index != MenuAction || subIndex < 0 ||
      subIndex >= static_cast<int32_t>(SubActionCaptions.size())) {
    return platform::S_OK;
  }
  return SafeCallEdge([&] {
    caption = Translated(FindAgent(), SubActionCaptions[static_cast<size_t>(subIndex)]);
    hint = caption;
  });
}

// --- late-bound ---

HRESULT TQMAgent::GetTypeInfoCount(uint32_t& count) {
  count = 0;
  return platform::S_OK;
}

HRESULT TQMAgent::GetIDsOfNames(const std::vector<String>& names, std::vector<DISPID>& ids) {
  ids.assign(names.size(), -1);
  HRESULT status = platform::S_OK;
  for (size_t i = 0; i < names.size(); ++i) {
    for (const TDispatchMember& m : QuillmateTypeLibrary().QMAgentMembers) {
      if (SameTextIgnoreCase(names[i], m.Name)) ids[i] = m.Id;
    }
    if (ids[i] == -1) status = DISP_E_UNKNOWNNAME;
  }
  return status;
}

HRESULT TQMAgent::Invoke(DISPID id, uint16_t flags, const platform::DispParams& params,
                         Variant* result) {
  const bool put = (flags & platform::DISPATCH_PROPERTYPUT) != 0;
  const bool namedPutValue = put && params.NamedArgs.size() == 1 &&
                             params.NamedArgs[0] == DISPID_PROPERTYPUT;
  if (!params.NamedArgs.empty() && !namedPutValue) return DISP_E_NONAMEDARGS;
  // Declared order: the platform passes the last argument first.
  const std::vector<Variant> args(params.Args.rbegin(), params.Args.rend());
  try {
    return InvokeMember(id, flags, args, result);
  } catch (const std::exception&) {
    return DISP_E_TYPEMISMATCH;  // an argument of the wrong kind
  }
}

HRESULT TQMAgent::InvokeMember(DISPID id, uint16_t flags, const std::vector<Variant>& args,
                               Variant* result) {
  // A put reaches the property's put; anything else the method or the
  // property's get of that number.
  const bool put = (flags & platform::DISPATCH_PROPERTYPUT) != 0;
  const TDispatchMember* member = nullptr;
  for (const TDispatchMember& m : QuillmateTypeLibrary().QMAgentMembers) {
    if (m.Id == id && put == (m.Kind == TMemberKind::PropertyPut)) member = &m;
  }
  if (member == nullptr) return platform::DISP_E_MEMBERNOTFOUND;
  if (args.size() != member->InCount) return platform::DISP_E_BADPARAMCOUNT;
  Variant answer;
  HRESULT status = platform::S_OK;
  const auto outs = [&](std::vector<Variant> values) {
    answer = Variant::FromVariants(std::move(values));
  };
  switch (id) {
    case DISPID_QMAgentWindow:
      if (put) {
        status = put_Window(args[0].IsEmptyOrNull() ? nullptr : args[0].AsUnknown().Get());
      } else {
        ComPtr<platform::IUnknown> window;
        status = get_Window(window);
        answer = window ? Variant::FromUnknown(window) : Variant();
      }
      break;
    case DISPID_QMAgentActionCount: {
      int32_t count = 0;
      status = get_ActionCount(count);
      answer = Variant::FromInt32(count);
      break;
    }
    case DISPID_QMAgentGetActionData: {
      QMActionType type = atButton;
      String icon;
      String gray;
      status = GetActionData(args[0].AsInt32(), type, icon, gray);
      outs({Variant::FromInt32(type), Variant::FromString(icon), Variant::FromString(gray)});
      break;
    }
    case DISPID_QMAgentExecuteAction:
      status = ExecuteAction(args[0].AsInt32());
      break;
    case DISPID_QMAgentSubActionCount: {
      int32_t count = 0;
      status = get_SubActionCount(args[0].AsInt32(), count);
      answer = Variant::FromInt32(count);
      break;
    }
    case DISPID_QMAgentExecuteSubAction:
      status = ExecuteSubAction(args[0].AsInt32(), args[1].AsInt32());
      break;
    case DISPID_QMAgentGUIActive:
      if (put) {
        status = put_GUIActive(args[0].AsBool16());
      } else {
        VARIANT_BOOL value = VARIANT_FALSE;
        status = get_GUIActive(value);
        answer = Variant::FromBool(value != 0);
      }
      break;
    case DISPID_QMAgentGetActionState: {
      String caption;
      String hint;
      VARIANT_BOOL enabled = VARIANT_FALSE;
      VARIANT_BOOL checked = VARIANT_FALSE;
      status = GetActionState(args[0].AsInt32(), caption, hint, enabled, checked);
      outs({Variant::FromString(caption), Variant::FromString(hint),
            Variant::FromBool(enabled != 0), Variant::FromBool(checked != 0)});
      break;
    }
    case DISPID_QMAgentGetSubActionState: {
      String caption;
      String hint;
      status = GetSubActionState(args[0].AsInt32(), args[1].AsInt32(), caption, hint);
      outs({Variant::FromString(caption), Variant::FromString(hint)});
      break;
    }
    default:
      return platform::DISP_E_MEMBERNOTFOUND;
  }
  if (result != nullptr && platform::Succeeded(status)) *result = std::move(answer);
  return status;
}

}  // namespace qm
