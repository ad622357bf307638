// Filling selects: option matching by text or value, by words inside option
// texts and through the lexicon (see FillFormUtils.h).
#include <algorithm>
#include <utility>

#include "addon/BHO/FillFormUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"

namespace qm {

using fill_detail::RequireView;
using platform::PageOptionElement;
using platform::PageSelectElement;
using platform::Variant;

namespace {

struct TOptionRef {
  ComPtr<PageElement> Element;
  ComPtr<PageOptionElement> Option;
};

std::vector<TOptionRef> OptionsOf(const ComPtr<PageSelectElement>& select) {
  std::vector<TOptionRef> options;
  const int32_t length = select->length();
  options.reserve(static_cast<size_t>(std::max(length, 0)));
  for (int32_t i = 0; i < length; ++i) {
    ComPtr<PageElement> element = select->item(i);
    auto option = element.As<PageOptionElement>();
    if (option) options.push_back({std::move(element), std::move(option)});
  }
  return options;
}

// The literal step: each wanted text selects the first option whose
// normalised text or value is locale-equal to it. false when one of them
// found no option (the others are still tried); wanted texts that
// normalise to nothing are no wish at all.
bool SelectLiterally(const ComPtr<PageElement>& select, const std::vector<TOptionRef>& options,
                     const std::vector<std::u16string>& wanted, bool multiple) {
  bool outcome = true;
  // Normalised once, not once per wanted text.
  std::vector<std::pair<std::u16string, std::u16string>> keys;
  for (const std::u16string& item : wanted) {
    const std::u16string normalized = NormalizeOptionText(item);
    if (normalized.empty()) continue;
    if (keys.empty()) {
      keys.reserve(options.size());
      for (const TOptionRef& option : options) {
        keys.emplace_back(NormalizeOptionText(option.Option->text()),
                          NormalizeOptionText(option.Option->value()));
      }
    }
    const TOptionRef* found = nullptr;
    for (size_t i = 0; i < options.size(); ++i) {
      if (LocaleEqual(keys[i].first, normalized) || LocaleEqual(keys[i].second, normalized)) {
        found = &options[i];
        break;
      }
    }
    if (found == nullptr) {
      outcome = false;
      continue;
    }
    SetOptionSelected(select, found->Element, true, !multiple);
  }
  return outcome;
}

// Kind 4 on a multiple select: every option that holds one of the words.
bool SelectAllByWords(const ComPtr<PageElement>& select, const std::vector<TOptionRef>& options,
                      const TValueList& values, const std::u16string& separators) {
  bool any = false;
  for (const TOptionRef& option : options) {
    const std::u16string text = NormalizeOptionText(option.Option->text());
    SetOptionSelected(select, option.Element, false, false);
    for (const std::u16string& word : values) {
      if (FindDelimitedWord(word, text, separators) > 0) {
        SetOptionSelected(select, option.Element, true, false);
        any = true;
        break;
      }
    }
  }
  return any;
}

// Kind 4 on a single select: the option that holds most of the words wins;
// among equals the one with least text left over (the closest fit), then
// the longer text, then the earlier option.
bool SelectBestByWords(const ComPtr<PageElement>& select, const std::vector<TOptionRef>& options,
                       const TValueList& values, const std::u16string& separators) {
  const TOptionRef* best = nullptr;
  int bestHits = 0;
  size_t bestRest = 0, bestLength = 0;
  for (const TOptionRef& option : options) {
    std::u16string text = NormalizeOptionText(option.Option->text());
    const size_t length = text.size();
    int hits = 0;
    for (const std::u16string& word : values) {
      const int position = FindDelimitedWord(word, text, separators);
      if (position <= 0) continue;
      text.erase(static_cast<size_t>(position - 1), word.size());
      ++hits;
    }
    if (hits == 0) continue;
    const bool better = best == nullptr || hits > bestHits ||
                        (hits == bestHits && text.size() < bestRest) ||
                        (hits == bestHits && text.size() == bestRest && length > bestLength);
    if (!better) continue;
    best = &option;
    bestHits = hits;
    bestRest = text.size();
    bestLength = length;
  }
  if (best == nullptr) return false;
  SetOptionSelected(select, best->Element, true, true);
  return true;
}

// Kind 5: options and values meet as the lexicon's word sequences.
bool SelectByLexicon(const ComPtr<PageElement>& select, const std::vector<TOptionRef>& options,
                     const TValueList& values, const TLexicon& lexicon, bool multiple) {
  std::vector<std::u16string> sequences;
  sequences.reserve(options.size());
  for (const TOptionRef& option : options) {
    SetOptionSelected(select, option.Element, false, false);
    sequences.push_back(lexicon.Normalize(option.Option->text()));
  }
  const std::vector<std::u16string> candidates = lexicon.ExpandSubstitutions(values);
  bool any = false;
  for (const std::u16string& candidate : candidates) {
    for (size_t i = 0; i < options.size(); ++i) {
      if (!LocaleEqual(sequences[i], candidate)) continue;
      SetOptionSelected(select, options[i].Element, true, !multiple);
      if (!multiple) return true;
      any = true;
      break;
    }
  }
  return any;
}

}  // namespace

bool FillSelect(const ComPtr<PageElement>& element, int32_t kind, const std::u16string& value,
                const TLexicon& lexicon, const TValueList& values) {
  return Reported(loc::FillSelect, [&] {
    const auto select = RequireView<PageSelectElement>(element);
    const bool multiple = select->multiple();
    ClearSelection(element);
    const std::vector<TOptionRef> options = OptionsOf(select);
    bool result = false;
    if (kind == ValueKindLiteral || !value.empty()) {
      const std::vector<std::u16string> wanted =
          kind == ValueKindLiteral ? ParseCommaText(value) : std::vector<std::u16string>{value};
      result = SelectLiterally(element, options, wanted, multiple);
    }
    if (result || kind == ValueKindLiteral || values.empty()) return result;
    if (kind == ValueKindWords) {
      std::u16string separators = lexicon.Separators();
      if (separators.find(u' ') == std::u16string::npos) separators += u' ';
      return multiple ? SelectAllByWords(element, options, values, separators)
                      : SelectBestByWords(element, options, values, separators);
    }
    if (kind == ValueKindLexicon) {
      return SelectByLexicon(element, options, values, lexicon, multiple);
    }
    return result;
  });
}

void SetOptionSelected(const ComPtr<PageElement>& selectElement,
                       const ComPtr<PageElement>& optionElement, bool selected, bool fire) {
  Swallowed([&] {
    Reported(loc::SetOptionSelected, [&] {
      const auto option = RequireView<PageOptionElement>(optionElement);
      if (option->selected() == selected) return;
      option->setSelected(selected);
      if (!option->selected() || !fire) return;
      Swallowed([&] {
        const auto select = RequireView<PageSelectElement>(selectElement);
        const Variant change = select->onchange();
        if (!change.IsEmptyOrNull() &&
            !(change.GetKind() == Variant::Kind::String && change.AsString().empty())) {
          // Writing a selection runs no script, so the page's own reaction
          // to a choice is run the one way the page lets us: as a click.
          Variant saved = selectElement->onclick();
          if (saved.GetKind() == Variant::Kind::String && saved.AsString().empty()) saved = {};
          struct TRestore {
            const ComPtr<PageElement>& Element;
            const Variant& Saved;
            ~TRestore() {
              Swallowed([&] { Element->setOnclick(Saved.IsEmpty() ? Variant::Null() : Saved); });
            }
          } restore{selectElement, saved};
          selectElement->setOnclick(change);
          selectElement->click();
        }
        option->setSelected(true);
      });
    });
  });
}

void ClearSelection(const ComPtr<PageElement>& element) {
  Reported(loc::ClearSelection, [&] {
    const auto select = RequireView<PageSelectElement>(element);
    for (const TOptionRef& option : OptionsOf(select)) {
      SetOptionSelected(element, option.Element, false, false);
    }
    select->setValue(u"");
  });
}

int FindDelimitedWord(std::u16string_view word, std::u16string_view text,
                      std::u16string_view separators) {
  if (word.empty()) return 0;
  const size_t position = text.find(word);
  if (position == std::u16string_view::npos) return 0;
  auto isSeparator = [&](char16_t c) { return separators.find(c) != std::u16string_view::npos; };
  if (position > 0 && !isSeparator(text[position - 1])) return 0;
  const size_t end = position + word.size();
  if (end < text.size() && !isSeparator(text[end])) return 0;
  return static_cast<int>(position) + 1;
}

std::u16string NormalizeOptionText(std::u16string_view text) {
  std::u16string normalized;
  Swallowed([&] {
    Reported(loc::NormalizeOptionText, [&] {
      const std::u16string lower = LowerCase(Trim(text));
      std::u16string result;
      result.reserve(lower.size());
      size_t start = 0;
      while (start < lower.size()) {
        size_t end = lower.find(u' ', start);
        if (end == std::u16string::npos) end = lower.size();
        if (end > start) {
          if (!result.empty()) result += u' ';
          result.append(lower, start, end - start);
        }
        start = end + 1;
      }
      normalized = std::move(result);
    });
  });
  return normalized;
}

}  // namespace qm
