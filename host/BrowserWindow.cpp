#include "host/BrowserWindow.h"

#include "host/Toolbars.h"

#include "platform/com/PendingEvents.h"
#include "platform/rtl/Utf.h"
#include "platform/ui/Backend.h"
#include "platform/winsys/Messages.h"

namespace qm::host {

using platform::ComObject;
using platform::HRESULT;
using platform::MakeCom;
using platform::PageDocument;
using platform::U8;

namespace {

// The site the helper objects and toolbar bands get: the window's top
// browser as the web browser service, and the window's handle; for bands
// also the focus notices (nothing to do with them here) and a command
// target that knows no commands.
class TBrowserSite final : public ComObject<platform::IServiceProvider, platform::IOleWindow,
                                            platform::IInputObjectSite, platform::IOleCommandTarget> {
public:
  TBrowserSite(ComPtr<PageBrowser> browser, platform::HWND window) : browser_(std::move(browser)), window_(window) {}

  HRESULT QueryService(const platform::GUID& service, const platform::IID& iid, void** object) override {
    if (object == nullptr) return platform::E_POINTER;
    *object = nullptr;
    if (service != platform::SID_SWebBrowserApp || !browser_) return platform::E_NOINTERFACE;
    return browser_->QueryInterface(iid, object);
  }
  HRESULT GetWindow(platform::HWND& window) override {
    window = window_;
    return window_ != platform::NoWindow ? platform::S_OK : platform::E_FAIL;
  }
  HRESULT ContextSensitiveHelp(bool) override { return platform::E_NOTIMPL; }
  HRESULT OnFocusChangeIS(IUnknown*, bool) override { return platform::S_OK; }
  HRESULT QueryStatus(const platform::GUID*, uint32_t, platform::OLECMD*) override {
    return platform::OLECMDERR_E_UNKNOWNGROUP;
  }
  HRESULT Exec(const platform::GUID*, uint32_t, uint32_t, const platform::Variant*, platform::Variant*) override {
    return platform::OLECMDERR_E_UNKNOWNGROUP;
  }

private:
  ComPtr<PageBrowser> browser_;
  platform::HWND window_;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string UrlDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A submission's body for the transcript: url-encoded fields one a line,
// anything else by its size.
std::string DescribeBody(const platform::Variant& postData, const std::u16string& headers) {
  if (postData.GetKind() != platform::Variant::Kind::ByteArray) return {};
  const auto& bytes = postData.AsByteArray().Items;
  const std::string body(bytes.begin(), bytes.end());
  if (U8(headers).find("application/x-www-form-urlencoded") == std::string::npos) {
    return std::to_string(body.size()) + " bytes";
  }
  std::string out;
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    if (end > start) out += "\n" + UrlDecode(body.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

ComPtr<PageDocument> DocumentOf(const ComPtr<PageBrowser>& browser) {
  if (!browser) return {};
  return browser->Document().As<PageDocument>();
}

// Calls visit for each document: the top one, then each frame's in
// document order, depth first. visit answers false to stop.
template <class Visit>
bool ForEachDocument(const ComPtr<PageBrowser>& browser, Visit&& visit, int depth = 0) {
  const ComPtr<PageDocument> document = DocumentOf(browser);
  if (!document || depth > 16) return true;
  if (!visit(document)) return false;
  const auto all = document->all();
  std::vector<ComPtr<PageBrowser>> frames;
  for (int32_t i = 0; all && i < all->length(); ++i) {
    if (auto frame = all->item(i).As<platform::PageFrameElement>()) {
      if (auto content = frame->contentBrowser()) frames.push_back(content);
    }
  }
  for (const auto& frame : frames) {
    if (!ForEachDocument(frame, visit, depth + 1)) return false;
  }
  return true;
}

ComPtr<PageElement> FindElement(const ComPtr<PageBrowser>& browser, std::u16string_view attribute,
                                std::u16string_view wanted) {
  ComPtr<PageElement> found;
  ForEachDocument(browser, [&](const ComPtr<PageDocument>& document) {
    const auto all = document->all();
    for (int32_t i = 0; all && i < all->length(); ++i) {
      const auto element = all->item(i);
      if (!element) continue;
      const platform::Variant value = element->getAttribute(attribute);
      if (value.GetKind() == platform::Variant::Kind::String && value.AsString() == wanted) {
        found = element;
        return false;
      }
    }
    return true;
  });
  return found;
}

std::u16string LabelOf(const ComPtr<PageElement>& element) {
  const platform::Variant name = element->getAttribute(u"name");
  if (name.GetKind() == platform::Variant::Kind::String && !name.AsString().empty()) return name.AsString();
  const platform::Variant id = element->getAttribute(u"id");
  if (id.GetKind() == platform::Variant::Kind::String && !id.AsString().empty()) return u"#" + id.AsString();
  return element->tagName();
}

}  // namespace

ComPtr<PageElement> FindElementById(const ComPtr<PageBrowser>& browser, std::u16string_view id) {
  return FindElement(browser, u"id", id);
}

ComPtr<PageElement> FindElementByName(const ComPtr<PageBrowser>& browser, std::u16string_view name) {
  return FindElement(browser, u"name", name);
}

TBrowserWindow::TBrowserWindow(TBrowserEngine& engine, const std::vector<THelperClass>& helpers,
                               TTranscript& transcript, const std::vector<THelperClass>& toolbars)
    : engine_(engine), classes_(helpers), transcript_(transcript), toolbarClasses_(toolbars) {}

TBrowserWindow::~TBrowserWindow() { Close(); }

void TBrowserWindow::Open() {
  platform::TWindowParams params;
  params.ClassName = u"QuillbrowseWindow";
  params.Text = u"quillbrowse";
  params.Rect = {0, 0, 1024, 768};
  params.Visible = true;
  window_ = platform::CreateWindow(params);
  browser_ = engine_.CreateTopBrowser(window_);
  ConnectTranscriptSink();
  site_ = MakeCom<TBrowserSite>(browser_, window_).As<IUnknown>();
  for (const THelperClass& helperClass : classes_) {
    const std::string clsid = platform::GuidToAscii(helperClass.Clsid);
    void* out = nullptr;
    const HRESULT made = helperClass.Factory->CreateInstance(nullptr, platform::IObjectWithSite::Iid, &out);
    if (platform::Failed(made) || out == nullptr) {
      transcript_.Line("problem", "the helper object " + clsid + " could not be made");
      continue;
    }
    auto helper = ComPtr<platform::IObjectWithSite>::Adopt(static_cast<platform::IObjectWithSite*>(out));
    if (platform::Failed(helper->SetSite(site_.Get()))) {
      transcript_.Line("problem", "the helper object " + clsid + " refused its site");
      continue;
    }
    helpers_.push_back(std::move(helper));
  }
  OpenToolbars();
  // The new window comes to the front.
  platform::ActivateWindow(window_);
}

void TBrowserWindow::OpenToolbars() {
  int32_t nextBandTop = 0;
  for (const THelperClass& toolbarClass : toolbarClasses_) {
    const std::string clsid = platform::GuidToAscii(toolbarClass.Clsid);
    void* out = nullptr;
    const HRESULT made = toolbarClass.Factory->CreateInstance(nullptr, platform::IDeskBand::Iid, &out);
    if (platform::Failed(made) || out == nullptr) {
      transcript_.Line("problem", "the toolbar " + clsid + " could not be made");
      continue;
    }
    TBand band{toolbarClass.Name, ComPtr<platform::IDeskBand>::Adopt(static_cast<platform::IDeskBand*>(out))};
    const auto withSite = band.Band.As<platform::IObjectWithSite>();
    if (!withSite || platform::Failed(withSite->SetSite(site_.Get()))) {
      transcript_.Line("problem", "the toolbar " + clsid + " refused its site");
      continue;
    }
    band.Band->GetWindow(band.Window);
    // One row per band at the top of the window, each as large as it asks.
    platform::TRect area;
    platform::GetWindowRect(window_, area);
    const auto placed = PlaceToolbarBand(*band.Band, static_cast<uint32_t>(bands_.size()), band.Window,
                                         nextBandTop, area.Width());
    if (placed) {
      nextBandTop = placed->Bottom;
    } else {
      transcript_.Line("problem", "the toolbar " + clsid + " gave no sizes; it stays where it is");
    }
    band.Band->ShowDW(true);
    bands_.push_back(std::move(band));
  }
}

void TBrowserWindow::CloseToolbars() {
  for (TBand& band : bands_) {
    band.Band->CloseDW(0);
    if (const auto withSite = band.Band.As<platform::IObjectWithSite>()) withSite->SetSite(nullptr);
  }
  bands_.clear();
  toolbarsReported_.clear();
}

std::vector<platform::HWND> TBrowserWindow::ToolbarWindows() const {
  std::vector<platform::HWND> windows;
  for (const TBand& band : bands_) {
    if (band.Window != platform::NoWindow) windows.push_back(band.Window);
  }
  return windows;
}

void TBrowserWindow::ReportToolbars() {
  // The whole toolbar once, then only the buttons that changed.
  std::vector<std::u16string> lines;
  for (const TBand& band : bands_) {
    lines.push_back(band.Caption);
    for (const TToolbarButtonState& button : ToolbarButtons({band.Window}))
      lines.push_back(DescribeToolbarButtons({button}));
  }
  std::u16string report;
  const bool whole = lines.size() != toolbarsReported_.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (whole || lines[i] != toolbarsReported_[i]) report += (report.empty() ? u"" : u"\n") + lines[i];
  }
  toolbarsReported_ = std::move(lines);
  if (!report.empty()) transcript_.Line("toolbar", report);
}

void TBrowserWindow::Close() {
  CloseToolbars();
  for (auto& helper : helpers_) {
    helper->SetSite(nullptr);
  }
  helpers_.clear();
  if (browser_ && sinkCookie_ != 0) browser_->Unadvise(sinkCookie_);
  sinkCookie_ = 0;
  sink_ = nullptr;
  snapshot_.clear();
  if (browser_) engine_.CloseBrowser(browser_);
  browser_ = nullptr;
  site_ = nullptr;
  if (window_ != platform::NoWindow) platform::DestroyWindow(window_);
  window_ = platform::NoWindow;
}

void TBrowserWindow::ConnectTranscriptSink() {
  auto sink = MakeCom<platform::BrowserEventHandlers>();
  sink->OnBeforeNavigate2 = [this](platform::BrowserEventHandlers&, const ComPtr<PageBrowser>& browser,
                                   const std::u16string& url, int32_t, const std::u16string&,
                                   const platform::Variant& postData, const std::u16string& headers, bool&) {
    const bool top = ComIdentity(browser) == ComIdentity(browser_);
    if (top) ReportChanges();  // what was filled on the page being left
    const std::string where = top ? "" : " (frame)";
    if (!postData.IsEmptyOrNull()) {
      transcript_.Line("submit", "POST " + U8(url) + where + DescribeBody(postData, headers));
    } else {
      transcript_.Line("navigate", U8(url) + where);
    }
  };
  sink->OnDocumentComplete = [this](platform::BrowserEventHandlers&, const ComPtr<PageBrowser>& browser,
                                    const std::u16string& url) {
    if (ComIdentity(browser) != ComIdentity(browser_)) return;
    const auto document = DocumentOf(browser);
    const std::u16string title = document ? document->title() : u"";
    transcript_.Line("page", url + (title.empty() ? u"" : u"  \"" + title + u"\""));
    TakeSnapshot();
  };
  sink_ = ComPtr<platform::PageBrowserEvents>(sink.Get());
  sinkCookie_ = browser_->Advise(sink_);
}

void TBrowserWindow::Navigate(const std::u16string& url) {
  browser_->Navigate(url, {}, {}, {}, {});
}

bool TBrowserWindow::Settle(int maxTurns) {
  for (int turn = 0; turn < maxTurns; ++turn) {
    bool busy = engine_.Pump(browser_);
    busy = platform::HasPendingEvents() || busy;
    busy = platform::PumpWaitingMessages() > 0 || busy;
    if (busy) continue;
    // Nothing queued: the moment a person acts on the forms that are up;
    // what they do may queue more.
    platform::ui::CurrentBackend().Idle();
    if (!platform::HasPendingEvents() && !engine_.Pump(browser_)) return true;
  }
  return false;
}

std::vector<TBrowserWindow::TControlState> TBrowserWindow::ReadControls() {
  std::vector<TControlState> states;
  ForEachDocument(browser_, [&](const ComPtr<PageDocument>& document) {
    const auto all = document->all();
    for (int32_t i = 0; all && i < all->length(); ++i) {
      const auto element = all->item(i);
      if (!element) continue;
      TControlState state;
      if (auto input = element.As<platform::PageInputElement>()) {
        const std::u16string type = input->type();
        if (type == u"hidden" || type == u"submit" || type == u"button" || type == u"reset" ||
            type == u"image" || type == u"file") {
          continue;
        }
        state.Checkable = type == u"checkbox" || type == u"radio";
        state.Value = input->value();
        state.Checked = input->checked();
      } else if (auto select = element.As<platform::PageSelectElement>()) {
        const int32_t index = select->selectedIndex();
        const auto option = index >= 0 ? select->item(index).As<platform::PageOptionElement>() : nullptr;
        state.Value = option ? option->text() : u"";
      } else if (auto area = element.As<platform::PageTextAreaElement>()) {
        state.Value = area->value();
      } else {
        continue;
      }
      state.Element = element;
      state.Label = LabelOf(element);
      states.push_back(std::move(state));
    }
    return true;
  });
  return states;
}

void TBrowserWindow::TakeSnapshot() { snapshot_ = ReadControls(); }

void TBrowserWindow::ReportChanges() {
  std::vector<TControlState> now = ReadControls();
  for (const TControlState& state : now) {
    const auto identity = ComIdentity(state.Element);
    for (const TControlState& before : snapshot_) {
      if (ComIdentity(before.Element) != identity) continue;
      if (state.Checkable) {
        if (state.Checked != before.Checked) {
          transcript_.Line("filled", (state.Checked ? u"checked " : u"unchecked ") + state.Label +
                                         (state.Value.empty() || state.Value == u"on" ? u"" : u" (" + state.Value + u")"));
        }
      } else if (state.Value != before.Value) {
        transcript_.Line("filled", state.Label + u" = " + state.Value);
      }
      break;
    }
  }
  snapshot_ = std::move(now);
}

}  // namespace qm::host
