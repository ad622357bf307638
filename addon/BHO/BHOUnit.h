// The helper object: what the browser creates once per browser window and
// hands its site to. It is the spine of the add-on. It owns the window's
// agent (and through it the connection to the manager), listens to the
// browser's navigation events, to the top window's load and, through the
// document listener, to clicks in every frame; it keeps the live form items
// of the current page; and on every page load it runs the page processing:
// the page's forms are matched against the stored form cards, filled,
// submitted when the options say so (with the loop protection), and the
// fill dialog is offered. The toolbar's and the fill dialog's commands
// arrive as agent events and are carried out here.
//
// The road of a top-level page load, as the events arrive:
//   BeforeNavigate2 (top)    the page is being left (NavigationStarted); a
//                            navigation while the form count changed is
//                            cancelled; the tracer learns the address; the
//                            fill dialog hides and forgets the page
//   NavigateComplete2 (top)  the manager is told; the agent takes the new
//                            address (and fetches the page's cards); the
//                            window's load is listened to; forms scanned
//   frames                   document sinks re-attached, forms scanned
//   DocumentComplete (top)   an immediate META refresh enters the tracer
//   onload (top window)      ProcessLoadedPage: ProcessPage and the note
// A frame that completes after its page did processes the page again.
//
// The operations are spread over one file per subject, all of this class:
//   BHOUnit.cpp           creation, the site, the browser events, the
//                         agent's relays, the small manager commands
//   BHOPageProcess.cpp    ProcessPage and the scans of the page's forms
//   BHOAutoFill.cpp       filling from stored cards, the fill requests,
//                         auto submit
//   BHOSaving.cpp         saving submitted forms, card commands, page note
//   BHOFieldCommands.cpp  the field binding, synonym and value commands
//   BHONavigation.cpp     click recording and navigation playback
//   BHOMail.cpp           mail cards
// The sections below mark where each file's operations and state go.
//
// Failures: each operation reports with its location code and raises
// (EBeforeNavigate passes unchanged); the browser and page events end at
// an edge where a failure is dropped, so the browser goes on. EBeforeNavigate
// is caught (clearing NavigationStarted) by ProcessLoadedPage, FillRequest,
// SelectProfileCommand and SaveForms. Manager calls go through the agent's
// connection; without one, every operation that needs the manager does
// nothing.
//
// Ownership and threads: reference counted (IObjectWithSite). It owns its
// agent, sinks, document listener, page form set and tracer; it holds the
// top browser between SetSite(site) and SetSite(nullptr). Sinks reach it
// without holding it; its destructor disconnects them and cuts the agent's
// relays off (the agent may outlive it, published on the browser). All of
// it runs on the browser window's user-interface thread; re-entrancy from
// page scripts, message boxes and dialogs is guarded by flags, and the
// page processing by one process-wide flag shared by every helper object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "addon/BHO/ClickTarget.h"
#include "addon/BHO/HTMLDocListener.h"
#include "addon/BHO/MSHTMLEvents.h"
#include "addon/BHO/QMBHOTypes.h"
#include "addon/BHO/SHDocVwEvents.h"
#include "addon/Common/QuillmateAgent.h"
#include "core/Common/QMTransitIndex.h"
#include "platform/com/SiteInterfaces.h"
#include "platform/dom/PageBrowser.h"

namespace qm {

class TQMStoreDialog;

// The browser property under which the helper object publishes its agent
// (the identity of IQuillmateAgent); the toolbar of the window reads it.
inline constexpr char16_t AgentBrowserProperty[] = u"{5838DE46-7072-4FCA-9A5C-C09D44D231FE}";

class TVxBrowserHelperObject final : public platform::ComObject<platform::IObjectWithSite> {
public:
  TVxBrowserHelperObject() = default;
  ~TVxBrowserHelperObject() override;

  // The helper object behind an object that CreateVxBrowserHelperObject
  // made; null for any other object.
  static TVxBrowserHelperObject* FromObject(const ComPtr<platform::IUnknown>& object);
  // Whether a page processing runs in this process now (any window).
  static bool PageProcessingBusy() noexcept;

  // Makes the agent, the sinks, the listener and the page form set, and
  // wires the agent's relays. Call once, before SetSite. Reports
  // HelperInitialize and raises.
  void Initialize();

  // --- IObjectWithSite ---
  // With a site: takes its web browser (the SID_SWebBrowserApp service),
  // connects the browser events, finds the owner window (the browser's
  // HWND, else the site's window) and publishes the agent on the browser.
  // Without: frees the fill dialog and lets the browser go. Reports
  // HelperSetSite; a failure is the call's status.
  platform::HRESULT SetSite(platform::IUnknown* site) override;
  // Never gives the site out: *site is null and the answer S_OK.
  platform::HRESULT GetSite(const platform::IID& iid, void** site) override;

  // --- state, for the units of this class, the toolbar and tests ---
  const ComPtr<PageBrowser>& Browser() const noexcept { return browser_; }
  platform::HWND BrowserWindow() const noexcept { return browserWindow_; }
  TQuillmateAgent& Agent() const noexcept { return *agent_; }
  TPageFormSet& PageForms() const noexcept { return *pageForms_; }
  TAutoSubmitTracer& Tracer() const noexcept { return *tracer_; }
  const THTMLDocListener& DocListener() const noexcept { return *docListener_; }
  bool WindowEventsConnected() const noexcept {
    return windowEvents_ && windowEvents_->Connected();
  }
  bool BrowserEventsConnected() const noexcept {
    return browserEvents_ && browserEvents_->Connected();
  }
  bool NavigationStarted() const noexcept { return navigationStarted_; }
  bool TopPageLoading() const noexcept { return topPageLoading_; }
  bool SubmitInProgress() const noexcept { return submitInProgress_; }
  bool Filling() const noexcept { return filling_; }
  bool Processing() const noexcept { return processing_; }
  int32_t NextFormId() const noexcept { return nextFormId_; }
  bool PendingFill() const noexcept { return pendingFill_; }
  bool PendingFillSubmit() const noexcept { return pendingFillSubmit_; }
  const std::u16string& PendingFillName() const noexcept { return pendingFillName_; }
  const std::u16string& PendingFillCard() const noexcept { return pendingFillCard_; }

  // --- browser events and the lifecycle: BHOUnit.cpp ---
  void OnBeforeNavigate(const ComPtr<PageBrowser>& browser, const std::u16string& url,
                        const Variant& postData, bool& cancel);
  void OnNavigateComplete(const ComPtr<PageBrowser>& browser, const std::u16string& url);
  void OnDocumentComplete(const ComPtr<PageBrowser>& browser, const std::u16string& url);
  void OnDownloadComplete();
  void OnNewWindow();
  void OnWindowLoad();
  // The page processing of a loaded page with the user's switch and
  // options, then the page note and a pending fill request.
  void ProcessLoadedPage(const ComPtr<PageBrowser>& browser);
  // After a change the manager holds: the page processed again (nothing
  // filled), the lists fetched again, the dialog shown again if it was.
  void RefreshAfterChange();
  void RefreshProfiles();
  void FetchPageCards();
  void SelectProfileCommand(const std::u16string& profile);
  void ShowInManagerCommand(const Variant& kind, const Variant& url, const Variant& name);
  void OnManagerQuit();
  void NavigateTo(const std::u16string& address);

  // --- page processing and the page's forms: BHOPageProcess.cpp ---
  // Match, fill, auto submit, stored mail and navigation, dialog. Returns
  // at once while a page processing runs anywhere in the process.
  void ProcessPage(const ComPtr<PageBrowser>& browser, bool fill, bool submit, bool show,
                   bool playback);
  // Marks every item absent, scans the top browser's document and frames,
  // deletes the items not found again.
  void RescanForms();
  void ScanDocumentForms(const ComPtr<PageBrowser>& browser);
  void ClearForms();

  // --- auto fill and auto submit: BHOAutoFill.cpp ---
  void FillRequest(const std::u16string& formSetName, const std::u16string& cardName,
                   bool onlyEmpty, bool submit);
  // true when at least one form was filled from a stored card.
  bool FillFromFormSet(const std::u16string& formSetName, const std::u16string& cardName,
                       bool fillNew, bool askManager, bool onlyEmpty, bool& passwordNeeded);
  // index, when given, is an index of set (the same answer, found faster).
  bool FillItemFromSet(const TTransitFormSet& set, TFormItem& item,
                       const TTransitCardIndex* index = nullptr);
  // false stops the page processing (a refused or impossible submit).
  bool AutoSubmitPage();
  void FillFromProfile(const std::u16string& profile, bool onlyEmpty);

  // --- saving submitted forms and card commands: BHOSaving.cpp ---
  void SaveForms(TFormItem* item);
  void OnFormSubmitted(TFormItem& item);
  void AskSaveSubmission();
  void SaveNavigations(const std::u16string& firstUrl, const Variant& recording);
  void SetDefaultCardCommand(const std::u16string& first, const std::u16string& second);
  void DeleteCardCommand(const std::u16string& first, const std::u16string& second);
  void UpdatePageNote(bool fetch);

  // --- field binding, synonym and value commands: BHOFieldCommands.cpp ---
  // The field (input, select, textarea) that has the focus, with the first
  // form item of its document; false (and none) for no such field, and for
  // a file input, which is refused with a message.
  bool FindFocusedField(std::shared_ptr<TFormItem>& item, ComPtr<PageElement>& element);
  // Runs the bind-field dialog titled caption over the manager's profile
  // fields; text (shown for editing when not empty) comes back trimmed,
  // chosenCaption preselects and comes back as the choice. false when
  // nothing was chosen.
  bool ShowBindDialog(const std::u16string& caption, std::u16string& text,
                      std::u16string& fieldName, std::u16string& chosenCaption);
  void BindFieldCommand();
  void UnbindFieldCommand();
  void AddSynonymCommand();
  void AddValueCommand();
  void AddAllValuesCommand();

  // --- click recording and navigation playback: BHONavigation.cpp ---
  // A click in any frame: a "mailto" link offers to store a mail card
  // (switch on, OnSubmit not 0); while the recorder records, a click on a
  // link, or on a button whose press started a navigation, is a step.
  // The mouse-down and -up tell a pressed button from a script's click.
  void OnDocumentClick(const ComPtr<PageEvent>& event);
  void OnDocumentMouseDown(const ComPtr<PageEvent>& event);
  void OnDocumentMouseUp(const ComPtr<PageEvent>& event);
  // The fill dialog's "Fill && submit" on a navigation card: loads it
  // (logging in when it is protected) and plays this page's step.
  void PlayNavigationCard(const std::u16string& address, const std::u16string& cardName);
  // On every page load: with AutoFill and AutoSubmit on, starts the page's
  // default navigation card (asking the loop question when its first step
  // repeats within one trace), or offers the page's navigation cards;
  // then plays this page's step. true when a step was clicked (the page
  // processing ends there).
  bool PlayStoredNavigation(const ComPtr<PageBrowser>& browser);
  // Clicks the element of the playing recording's step for this page.
  // A missing element stops the playback with a message; one found only
  // by name or by value is clicked after asking when AskConfirm is on.
  // false when nothing was clicked.
  bool PlayNavigationStep(const ComPtr<PageBrowser>& browser);
  // The element a step describes, in browser's document and frames: links
  // for tag "a", button elements for "button", input buttons for "input"
  // with type "button". The code and the handling of partial matches
  // (found by name only or by value only) are in ClickTarget.h.
  TClickTargetCode FindClickTarget(const ComPtr<PageBrowser>& browser, const std::u16string& tag,
                                   const std::u16string& type, const std::u16string& name,
                                   const std::u16string& value, ComPtr<PageElement>& element);

  // --- mail cards: BHOMail.cpp ---
  // A click on a "mailto" link: unless the page holds a card for that
  // address, the store dialog ("Save mail card") names a new one. Ends
  // quietly on any failure.
  void SaveMailCard(const std::u16string& linkAddress);
  // The fill dialog's "Fill && submit" on a mail card (logging in when it
  // is protected).
  void SendMailCardCommand(const std::u16string& address, const std::u16string& cardName);
  // true when the page's stored mail card found its link and was composed
  // (the page processing ends there).
  bool SendStoredMailCard(const ComPtr<PageBrowser>& browser);
  // Loads the card, asks the loop question when it was sent within this
  // trace already, and composes it when the page has a link to its
  // address. true when the link was found. A protected card (password
  // needed) or one without data sends nothing.
  bool SendMailCard(const ComPtr<PageBrowser>& browser, const std::u16string& pageKey,
                    bool& passwordNeeded, const std::u16string& cardName);
  // The first link of browser's document and frames whose address is
  // "mailto:" followed by address (letter case counts); none for an
  // empty address.
  static ComPtr<PageElement> FindMailLink(const ComPtr<PageBrowser>& browser,
                                          const std::u16string& address);

private:
  void WireAgent();
  void CutAgent() noexcept;
  TWebBrowserEvents::THandlers BrowserHandlers();
  bool IsTopBrowser(const ComPtr<PageBrowser>& browser) const;
  platform::HWND FindBrowserWindow(const ComPtr<platform::IUnknown>& site) const;
  // Connects the window events to the load of the top document's window.
  void ListenToWindowLoad();
  // Registers an immediate META refresh of the top document with the tracer.
  void TraceMetaRefresh();
  // Steps of ProcessPage: the page's forms sent to the manager; true when
  // it named stored form sets (the chosen one in the two names).
  bool MatchPageForms(std::u16string& formSetName, std::u16string& cardName);
  // Adds an item for form (found in the document at pageUrl) unless one
  // with its number exists; marks it present.
  void ScanForm(const ComPtr<PageElement>& form, const std::u16string& pageUrl);
  void SetPendingFill(const std::u16string& formSetName, const std::u16string& cardName,
                      bool submit);
  void ClearPendingFill();
  // The manager, or none when there is no connection.
  ComPtr<IQoraServer> Server() const;
  // Registers an automatic action with the tracer; when the trace holds it
  // already, asks the user (a message box with caption) whether to go on.
  // true: go on, the action begins a new trace; false: the user stopped it.
  bool TraceOrAskToGoOn(const std::u16string& pageKey, const std::u16string& target, uint8_t kind,
                        const std::u16string& data, const char16_t* caption);
  // A store dialog owned by the browser window, with the manager's banner
  // when it shows one (BHOSaving.cpp).
  std::unique_ptr<TQMStoreDialog> MakeStoreDialog() const;

  // The top browser of this window; none while detached.
  ComPtr<PageBrowser> browser_;
  std::unique_ptr<TWebBrowserEvents> browserEvents_;
  std::unique_ptr<THTMLEventSink> windowEvents_;  // the top window's load
  std::unique_ptr<THTMLDocListener> docListener_;
  // Owner of every message box and dialog of the helper object.
  platform::HWND browserWindow_ = platform::NoWindow;
  std::unique_ptr<TPageFormSet> pageForms_;
  ComPtr<TQuillmateAgent> agent_;
  // Set by every BeforeNavigate2: the page an operation works on is being
  // left (see EBeforeNavigate).
  bool navigationStarted_ = false;
  // From the top browser's NavigateComplete2 to its DocumentComplete.
  bool topPageLoading_ = false;
  // A submission the helper object handles itself is under way.
  bool submitInProgress_ = false;
  int32_t nextFormId_ = 1;  // the next "FormID" number
  std::unique_ptr<TAutoSubmitTracer> tracer_;
  // A fill request interrupted by the navigation it caused.
  std::u16string pendingFillName_;
  std::u16string pendingFillCard_;
  bool pendingFill_ = false;
  bool pendingFillSubmit_ = false;
  bool filling_ = false;     // a form is being filled from a stored card
  bool processing_ = false;  // ProcessLoadedPage runs
  bool initialized_ = false;

  // --- state of the field commands (BHOFieldCommands.cpp) ---
  std::u16string lastBindGroup_;  // the group last chosen in the bind dialog
  std::u16string lastBindField_;  // the profile field last chosen there

  // --- state of the page note (BHOSaving.cpp) ---
  std::u16string noteUrl_;  // the page key the note was fetched for
  std::u16string noteTitle_;
  std::u16string noteText_;

  // --- state of the click recording (BHONavigation.cpp) ---
  int32_t pressedSourceIndex_ = -1;   // sourceIndex under the last mouse-down
  bool navigatedAfterPress_ = false;  // a BeforeNavigate2 came after it
};

// A fully initialised helper object, for the class factory. Raises what
// Initialize raises.
platform::ComPtr<platform::IObjectWithSite> CreateVxBrowserHelperObject();

}  // namespace qm
