// Filling the page's forms from the stored form cards, the fill requests of
// the fill dialog (with the request that survives the navigation it
// caused), and the automatic submit with its loop protection.
#include "addon/BHO/BHOUnit.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "platform/com/ErrorInfo.h"
#include "platform/ui/Backend.h"

namespace qm {

namespace ui = platform::ui;

namespace {

constexpr char16_t QuilloraCaption[] = u"Quillora";
constexpr char16_t LoopQuestion[] =
    u"It may well be to get caught in an endless loop.\r\nAre you want to continue?";

struct TFillingScope {
  bool& Flag;
  explicit TFillingScope(bool& flag) : Flag(flag) { Flag = true; }
  ~TFillingScope() { Flag = false; }
};

}  // namespace

bool TVxBrowserHelperObject::TraceOrAskToGoOn(const std::u16string& pageKey,
                                              const std::u16string& target, uint8_t kind,
                                              const std::u16string& data, const char16_t* caption) {
  if (tracer_->Register(pageKey, target, kind, data)) return true;
  if (ui::MessageBox(browserWindow_, LoopQuestion, caption, ui::TMsgIcon::Question,
                     ui::TMsgButtons::YesNo) != ui::IDYES) {
    return false;
  }
  tracer_->Clear();
  tracer_->Register(pageKey, target, kind, data);
  return true;
}

bool TVxBrowserHelperObject::FillItemFromSet(const TTransitFormSet& set, TFormItem& item,
                                             const TTransitCardIndex* index) {
  return Reported(loc::FillItemFromSet, [&] {
    // Only matched, never stored: read as far as matching looks.
    TTransitFormCard probe;
    item.BuildProbe(probe);
    // The best stored card; the index names it without copying it.
    int at = -1;
    const int score = index != nullptr ? index->BestCard(probe, at) : set.FindBestCard(probe, &at);
    if (score == 0) return false;
    {
      // A navigation that the fill causes (a change script) is no user's
      // submission.
      const TFillingScope filling(filling_);
      item.FillFromCard(*agent_, set[at]);
    }
    if (navigationStarted_) throw EBeforeNavigate();
    item.MatchScore = score;
    return true;
  });
}

bool TVxBrowserHelperObject::FillFromFormSet(const std::u16string& formSetName,
                                             const std::u16string& cardName, bool fillNew,
                                             bool askManager, bool onlyEmpty,
                                             bool& passwordNeeded) {
  return Reported(loc::FillFromFormSet, [&] {
    passwordNeeded = false;
    TTransitFormSet set;
    // Without a chosen form set there is nothing to load (the manager would
    // answer that it knows no such card); forms are still filled as new.
    const ComPtr<IQoraServer> server = formSetName.empty() ? nullptr : Server();
    if (server) {
      Variant stream;
      bool password = false;
      HRESULT status = platform::E_FAIL;
      Swallowed([&] { status = server->LoadFormSet(formSetName, cardName, stream, password); });
      if (platform::Succeeded(status)) {
        passwordNeeded = password;
        if (!stream.IsEmptyOrNull()) {
          TMemoryStream bytes;
          VariantToStream(stream, bytes);
          bytes.SetPosition(0);
          // A stream that breaks off fills from the cards that read whole.
          (void)set.ReadFromStream(bytes);
        }
      } else {
        platform::ClearErrorInfo();
      }
    }
    // A page of many forms meets a set of as many cards: each form finds
    // its card by key rather than by scoring every card.
    const TTransitCardIndex index(set);
    bool filledFromCard = false;
    for (const auto& item : pageForms_->Snapshot()) {
      if (item->Owner() == nullptr) continue;  // deleted by what a fill ran
      item->SetCurrent(false);
      if (FillItemFromSet(set, *item, &index)) {
        filledFromCard = true;
      } else if (fillNew) {
        item->FillFromSet(*agent_, set, onlyEmpty);
        if (askManager) item->FillFromManager(*agent_, u"", onlyEmpty);
      }
    }
    return filledFromCard;
  });
}

void TVxBrowserHelperObject::SetPendingFill(const std::u16string& formSetName,
                                            const std::u16string& cardName, bool submit) {
  pendingFillName_ = formSetName;
  pendingFillCard_ = cardName;
  pendingFill_ = true;
  pendingFillSubmit_ = submit;
}

void TVxBrowserHelperObject::ClearPendingFill() {
  pendingFillName_.clear();
  pendingFillCard_.clear();
  pendingFill_ = false;
  pendingFillSubmit_ = false;
}

void TVxBrowserHelperObject::FillRequest(const std::u16string& formSetName,
                                         const std::u16string& cardName, bool onlyEmpty,
                                         bool submit) {
  Reported(loc::FillRequest, [&] {
    // Copies: the pending request may be what is being replayed.
    const std::u16string name = formSetName;
    const std::u16string card = cardName;
    try {
      bool passwordNeeded = false;
      do {
        FillFromFormSet(name, card, true, false, onlyEmpty, passwordNeeded);
        if (!passwordNeeded) {
          ClearPendingFill();
        } else if (!agent_->Login()) {
          return;  // a cancelled log-in ends the request quietly
        }
      } while (passwordNeeded);
    } catch (const EBeforeNavigate&) {
      // The fill made the page navigate: the request goes on with the
      // next page.
      SetPendingFill(name, card, submit);
      navigationStarted_ = false;
      return;
    }
    try {
      if (submit && AutoSubmitPage()) return;
      UpdatePageNote(false);
    } catch (const EBeforeNavigate&) {
      navigationStarted_ = false;
    }
  });
}

bool TVxBrowserHelperObject::AutoSubmitPage() {
  return Reported(loc::AutoSubmitPage, [&] {
    // The form a stored card marked for submitting, filled with the best
    // score; a tie at the top is no choice.
    const auto items = pageForms_->Snapshot();
    int best = -1;
    int32_t top = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      const TFormItem& item = *items[i];
      if (item.Owner() == nullptr || !item.Current() || item.MatchScore == 0) continue;
      if (item.MatchScore == top) best = -2;
      if (item.MatchScore > top) {
        best = static_cast<int>(i);
        top = item.MatchScore;
      }
    }
    if (best == -2) {
      ui::MessageBox(browserWindow_, u"There are more than one form to claim submit!",
                     QuilloraCaption, ui::TMsgIcon::None, ui::TMsgButtons::Ok);
      return false;
    }
    if (best == -1) return true;
    TFormItem& item = *items[static_cast<size_t>(best)];
    if (!item.Filled) {
      ui::MessageBox(browserWindow_,
                     u"There are not all fields in the form properly filled!\r\n"
                     u"Submitting is broken.",
                     QuilloraCaption, ui::TMsgIcon::Information, ui::TMsgButtons::Ok);
      return false;
    }
    const uint8_t kind = item.Method == u"get" ? AutoSubmitGet : AutoSubmitPost;
    TTransitFormCard card;
    item.BuildCard(card, CardPartsFieldsOnly);
    const std::u16string data = card.FieldsText();
    const std::u16string pageKey = agent_->PageKey();
    if (!TraceOrAskToGoOn(pageKey, item.ActionUrl, kind, data, QuilloraCaption)) return false;
    submitInProgress_ = true;
    item.Submit(item.GetSubmitter());
    if (navigationStarted_) throw EBeforeNavigate();
    return true;
  });
}

void TVxBrowserHelperObject::FillFromProfile(const std::u16string& profile, bool onlyEmpty) {
  Reported(loc::FillFromProfile, [&] {
    if (!agent_->IsConnected()) return;
    for (const auto& item : pageForms_->Snapshot()) {
      if (item->Owner() != nullptr) item->FillFromManager(*agent_, profile, onlyEmpty);
    }
  });
}

}  // namespace qm
