// TManagerStore: the lexicon's tables.
#include "manager/store/ManagerStore.h"

namespace qm::manager {
namespace {

constexpr int64_t ListSubstitution = 0;
constexpr int64_t ListGoal = 1;

}  // namespace

TLexiconData TManagerStore::Lexicon() {
  TLexiconData lexicon;
  Read([&] {
    lexicon.Separators = SettingText("lexicon.separators");
    TStatement stops = db_.Prepare("SELECT word FROM stop_words ORDER BY position");
    while (stops.Step())
      lexicon.StopWords.push_back(stops.Text(0));
    TStatement lists = db_.Prepare(
        "SELECT l.kind, l.id, l.key, w.word FROM word_lists l "
        "LEFT JOIN list_words w ON w.list_id = l.id ORDER BY l.kind, l.position, w.position");
    int64_t lastId = -1;
    while (lists.Step()) {
      std::vector<TWordList>& target =
          lists.Int(0) == ListGoal ? lexicon.Goals : lexicon.Substitutions;
      if (lists.Int(1) != lastId) {
        lastId = lists.Int(1);
        target.push_back({lists.Text(2), {}});
      }
      if (!lists.IsNull(3)) target.back().Words.push_back(lists.Text(3));
    }
  });
  return lexicon;
}

void TManagerStore::ReplaceLexicon(const TLexiconData& lexicon) {
  Write(ChangeLexicon, [&] {
    db_.Exec("DELETE FROM list_words; DELETE FROM word_lists; DELETE FROM stop_words;");
    PutSetting("lexicon.separators", lexicon.Separators);
    int64_t position = 0;
    for (const String& word : lexicon.StopWords) {
      db_.Prepare("INSERT INTO stop_words (position, word) VALUES (?1, ?2)")
          .Bind(1, ++position)
          .Bind(2, word)
          .Run();
    }
    position = 0;
    auto putLists = [&](const std::vector<TWordList>& lists, int64_t kind) {
      for (const TWordList& list : lists) {
        db_.Prepare("INSERT INTO word_lists (kind, key, position) VALUES (?1, ?2, ?3)")
            .Bind(1, kind)
            .Bind(2, list.Key)
            .Bind(3, ++position)
            .Run();
        const int64_t listId = db_.LastInsertId();
        int64_t wordPosition = 0;
        for (const String& word : list.Words) {
          db_.Prepare("INSERT INTO list_words (list_id, position, word) VALUES (?1, ?2, ?3)")
              .Bind(1, listId)
              .Bind(2, ++wordPosition)
              .Bind(3, word)
              .Run();
        }
      }
    };
    putLists(lexicon.Substitutions, ListSubstitution);
    putLists(lexicon.Goals, ListGoal);
  });
}

}  // namespace qm::manager
