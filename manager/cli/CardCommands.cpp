// quillora-manager cards.
#include <time.h>

#include <map>
#include <ostream>

#include "core/Common/QMTransitUtils.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/TransitJson.h"
#include "manager/cli/ManagerCli.h"
#include "manager/store/Base64.h"
#include "platform/rtl/Exception.h"

namespace qm::manager::cli {
namespace {

int32_t KindOption(const TParsedArgs& args) {
  if (!args.Has("--kind")) return -1;
  int32_t kind = -1;
  if (!CardKindFromName(args.Value("--kind"), kind)) {
    throw ToolError("unknown card kind '" + args.Value("--kind") + "'; the kinds are " +
                    CardKindList);
  }
  return kind;
}

std::map<int64_t, TProfile> ProfilesById(TManagerStore& store) {
  std::map<int64_t, TProfile> profiles;
  for (const TProfile& profile : store.Profiles()) profiles[profile.Id] = profile;
  return profiles;
}

// "default for X" of each card, by owner key and name.
std::multimap<std::pair<String, String>, std::string> DefaultsByCard(
    TManagerStore& store, const std::map<int64_t, TProfile>& profiles) {
  std::multimap<std::pair<String, String>, std::string> defaults;
  for (const TCardDefault& choice : store.Defaults()) {
    defaults.emplace(std::make_pair(choice.OwnerKey, choice.CardName),
                     choice.ProfileId == 0 ? "all profiles"
                                           : Utf8(profiles.at(choice.ProfileId).Name));
  }
  return defaults;
}

int CardsList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const int32_t kind = KindOption(args);
  const std::map<int64_t, TProfile> profiles = ProfilesById(*store);
  const auto defaults = DefaultsByCard(*store, profiles);
  const std::vector<TCardRecord> cards = args.Operands.empty()
                                             ? store->AllCards(kind)
                                             : store->CardsOf(ArgText(args.Operands[0]), kind);
  for (const TCardRecord& card : cards) {
    io.Out << CardKindName(card.Kind) << "\t" << Utf8(card.OwnerKey) << "\t" << Utf8(card.Name)
           << "\t" << Utf8(card.Title) << "\t" << card.Data.size() << " bytes";
    if (card.ProtectedBy != 0) {
      io.Out << "\tprotected by " << Utf8(profiles.at(card.ProtectedBy).Name);
    }
    const auto range = defaults.equal_range({card.OwnerKey, card.Name});
    for (auto it = range.first; it != range.second; ++it)
      io.Out << "\tdefault for " << it->second;
    io.Out << "\n";
  }
  if (cards.empty()) {
    io.Err << "no cards\n";
    return args.Operands.empty() ? tool::ExitSuccess : tool::ExitFailure;
  }
  return tool::ExitSuccess;
}

TCardRecord FoundCard(TManagerStore& store, const TParsedArgs& args) {
  const std::optional<TCardRecord> card =
      store.FindCard(ArgText(args.Operands[0]), ArgText(args.Operands[1]));
  if (!card) throw ToolFailure("no card '" + args.Operands[1] + "' of '" + args.Operands[0] + "'");
  return *card;
}

// A card protected by a profile needs that profile's password.
void UnlockCard(TManagerStore& store, const TCardRecord& card, const TParsedArgs& args,
                ToolContext& io) {
  if (card.ProtectedBy == 0) return;
  for (const TProfile& profile : store.Profiles()) {
    if (profile.Id == card.ProtectedBy) Unlock(store, profile, args, io, TNeed::Required);
  }
}

int CardsDelete(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TCardRecord card = FoundCard(*store, args);
  UnlockCard(*store, card, args, io);
  store->DeleteCard(card.OwnerKey, card.Name);
  io.Out << "Deleted " << CardKindName(card.Kind) << " card '" << Utf8(card.Name) << "' of '"
         << Utf8(card.OwnerKey) << "'\n";
  return 0;
}

std::string Time(int64_t seconds) {
  const time_t when = static_cast<time_t>(seconds);
  struct tm parts {};
  char text[32] = "?";
  if (gmtime_r(&when, &parts) != nullptr) {
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  }
  return text;
}

void ShowRaw(const Bytes& data, const char* what, ToolContext& io) {
  io.Out << "Data:    " << data.size() << " bytes that do not read as " << what
         << "; base64:\n  " << EncodeBase64(data) << "\n";
}

void ShowFormSet(const Bytes& data, ToolContext& io) {
  TMemoryStream stream(data);
  TTransitFormSet set;
  if (!set.ReadFromStream(stream) || stream.Remaining() != 0) {
    ShowRaw(data, "a form set", io);
    return;
  }
  try {
    io.Out << "Forms (the JSON of qmtool transit decode):\n" << TransitSetToJsonText(set) << "\n";
  } catch (const platform::Exception&) {
    ShowRaw(data, "a form set in JSON", io);  // a text JSON cannot carry
  }
}

// A navigation card: a count, then per step Tag, Type, Name, Value, Url.
void ShowNavigation(const Bytes& data, ToolContext& io) {
  TMemoryStream stream(data);
  TStreamReader reader(stream);
  int32_t count = 0;
  reader.Count(count, 5 * 4);
  struct TStep {
    String Tag, Type, Name, Value, Url;
  };
  std::vector<TStep> steps(reader.Ok() ? static_cast<size_t>(count) : 0);
  for (TStep& step : steps) {
    reader.WideString(step.Tag);
    reader.WideString(step.Type);
    reader.WideString(step.Name);
    reader.WideString(step.Value);
    reader.WideString(step.Url);
  }
  if (!reader.Ok() || stream.Remaining() != 0) {
    ShowRaw(data, "a navigation card", io);
    return;
  }
  io.Out << "Steps:\n";
  for (size_t i = 0; i < steps.size(); ++i) {
    const TStep& s = steps[i];
    io.Out << "  " << i + 1 << ". page:  " << Utf8(s.Url) << "\n"
           << "     click: " << Utf8(s.Tag) << (s.Type.empty() ? "" : " type " + Utf8(s.Type))
           << " named '" << Utf8(s.Name) << "' with value '" << Utf8(s.Value) << "'\n";
  }
}

// A mail card: address, subject, body.
void ShowMail(const Bytes& data, ToolContext& io) {
  TMemoryStream stream(data);
  TStreamReader reader(stream);
  String address, subject, body;
  reader.WideString(address);
  reader.WideString(subject);
  reader.WideString(body);
  if (!reader.Ok() || stream.Remaining() != 0) {
    ShowRaw(data, "a mail card", io);
    return;
  }
  io.Out << "To:      " << Utf8(address) << "\n"
         << "Subject: " << Utf8(subject) << "\n"
         << "Body:\n";
  std::string text = Utf8(body);
  size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    io.Out << "  " << line << "\n";
    start = end + 1;
  }
}

int CardsShow(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TCardRecord card = FoundCard(*store, args);
  UnlockCard(*store, card, args, io);
  const std::map<int64_t, TProfile> profiles = ProfilesById(*store);
  io.Out << "Card:    " << Utf8(card.Name) << "\n"
         << "Kind:    " << CardKindName(card.Kind) << "\n"
         << "Owner:   " << Utf8(card.OwnerKey) << "\n"
         << "Title:   " << Utf8(card.Title) << "\n"
         << "Saved:   " << Time(card.Created) << " (changed " << Time(card.Updated) << ")\n";
  if (card.ProtectedBy != 0) {
    io.Out << "Protected by: " << Utf8(profiles.at(card.ProtectedBy).Name) << "\n";
  }
  const auto defaults = DefaultsByCard(*store, profiles);
  const auto range = defaults.equal_range({card.OwnerKey, card.Name});
  for (auto it = range.first; it != range.second; ++it)
    io.Out << "Default for: " << it->second << "\n";
  const Bytes data = store->CardData(card);
  if (card.Kind == StoredFormSet) {
    ShowFormSet(data, io);
  } else if (card.Kind == StoredNavigation) {
    ShowNavigation(data, io);
  } else {
    ShowMail(data, io);
  }
  return 0;
}

}  // namespace

void RegisterCardCommands(CommandTable& table) {
  const std::string m = ProgramName;
  table.push_back(Command("cards", "list",
                          m + " cards list [--kind formset|navigation|mail] [OWNER]",
                          "Lists the stored cards (of one owner key, the page key they were saved "
                          "for), with their defaults.",
                          "Columns: kind, owner key, name, title, size, protection, defaults.\n"
                          "Exits 1 when OWNER has no cards.",
                          CardsList, 0, 1, {"--kind"}));
  table.push_back(Command("cards", "show", m + " cards show [--password-stdin] OWNER NAME",
                          "Shows a stored card as people read it.",
                          "A form set shows its forms and fields as the JSON of qmtool transit\n"
                          "decode, a navigation card its steps, a mail card its address, subject\n"
                          "and body. A card saved under a protected profile needs that profile's\n"
                          "password (asked at a terminal, or --password-stdin).",
                          CardsShow, 2, 2, {}, {"--password-stdin"}));
  table.push_back(Command("cards", "delete", m + " cards delete [--password-stdin] OWNER NAME",
                          "Deletes a card.",
                          "A card saved under a protected profile needs that profile's password\n"
                          "(asked at a terminal, or --password-stdin).",
                          CardsDelete, 2, 2, {}, {"--password-stdin"}));
}

}  // namespace qm::manager::cli
