// The helper object's page-level types: the live form items of a page
// (TFormItem, one per HTML form of any frame, kept in a TPageFormSet) and
// the loop protection of automatic actions (TAutoSubmitTracer, a trace of
// TAutoSubmitItems).
//
// A form item is bound to its form element while the page lives. It keeps
// the form's number (the "FormID" attribute, handed out by the helper
// object), hears the form's mousedown (to learn which control will submit
// it) and its submit (to report the submission), builds the form's transit
// card on demand, fills the form (from one stored card by position, from a
// form set control by control, or field by field with the manager's
// profile values), clears it and submits it.
//
// Ownership. A TPageFormSet owns its items through shared pointers, so
// that a walk over the items can take a Snapshot: an item deleted during
// the walk (by a rescan that an event ran inside a page script or a
// dialog) stays valid, though inert, until the walk lets go of it. Deleting
// an item detaches it: its form sink is disconnected, its form and
// submitter are released, its tracker is emptied, and it belongs to no set
// any more (Owner() is null). The form's event sink reaches its item only
// through a weak reference. An item holds its form; holding the form does
// not keep the page alive (see platform/dom/PageDocument.h).
//
// The tracer owns its items. Everything here belongs to the browser
// window's user-interface thread and takes no locks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/MSHTMLEvents.h"
#include "core/Common/OwnedCollection.h"
#include "core/Common/QMTransitUtils.h"
#include "platform/dom/PageDocument.h"

namespace qm {

class TQuillmateAgent;
class TPageFormSet;

// The attribute that numbers a page form across rescans.
inline constexpr char16_t FormIDAttribute[] = u"FormID";
// The attribute a page may give a form as its identity (GUID text).
inline constexpr char16_t FormSysIDAttribute[] = u"FormSysID";

// Which header parts BuildCard fills (a bit set); the fields are always read.
enum TCardParts : uint32_t {
  CardPartUrl = 1,
  CardPartMethod = 2,
  CardPartCharset = 4,
  CardPartFormHtml = 8,
  CardPartsMatch = CardPartUrl | CardPartMethod,  // matching against stored cards
  CardPartsAll = 15,                               // saving
  CardPartsFieldsOnly = 0,                         // the data key of an automatic submit
};

class TFormItem : public std::enable_shared_from_this<TFormItem> {
public:
  using TSubmittedEvent = std::function<void(TFormItem& item)>;

  // Made by TPageFormSet::Add only.
  TFormItem();
  ~TFormItem();
  TFormItem(const TFormItem&) = delete;
  TFormItem& operator=(const TFormItem&) = delete;

  std::u16string ActionUrl;          // the form's action, absolute and normalised
  std::u16string Method = u"click";  // lower case; "get" when the form gives none
  TSubmittedEvent OnSubmitted;       // told when the form is submitted
  bool Present = false;              // found again by the last scan
  int32_t FormId = 0;                // the number in the form's "FormID"
  int32_t MatchScore = 0;            // score of the card that last filled it; 0 none
  bool Filled = false;               // that fill set every field of the card

  const ComPtr<PageElement>& FormElement() const noexcept { return formElement_; }
  const ComPtr<PageElement>& Submitter() const noexcept { return submitter_; }
  bool Current() const noexcept { return current_; }
  TElementChangingTracker& ChangeTracker() noexcept { return changeTracker_; }
  // The set the item belongs to; null once deleted from it.
  TPageFormSet* Owner() const noexcept { return owner_; }

  // Binds the item to form: disconnects the old form's sink, keeps form,
  // and when it is a form, hears its mousedown and submit and takes its
  // method. Reports FormItemAttachForm and raises.
  void AttachForm(const ComPtr<PageElement>& form);
  void SetActionUrl(const std::u16string& url);
  // true clears Current (and Submitter) of every other item of the set;
  // false drops the Submitter.
  void SetCurrent(bool current);
  // The control that will submit the form, or none.
  ComPtr<PageElement> GetSubmitter();
  // Clicks element when the item has a submitter (the caller passes the
  // one it got), else submits the form without its onsubmit, as a page
  // script would. Failures are dropped.
  void Submit(const ComPtr<PageElement>& element);
  // The form's "FormSysID" as a GUID; the null GUID when it is absent,
  // empty or no GUID.
  platform::GUID GetFormSysID();
  // Fills card from the live form: the header parts asked for (TCardParts),
  // the current flag, the identity, then the fields. Reports
  // FormItemBuildCard and raises.
  void BuildCard(TTransitFormCard& card, uint32_t parts);
  // A card for matching against stored cards only: BuildCard with address
  // and method, the fields read as ReadFormShape reads them (it scores as
  // the whole card would). Reports FormItemBuildCard and raises.
  void BuildProbe(TTransitFormCard& card);

  // Fills the form from one stored card by position; Filled and the
  // submitter follow the fill, Current follows the card. Answers Filled.
  // Reports FormItemFillFromCard and raises.
  bool FillFromCard(TQuillmateAgent& agent, const TTransitFormCard& card);
  // Fills each control that some card of set knows by name, tag and type.
  // Reports FormItemFillFromSet and raises.
  void FillFromSet(TQuillmateAgent& agent, const TTransitFormSet& set, bool onlyEmpty);
  // Fills the form control by control with the manager's values of
  // profile (empty: the active one), after the log-in the profile needs (a
  // cancelled log-in fills nothing). Each control in its own guard.
  // Reports FormItemFillFromManager and raises.
  void FillFromManager(TQuillmateAgent& agent, const std::u16string& profile, bool onlyEmpty);
  // Empties text inputs, textareas, boxes and selections and removes their
  // binding marks; hidden inputs and buttons are left alone. Each control
  // in its own guard. Reports FormItemClearValues and raises.
  void ClearValues();

  // The form's events: mousedown notes a submitting control, submit makes
  // the form current and tells OnSubmitted (the submission proceeds).
  void OnFormMouseDown(const ComPtr<platform::PageEvent>& event);
  bool OnFormSubmit();

private:
  friend class TPageFormSet;
  // What deleting from the set does; never raises.
  void Detach() noexcept;
  ComPtr<PageElement> EventSource(const ComPtr<platform::PageEvent>& event);

  ComPtr<PageElement> formElement_;
  ComPtr<PageElement> submitter_;
  THTMLEventSink formEvents_;
  TElementChangingTracker changeTracker_;
  bool current_ = false;
  TPageFormSet* owner_ = nullptr;
};

// The form items of the current page, all frames, in the order the forms
// were first found.
class TPageFormSet {
public:
  TPageFormSet() = default;
  ~TPageFormSet();
  TPageFormSet(const TPageFormSet&) = delete;
  TPageFormSet& operator=(const TPageFormSet&) = delete;

  int Count() const noexcept { return static_cast<int>(items_.size()); }
  bool Empty() const noexcept { return items_.empty(); }
  // Raises "List index out of bounds (N)" for a bad index.
  TFormItem& Items(int index) const;
  TFormItem& operator[](int index) const { return Items(index); }

  // Appends a new item numbered formId.
  TFormItem& Add(int32_t formId);
  // Detaches and removes the item at index.
  void Delete(int index);
  // Detaches and removes every item.
  void Clear() noexcept;
  // The first item numbered formId, or null.
  TFormItem* FindFormId(int32_t formId) const;
  // The items as they are now; walk these when the walk may run page
  // scripts or dialogs (see the header comment).
  std::vector<std::shared_ptr<TFormItem>> Snapshot() const { return items_; }

  // Replaces set's cards with one card per item (BuildCard with parts); a
  // set of one card has that card as the current form.
  void BuildTransitSet(TTransitFormSet& set, uint32_t parts) const;

private:
  std::vector<std::shared_ptr<TFormItem>> items_;
  // The first item of each number.
  std::unordered_map<int32_t, TFormItem*> byFormId_;
};

// --- loop protection ---

enum TAutoSubmitKind : uint8_t {
  AutoSubmitGet = 0,      // a form with method "get" submitted
  AutoSubmitPost = 1,     // a form with another method submitted
  AutoNavigationStep = 2, // a recorded navigation step clicked
  AutoMailSent = 3,       // a mail card sent
  AutoMetaRefresh = 4,    // an immediate META refresh of a page
};

// One automatic action.
struct TAutoSubmitItem {
  uint8_t Kind = 0;        // TAutoSubmitKind
  std::u16string Data;     // what was sent: a form's fields text, a mail, a step's key
  std::u16string PageKey;  // the page the action happened on
  std::u16string Target;   // where it leads: action address, refresh address, ...

  friend bool operator==(const TAutoSubmitItem&, const TAutoSubmitItem&) = default;
};

// The automatic actions of one unbroken trace, each followed by the
// navigation it caused. A repeated action within a trace is a suspected
// loop; the first navigation that does not follow the last action (a
// user's click, a typed address) ends the trace, and the next action
// begins a new one.
class TAutoSubmitTracer : public TOwnedCollection<TAutoSubmitItem> {
public:
  bool Tracing = false;

  // false (nothing added) when the same action is in the trace already;
  // a META refresh is never taken for a repeat. Otherwise appends it,
  // after emptying the list when no trace was running, and answers true.
  bool Register(const std::u16string& pageKey, const std::u16string& target, uint8_t kind,
                const std::u16string& data);
  // Told of every top-level navigation: the trace goes on only when the
  // navigation is the one the last action leads to.
  void CheckNavigation(const std::u16string& address);
};

}  // namespace qm
