#include "addon/server/QuillmateServer.h"

#include "platform/registry/BrowserKeys.h"

namespace qm::server {

TVxBrowserHelperObjectFactory::TVxBrowserHelperObjectFactory(TComServer& server, TCreate create)
    : TComObjectFactory(server, CLASS_VxBrowserHelperObject, u"VxBrowserHelperObject", u"Quillmate Helper",
                        TInstancing::MultiInstance, TThreadingModel::Apartment),
      create_(std::move(create)) {}

void TVxBrowserHelperObjectFactory::UpdateRegistry(bool reg, const std::u16string& fileName) {
  TComObjectFactory::UpdateRegistry(reg, fileName);
  const std::u16string key =
      std::u16string(platform::BrowserHelperObjectsKey) + u"\\" + platform::GuidToString(ClassID());
  if (reg) {
    CreateRegKey(platform::TRegRoot::LocalMachine, key, u"", Description());
  } else {
    DeleteRegKey(platform::TRegRoot::LocalMachine, key);
  }
}

ComPtr<IUnknown> TVxBrowserHelperObjectFactory::CreateComObject() {
  return ComPtr<IUnknown>(create_());
}

}  // namespace qm::server
