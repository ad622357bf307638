#include "addon/server/QuillmateServer.h"


namespace qm::server {

TVxBrowserHelperObjectFactory::TVxBrowserHelperObjectFactory(TComServer& server, TCreate create)
    : TComObjectFactory(server, CLASS_VxBrowserHelperObject, u"VxBrowserHelperObject", u"Quillmate Helper",
                        TInstancing::MultiInstance, TThreadingModel::Apartment),
      create_(std::move(create)) {}

void TVxBrowserHelperObjectFactory::UpdateRegistry(bool reg, const std::u16string& fileName) {
  TComObjectFactory::UpdateRegistry(reg, fileName);
  UpdateHelperObjectKey(reg, ClassID(), Description());
}

ComPtr<IUnknown> TVxBrowserHelperObjectFactory::CreateComObject() {
  return ComPtr<IUnknown>(create_());
}

}  // namespace qm::server
