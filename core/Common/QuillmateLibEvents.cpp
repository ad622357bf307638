#include "core/Common/QuillmateLibEvents.h"

#include "core/Common/VxSystem.h"

namespace qm {

using platform::ComPtr;
using platform::DISPID;
using platform::DispParams;
using platform::IConnectionPoint;
using platform::IConnectionPointContainer;
using platform::IUnknown;
using platform::Variant;

TQuillmateLibEventsBaseSink::TArguments::TArguments(const DispParams& params)
    : map_(params.Args.size(), nullptr) {
  const int n = static_cast<int>(params.Args.size());
  // Positional arguments come last-first.
  for (int j = 0; j < n; ++j)
    map_[j] = &params.Args[n - 1 - j];
  // A named argument sits where it was passed; a name outside the declared
  // range has no slot and is ignored.
  const int named = std::min(n, static_cast<int>(params.NamedArgs.size()));
  for (int i = 0; i < named; ++i) {
    const DISPID k = params.NamedArgs[i];
    if (k >= 0 && k < n) map_[k] = &params.Args[i];
  }
}

const Variant& TQuillmateLibEventsBaseSink::TArguments::Arg(int declared) const {
  if (declared < 0 || declared >= Count()) {
    throw EOleSysError(platform::StatusText(platform::DISP_E_BADPARAMCOUNT),
                       platform::DISP_E_BADPARAMCOUNT);
  }
  return *map_[declared];
}

TQuillmateLibEventsBaseSink::TQuillmateLibEventsBaseSink(const platform::IID& eventsIid,
                                                         std::u16string className)
    : eventsIid_(eventsIid), className_(std::move(className)), name_(className_) {}

TQuillmateLibEventsBaseSink::~TQuillmateLibEventsBaseSink() {
  Disconnect();
}

void TQuillmateLibEventsBaseSink::Connect(const ComPtr<IUnknown>& server) {
  Disconnect();
  // Only what the server says about its own failure may explain it: error
  // information left over from earlier calls must not.
  auto check = [](HRESULT status) {
    platform::OleCheck(status);
    platform::ClearErrorInfo();
  };
  auto fail = [](HRESULT status) { throw EOleSysError(platform::StatusText(status), status); };
  try {
    if (!server) fail(platform::E_POINTER);
    auto container = server.As<IConnectionPointContainer>();
    if (!container) fail(platform::E_NOINTERFACE);
    ComPtr<IConnectionPoint> point;
    platform::ClearErrorInfo();
    check(container->FindConnectionPoint(eventsIid_, point));
    if (!point) fail(platform::E_POINTER);
    uint32_t cookie = 0;
    check(point->Advise(static_cast<platform::IDispatch*>(this), cookie));
    cookie_ = cookie;
    connectionPoint_ = std::move(point);
    source_ = server;
  } catch (const std::exception& e) {
    throw Exception(u"Unable to connect " + name_ + u".\r" + FromStdException(e).Message());
  }
}

void TQuillmateLibEventsBaseSink::Disconnect() noexcept {
  if (!source_) return;
  // Taken out first: the detach may release this sink's last outside
  // reference, and nothing here may be used twice.
  ComPtr<IConnectionPoint> point = std::move(connectionPoint_);
  ComPtr<IUnknown> source = std::move(source_);
  const uint32_t cookie = cookie_;
  cookie_ = 0;
  if (point) (void)point->Unadvise(cookie);
}

HRESULT TQuillmateLibEventsBaseSink::GetTypeInfoCount(uint32_t& count) {
  count = 0;
  return platform::S_OK;
}

HRESULT TQuillmateLibEventsBaseSink::GetIDsOfNames(const std::vector<std::u16string>&,
                                                   std::vector<DISPID>& ids) {
  ids.clear();
  return platform::E_NOTIMPL;
}

HRESULT TQuillmateLibEventsBaseSink::Invoke(DISPID id, uint16_t flags, const DispParams& params,
                                            Variant* result) {
  // Held for the call: a handler may drop the owner's reference.
  ComPtr<TQuillmateLibEventsBaseSink> self(this);
  HRESULT answer = platform::S_OK;
  const HRESULT status = SafeCallEdge([&] {
    if (result != nullptr) *result = Variant();
    if ((flags & platform::DISPATCH_METHOD) == 0) {
      throw Exception(className_ + u" only supports sinking of method calls!");
    }
    answer = InvokeEvent(id, TArguments(params));
  });
  return platform::Failed(status) ? platform::DISP_E_EXCEPTION : answer;
}

void* TQuillmateLibEventsBaseSink::QueryExtraInterface(const platform::IID& iid) {
  // The outgoing interface is served late-bound, by this IDispatch.
  if (iid == eventsIid_) return static_cast<platform::IDispatch*>(this);
  return nullptr;
}

TQuillmateLibIQoraServerEvents::TQuillmateLibIQoraServerEvents()
    : TQuillmateLibEventsBaseSink(DIID_IQoraServerEvents, u"TQuillmateLibIQoraServerEvents") {}

HRESULT TQuillmateLibIQoraServerEvents::InvokeEvent(DISPID id, const TArguments& args) {
  auto raise = [this](const TIQoraServerEventsOnQuitEvent& event) {
    if (event) event(*this);
  };
  switch (id) {
    case DISPID_OnQuit:
      raise(OnQuit);
      break;
    case DISPID_OnLanguageChange:
      raise(OnLanguageChange);
      break;
    case DISPID_OnLogin: {
      const Variant& value = args.Arg(0);
      // A 16-bit boolean as sent; an integer counts as true when non-zero.
      const platform::VARIANT_BOOL flag =
          value.GetKind() == Variant::Kind::Bool
              ? value.AsBool16()
              : (value.AsBool() ? platform::VARIANT_TRUE : platform::VARIANT_FALSE);
      if (OnLogin) OnLogin(*this, flag);
      break;
    }
    case DISPID_OnLexiconChange:
      raise(OnLexiconChange);
      break;
    case DISPID_OnDatabaseChange:
      raise(OnDatabaseChange);
      break;
    default:
      return platform::DISP_E_MEMBERNOTFOUND;
  }
  return platform::S_OK;
}

}  // namespace qm
