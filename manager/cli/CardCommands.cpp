// quillora-manager cards.
#include <map>
#include <ostream>

#include "manager/cli/ManagerCli.h"

namespace qm::manager::cli {
namespace {

constexpr const char* KindNames[] = {"formset", "navigation", "mail"};

int32_t KindOption(const TParsedArgs& args) {
  if (!args.Has("--kind")) return -1;
  const std::string kind = args.Value("--kind");
  for (int32_t i = StoredFormSet; i <= StoredMail; ++i) {
    if (kind == KindNames[i]) return i;
  }
  throw ToolError("--kind must be formset, navigation or mail");
}

int CardsList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const int32_t kind = KindOption(args);
  std::map<int64_t, String> profiles;
  for (const TProfile& profile : store->Profiles())
    profiles[profile.Id] = profile.Name;
  std::multimap<std::pair<String, String>, std::string> defaults;
  for (const TCardDefault& choice : store->Defaults()) {
    defaults.emplace(std::make_pair(choice.OwnerKey, choice.CardName),
                     choice.ProfileId == 0 ? "all profiles" : Utf8(profiles[choice.ProfileId]));
  }
  const std::vector<TCardRecord> cards = args.Operands.empty()
                                             ? store->AllCards(kind)
                                             : store->CardsOf(ArgText(args.Operands[0]), kind);
  for (const TCardRecord& card : cards) {
    io.Out << KindNames[card.Kind] << "\t" << Utf8(card.OwnerKey) << "\t" << Utf8(card.Name) << "\t"
           << Utf8(card.Title) << "\t" << card.Data.size() << " bytes";
    if (card.ProtectedBy != 0) io.Out << "\tprotected by " << Utf8(profiles[card.ProtectedBy]);
    const auto range = defaults.equal_range({card.OwnerKey, card.Name});
    for (auto it = range.first; it != range.second; ++it)
      io.Out << "\tdefault for " << it->second;
    io.Out << "\n";
  }
  if (cards.empty()) io.Err << "no cards\n";
  return 0;
}

int CardsDelete(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const String owner = ArgText(args.Operands[0]);
  const String name = ArgText(args.Operands[1]);
  const std::optional<TCardRecord> card = store->FindCard(owner, name);
  if (!card) throw ToolError("no card '" + args.Operands[1] + "' of '" + args.Operands[0] + "'");
  if (card->ProtectedBy != 0) {
    for (const TProfile& profile : store->Profiles()) {
      if (profile.Id == card->ProtectedBy && !Unlock(profile, args, io)) {
        throw ToolError("the card is protected by profile '" + Utf8(profile.Name) +
                        "': give its password with --password-stdin");
      }
    }
  }
  store->DeleteCard(owner, name);
  io.Out << "Deleted " << KindNames[card->Kind] << " card '" << Utf8(card->Name) << "' of '"
         << Utf8(card->OwnerKey) << "'\n";
  return 0;
}

}  // namespace

void RegisterCardCommands(CommandTable& table) {
  const std::string m = ProgramName;
  table.push_back(Command("cards", "list",
                          m + " cards list [--kind formset|navigation|mail] [OWNER]",
                          "Lists the stored cards (of one owner key, the page key they were saved "
                          "for), with their defaults.",
                          "Columns: kind, owner key, name, title, size, protection, defaults.",
                          CardsList, 0, 1, {"--kind"}));
  table.push_back(Command("cards", "delete", m + " cards delete [--password-stdin] OWNER NAME",
                          "Deletes a card.",
                          "A card saved under a protected profile needs that profile's password\n"
                          "(--password-stdin reads it from standard input).",
                          CardsDelete, 2, 2, {}, {"--password-stdin"}));
}

}  // namespace qm::manager::cli
