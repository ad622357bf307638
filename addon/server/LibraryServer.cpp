// The add-on's own server, made on the first call of an entry point: its
// type library and its factories in registration order (the toolbar
// band's, the helper object's, the automation object's).
#include "addon/BHO/BHOUnit.h"
#include "addon/Common/QMAgentObject.h"
#include "addon/Common/QuillmateTLB.h"
#include "addon/server/QuillmateServer.h"
#include "addon/server/ToolbarFactory.h"
#include "addon/toolband/IEToolbar.h"
#include "platform/com/BandInterfaces.h"

namespace qm::server {
namespace {

// The type library's description in the server's terms: its classes by
// name and description, its interfaces for their registration.
TTypeLibraryInfo LibraryInfo() {
  const TTypeLibrary& library = QuillmateTypeLibrary();
  TTypeLibraryInfo info{library.Id, library.Name, library.HelpString, library.MajorVersion,
                        library.MinorVersion, {}};
  for (const TTypeInfoEntry& entry : library.Entries) {
    if (entry.Kind == TTypeKind::CoClass) info.Classes.push_back({entry.Id, entry.Name, entry.HelpString});
  }
  return info;
}

std::vector<TTypeLibraryInterface> LibraryInterfaces() {
  std::vector<TTypeLibraryInterface> interfaces;
  for (const TTypeInfoEntry& entry : QuillmateTypeLibrary().Entries) {
    if (entry.Kind == TTypeKind::Interface || entry.Kind == TTypeKind::DispatchInterface) {
      interfaces.push_back({entry.Id, entry.Name});
    }
  }
  return interfaces;
}

}  // namespace

TComServer& LibraryServer() {
  // Never destroyed: the library may be asked for its factories until the
  // process ends, and factories handed out must outlive every caller.
  static TComServer* server = [] {
    auto* made = new TComServer(QuillmateServerName);
    made->SetTypeLibrary(LibraryInfo(), TypeLibraryRegistration(LibraryInterfaces()));
    made->Add(platform::MakeCom<TDriftbookToolbarFactory>(
        *made, CLASS_IEToolbar, u"Quillora Bar", platform::CATID_DeskBand, true,
        [] { return platform::MakeCom<TIEToolbar>().As<IUnknown>(); }));
    made->Add(platform::MakeCom<TVxBrowserHelperObjectFactory>(*made, [] { return CreateVxBrowserHelperObject(); }));
    made->Add(platform::MakeCom<TAutoObjectFactory>(
        *made, CLASS_QMAgent, TInstancing::MultiInstance, TThreadingModel::Apartment,
        [] { return CreateQMAgentObject().As<IUnknown>(); }));
    return made;
  }();
  return *server;
}

}  // namespace qm::server
