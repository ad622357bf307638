// quillora-manager profile, field, synonym, resolve and password.
#include <ostream>

#include "core/CommandLine/TerminalIO.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/TextUtils.h"
#include "manager/cli/ManagerCli.h"
#include "manager/recognition/FieldRecognizer.h"
#include "manager/recognition/LexiconBuilder.h"
#include "manager/service/ManagerLimits.h"

namespace qm::manager::cli {
namespace {

const char* const PasswordHelp =
    "A protected profile's values are kept encrypted. They are shown or changed with\n"
    "--password-stdin: its password is then read from standard input (at a terminal\n"
    "with a hidden prompt, else the first line).";

// A value's lines after the first go under it, indented as far as its
// text starts, so that a multi-line value reads as one.
std::string Indented(const std::string& text, size_t indent) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\n') out.append(indent, ' ');
  }
  return out;
}

int ProfileList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  for (const TProfile& profile : store->Profiles()) {
    io.Out << (profile.Active ? "* " : "  ") << Utf8(profile.Name)
           << (profile.Protected() ? "  (protected)" : "") << "\n";
  }
  NoteProfilesAwaitingEncryption(*store, io);
  return 0;
}

int ProfileAdd(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args, true);
  const TProfile profile = store->AddProfile(ArgText(args.Operands[0]));
  io.Out << "Added profile '" << Utf8(profile.Name) << "'\n";
  return 0;
}

int ProfileRemove(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = store->ProfileNamed(ArgText(args.Operands[0]));
  Unlock(*store, profile, args, io, TNeed::Required);
  store->RemoveProfile(profile.Id);
  io.Out << "Removed profile '" << Utf8(profile.Name) << "' with its values and the cards it "
         << "protected; the active profile is '" << Utf8(store->ActiveProfile().Name) << "'\n";
  return 0;
}

int ProfileActivate(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = store->ProfileNamed(ArgText(args.Operands[0]));
  store->ActivateProfile(profile.Id);
  io.Out << "Active profile: '" << Utf8(profile.Name) << "'\n";
  return 0;
}

int ProfileShow(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = args.Operands.empty() ? store->ActiveProfile()
                                                 : store->ProfileNamed(ArgText(args.Operands[0]));
  const bool open = Unlock(*store, profile, args, io, TNeed::Optional);
  io.Out << "Profile '" << Utf8(profile.Name) << "'" << (profile.Active ? " (active)" : "")
         << (profile.Protected() ? " (protected)" : "") << "\n";
  String group = u"\x1f";
  for (const TFieldValue& value : store->ProfileValues(profile.Id)) {
    if (value.Field.Group != group) {
      group = value.Field.Group;
      io.Out << "[" << Utf8(group) << "]\n";
    }
    const std::string label =
        "  " + Utf8(value.Field.Caption) + " (" + Utf8(value.Field.FieldName) + "): ";
    io.Out << label;
    if (!open) {
      const bool any = value.Locked || !value.Value.empty() || !value.Candidates.empty();
      io.Out << (any ? "(hidden)" : "") << "\n";
      continue;
    }
    io.Out << Indented(Utf8(value.Value), label.size());
    if (!value.Candidates.empty()) io.Out << "  [candidates: " << Utf8(value.Candidates) << "]";
    io.Out << "\n";
  }
  if (!open) io.Out << "(values hidden: the profile is protected; see --help)\n";
  return 0;
}

// The VALUE operand, or standard input for "-" (after the password line,
// when there is one); one final line end of the input is dropped.
String ValueOperand(const TParsedArgs& args, ToolContext& io) {
  const std::string& operand = args.Operands[1];
  std::string bytes = operand;
  if (operand == "-") {
    bytes = tool::ReadInputUpTo("-", io, MaxValueChars, "the value on standard input");
    if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  }
  String value = ArgText(bytes);
  if (value.size() > MaxValueChars) {
    throw ToolError("the value is longer than " + std::to_string(MaxValueChars) + " characters");
  }
  return value;
}

int FieldSet(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = ChosenProfile(*store, args);
  const TFieldDef field = store->FieldCaptioned(ArgText(args.Operands[0]));
  Unlock(*store, profile, args, io, TNeed::Required);
  const String value = ValueOperand(args, io);
  if (args.Has("--candidates")) {
    store->SetFieldCandidates(profile.Id, field.Id, value);
  } else {
    store->SetFieldValue(profile.Id, field.Id, value);
  }
  io.Out << "Set " << (args.Has("--candidates") ? "the candidate values of " : "") << "'"
         << Utf8(field.Caption) << "' of profile '" << Utf8(profile.Name) << "'\n";
  return 0;
}

int FieldList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  for (const TFieldDef& field : store->Fields()) {
    io.Out << Utf8(field.Group) << "\t" << Utf8(field.Caption) << "\t" << Utf8(field.FieldName)
           << "\t" << InputKindName(field.InputKind) << "\t" << field.ValueKind << "\n";
  }
  return 0;
}

int FieldAdd(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  TFieldDef field;
  field.Caption = ArgText(args.Operands[0]);
  field.FieldName = ArgText(args.Value("--name", args.Operands[0]));
  field.Group = ArgText(args.Value("--group", "Other"));
  const std::string input = args.Value("--input", "text");
  if (!InputKindFromName(input, field.InputKind)) {
    throw ToolError("--input must be text, password, email or tel");
  }
  if (args.Has("--value-kind") &&
      !TryTextToInt(ArgText(args.Value("--value-kind")), field.ValueKind)) {
    throw ToolError("--value-kind must be a number");
  }
  store->AddField(field);
  io.Out << "Added field '" << Utf8(field.Caption) << "'\n";
  return 0;
}

int FieldRemove(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TFieldDef field = store->FieldCaptioned(ArgText(args.Operands[0]));
  store->RemoveField(field.Id);
  io.Out << "Removed field '" << Utf8(field.Caption) << "' and its values\n";
  return 0;
}

int SynonymList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TFieldDef field = store->FieldCaptioned(ArgText(args.Operands[0]));
  for (const TWordList& goal : store->Lexicon().Goals) {
    if (!SameTextIgnoreCase(goal.Key, field.FieldName)) continue;
    for (const String& word : goal.Words)
      io.Out << Utf8(word) << "\n";
  }
  return 0;
}

// The captions of the fields other than fieldName that have a synonym
// that normalises like word.
std::vector<String> OtherFieldsWith(TManagerStore& store, const TLexiconData& data,
                                    const TLexicon& lexicon, const String& fieldName,
                                    const String& word) {
  const String normalized = lexicon.Normalize(word);
  std::vector<String> captions;
  for (const TWordList& goal : data.Goals) {
    if (SameTextIgnoreCase(goal.Key, fieldName)) continue;
    for (const String& w : goal.Words) {
      if (lexicon.Normalize(w) != normalized) continue;
      const std::optional<TFieldDef> other = store.FindFieldByName(goal.Key);
      captions.push_back(other ? other->Caption : goal.Key);
      break;
    }
  }
  return captions;
}

int SynonymAdd(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TFieldDef field = store->FieldCaptioned(ArgText(args.Operands[0]));
  const String synonym = Trim(ArgText(args.Operands[1]));
  if (synonym.empty()) throw ToolError("the synonym is empty");
  TLexicon lexicon;
  TLexiconData data = store->Lexicon();
  BuildLexicon(data, lexicon);
  const std::vector<String> from = OtherFieldsWith(*store, data, lexicon, field.FieldName, synonym);
  if (!AssignSynonym(data, lexicon, field.FieldName, synonym)) {
    io.Out << "'" << Utf8(field.Caption) << "' has that synonym already\n";
    return 0;
  }
  store->ReplaceLexicon(data);
  // A synonym recognises one field only: say where it was taken from.
  for (const String& caption : from) {
    io.Out << "Moved synonym '" << Utf8(synonym) << "' from '" << Utf8(caption) << "' to '"
           << Utf8(field.Caption) << "'\n";
  }
  if (from.empty()) {
    io.Out << "Added synonym '" << Utf8(synonym) << "' to '" << Utf8(field.Caption) << "'\n";
  }
  return 0;
}

int SynonymRemove(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TFieldDef field = store->FieldCaptioned(ArgText(args.Operands[0]));
  const String synonym = Trim(ArgText(args.Operands[1]));
  TLexicon lexicon;
  TLexiconData data = store->Lexicon();
  BuildLexicon(data, lexicon);
  const String normalized = lexicon.Normalize(synonym);
  std::vector<String> removed;
  for (TWordList& goal : data.Goals) {
    if (!SameTextIgnoreCase(goal.Key, field.FieldName)) continue;
    std::erase_if(goal.Words, [&](const String& w) {
      if (normalized.empty() || lexicon.Normalize(w) != normalized) return false;
      removed.push_back(w);
      return true;
    });
  }
  if (removed.empty()) {
    throw ToolFailure("'" + Utf8(field.Caption) + "' has no synonym '" + Utf8(synonym) +
                      "' (synonym list shows them)");
  }
  store->ReplaceLexicon(data);
  for (const String& word : removed) {
    io.Out << "Removed synonym '" << Utf8(word) << "' from '" << Utf8(field.Caption) << "'\n";
  }
  return 0;
}

int Resolve(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = ChosenProfile(*store, args);
  const String tag = ArgText(args.Operands[0]);
  const String type = ArgText(args.Operands[1]);
  const String name = ArgText(args.Operands[2]);
  TLexicon lexicon;
  BuildLexicon(store->Lexicon(), lexicon);
  const TFieldRecognizer recognizer(lexicon, store->Fields());
  const TRecognitionReport report = recognizer.Explain(tag, type, name);
  if (!report.Found) {
    io.Out << "Nothing matched: " << report.Why << "\n"
           << "Read as: " << Utf8(report.Words) << "\n";
    return tool::ExitFailure;  // found nothing
  }
  const std::optional<TRecognition>& found = report.Found;
  io.Out << "Field:   " << Utf8(found->Field.Caption) << "\n"
         << "Name:    " << Utf8(found->Field.FieldName) << "\n"
         << "Group:   " << Utf8(found->Field.Group) << "\n"
         << "Read as: " << Utf8(report.Words) << "\n"
         << "Because: " << report.Why << "\n";
  if (!Unlock(*store, profile, args, io, TNeed::Optional)) {
    io.Out << "Value:   (hidden: profile '" << Utf8(profile.Name) << "' is protected)\n";
    return 0;
  }
  const TFieldValue value = store->FieldValue(profile.Id, found->Field);
  io.Out << "Value:   " << Utf8(value.Value)
         << (value.Value.empty() ? "(empty: the page would not be filled)" : "") << "\n";
  if (!value.Candidates.empty()) io.Out << "Candidates: " << Utf8(value.Candidates) << "\n";
  return 0;
}

// A profile with many cards takes a while to encrypt anew: progress on
// standard error, unless --quiet.
void SetPasswordShowingProgress(TManagerStore& store, int64_t profileId, const String& password,
                                const TParsedArgs& args, ToolContext& io,
                                const std::string& label) {
  tool::TProgressLine progress(io, label, "cards");
  TManagerStore::TProgress tell;
  if (!args.Has("--quiet")) tell = [&](size_t done, size_t total) { progress.Update(done, total); };
  store.SetPassword(profileId, password, tell);
}

int PasswordSet(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = ChosenProfile(*store, args);
  const std::string name = Utf8(profile.Name);
  if (profile.Protected()) {
    const auto current =
        ReadPassword(args, io, "Current password of profile '" + name + "': ", "current password");
    if (!store->Unlock(profile.Id, current->Text())) {
      throw ToolFailure("wrong current password for profile '" + name + "'");
    }
  }
  auto password =
      ReadPassword(args, io, "New password for profile '" + name + "': ", "new password");
  if (password->Text().empty())
    throw ToolError("the new password is empty (password clear removes it)");
  if (!args.Has("--password-stdin")) {
    // Typed without seeing it: typed twice.
    const auto again = ReadPassword(args, io, "Repeat the new password: ", "new password");
    if (again->Text() != password->Text()) {
      throw ToolError("the two passwords differ; nothing was changed");
    }
  }
  SetPasswordShowingProgress(*store, profile.Id, password->Text(), args, io, "encrypting");
  io.Out << "Profile '" << name << "' is protected; its values and cards are encrypted\n";
  return 0;
}

int PasswordClear(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = ChosenProfile(*store, args);
  if (!profile.Protected()) {
    io.Out << "Profile '" << Utf8(profile.Name) << "' has no password\n";
    return 0;
  }
  const auto current = ReadPassword(
      args, io, "Current password of profile '" + Utf8(profile.Name) + "': ", "current password");
  if (!store->Unlock(profile.Id, current->Text())) {
    throw ToolFailure("wrong current password for profile '" + Utf8(profile.Name) + "'");
  }
  SetPasswordShowingProgress(*store, profile.Id, u"", args, io, "decrypting");
  io.Out << "Profile '" << Utf8(profile.Name) << "' is no longer protected\n";
  return 0;
}

}  // namespace

void RegisterProfileCommands(CommandTable& table) {
  const std::string m = ProgramName;
  table.push_back(Command("profile", "list", m + " profile list [--db PATH]",
                          "Lists the profiles; * marks the active one.", "", ProfileList, 0, 0));
  table.push_back(Command("profile", "add", m + " profile add NAME", "Adds a profile.",
                          "Names are unique regardless of letter case. Makes the store when\n"
                          "there is none.",
                          ProfileAdd, 1, 1));
  table.push_back(Command("profile", "remove", m + " profile remove [--password-stdin] NAME",
                          "Removes a profile with its values and the cards it protects.",
                          "The last profile cannot be removed. A protected profile needs its\n"
                          "password (asked at a terminal, or --password-stdin).",
                          ProfileRemove, 1, 1, {}, {"--password-stdin"}));
  table.push_back(Command("profile", "activate", m + " profile activate NAME",
                          "Makes a profile the active one.", "", ProfileActivate, 1, 1));
  table.push_back(Command(
      "profile", "show", m + " profile show [--password-stdin] [NAME]",
      "Shows a profile's fields and values (the active profile by default).",
      std::string(PasswordHelp) + "\nWithout it a protected profile's values show as (hidden).",
      ProfileShow, 0, 1, {}, {"--password-stdin"}));
  table.push_back(Command("field", "set",
                          m + " field set [--profile NAME] [--candidates] [--password-stdin] "
                              "CAPTION VALUE",
                          "Sets a profile field's value (or, with --candidates, its candidate "
                          "values as a comma text).",
                          "VALUE - reads the value from standard input (after the password line\n"
                          "with --password-stdin), up to 1 MiB; one final line end is dropped. A\n"
                          "value that begins with '-' goes after --: field set CAPTION -- -5.\n"
                          "A protected profile needs its password (asked at a terminal, or\n"
                          "--password-stdin).",
                          FieldSet, 2, 2, {"--profile"}, {"--candidates", "--password-stdin"}));
  table.push_back(Command("field", "list", m + " field list",
                          "Lists the field definitions: group, caption, field name, input kind, "
                          "value kind.",
                          "", FieldList, 0, 0));
  table.push_back(Command("field", "add",
                          m + " field add [--name NAME] [--group GROUP] [--input KIND] "
                              "[--value-kind N] CAPTION",
                          "Adds a field to every profile.",
                          "KIND is text (the default), password, email or tel: a password input\n"
                          "takes password fields only, e-mail and telephone inputs prefer their\n"
                          "kind. NAME defaults to the caption, GROUP to Other, N to -1.",
                          FieldAdd, 1, 1, {"--name", "--group", "--input", "--value-kind"}));
  table.push_back(Command("field", "remove", m + " field remove CAPTION",
                          "Removes a field and its values from every profile.", "", FieldRemove, 1,
                          1));
  table.push_back(Command("synonym", "list", m + " synonym list CAPTION",
                          "Lists the synonyms a field is recognised by.", "", SynonymList, 1, 1));
  table.push_back(Command("synonym", "add", m + " synonym add CAPTION SYNONYM",
                          "Adds a synonym that recognises a field.",
                          "A synonym recognises one field only: one that another field had moves\n"
                          "here, and the output says so.",
                          SynonymAdd, 2, 2));
  table.push_back(Command("synonym", "remove", m + " synonym remove CAPTION SYNONYM",
                          "Removes a synonym from a field.",
                          "Words are compared as recognition compares them (letter case,\n"
                          "separators and stop words do not count). Exits 1 when the field has\n"
                          "no such synonym.",
                          SynonymRemove, 2, 2));
  table.push_back(
      Command("resolve", "", m + " resolve [--profile NAME] [--password-stdin] TAG TYPE NAME",
              "Tells which profile field a page control is recognised as, and why.",
              "TAG is input, select or textarea, TYPE the input's type (\"\" for none), NAME\n"
              "the control's name. Prints the field's caption, field name, group and value\n"
              "(also while the value is empty), or that nothing matched (exit status 1).\n" +
                  std::string(PasswordHelp),
              Resolve, 3, 3, {"--profile"}, {"--password-stdin"}));
  table.push_back(
      Command("password", "set", m + " password set [--profile NAME] [--password-stdin] [--quiet]",
              "Protects a profile with a password (or changes it).",
              "At a terminal asks for the current password (when there is one) and\n"
              "for the new one twice, without echo. With --password-stdin reads them\n"
              "from standard input instead, one per line. The password is kept as an\n"
              "Argon2id hash; the profile's values and cards are encrypted under a key\n"
              "derived from it, all anew in one step when it changes. Progress over\n"
              "the cards goes to standard error unless --quiet.",
              PasswordSet, 0, 0, {"--profile"}, {"--password-stdin", "--quiet"}));
  table.push_back(Command("password", "clear",
                          m + " password clear [--profile NAME] [--password-stdin] [--quiet]",
                          "Removes a profile's password; its data is kept in clear again.",
                          "Asks for the current password at a terminal, or reads it with\n"
                          "--password-stdin. Progress over the cards goes to standard error\n"
                          "unless --quiet.",
                          PasswordClear, 0, 0, {"--profile"}, {"--password-stdin", "--quiet"}));
}

}  // namespace qm::manager::cli
