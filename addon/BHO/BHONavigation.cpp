// Click recording and the playback of navigation cards: while the
// recorder records, the user's clicks on links and on buttons that
// navigate become steps; a stored recording is played page by page, each
// completed page clicking the element of its step.
#include "addon/BHO/BHOUnit.h"
#include "addon/BHO/MSHTMLUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/com/ErrorInfo.h"
#include "platform/ui/Backend.h"

namespace qm {

namespace ui = platform::ui;
using platform::PageAnchorElement;
using platform::PageButtonElement;
using platform::PageInputElement;

namespace {

// The press of the mouse belongs to one click; whatever the click did,
// the next one starts afresh.
struct TEndOfClick {
  int32_t& PressedSourceIndex;
  bool& NavigatedAfterPress;
  ~TEndOfClick() {
    PressedSourceIndex = -1;
    NavigatedAfterPress = false;
  }
};

ComPtr<PageElement> SourceOf(const ComPtr<PageEvent>& event) {
  ComPtr<PageElement> source;
  if (event) Swallowed([&] { source = event->srcElement(); });
  return source;
}

// element or its nearest ancestor that is a link; none when there is none.
ComPtr<PageElement> EnclosingLink(ComPtr<PageElement> element) {
  while (element) {
    if (element.As<PageAnchorElement>()) return element;
    element = element->parentElement();
  }
  return nullptr;
}

std::u16string StepText(const std::u16string& name, const std::u16string& value) {
  return u"Element: " + name + u"[" + value + u"]";
}

}  // namespace

// --- recording ---

void TVxBrowserHelperObject::OnDocumentMouseDown(const ComPtr<PageEvent>& event) {
  pressedSourceIndex_ = -1;
  navigatedAfterPress_ = false;
  const ComPtr<PageElement> source = SourceOf(event);
  if (source) Swallowed([&] { pressedSourceIndex_ = source->sourceIndex(); });
}

void TVxBrowserHelperObject::OnDocumentMouseUp(const ComPtr<PageEvent>& event) {
  const ComPtr<PageElement> source = SourceOf(event);
  int32_t index = -1;
  if (source) Swallowed([&] { index = source->sourceIndex(); });
  // Released elsewhere: whatever the press was, it is no button's click.
  if (!source || index != pressedSourceIndex_) pressedSourceIndex_ = -1;
}

void TVxBrowserHelperObject::OnDocumentClick(const ComPtr<PageEvent>& event) {
  const TEndOfClick end{pressedSourceIndex_, navigatedAfterPress_};
  if (!event || !agent_->IsConnected()) return;
  TQuillmateAgent& agent = *agent_;
  const bool offerMail = agent.GetActive() && agent.OnSubmit() != 0;
  const bool recording = agent.IsRecording();
  if (!offerMail && !recording) return;
  const ComPtr<PageElement> source = SourceOf(event);
  if (!source) return;
  const ComPtr<PageElement> link = EnclosingLink(source);
  std::u16string href;
  if (link) href = link.As<PageAnchorElement>()->href();
  if (offerMail && !submitInProgress_ && link && LowerCase(href).starts_with(u"mailto")) {
    SaveMailCard(href);
    return;
  }
  if (!recording) return;
  TNavigationRecorder& recorder = agent.Recorder();
  const std::u16string pageKey = agent.PageKey();
  if (link) {
    recorder.AddStep(pageKey, u"a", href, link->innerText(), u"");
    return;
  }
  // A button counts only when the press on it started a navigation: a
  // button that only runs a script leads nowhere to replay.
  if (!navigatedAfterPress_ || source->sourceIndex() != pressedSourceIndex_) return;
  const std::u16string tag = LowerCase(source->tagName());
  if (tag == u"button") {
    if (const auto button = source.As<PageButtonElement>()) {
      recorder.AddStep(pageKey, u"button", button->value(), button->name(), button->type());
    }
  } else if (tag == u"input") {
    const auto input = source.As<PageInputElement>();
    if (input && LowerCase(input->type()) == u"button") {
      recorder.AddStep(pageKey, u"input", input->value(), input->name(), u"button");
    }
  }
}

// --- playback ---

void TVxBrowserHelperObject::PlayNavigationCard(const std::u16string& address,
                                                const std::u16string& cardName) {
  Reported(loc::PlayNavigationCard, [&] {
    TQuillmateAgent& agent = *agent_;
    if (!agent.IsConnected() || agent.Recorder().Mode() != RecorderStopped) return;
    Variant data;
    bool passwordNeeded = false;
    do {
      data = Variant();
      passwordNeeded = false;
      const ComPtr<IQoraServer> server = Server();
      HRESULT status = platform::E_FAIL;
      if (server) {
        Swallowed([&] {
          status = server->LoadCard(CardKindNavigation, address, cardName, data, passwordNeeded);
        });
      }
      if (platform::Failed(status)) {
        platform::ClearErrorInfo();
        data = Variant();
        passwordNeeded = false;
      }
    } while (passwordNeeded && agent.Login());
    if (passwordNeeded) return;  // the user didn't log in
    agent.Recorder().LoadFromVariant(data);
    agent.Recorder().StartPlaying();
    PlayNavigationStep(browser_);
  });
}

bool TVxBrowserHelperObject::PlayStoredNavigation(const ComPtr<PageBrowser>& browser) {
  return Reported(loc::PlayStoredNavigation, [&] {
    TQuillmateAgent& agent = *agent_;
    TNavigationRecorder& recorder = agent.Recorder();
    const std::u16string name = agent.SelectedNavigationCard();
    if (recorder.Mode() == RecorderStopped) {
      const std::u16string pageKey = agent.PageKey();
      if (agent.GetActive() && agent.AutoFill() && agent.AutoSubmit() && !name.empty()) {
        Variant data;
        bool passwordNeeded = false;
        const ComPtr<IQoraServer> server = Server();
        HRESULT status = platform::E_FAIL;
        if (server) {
          Swallowed([&] {
            status = server->LoadCard(CardKindNavigation, pageKey, name, data, passwordNeeded);
          });
        }
        if (platform::Failed(status)) {
          platform::ClearErrorInfo();
          data = Variant();
          passwordNeeded = false;
        }
        if (!passwordNeeded) {
          recorder.LoadFromVariant(data);
          recorder.StartPlaying();
        }
        if (recorder.Mode() == RecorderPlaying) {
          const TPlayedStep step = recorder.PeekStep(pageKey);
          const std::u16string key = step.Tag + u"[" + step.Type + u"]";
          if (!TraceOrAskToGoOn(pageKey, step.Value, AutoNavigationStep, key, u"Warning")) {
            recorder.Stop();
          }
        }
      } else if (agent.HasNavigationCards()) {
        agent.ShowDialogUnlessDismissed();
      }
    }
    return PlayNavigationStep(browser);
  });
}

bool TVxBrowserHelperObject::PlayNavigationStep(const ComPtr<PageBrowser>& browser) {
  return Reported(loc::PlayNavigationStep, [&] {
    TQuillmateAgent& agent = *agent_;
    TNavigationRecorder& recorder = agent.Recorder();
    if (recorder.Mode() != RecorderPlaying) return false;
    const TPlayedStep step = recorder.PlayStep(agent.PageKey());
    ComPtr<PageElement> element;
    const TClickTargetCode code =
        FindClickTarget(browser, step.Tag, step.Type, step.Name, step.Value, element);
    const auto giveUp = [&] {
      recorder.Stop();
      tracer_->Clear();
      return false;
    };
    if (!element || code == ClickTargetNotFound) {
      ui::MessageBox(browserWindow_,
                     StepText(step.Name, step.Value) + u" is not found on the page!", u"Quillora",
                     ui::TMsgIcon::Information, ui::TMsgButtons::Ok);
      return giveUp();
    }
    if ((code == ClickTargetByName || code == ClickTargetByValue) && agent.AskConfirm()) {
      const std::u16string differs =
          code == ClickTargetByName ? u" has another Value.\r\n" : u" has another Name.\r\n";
      if (ui::MessageBox(browserWindow_, StepText(step.Name, step.Value) + differs + u"Click it?",
                         u"Question", ui::TMsgIcon::Question,
                         ui::TMsgButtons::YesNo) != ui::IDYES) {
        return giveUp();
      }
    }
    element->click();
    // A click that leaves the page at once is the step doing its work.
    navigationStarted_ = false;
    return true;
  });
}

TClickTargetCode TVxBrowserHelperObject::FindClickTarget(
    const ComPtr<PageBrowser>& browser, const std::u16string& tag, const std::u16string& type,
    const std::u16string& name, const std::u16string& value, ComPtr<PageElement>& element) {
  return Reported(loc::FindClickTarget, [&] {
    element = nullptr;
    if (!browser) return ClickTargetNotFound;
    TEnumReceiver receiver(name, value);
    if (tag == u"a") {
      ComPtr<PageDocument> document;
      Swallowed([&] { document = browser->Document().As<PageDocument>(); });
      if (!document) return ClickTargetNotFound;
      THyperlinks links;
      CollectHyperlinks(document, links);
      for (const THyperlink& link : links) {
        // Areas are links too, but a step of tag "a" was an anchor.
        if (!link.Element.As<PageAnchorElement>()) continue;
        if (receiver.MatchButton(link.Text, link.Href, link.Element)) break;
      }
    } else if (tag == u"button" || (tag == u"input" && LowerCase(type) == u"button")) {
      TElemEnumerator walker;
      if (tag == u"button") {
        walker.OnElement = [&](TWBEnumerator& w, const ComPtr<PageElement>& e) {
          return receiver.OnButton(w, e);
        };
        walker.Enumerate<PageButtonElement>(browser);
      } else {
        walker.OnElement = [&](TWBEnumerator& w, const ComPtr<PageElement>& e) {
          return receiver.OnInputButton(w, e);
        };
        walker.Enumerate<PageInputElement>(browser);
      }
    } else {
      return ClickTargetNotFound;
    }
    const TClickTargetCode code = receiver.Code();
    if (code != ClickTargetNotFound) element = receiver.Found;
    return code;
  });
}

}  // namespace qm
