// The stored world the manager's benchmarks run against: 10,000 form sets
// saved over 1,000 page keys of 100 sites (KeyOf), each set a form of its
// own page and, in every tenth set, the site's search form, which the
// site's other pages share. Made the same every run.
#pragma once

#include <string>

#include "core/Common/QMTransitUtils.h"
#include "manager/store/FormSignature.h"
#include "manager/store/ManagerStore.h"
#include "platform/rtl/Utf.h"

namespace qm::manager::bench {

inline constexpr int PageKeys = 1000;
inline constexpr int SetsPerKey = 10;
inline constexpr int KeysPerSite = 10;

inline String Text(const std::string& text) {
  return platform::Utf8ToUtf16(text);
}
inline String KeyOf(int key) {
  return Text("https://site" + std::to_string(key / KeysPerSite) + ".example/page" +
              std::to_string(key));
}

inline TTransitField Field(int32_t index, const String& name, const char16_t* type, const String& value) {
  TTransitField field;
  field.ElementIndex = index;
  field.Name = name;
  field.TagName = u"input";
  field.InputType = type;
  field.Value = value;
  return field;
}

// The form a page key's set j holds: a form of its own, and in every
// tenth set the site's search form, which the site's other pages have too.
inline TTransitFormSet PageForms(int key, int set) {
  TTransitFormSet forms;
  TTransitFormCard& own = forms.Add();
  own.Url = KeyOf(key) + Text("/submit" + std::to_string(set % 3));
  own.Method = u"post";
  for (int i = 0; i < 8; ++i) {
    own.Fields.Add(Field(i, Text("field" + std::to_string(i)), u"text",
                         Text("value " + std::to_string(set * 8 + i))));
  }
  own.Fields.Add(Field(8, u"go", u"submit", u"Send"));
  own.Fields.Add(Field(-1, u"token", u"hidden", u"abc"));
  if (set == 0) {
    TTransitFormCard& search = forms.Add();
    search.Url = Text("https://site" + std::to_string(key / KeysPerSite) + ".example/search");
    search.Method = u"get";
    search.Fields.Add(Field(0, u"q", u"text", u""));
    search.Fields.Add(Field(1, u"find", u"submit", u"Search"));
  }
  return forms;
}

inline Bytes StreamOf(const TTransitFormSet& set) {
  TMemoryStream stream;
  set.WriteToStream(stream);
  return stream.Bytes();
}

// Saves the world into store, in one transaction.
inline void SeedFormSets(TManagerStore& store) {
  store.Write(ChangeData, [&] {
    for (int key = 0; key < PageKeys; ++key) {
      for (int set = 0; set < SetsPerKey; ++set) {
        const TTransitFormSet forms = PageForms(key, set);
        TCardRecord card;
        card.OwnerKey = KeyOf(key);
        card.Name = Text("Card " + std::to_string(set));
        card.Data = StreamOf(forms);
        store.SaveCard(card, SignaturesOf(forms));
      }
    }
  });
}

}  // namespace qm::manager::bench
