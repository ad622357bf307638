#include "manager/recognition/LexiconBuilder.h"

#include "core/Common/QMLexicon.h"
#include "core/Common/TextUtils.h"
#include "manager/recognition/NameReader.h"
#include "platform/rtl/Exception.h"

namespace qm::manager {
namespace {

template <class Item>
void FillItem(Item& item, const TWordList& list) {
  item.SetKey(list.Key);
  for (const String& word : list.Words)
    item.LoadWord(word);
  item.Renormalize();
}

TWordList ListOf(const TBaseList& item) {
  return {item.Key(), item.Words().ToVector()};
}

}  // namespace

void BuildLexicon(const TLexiconData& data, TLexicon& lexicon) {
  lexicon.BeginUpdate();
  struct TEnd {
    TLexicon& Lexicon;
    ~TEnd() { Lexicon.EndUpdate(); }
  } end{lexicon};
  lexicon.Clear();
  lexicon.SetSeparators(data.Separators);
  for (const String& word : data.StopWords) {
    if (!lexicon.StopWords().Contains(word)) lexicon.LoadStopWord(word);
  }
  for (const TWordList& list : data.Substitutions)
    FillItem(lexicon.AddSubstitutionItem(), list);
  for (const TWordList& list : data.Goals)
    FillItem(lexicon.AddGoal(), list);
}

TLexiconData LexiconDataOf(const TLexicon& lexicon) {
  TLexiconData data;
  data.Separators = lexicon.Separators();
  data.StopWords = lexicon.StopWords().ToVector();
  for (int i = 0; i < lexicon.Substitutions().Count(); ++i) {
    data.Substitutions.push_back(ListOf(lexicon.Substitutions()[i]));
  }
  for (int i = 0; i < lexicon.Goals().Count(); ++i)
    data.Goals.push_back(ListOf(lexicon.Goals()[i]));
  return data;
}

bool AssignSynonym(TLexiconData& data, const TLexicon& normalizer, const String& fieldName,
                   const String& word) {
  TNameReader reader(normalizer, DefaultRecognitionRules());
  std::vector<String> texts{word};
  for (const TWordList& goal : data.Goals)
    texts.insert(texts.end(), goal.Words.begin(), goal.Words.end());
  reader.LearnVocabulary(texts, DefaultRecognitionRules());
  const String normalized = reader.Phrase(word);
  if (normalized.empty()) throw platform::Exception(u"The synonym '" + word + u"' holds no word");
  bool changed = false;
  bool present = false;
  TWordList* own = nullptr;
  for (TWordList& goal : data.Goals) {
    const bool mine = SameTextIgnoreCase(goal.Key, fieldName);
    if (mine && own == nullptr) own = &goal;
    std::erase_if(goal.Words, [&](const String& w) {
      if (reader.Phrase(w) != normalized) return false;
      if (mine) {
        present = true;
        return false;
      }
      changed = true;
      return true;
    });
  }
  if (present) return changed;
  if (own == nullptr) own = &data.Goals.emplace_back(TWordList{fieldName, {}});
  own->Words.push_back(word);
  return true;
}

Bytes LexiconStream(const TLexiconData& data) {
  TLexicon lexicon;
  BuildLexicon(data, lexicon);
  TMemoryStream stream;
  lexicon.SaveToStream(stream);
  return stream.Bytes();
}

}  // namespace qm::manager
