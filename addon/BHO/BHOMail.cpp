// Mail cards: storing one for a clicked "mailto" link, and composing a
// stored one when its page loads (or the fill dialog asks), through the
// platform's simple mail interface.
#include "addon/BHO/BHOUnit.h"
#include "addon/BHO/MSHTMLUtils.h"
#include "addon/BHO/MailCard.h"
#include "addon/dialogs/StoreDialogUnit.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "platform/com/ErrorInfo.h"
#include "platform/net/MailComposer.h"
#include "platform/ui/Backend.h"

namespace qm {

namespace ui = platform::ui;
using platform::PageAnchorElement;

namespace {}  // namespace

void TVxBrowserHelperObject::SaveMailCard(const std::u16string& linkAddress) {
  // A click is no place for an error message: whatever fails, the click
  // goes on and nothing is stored.
  Swallowed([&] {
    RefreshProfiles();
    const TMailCard card = ParseMailto(linkAddress);
    // "mailto:" alone, or "mailto:?subject=...", names nobody to write to.
    if (card.Address.empty()) return;
    const Variant data = MailCardToVariant(card);
    const ComPtr<IQoraServer> server = Server();
    if (!server) return;
    const std::u16string pageKey = agent_->PageKey();
    std::u16string existing;
    platform::OleCheck(server->FindCard(CardKindMail, pageKey, data, existing));
    if (!existing.empty()) return;  // the page has this card already
    std::u16string names;
    std::u16string name;
    platform::OleCheck(server->GetDefaultCardNames(pageKey, names, name));
    const auto dialog = MakeStoreDialog();
    while (true) {
      int defaultChoice = DefaultForActiveProfile;
      if (!dialog->Execute(u"Save mail card", names, defaultChoice, name,
                           agent_->ActiveProfile())) {
        return;
      }
      // Deleting first makes the save replace a card of the same name.
      bool passwordNeeded = false;
      platform::OleCheck(server->DeleteCard(pageKey, name, passwordNeeded));
      if (passwordNeeded && !agent_->Login()) continue;
      bool saved = false;
      platform::OleCheck(server->SaveCard(CardKindMail, pageKey, name, agent_->PageUrl(), data,
                                          saved, passwordNeeded));
      if (saved && defaultChoice > DefaultForNobody) {
        platform::OleCheck(
            server->SetDefaultCard(pageKey, name, defaultChoice == DefaultForAllProfiles));
      }
      if (!passwordNeeded) return;
    }
  });
}

void TVxBrowserHelperObject::SendMailCardCommand(const std::u16string& address,
                                                 const std::u16string& cardName) {
  if (!agent_->IsConnected()) return;
  bool passwordNeeded = false;
  do {
    SendMailCard(browser_, address, passwordNeeded, cardName);
  } while (passwordNeeded && agent_->Login());
}

bool TVxBrowserHelperObject::SendStoredMailCard(const ComPtr<PageBrowser>& browser) {
  const std::u16string name = agent_->SelectedMailCard();
  if (name.empty()) return false;
  bool passwordNeeded = false;
  return SendMailCard(browser, agent_->PageKey(), passwordNeeded, name);
}

bool TVxBrowserHelperObject::SendMailCard(const ComPtr<PageBrowser>& browser,
                                          const std::u16string& pageKey, bool& passwordNeeded,
                                          const std::u16string& cardName) {
  passwordNeeded = false;
  Variant data;
  const ComPtr<IQoraServer> server = Server();
  HRESULT status = platform::E_FAIL;
  if (server) {
    Swallowed(
        [&] { status = server->LoadCard(CardKindMail, pageKey, cardName, data, passwordNeeded); });
  }
  if (platform::Failed(status)) {
    platform::ClearErrorInfo();
    return false;
  }
  // A card that can't be read yet (protected) or at all is no message: an
  // empty address would take the page's first "mailto" link for its own.
  if (passwordNeeded || data.IsEmptyOrNull()) return false;
  const std::optional<TMailCard> card = MailCardFromVariant(data);
  if (!card || card->Address.empty()) return false;
  const std::u16string sent = card->Subject + u"[" + card->Body + u"]";
  if (!TraceOrAskToGoOn(pageKey, card->Address, AutoMailSent, sent, u"Warning")) return false;
  if (!FindMailLink(browser, card->Address)) return false;
  // The composer's answer changes nothing here: the user sees the message
  // or doesn't, and the page was served either way.
  platform::ComposeMail(card->Address, card->Subject, card->Body);
  return true;
}

ComPtr<PageElement> TVxBrowserHelperObject::FindMailLink(const ComPtr<PageBrowser>& browser,
                                                         const std::u16string& address) {
  if (!browser || address.empty()) return nullptr;
  ComPtr<PageDocument> document;
  Swallowed([&] { document = browser->Document().As<PageDocument>(); });
  if (!document) return nullptr;
  THyperlinks links;
  CollectHyperlinks(document, links);
  const std::u16string wanted = u"mailto:" + address;
  for (const THyperlink& link : links) {
    if (link.Href.starts_with(wanted) && link.Element.As<PageAnchorElement>()) return link.Element;
  }
  return nullptr;
}

}  // namespace qm
