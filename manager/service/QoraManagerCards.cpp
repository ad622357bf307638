// TQoraManager: form sets, navigation and mail cards, and their defaults.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <unordered_map>

#include "core/Common/QMTransitIndex.h"
#include "core/Common/QMTransitUtils.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"
#include "manager/service/ManagerLimits.h"
#include "manager/service/QoraManager.h"
#include "manager/store/FormSignature.h"
#include "manager/store/SqliteError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {

using platform::Exception;

namespace {

void CheckCardKind(int32_t kind) {
  if (kind != CardKindNavigation && kind != CardKindMail) {
    throw Exception(u"Unknown card kind " + IntToText(kind) +
                    u" (1 is a navigation card, 2 a mail card)");
  }
}

[[noreturn]] void UnknownCard(const String& ownerKey, const String& name) {
  throw Exception(u"Unknown card '" + name + u"' of '" + ownerKey + u"'");
}

// The host of a page key ("https://shop.example:8443/cart" gives
// "shop.example"); the key up to its first slash when it has no scheme.
String HostOf(const String& pageKey) {
  size_t start = pageKey.find(u"://");
  start = start == String::npos ? 0 : start + 3;
  size_t end = pageKey.find_first_of(u"/?#", start);
  if (end == String::npos) end = pageKey.size();
  String host = pageKey.substr(start, end - start);
  const size_t at = host.rfind(u'@');
  if (at != String::npos) host.erase(0, at + 1);
  const size_t colon = host.rfind(u':');
  if (colon != String::npos && host.find(u']') == String::npos) host.erase(colon);
  return Trim(host);
}

}  // namespace

void ReadFormsArgument(const Variant& forms, const char* argument, TTransitFormSet& set,
                       Bytes& bytes) {
  bytes = BytesArgument(forms, argument);
  TMemoryStream stream(bytes);
  const TTransitReadResult result = set.ReadFromStream(stream);
  if (!result) throw Exception(platform::Utf8ToUtf16(argument) + u": " + result.Message());
  if (stream.Remaining() != 0) {
    throw Exception(platform::Utf8ToUtf16(argument) + u": " + IntToText(stream.Remaining()) +
                    u" bytes follow the form set");
  }
  CheckCount(static_cast<size_t>(set.Count()), MaxListItems, argument);
}

struct TQoraManager::TCandidateSet {
  TCardRecord Card;
  bool Readable = false;
  TTransitFormSet Forms;
  std::unordered_map<std::string, std::vector<int>> ByKey;

  // Whether the set holds form (its exact key given) exactly: score 100,
  // same address.
  bool Holds(const TTransitFormCard& form, const std::string& key) const {
    const auto sameKey = ByKey.find(key);
    if (sameKey == ByKey.end()) return false;
    return std::any_of(sameKey->second.begin(), sameKey->second.end(), [&](int i) {
      const TTransitFormCard& s = Forms[i];
      return s.Url == form.Url && s.Method == form.Method && s.Compare(form) == 100;
    });
  }
};

std::unique_ptr<TQoraManager::TCandidateSet> TQoraManager::ReadCandidate(TCardRecord card) {
  auto candidate = std::make_unique<TCandidateSet>();
  candidate->Card = std::move(card);
  candidate->Readable = CardReadable(candidate->Card);
  if (!candidate->Readable) return candidate;
  Bytes data;
  try {
    data = store_->CardData(candidate->Card);
  } catch (const EStoreError& e) {
    // One damaged set must not stop matching for the page: it is left out
    // and told in the log (loading it reports the damage).
    if (log_) log_("MatchPageForms: " + platform::U8(e.Message()));
    return candidate;
  }
  TMemoryStream stream(std::move(data));
  if (!candidate->Forms.ReadFromStream(stream)) return candidate;
  for (int i = 0; i < candidate->Forms.Count(); ++i) {
    candidate->ByKey[TTransitCardIndex::ExactKey(candidate->Forms[i])].push_back(i);
  }
  return candidate;
}

String TQoraManager::ProposedName(const String& pageKey) {
  String base = HostOf(pageKey);
  if (base.empty()) base = u"Card";
  CheckLength(base, MaxNameChars, "the page's host");
  const std::vector<String> names = store_->CardNames(pageKey, -1);
  const auto used = [&](const String& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const String& n) { return SameTextIgnoreCase(n, name); });
  };
  String name = base;
  for (int64_t i = 2; used(name); ++i)
    name = base + u" (" + IntToText(i) + u")";
  return name;
}

std::optional<int64_t> TQoraManager::SaveProtection() {
  const TProfile active = store_->ActiveProfile();
  if (!active.Protected()) return 0;
  if (!Unlocked(active)) return std::nullopt;
  return active.Id;
}

bool TQoraManager::WriteCard(TCardRecord card, const std::vector<TFormSignature>& signatures,
                             bool replacing) {
  bool written = false;
  store_->Write(ChangeData, [&] {
    if (card.Name.empty()) card.Name = ProposedName(card.OwnerKey);
    // Removed, not overwritten: the new card is a new one (its place in
    // saving order, no defaults), as when the removal came on its own.
    if (replacing) store_->DeleteCard(card.OwnerKey, card.Name);
    const std::optional<TCardRecord> existing = store_->FindCard(card.OwnerKey, card.Name);
    if (existing && !CardReadable(*existing)) return;
    store_->SaveCard(card, signatures);
    written = true;
  });
  if (written) NoteChanges(ChangeData);
  return written;
}

HRESULT TQoraManager::GetDefaultCardNames(const String& pageKey, String& existingNames,
                                          String& proposedName) {
  return Serve([&] {
    CheckLength(pageKey, MaxKeyChars, "pageKey");
    std::vector<String> entries;
    store_->Read([&] {
      for (const TCardRecord& card : store_->CardsOf(pageKey, -1)) {
        entries.push_back((store_->IsDefaultForAll(card.Id) ? u"1=" : u"0=") + card.Name);
      }
      proposedName = ProposedName(pageKey);
    });
    existingNames = CommaText(entries);
  });
}

HRESULT TQoraManager::DeleteCard(const String& ownerKey, const String& card, bool& passwordNeeded) {
  return Serve([&] {
    CheckLength(ownerKey, MaxKeyChars, "ownerKey");
    CheckLength(card, MaxNameChars, "card");
    passwordNeeded = false;
    const std::optional<TCardRecord> found = store_->FindCard(ownerKey, card);
    // Deleting what isn't there is no failure: the add-on deletes a name
    // before every save, so that the save replaces it.
    if (!found) return;
    if (!CardReadable(*found)) {
      passwordNeeded = true;
      return;
    }
    // Carried out with the save that replaces the card, or before the next
    // other operation (QoraManager.h).
    pendingDelete_ = TPendingDelete{ownerKey, found->Name};
  });
}

HRESULT TQoraManager::SetDefaultCard(const String& ownerKey, const String& card, bool allProfiles) {
  return Serve([&] {
    CheckLength(ownerKey, MaxKeyChars, "ownerKey");
    CheckLength(card, MaxNameChars, "card");
    const int64_t scope = allProfiles ? 0 : store_->ActiveProfile().Id;
    if (card.empty()) {
      store_->ClearDefaults(ownerKey, scope);
    } else {
      const std::optional<TCardRecord> found = store_->FindCard(ownerKey, card);
      if (!found) UnknownCard(ownerKey, card);
      store_->SetDefaultCard(found->Id, scope);
    }
    NoteChanges(ChangeData);
  });
}

HRESULT TQoraManager::MatchPageForms(const String& url, const Variant& forms, Variant& matches,
                                     String& line, bool& hasMatch) {
  return Serve([&] {
    CheckLength(url, MaxKeyChars, "url");
    TTransitFormSet page;
    Bytes bytes;
    ReadFormsArgument(forms, "forms", page, bytes);
    std::vector<String> entries;
    std::set<int64_t> listed;
    store_->Read([&] {
      // The page's own sets by name only: their streams (often large) are
      // not needed here, and the signature lookup below leaves them out.
      for (const String& name : store_->CardNames(url, StoredFormSet)) {
        entries.push_back(url + u"=" + name);
      }
      // Sets saved for other pages that hold one of this page's forms
      // exactly (score 100, same action address): the signature index
      // names the candidates, Compare decides. A page of many forms has
      // many of one signature: each signature is looked up once, and each
      // candidate set read once and kept by its forms' exact keys.
      std::map<std::tuple<String, String, int64_t>, std::vector<int64_t>> candidates;
      std::map<int64_t, std::unique_ptr<TCandidateSet>> read;
      for (const TTransitFormCard& form : page) {
        const TFormSignature signature = SignatureOf(form);
        const auto [at, isNew] = candidates.try_emplace(
            std::make_tuple(signature.ActionUrl, signature.Method, signature.Shape));
        if (isNew) at->second = store_->CardsWithSignature(signature, url);
        const std::string key = TTransitCardIndex::ExactKey(form);
        for (int64_t id : at->second) {
          if (listed.count(id) > 0) continue;
          std::unique_ptr<TCandidateSet>& stored = read[id];
          if (!stored) stored = ReadCandidate(store_->CardById(id));
          // A set sealed for a locked profile cannot be read: its stored
          // signature stands for it, and loading it asks for the password.
          if (stored->Readable && !stored->Holds(form, key)) continue;
          entries.push_back(stored->Card.OwnerKey + u"=" + stored->Card.Name);
          listed.insert(id);
        }
      }
      const String chosen = store_->DefaultCardName(StoredFormSet, url, store_->ActiveProfile().Id);
      line = entries.empty() ? String() : chosen.empty() ? entries.front() : url + u"=" + chosen;
    });
    hasMatch = !entries.empty();
    matches = hasMatch ? Variant::FromStrings(std::move(entries)) : Variant();
  });
}

HRESULT TQoraManager::LoadFormSet(const String& formSet, const String& card, Variant& cardStream,
                                  bool& passwordNeeded) {
  return Serve([&] {
    CheckLength(formSet, MaxKeyChars, "formSet");
    CheckLength(card, MaxNameChars, "card");
    cardStream = Variant();
    passwordNeeded = false;
    const std::optional<TCardRecord> found = store_->FindCard(formSet, card);
    if (!found || found->Kind != StoredFormSet) UnknownCard(formSet, card);
    if (!CardReadable(*found)) {
      passwordNeeded = true;
      return;
    }
    cardStream = Variant::FromBytes(store_->CardData(*found));
  });
}

void TQoraManager::SaveNewCard(TCardRecord card, const std::vector<TFormSignature>& signatures,
                               bool replacing, bool& saved, bool& passwordNeeded) {
  const std::optional<int64_t> protection = SaveProtection();
  if (!protection) {
    // The log-in the add-on asks for next leaves the removal pending.
    if (replacing) pendingDelete_ = TPendingDelete{card.OwnerKey, card.Name};
    saved = false;
    passwordNeeded = true;
    return;
  }
  card.ProtectedBy = *protection;
  saved = WriteCard(std::move(card), signatures, replacing);
  passwordNeeded = !saved;
}

HRESULT TQoraManager::SaveFormSet(const String& url, const String& name, const String& title,
                                  const Variant& forms, bool& saved, bool& passwordNeeded) {
  return Serve(
      [&] {
        // Taken first: a save of that card that fails keeps the old one.
        const bool replacing = TakePendingDelete(url, name);
        CheckLength(url, MaxKeyChars, "url");
        CheckLength(name, MaxNameChars, "name");
        CheckLength(title, MaxValueChars, "title");
        saved = false;
        passwordNeeded = false;
        TTransitFormSet set;
        TCardRecord card;
        ReadFormsArgument(forms, "forms", set, card.Data);
        if (set.Empty()) throw Exception(u"forms holds no form");
        card.Kind = StoredFormSet;
        card.OwnerKey = url;
        card.Name = name;
        card.Title = title;
        SaveNewCard(std::move(card), SignaturesOf(set), replacing, saved, passwordNeeded);
      },
      false);
}

HRESULT TQoraManager::FindFormSet(const String& url, const Variant& forms, String& name) {
  return Serve([&] {
    CheckLength(url, MaxKeyChars, "url");
    TTransitFormSet wanted;
    Bytes bytes;
    ReadFormsArgument(forms, "forms", wanted, bytes);
    name.clear();
    if (wanted.Empty()) return;
    std::vector<String> texts;
    for (const TTransitFormCard& form : wanted)
      texts.push_back(form.FieldsText());
    for (const TCardRecord& card : store_->CardsOf(url, StoredFormSet)) {
      if (!CardReadable(card)) continue;
      TMemoryStream stream(store_->CardData(card));
      TTransitFormSet stored;
      if (!stored.ReadFromStream(stream)) continue;
      // Every wanted form is there with the same values.
      bool all = true;
      int index = 0;
      for (const TTransitFormCard& form : wanted) {
        const String& text = texts[index++];
        all = all && std::any_of(stored.begin(), stored.end(), [&](const auto& s) {
                return s.Method == form.Method && s.Url == form.Url && s.FieldsText() == text;
              });
      }
      if (all) {
        name = card.Name;
        return;
      }
    }
  });
}

HRESULT TQoraManager::FindCard(int32_t kind, const String& url, const Variant& data, String& name) {
  return Serve([&] {
    CheckCardKind(kind);
    CheckLength(url, MaxKeyChars, "url");
    const Bytes bytes = BytesArgument(data, "data");
    name.clear();
    for (const TCardRecord& card : store_->CardsOf(url, kind)) {
      if (CardReadable(card) && store_->CardData(card) == bytes) {
        name = card.Name;
        return;
      }
    }
  });
}

HRESULT TQoraManager::SaveCard(int32_t kind, const String& url, const String& name,
                               const String& title, const Variant& data, bool& saved,
                               bool& passwordNeeded) {
  return Serve(
      [&] {
        // Taken first: a save of that card that fails keeps the old one.
        const bool replacing = TakePendingDelete(url, name);
        CheckCardKind(kind);
        CheckLength(url, MaxKeyChars, "url");
        CheckLength(name, MaxNameChars, "name");
        CheckLength(title, MaxValueChars, "title");
        saved = false;
        passwordNeeded = false;
        TCardRecord card;
        card.Data = BytesArgument(data, "data");
        if (card.Data.empty()) throw Exception(u"data is empty");
        card.Kind = kind;
        card.OwnerKey = url;
        card.Name = name;
        card.Title = title;
        SaveNewCard(std::move(card), {}, replacing, saved, passwordNeeded);
      },
      false);
}

HRESULT TQoraManager::ListCards(int32_t kind, const String& url, Variant& list, String& selected) {
  return Serve([&] {
    CheckCardKind(kind);
    CheckLength(url, MaxKeyChars, "url");
    std::vector<String> entries;
    store_->Read([&] {
      selected = store_->DefaultCardName(kind, url, store_->ActiveProfile().Id);
      for (const String& name : store_->CardNames(url, kind)) {
        entries.push_back((SameTextIgnoreCase(name, selected) ? u"1=" : u"0=") + name);
      }
    });
    list = entries.empty() ? Variant() : Variant::FromStrings(std::move(entries));
  });
}

HRESULT TQoraManager::LoadCard(int32_t kind, const String& url, const String& name, Variant& data,
                               bool& passwordNeeded) {
  return Serve([&] {
    CheckCardKind(kind);
    CheckLength(url, MaxKeyChars, "url");
    CheckLength(name, MaxNameChars, "name");
    data = Variant();
    passwordNeeded = false;
    const std::optional<TCardRecord> found = store_->FindCard(url, name);
    if (!found || found->Kind != kind) UnknownCard(url, name);
    if (!CardReadable(*found)) {
      passwordNeeded = true;
      return;
    }
    data = Variant::FromBytes(store_->CardData(*found));
  });
}

}  // namespace qm::manager
