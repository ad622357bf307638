// TQMAgent: the automation object that shows a browser window's commands
// to a toolbar as ten numbered actions (buttons, check buttons and one
// menu button with three sub-actions), with icons, captions, hints and
// states.
//
// It holds nothing but the window it was given and the browser found from
// it. The agent of that browser (published by the helper object as the
// browser property named by IQuillmateAgent's identifier) is looked up
// afresh by every member that needs it, so a helper object that comes or
// goes later is noticed at the next call. Without an agent every action
// reads disabled and unchecked with its English caption and executing does
// nothing; with an agent but no manager, captions are the agent's and
// every action is still disabled.
//
// Members answer a status: what escapes a member becomes its failure
// status (and error information); out texts are cleared at entry. The
// late-bound side (IDispatch) reaches the same members by the dispatch
// numbers of the type library (QuillmateTLB.h); members with several out
// parameters answer them as an array of variants in declared order,
// since the platform's late-bound calls pass no arguments by reference.
//
// Created by class identifier (its factory) or directly; used on the
// thread of the toolbar that created it.
#pragma once

#include "addon/Common/QuillmateAgent.h"
#include "addon/Common/QuillmateTLB.h"
#include "platform/dom/PageBrowser.h"

namespace qm {

// The browser property under which the helper object publishes its agent.
String AgentPropertyName();

class TQMAgent final : public platform::ComObject<IQMAgent> {
public:
  static constexpr int ActionCount = 10;
  static constexpr int MenuAction = 6;  // the one action with sub-actions

  // --- IQMAgent ---
  HRESULT get_Window(platform::ComPtr<platform::IUnknown>& value) override;
  // Keeps value and finds the browser through its web browser service;
  // E_NOINTERFACE (and no browser) when value offers no service provider.
  HRESULT put_Window(platform::IUnknown* value) override;
  HRESULT get_ActionCount(int32_t& value) override;
  HRESULT GetActionData(int32_t index, QMActionType& type, String& iconName,
                        String& grayIconName) override;
  HRESULT ExecuteAction(int32_t index) override;
  HRESULT get_SubActionCount(int32_t index, int32_t& value) override;
  HRESULT ExecuteSubAction(int32_t index, int32_t subIndex) override;
  HRESULT get_GUIActive(platform::VARIANT_BOOL& value) override;
  HRESULT put_GUIActive(platform::VARIANT_BOOL value) override;
  HRESULT GetActionState(int32_t index, String& caption, String& hint,
                         platform::VARIANT_BOOL& enabled, platform::VARIANT_BOOL& checked) override;
  HRESULT GetSubActionState(int32_t index, int32_t subIndex, String& caption,
                            String& hint) override;

  // --- IDispatch ---
  HRESULT GetTypeInfoCount(uint32_t& count) override;
  // By the member names of the type library, ignoring case;
  // DISP_E_UNKNOWNNAME (and -1) for a name it doesn't have.
  HRESULT GetIDsOfNames(const std::vector<String>& names,
                        std::vector<platform::DISPID>& ids) override;
  HRESULT Invoke(platform::DISPID id, uint16_t flags, const platform::DispParams& params,
                 Variant* result) override;

private:
  // The agent of the browser now; none when there is no browser, no agent
  // published, or the lookup fails.
  platform::ComPtr<IQuillmateAgent> FindAgent() const;
  static bool Connected(const platform::ComPtr<IQuillmateAgent>& agent);
  HRESULT InvokeMember(platform::DISPID id, uint16_t flags, const std::vector<Variant>& args,
                       Variant* result);

  platform::ComPtr<platform::IUnknown> window_;
  platform::ComPtr<platform::PageBrowser> browser_;
};

// A new automation object of the QMAgent class.
platform::ComPtr<IQMAgent> CreateQMAgentObject();

}  // namespace qm
