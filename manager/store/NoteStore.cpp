// TManagerStore: page notes, translation tables and collected values.
#include "manager/store/ManagerStore.h"

namespace qm::manager {

std::optional<TPageNote> TManagerStore::PageNote(const String& url) {
  TStatement query = db_.Prepare("SELECT title, text FROM page_notes WHERE url = ?1");
  query.Bind(1, url);
  if (!query.Step()) return std::nullopt;
  return TPageNote{url, query.Text(0), query.Text(1)};
}

std::vector<TPageNote> TManagerStore::PageNotes() {
  TStatement query = db_.Prepare("SELECT url, title, text FROM page_notes ORDER BY url");
  std::vector<TPageNote> notes;
  while (query.Step())
    notes.push_back({query.Text(0), query.Text(1), query.Text(2)});
  return notes;
}

void TManagerStore::SetPageNote(const TPageNote& note) {
  Write(ChangeData, [&] {
    if (note.Title.empty() && note.Text.empty()) {
      db_.Prepare("DELETE FROM page_notes WHERE url = ?1").Bind(1, note.Url).Run();
      return;
    }
    db_.Prepare("INSERT OR REPLACE INTO page_notes (url, title, text) VALUES (?1, ?2, ?3)")
        .Bind(1, note.Url)
        .Bind(2, note.Title)
        .Bind(3, note.Text)
        .Run();
  });
}

std::vector<TTranslation> TManagerStore::Translations(const String& language) {
  TStatement query = db_.Prepare(
      "SELECT language, source, translated FROM translations "
      "WHERE ?1 = '' OR language = ?1 ORDER BY language, source");
  query.Bind(1, language);
  std::vector<TTranslation> translations;
  while (query.Step())
    translations.push_back({query.Text(0), query.Text(1), query.Text(2)});
  return translations;
}

void TManagerStore::SetTranslation(const TTranslation& translation) {
  Write(ChangeLanguage, [&] {
    if (translation.Translated.empty()) {
      db_.Prepare("DELETE FROM translations WHERE language = ?1 AND source = ?2")
          .Bind(1, translation.Language)
          .Bind(2, translation.Source)
          .Run();
      return;
    }
    db_.Prepare(
           "INSERT OR REPLACE INTO translations (language, source, translated) "
           "VALUES (?1, ?2, ?3)")
        .Bind(1, translation.Language)
        .Bind(2, translation.Source)
        .Bind(3, translation.Translated)
        .Run();
  });
}

bool TManagerStore::HasTranslations(const String& language) {
  if (language.empty()) return false;
  TStatement query = db_.Prepare("SELECT 1 FROM translations WHERE language = ?1 LIMIT 1");
  query.Bind(1, language);
  return query.Step();
}

void TManagerStore::AddCollectedValues(const std::vector<String>& values) {
  Write(ChangeData, [&] {
    const int64_t now = StoreNow();
    for (const String& value : values) {
      PutCollectedValue({value, now});
    }
  });
}

void TManagerStore::PutCollectedValue(const TCollectedValue& value) {
  Write(ChangeData, [&] {
    db_.Prepare("INSERT OR IGNORE INTO collected_values (value, collected) VALUES (?1, ?2)")
        .Bind(1, value.Value)
        .Bind(2, value.Collected)
        .Run();
  });
}

std::vector<TCollectedValue> TManagerStore::CollectedValues() {
  TStatement query = db_.Prepare("SELECT value, collected FROM collected_values ORDER BY id");
  std::vector<TCollectedValue> values;
  while (query.Step())
    values.push_back({query.Text(0), query.Int(1)});
  return values;
}

void TManagerStore::ClearCollectedValues() {
  Write(ChangeData, [&] { db_.Exec("DELETE FROM collected_values"); });
}

}  // namespace qm::manager
