// The helper object's page processing, and the scans that keep its form
// items in step with the page's forms.
#include <atomic>
#include <tuple>
#include <utility>
#include <vector>

#include "addon/BHO/BHOUnit.h"
#include "addon/BHO/FillFormUtils.h"
#include "addon/BHO/MSHTMLUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/com/ErrorInfo.h"
#include "platform/ui/Backend.h"

namespace qm {

using platform::IUnknown;
using platform::PageDocument;
using platform::PageFormElement;
using platform::PageObjectContainer;

namespace {

// One page processing at a time in the whole process: a processing that a
// page script, a dialog or another window starts while one runs would
// work on a page that is being changed under it.
std::atomic<bool> pageProcessingBusy{false};

struct TBusy {
  ~TBusy() { pageProcessingBusy = false; }
};

}  // namespace

bool TVxBrowserHelperObject::PageProcessingBusy() noexcept {
  return pageProcessingBusy.load();
}

void TVxBrowserHelperObject::ProcessPage(const ComPtr<PageBrowser>& browser, bool fill, bool submit,
                                         bool show, bool playback) {
  bool idle = false;
  if (!pageProcessingBusy.compare_exchange_strong(idle, true)) return;
  const TBusy busy;
  Reported(loc::ProcessPage, [&] {
    const ComPtr<TVxBrowserHelperObject> self(this);
    const ComPtr<PageBrowser> page = browser;
    if (!agent_->IsConnected()) return;
    bool wantDialog = false;
    if (submit && SendStoredMailCard(page)) return;
    if (agent_->HasMailCards()) wantDialog = true;
    RescanForms();
    std::u16string formSetName;
    std::u16string cardName;
    if (MatchPageForms(formSetName, cardName)) wantDialog = true;
    if (fill) {
      try {
        bool passwordNeeded = false;
        if (FillFromFormSet(formSetName, cardName, agent_->AutoFillNew(), true, true,
                            passwordNeeded)) {
          wantDialog = false;  // filled from a stored card: nothing to offer
        }
      } catch (const EBeforeNavigate&) {
        throw;
      } catch (const std::exception&) {
        // A fill that failed leaves the page as far as it got.
      }
    }
    // The dialog goes beside the window, so only a visible window gets one.
    wantDialog = show && wantDialog && browser_ && browser_->Visible();
    if (submit && !AutoSubmitPage()) return;
    if (playback && PlayStoredNavigation(page)) return;
    if (wantDialog) agent_->ShowDialogUnlessDismissed();
  });
}

bool TVxBrowserHelperObject::MatchPageForms(std::u16string& formSetName, std::u16string& cardName) {
  TTransitFormSet forms;
  pageForms_->BuildTransitSet(forms, CardPartsMatch);
  TMemoryStream stream;
  forms.WriteToStream(stream);
  const Variant bytes = StreamToVariant(stream);
  Variant matches;
  std::u16string line;
  bool hasMatch = false;
  const ComPtr<IQoraServer> server = Server();
  if (!server) return false;
  HRESULT status = platform::E_FAIL;
  Swallowed(
      [&] { status = server->MatchPageForms(agent_->PageKey(), bytes, matches, line, hasMatch); });
  if (platform::Failed(status)) {
    platform::ClearErrorInfo();
    return false;
  }
  if (matches.IsEmptyOrNull() || (matches.IsArray() && matches.ArrayCount() == 0)) return false;
  std::tie(formSetName, cardName) = SplitNameValue(line);
  agent_->SetFormCards(matches, formSetName, cardName);
  return true;
}

void TVxBrowserHelperObject::RescanForms() {
  Reported(loc::RescanForms, [&] {
    for (const auto& item : pageForms_->Snapshot())
      item->Present = false;
    ScanDocumentForms(browser_);
    for (int i = pageForms_->Count() - 1; i >= 0; --i) {
      if (!pageForms_->Items(i).Present) pageForms_->Delete(i);
    }
  });
}

void TVxBrowserHelperObject::ScanDocumentForms(const ComPtr<PageBrowser>& browser) {
  // The browser and its frames depth first in document order, without
  // recursion: a document's frames are pushed last first. A failure ends
  // the scan of that browser (and its frames) quietly.
  std::vector<ComPtr<PageBrowser>> pending;
  if (browser) pending.push_back(browser);
  while (!pending.empty()) {
    const ComPtr<PageBrowser> current = std::move(pending.back());
    pending.pop_back();
    Swallowed([&] {
      Reported(loc::ScanDocumentForms, [&] {
        const auto document = current->Document().As<PageDocument>();
        if (!document) return;
        // Actions join the address as it stands: "post.cgi" on
        // "http://h/dir/" is "http://h/dir/post.cgi".
        const std::u16string pageUrl = document->url();
        const auto forms = document->forms();
        const int32_t length = forms ? forms->length() : 0;
        for (int32_t i = 0; i < length; ++i) {
          Swallowed([&] {
            if (const ComPtr<PageElement> form = forms->item(i)) ScanForm(form, pageUrl);
          });
        }
        const auto container = document.As<PageObjectContainer>();
        if (!container) return;
        const std::vector<ComPtr<IUnknown>> objects = container->embeddedObjects();
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
          Swallowed([&] {
            if (auto frame = it->As<PageBrowser>()) pending.push_back(std::move(frame));
          });
        }
      });
    });
  }
}

void TVxBrowserHelperObject::ScanForm(const ComPtr<PageElement>& form,
                                      const std::u16string& pageUrl) {
  // A number the form carries (ours from an earlier scan, or the page's
  // own) names its item; one that isn't a number raises, which skips the
  // form.
  const Variant number = form->getAttribute(FormIDAttribute);
  const bool numbered = !number.IsEmptyOrNull() &&
                        !(number.GetKind() == Variant::Kind::String && number.AsString().empty());
  int32_t id = 0;
  if (numbered) {
    id = number.GetKind() == Variant::Kind::Int32 ? number.AsInt32() : TextToInt(number.ToText());
    if (TFormItem* item = pageForms_->FindFormId(id)) {
      item->Present = true;  // it keeps its action address and its form
      return;
    }
  }
  const auto view = fill_detail::RequireView<PageFormElement>(form);
  const std::u16string actionUrl =
      NormalizeUrl(CombineUrl(pageUrl, view->action(), ICU_BROWSER_MODE));
  if (!numbered) {
    id = nextFormId_++;
    form->setAttribute(FormIDAttribute, Variant::FromInt32(id));
  }
  TFormItem& item = pageForms_->Add(id);
  item.SetActionUrl(actionUrl);
  item.Present = true;
  item.AttachForm(form);
  item.OnSubmitted = [this](TFormItem& submitted) {
    const ComPtr<TVxBrowserHelperObject> self(this);
    try {
      OnFormSubmitted(submitted);
    } catch (const std::exception& e) {
      // The user named the card and waits for nothing more: a save that
      // failed is told, as a toolbar command's failure is, and the page's
      // submission goes on.
      platform::ui::ShowException(browserWindow_, e);
    }
  };
}

void TVxBrowserHelperObject::ClearForms() {
  Swallowed([&] {
    Reported(loc::ClearForms, [&] {
      RescanForms();
      for (const auto& item : pageForms_->Snapshot()) {
        Swallowed([&] {
          if (item->Owner() != nullptr) item->ClearValues();
        });
      }
    });
  });
}

}  // namespace qm
