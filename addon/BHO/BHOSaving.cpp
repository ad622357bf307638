// Saving what the user submits and records, the fill dialog's card
// commands, and the page note.
//
// A page's forms are stored as one form set under the page key: at once
// when the options say so, otherwise under a name the user gives in the
// store dialog. Before every save the card of the chosen name is deleted,
// so that the new one replaces it; a protected card or profile asks for the
// password first, and a refused log-in lets the user pick another name.
#include <memory>
#include <string>

#include "addon/BHO/BHOUnit.h"
#include "addon/dialogs/StoreDialogUnit.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/com/ErrorInfo.h"
#include "platform/ui/Backend.h"

namespace qm {

namespace {

constexpr char16_t QuilloraCaption[] = u"Quillora";
constexpr char16_t QuestionCaption[] = u"Question";
constexpr char16_t FormCardCaption[] = u"Save form-card";
constexpr char16_t NavigationsCaption[] = u"Save navigations";
constexpr char16_t NewFormCardName[] = u"New form-card";
constexpr char16_t NoFormsMessage[] = u"There are not forms on the page!";
constexpr char16_t SelectFormQuestion[] =
    u"There are more than one form on the page.\r\nAre you want to select a form to submit?";
constexpr char16_t SubmissionQuestion[] = u"May be form submition!\r\nSave it?";

// DeleteCard until it needs no password; false when the user refused to
// log in (nothing was deleted).
bool DeleteCardLoggedIn(TQuillmateAgent& agent, IQoraServer& server, const String& owner,
                        const String& name) {
  for (;;) {
    bool passwordNeeded = false;
    platform::OleCheck(server.DeleteCard(owner, name, passwordNeeded));
    if (!passwordNeeded) return true;
    if (!agent.Login()) return false;
  }
}

// Step by step what naming a form set takes: the page's names, the store
// dialog, the old card of that name out of the way. false: cancelled.
bool AskFormSetName(TQuillmateAgent& agent, TQMStoreDialog& dialog, IQoraServer& server,
                    const String& pageKey, String& name, int& defaultChoice) {
  String existing;
  String proposed;
  platform::OleCheck(server.GetDefaultCardNames(pageKey, existing, proposed));
  name = proposed.empty() ? String(NewFormCardName) : proposed;
  for (;;) {
    defaultChoice = DefaultForAllProfiles;
    bool onlyEmpty = false;
    if (!dialog.ExecuteWithFillOption(FormCardCaption, existing, defaultChoice, onlyEmpty, name,
                                      agent.ActiveProfile())) {
      return false;
    }
    // A refused log-in: the user may choose a name that needs none.
    if (DeleteCardLoggedIn(agent, server, pageKey, name)) return true;
  }
}

// SaveFormSet, logging in while the manager asks for the password; false
// when nothing was saved (also after a refused log-in).
bool SaveFormSetLoggedIn(TQuillmateAgent& agent, IQoraServer& server, const String& pageKey,
                         const String& name, const Variant& forms) {
  for (;;) {
    bool saved = false;
    bool passwordNeeded = false;
    platform::OleCheck(
        server.SaveFormSet(pageKey, name, agent.PageUrl(), forms, saved, passwordNeeded));
    if (saved || !passwordNeeded) return saved;
    if (!agent.Login()) return false;
  }
}

}  // namespace

std::unique_ptr<TQMStoreDialog> TVxBrowserHelperObject::MakeStoreDialog() const {
  // The banner strip needs this much room in the store dialog.
  constexpr int BannerStoreMinWidth = 476;
  constexpr int BannerStoreMinHeight = 320;
  auto dialog = std::make_unique<TQMStoreDialog>(browserWindow_);
  if (agent_->BannerMode() == 1) {
    ui::TSizeConstraints constraints = dialog->Constraints();
    constraints.MinWidth = BannerStoreMinWidth;
    constraints.MinHeight = BannerStoreMinHeight;
    dialog->SetConstraints(constraints);
    agent_->AttachBanner(*dialog);
  }
  return dialog;
}

void TVxBrowserHelperObject::SaveForms(TFormItem* item) {
  Reported(loc::SaveForms, [&] {
    try {
      TQuillmateAgent& agent = *agent_;
      if (item != nullptr && (!agent.GetActive() || agent.OnSubmit() == 0)) return;
      if (!agent.IsConnected()) return;
      const ComPtr<IQoraServer> server = Server();
      if (!server) return;
      if (item == nullptr) RescanForms();
      if (pageForms_->Empty()) {
        ui::MessageBox(browserWindow_, NoFormsMessage, QuilloraCaption, ui::TMsgIcon::None,
                       ui::TMsgButtons::Ok);
        return;
      }
      TTransitFormSet set;
      pageForms_->BuildTransitSet(set, CardPartsAll);
      TMemoryStream stream;
      set.WriteToStream(stream);
      const Variant forms = StreamToVariant(stream);
      const String pageKey = agent.PageKey();
      String found;
      platform::OleCheck(server->FindFormSet(pageKey, forms, found));
      // A submission the stored set already holds is nothing new.
      if (item != nullptr && !found.empty()) return;
      const int mode = item != nullptr ? agent.OnSubmit() : 1;
      String name;
      int defaultChoice = DefaultForNobody;
      if (mode == 1 &&
          !AskFormSetName(agent, *MakeStoreDialog(), *server, pageKey, name, defaultChoice)) {
        return;
      }
      const bool saved = SaveFormSetLoggedIn(agent, *server, pageKey, name, forms);
      if (saved && defaultChoice > DefaultForNobody) {
        platform::OleCheck(
            server->SetDefaultCard(pageKey, name, defaultChoice == DefaultForAllProfiles));
      }
      RefreshAfterChange();
      if (saved && item == nullptr && pageForms_->Count() > 1 &&
          ui::MessageBox(browserWindow_, SelectFormQuestion, QuestionCaption,
                         ui::TMsgIcon::Question, ui::TMsgButtons::YesNo) == ui::IDYES) {
        agent.ShowManager(Variant(), Variant::FromString(pageKey), Variant::FromString(name));
      }
    } catch (const EBeforeNavigate&) {
      navigationStarted_ = false;  // the page is being left; so is its saving
    }
  });
}

void TVxBrowserHelperObject::OnFormSubmitted(TFormItem& item) {
  Reported(loc::OnFormSubmitted, [&] {
    // A submission the helper object makes itself (auto submit) is no
    // user's; the flag ends with the navigation's BeforeNavigate2.
    if (submitInProgress_) return;
    submitInProgress_ = true;
    SaveForms(&item);
  });
}

void TVxBrowserHelperObject::AskSaveSubmission() {
  if (ui::MessageBox(browserWindow_, SubmissionQuestion, QuestionCaption, ui::TMsgIcon::Question,
                     ui::TMsgButtons::YesNo) == ui::IDYES) {
    SaveForms(nullptr);
  }
}

void TVxBrowserHelperObject::SaveNavigations(const std::u16string& firstUrl,
                                             const Variant& recording) {
  Reported(loc::SaveNavigations, [&] {
    if (firstUrl.empty() || recording.IsEmptyOrNull() || !agent_->IsConnected()) return;
    // Every failure on the way ends the saving quietly: the recording was
    // the user's to keep or not, and nothing was half-stored.
    Swallowed([&] {
      TQuillmateAgent& agent = *agent_;
      const ComPtr<IQoraServer> server = Server();
      if (!server) return;
      RefreshProfiles();
      String name;
      platform::OleCheck(server->FindCard(CardKindNavigation, firstUrl, recording, name));
      String existing;
      String proposed;
      platform::OleCheck(server->GetDefaultCardNames(firstUrl, existing, proposed));
      if (name.empty()) name = proposed;
      const auto dialog = MakeStoreDialog();
      bool passwordNeeded = false;
      do {
        int defaultChoice = DefaultForActiveProfile;
        if (!dialog->Execute(NavigationsCaption, existing, defaultChoice, name,
                             agent.ActiveProfile())) {
          return;
        }
        if (!DeleteCardLoggedIn(agent, *server, firstUrl, name)) {
          passwordNeeded = true;  // another name, perhaps
          continue;
        }
        bool saved = false;
        platform::OleCheck(server->SaveCard(CardKindNavigation, firstUrl, name, firstUrl, recording,
                                            saved, passwordNeeded));
        if (saved && defaultChoice > DefaultForNobody) {
          platform::OleCheck(
              server->SetDefaultCard(firstUrl, name, defaultChoice == DefaultForAllProfiles));
        }
        // Asked again only once the user has logged in: without the log-in
        // the same answer would come back for ever.
        if (passwordNeeded && !agent.Login()) return;
      } while (passwordNeeded);
    });
  });
}

void TVxBrowserHelperObject::SetDefaultCardCommand(const std::u16string& first,
                                                   const std::u16string& second) {
  if (!agent_->IsConnected()) return;
  const ComPtr<IQoraServer> server = Server();
  if (!server) return;
  platform::OleCheck(server->SetDefaultCard(first, second, false));
  RefreshAfterChange();
}

void TVxBrowserHelperObject::DeleteCardCommand(const std::u16string& first,
                                               const std::u16string& second) {
  if (!agent_->IsConnected()) return;
  const ComPtr<IQoraServer> server = Server();
  if (!server) return;
  if (DeleteCardLoggedIn(*agent_, *server, first, second)) RefreshAfterChange();
}

void TVxBrowserHelperObject::UpdatePageNote(bool fetch) {
  Reported(loc::UpdatePageNote, [&] {
    String text;
    if (fetch && agent_->IsConnected()) {
      const String pageKey = agent_->PageKey();
      bool known = noteUrl_ == pageKey;
      if (!known) {
        const ComPtr<IQoraServer> server = Server();
        String title;
        String body;
        if (server && platform::Succeeded(server->GetPageNote(pageKey, title, body))) {
          noteUrl_ = pageKey;
          noteTitle_ = title;
          noteText_ = body;
          known = true;
        } else {
          platform::ClearErrorInfo();
        }
      }
      if (known && !noteTitle_.empty() && !noteText_.empty()) {
        text = u"======\r\n" + noteTitle_ + u"\r\n------\r\n" + noteText_ + u"\r\n";
      }
    }
    agent_->SetNoteText(text);
    if (!agent_->NoteText().empty()) agent_->ShowDialogUnlessDismissed();
  });
}

}  // namespace qm
