// The add-on's own server, made on the first call of an entry point: its
// factories in registration order (the toolbar band's and the automation
// object's join with their units), the helper object's now.
#include "addon/BHO/BHOUnit.h"
#include "addon/server/QuillmateServer.h"

namespace qm::server {

TComServer& LibraryServer() {
  // Never destroyed: the library may be asked for its factories until the
  // process ends, and factories handed out must outlive every caller.
  static TComServer* server = [] {
    auto* made = new TComServer(QuillmateServerName);
    made->Add(platform::MakeCom<TVxBrowserHelperObjectFactory>(*made, [] { return CreateVxBrowserHelperObject(); }));
    return made;
  }();
  return *server;
}

}  // namespace qm::server
