// The agent: the one object through which a browser window's helper object
// and toolbar reach the manager.
//
// It holds the connection to the running manager (made lazily, through the
// running-object table, never by starting the manager), the options, the
// lexicon, the lists the fill dialog shows, the navigation recorder, the
// fill dialog itself, and the sixteen command captions with the manager's
// translation. It decides nothing about pages: every page command is
// relayed to a handler the helper object installed, with the agent as the
// sender; an unset handler is skipped.
//
// Manager failures never reach the agent's callers: a failed call drops
// the connection (the next operation that needs the manager connects
// again) and the operation answers as when not connected (false, empty or
// nothing done). Handlers' own failures pass to the caller.
//
// Ownership: reference counted (IQuillmateAgent); the helper object holds
// it and publishes it on the browser for the toolbar. The agent owns its
// lists, lexicon, recorder, event sink and fill dialog; the other dialogs
// live for one use. Every operation runs on the browser window's
// user-interface thread; there are no locks.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "addon/BHO/NavRecorder.h"
#include "core/Common/QMOptions.h"
#include "core/Common/QMAgentUtils.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/QuillmateLibEvents.h"
#include "core/Common/QuilloraLib.h"
#include "core/Common/WideStrings.h"
#include "platform/com/Unknown.h"
#include "platform/ui/Forms.h"

namespace qm {

class TQMDialog;

// The agent's interface, in the order of its operations (after the three
// reference-counting ones, positions 0 to 2).
struct IQuillmateAgent : platform::IUnknown {
  static constexpr platform::IID Iid = platform::MakeGuid("{5838DE46-7072-4FCA-9A5C-C09D44D231FE}");
  using BaseInterface = platform::IUnknown;

  virtual bool IsDialogVisible() = 0;      // 3
  virtual void ShowDialog(bool show) = 0;  // 4
  virtual void SetFormCards(const Variant& list, const String& formSet,
                            const String& card) = 0;                                   // 5
  virtual void SetProfiles(const Variant& list, const String& activeProfile) = 0;      // 6
  virtual void ClearFormCards() = 0;                                                   // 7
  virtual void SaveForms() = 0;                                                        // 8
  virtual void BindField() = 0;                                                        // 9
  virtual void UnbindField() = 0;                                                      // 10
  virtual void ShowManager(const Variant& a, const Variant& b, const Variant& c) = 0;  // 11
  virtual void ShowOptions() = 0;                                                      // 12
  virtual bool GetActive() = 0;                                                        // 13
  virtual void SetActive(bool value) = 0;                                              // 14
  virtual bool GetAutoFill() = 0;                                                      // 15
  virtual void SetAutoFill(bool value) = 0;                                            // 16
  virtual bool GetAutoSubmit() = 0;                                                    // 17
  virtual void SetAutoSubmit(bool value) = 0;                                          // 18
  virtual bool IsLoggedIn() = 0;                                                       // 19
  virtual void SetLoggedIn(bool login) = 0;                                            // 20
  virtual bool IsConnected() = 0;                                                      // 21
  virtual void ClearForms() = 0;                                                       // 22
  virtual String ActiveProfile() = 0;                                                  // 23
  virtual bool IsRecording() = 0;                                                      // 24
  virtual void SetRecording(bool record) = 0;                                          // 25
  virtual bool GetGUIActive() = 0;                                                     // 26
  virtual void SetGUIActive(bool value) = 0;                                           // 27
  virtual void AddSynonym() = 0;                                                       // 28
  virtual void AddValue() = 0;                                                         // 29
  virtual void AddAllValues() = 0;                                                     // 30
  virtual String Translate(const String& text) = 0;                                    // 31

protected:
  ~IQuillmateAgent() = default;
};

class TQuillmateAgent;

using TAgentNotifyEvent = std::function<void(TQuillmateAgent& sender)>;
using TAgentFillCardEvent = std::function<void(TQuillmateAgent& sender, const String& ownerKey,
                                               bool onlyEmpty, bool submit, const String& card)>;
using TAgentFillProfileEvent =
    std::function<void(TQuillmateAgent& sender, const String& profile, bool onlyEmpty)>;
// Set default (card empty: drop it), delete, play navigation, send mail.
using TAgentCardEvent =
    std::function<void(TQuillmateAgent& sender, const String& ownerKey, const String& card)>;
using TAgentTextEvent = std::function<void(TQuillmateAgent& sender, const String& text)>;
using TAgentShowManagerEvent = std::function<void(TQuillmateAgent& sender, const Variant& a,
                                                  const Variant& b, const Variant& c)>;
using TAgentRecordingEvent =
    std::function<void(TQuillmateAgent& sender, const String& firstUrl, const Variant& recording)>;

class TQuillmateAgent final : public platform::ComObject<IQuillmateAgent> {
public:
  // The sixteen command captions, in their order.
  static const TWideStringList& CommandCaptions();

  TQuillmateAgent();
  ~TQuillmateAgent() override;

  // --- IQuillmateAgent ---
  bool IsDialogVisible() override;
  // show false hides the fill dialog. show true while GUIActive is false
  // only remembers the wish (PendingShow); otherwise creates the dialog on
  // first use, raises OnBeforeShowDialog when it was hidden, shows it and
  // hands it the lists.
  void ShowDialog(bool show) override;
  // Adds the manager's "set=card" entries to FormCards (not cleared first).
  void SetFormCards(const Variant& list, const String& formSet, const String& card) override;
  void SetProfiles(const Variant& list, const String& activeProfile) override;
  void ClearFormCards() override;
  void SaveForms() override;
  void BindField() override;
  void UnbindField() override;
  void ShowManager(const Variant& a, const Variant& b, const Variant& c) override;
  // Runs the settings dialog on the options; with "Set as default" also
  // sends the options word to the manager. Reports with AgentShowOptions.
  void ShowOptions() override;
  bool GetActive() override { return active_; }
  void SetActive(bool value) override { active_ = value; }
  bool GetAutoFill() override { return options_.AutoFill != 0; }
  void SetAutoFill(bool value) override { options_.AutoFill = value; }
  bool GetAutoSubmit() override { return options_.AutoSubmit != 0; }
  void SetAutoSubmit(bool value) override { options_.AutoSubmit = value; }
  bool IsLoggedIn() override;
  void SetLoggedIn(bool login) override;
  bool IsConnected() override;
  void ClearForms() override;
  // The first marked profile, else empty. Reports with AgentActiveProfile.
  String ActiveProfile() override;
  bool IsRecording() override { return recorder_.Mode() == RecorderRecording; }
  // Starts recording, or stops it and hands the recording to
  // OnRecordingStopped; nothing when the state is already the asked one.
  void SetRecording(bool record) override;
  bool GetGUIActive() override { return guiActive_; }
  void SetGUIActive(bool value) override;
  void AddSynonym() override;
  void AddValue() override;
  void AddAllValues() override;
  // The manager's translation of one of the command captions (found
  // ignoring case) when a full translation arrived, else text itself.
  String Translate(const String& text) override;

  // --- used by the helper object ---
  // Connects when needed; the connection or none.
  platform::ComPtr<IQoraServer> GetServer();
  // Asks for the password and logs in; false when not connected, cancelled,
  // the password is empty, or the manager refuses.
  bool Login();
  void Logout();
  // A new address: new page key, no navigation or mail cards, OnUrlChange.
  void SetUrl(const String& url);
  // The manager's "flag=name" entries; the entry named selected (ignoring
  // case) is marked.
  void SetNavigationCards(const Variant& list, const String& selected);
  void SetMailCards(const Variant& list, const String& selected);
  String SelectedNavigationCard() const;
  String SelectedMailCard() const;
  bool HasNavigationCards() const { return !navigationCards_.Empty(); }
  bool HasMailCards() const { return !mailCards_.Empty(); }
  void SetOwnerWindow(platform::HWND window) noexcept { ownerWindow_ = window; }
  platform::HWND OwnerWindow() const noexcept { return ownerWindow_; }
  void ShowDialogUnlessDismissed();
  // Hides the dialog, empties FormCards, forgets that it was dismissed.
  void ResetPage();
  // Hands the visible fill dialog its lists.
  void RefreshDialog();
  void DestroyDialog();
  // Puts the banner strip (620 by 68, top-aligned) on form; a click on it
  // raises OnBannerClick with the banner's link.
  void AttachBanner(platform::ui::TForm& form);
  void SetNoteText(const String& text) { noteText_ = text; }
  const String& NoteText() const noexcept { return noteText_; }

  // The option readers: while recording, AutoFill, AutoSubmit and
  // AutoFillNew read false and AskConfirm true.
  bool AutoFill() const { return !Recording() && options_.AutoFill != 0; }
  bool AutoSubmit() const { return !Recording() && options_.AutoSubmit != 0; }
  bool AskConfirm() const { return Recording() || options_.AskConfirm != 0; }
  bool AutoShow() const { return options_.AutoShow != 0; }
  bool AutoFillNew() const { return !Recording() && options_.AutoFillNew != 0; }
  bool AutoBind() const { return options_.AutoBind != 0; }
  uint8_t OnSubmit() const { return options_.OnSubmit; }
  // The stored options, as the settings dialog edits them.
  const TQMOptions& Options() const noexcept { return options_; }

  const TLexicon& Lexicon() const noexcept { return lexicon_; }
  const String& PageUrl() const noexcept { return pageUrl_; }
  const String& PageKey() const noexcept { return pageKey_; }
  int32_t BannerMode() const noexcept { return bannerMode_; }
  const TFormCards& FormCards() const noexcept { return formCards_; }
  const TWideStringList& Profiles() const noexcept { return profiles_; }
  const TWideStringList& NavigationCards() const noexcept { return navigationCards_; }
  const TWideStringList& MailCards() const noexcept { return mailCards_; }
  const TWideStringList& TranslatedCaptions() const noexcept { return translatedCaptions_; }
  TNavigationRecorder& Recorder() noexcept { return recorder_; }
  bool PendingShow() const noexcept { return pendingShow_; }
  bool DialogDismissed() const noexcept { return dialogDismissed_; }
  // The fill dialog, null before the first show.
  TQMDialog* FillDialog() const noexcept { return fillDialog_.get(); }

  // The relays, installed by the helper object.
  void SetOnBeforeShowDialog(TAgentNotifyEvent h) { onBeforeShowDialog_ = std::move(h); }
  void SetOnFillCard(TAgentFillCardEvent h) { onFillCard_ = std::move(h); }
  void SetOnFillProfile(TAgentFillProfileEvent h) { onFillProfile_ = std::move(h); }
  void SetOnSetDefault(TAgentCardEvent h) { onSetDefault_ = std::move(h); }
  void SetOnSetActiveProfile(TAgentTextEvent h) { onSetActiveProfile_ = std::move(h); }
  void SetOnDelete(TAgentCardEvent h) { onDelete_ = std::move(h); }
  void SetOnPlayNavigation(TAgentCardEvent h) { onPlayNavigation_ = std::move(h); }
  void SetOnSendMail(TAgentCardEvent h) { onSendMail_ = std::move(h); }
  void SetOnSaveForms(TAgentNotifyEvent h) { onSaveForms_ = std::move(h); }
  void SetOnBindField(TAgentNotifyEvent h) { onBindField_ = std::move(h); }
  void SetOnUnbindField(TAgentNotifyEvent h) { onUnbindField_ = std::move(h); }
  void SetOnClearForms(TAgentNotifyEvent h) { onClearForms_ = std::move(h); }
  void SetOnShowManager(TAgentShowManagerEvent h) { onShowManager_ = std::move(h); }
  void SetOnAddSynonym(TAgentNotifyEvent h) { onAddSynonym_ = std::move(h); }
  void SetOnAddValue(TAgentNotifyEvent h) { onAddValue_ = std::move(h); }
  void SetOnAddAllValues(TAgentNotifyEvent h) { onAddAllValues_ = std::move(h); }
  void SetOnConnect(TAgentNotifyEvent h) { onConnect_ = std::move(h); }
  void SetOnManagerQuit(TAgentNotifyEvent h) { onManagerQuit_ = std::move(h); }
  void SetOnUrlChange(TAgentNotifyEvent h) { onUrlChange_ = std::move(h); }
  void SetOnRecordingStopped(TAgentRecordingEvent h) { onRecordingStopped_ = std::move(h); }
  void SetOnBannerClick(TAgentTextEvent h) { onBannerClick_ = std::move(h); }

private:
  bool Recording() const noexcept { return recorder_.Mode() == RecorderRecording; }
  void Connect();
  void Drop() noexcept;
  // Runs one manager call; a failure (status or exception) drops the
  // connection and answers false, as does having no connection.
  bool ManagerCall(const std::function<HRESULT(IQoraServer&)>& call);
  void RefreshLexicon();
  void RefreshTranslations();
  bool CreateFillDialog();
  void DialogHidden();
  static void FillNameList(const Variant& list, const String& selected, TWideStringList& names);
  static void Raise(const TAgentNotifyEvent& handler, TQuillmateAgent& sender) {
    if (handler) handler(sender);
  }

  TFormCards formCards_;
  TWideStringList profiles_;
  TWideStringList navigationCards_;
  TWideStringList mailCards_;
  bool active_ = true;
  bool guiActive_ = true;
  bool pendingShow_ = false;
  bool dialogDismissed_ = false;
  TNavigationRecorder recorder_;
  platform::ComPtr<IQoraServer> server_;
  platform::ComPtr<TQuillmateLibIQoraServerEvents> eventSink_;
  platform::HWND ownerWindow_ = platform::NoWindow;
  std::unique_ptr<TQMDialog> fillDialog_;
  String pageUrl_;
  String pageKey_;
  TQMOptions options_;
  int32_t bannerMode_ = 0;
  TLexicon lexicon_;
  TWideStringList captions_;
  TWideStringList translatedCaptions_;
  String noteText_;

  TAgentNotifyEvent onBeforeShowDialog_;
  TAgentFillCardEvent onFillCard_;
  TAgentFillProfileEvent onFillProfile_;
  TAgentCardEvent onSetDefault_;
  TAgentTextEvent onSetActiveProfile_;
  TAgentCardEvent onDelete_;
  TAgentCardEvent onPlayNavigation_;
  TAgentCardEvent onSendMail_;
  TAgentNotifyEvent onSaveForms_;
  TAgentNotifyEvent onBindField_;
  TAgentNotifyEvent onUnbindField_;
  TAgentNotifyEvent onClearForms_;
  TAgentShowManagerEvent onShowManager_;
  TAgentNotifyEvent onAddSynonym_;
  TAgentNotifyEvent onAddValue_;
  TAgentNotifyEvent onAddAllValues_;
  TAgentNotifyEvent onConnect_;
  TAgentNotifyEvent onManagerQuit_;
  TAgentNotifyEvent onUrlChange_;
  TAgentRecordingEvent onRecordingStopped_;
  TAgentTextEvent onBannerClick_;
};

}  // namespace qm
