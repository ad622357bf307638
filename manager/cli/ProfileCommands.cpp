// quillora-manager profile, field, synonym, resolve and password.
#include <ostream>

#include "core/Common/QMLexicon.h"
#include "core/Common/TextUtils.h"
#include "manager/cli/ManagerCli.h"
#include "manager/recognition/FieldRecognizer.h"
#include "manager/recognition/LexiconBuilder.h"
#include "manager/store/PasswordHash.h"

namespace qm::manager::cli {
namespace {

const char* const PasswordHelp =
    "A protected profile's values are shown or changed only with --password-stdin,\n"
    "which reads the profile's password from the first line of standard input.";

int ProfileList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  for (const TProfile& profile : store->Profiles()) {
    io.Out << (profile.Active ? "* " : "  ") << Utf8(profile.Name)
           << (profile.Protected() ? "  (protected)" : "") << "\n";
  }
  return 0;
}

int ProfileAdd(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = store->AddProfile(ArgText(args.Operands[0]));
  io.Out << "Added profile '" << Utf8(profile.Name) << "'\n";
  return 0;
}

int ProfileRemove(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = store->ProfileNamed(ArgText(args.Operands[0]));
  if (!Unlock(profile, args, io)) {
    throw ToolError("profile '" + Utf8(profile.Name) +
                    "' is protected: give its password with --password-stdin");
  }
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
  const bool open = Unlock(profile, args, io);
  io.Out << "Profile '" << Utf8(profile.Name) << "'" << (profile.Active ? " (active)" : "")
         << (profile.Protected() ? " (protected)" : "") << "\n";
  String group = u"\x1f";
  for (const TFieldValue& value : store->ProfileValues(profile.Id)) {
    if (value.Field.Group != group) {
      group = value.Field.Group;
      io.Out << "[" << Utf8(group) << "]\n";
    }
    io.Out << "  " << Utf8(value.Field.Caption) << " (" << Utf8(value.Field.FieldName) << "): ";
    if (!open) {
      io.Out << (value.Value.empty() && value.Candidates.empty() ? "" : "(hidden)") << "\n";
      continue;
    }
    io.Out << Utf8(value.Value);
    if (!value.Candidates.empty()) io.Out << "  [candidates: " << Utf8(value.Candidates) << "]";
    io.Out << "\n";
  }
  if (!open) io.Out << "(values hidden: the profile is protected; see --help)\n";
  return 0;
}

int FieldSet(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = ChosenProfile(*store, args);
  const TFieldDef field = store->FieldCaptioned(ArgText(args.Operands[0]));
  if (!Unlock(profile, args, io)) {
    throw ToolError("profile '" + Utf8(profile.Name) +
                    "' is protected: give its password with --password-stdin");
  }
  const String value = ArgText(args.Operands[1]);
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

int SynonymAdd(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TFieldDef field = store->FieldCaptioned(ArgText(args.Operands[0]));
  const String synonym = Trim(ArgText(args.Operands[1]));
  if (synonym.empty()) throw ToolError("the synonym is empty");
  TLexicon lexicon;
  TLexiconData data = store->Lexicon();
  BuildLexicon(data, lexicon);
  if (!AssignSynonym(data, lexicon, field.FieldName, synonym)) {
    io.Out << "'" << Utf8(field.Caption) << "' has that synonym already\n";
    return 0;
  }
  store->ReplaceLexicon(data);
  io.Out << "Added synonym '" << Utf8(synonym) << "' to '" << Utf8(field.Caption) << "'\n";
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
    return 0;
  }
  const std::optional<TRecognition>& found = report.Found;
  const TFieldValue value = store->FieldValue(profile.Id, found->Field);
  io.Out << "Field:   " << Utf8(found->Field.Caption) << "\n"
         << "Name:    " << Utf8(found->Field.FieldName) << "\n"
         << "Group:   " << Utf8(found->Field.Group) << "\n"
         << "Read as: " << Utf8(report.Words) << "\n"
         << "Because: " << report.Why << "\n";
  if (!Unlock(profile, args, io)) {
    io.Out << "Value:   (hidden: profile '" << Utf8(profile.Name) << "' is protected)\n";
    return 0;
  }
  io.Out << "Value:   " << Utf8(value.Value)
         << (value.Value.empty() ? "(empty: the page would not be filled)" : "") << "\n";
  if (!value.Candidates.empty()) io.Out << "Candidates: " << Utf8(value.Candidates) << "\n";
  return 0;
}

int PasswordSet(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = ChosenProfile(*store, args);
  if (profile.Protected() &&
      !VerifyPassword(profile.PasswordHash, ArgText(ReadSecretLine(io, "current password")))) {
    throw ToolError("wrong current password for profile '" + Utf8(profile.Name) + "'");
  }
  const String password = ArgText(ReadSecretLine(io, "new password"));
  if (password.empty()) throw ToolError("the new password is empty (use password clear)");
  store->SetPasswordHash(profile.Id, HashPassword(password));
  io.Out << "Profile '" << Utf8(profile.Name) << "' is protected\n";
  return 0;
}

int PasswordClear(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TProfile profile = ChosenProfile(*store, args);
  if (!profile.Protected()) {
    io.Out << "Profile '" << Utf8(profile.Name) << "' has no password\n";
    return 0;
  }
  if (!VerifyPassword(profile.PasswordHash, ArgText(ReadSecretLine(io, "current password")))) {
    throw ToolError("wrong current password for profile '" + Utf8(profile.Name) + "'");
  }
  store->SetPasswordHash(profile.Id, u"");
  io.Out << "Profile '" << Utf8(profile.Name) << "' is no longer protected\n";
  return 0;
}

}  // namespace

void RegisterProfileCommands(CommandTable& table) {
  const std::string m = ProgramName;
  table.push_back(Command("profile", "list", m + " profile list [--db PATH]",
                          "Lists the profiles; * marks the active one.", "", ProfileList, 0, 0));
  table.push_back(Command("profile", "add", m + " profile add NAME", "Adds a profile.",
                          "Names are unique regardless of letter case.", ProfileAdd, 1, 1));
  table.push_back(Command("profile", "remove", m + " profile remove [--password-stdin] NAME",
                          "Removes a profile with its values and the cards it protects.",
                          "The last profile cannot be removed.\n" + std::string(PasswordHelp),
                          ProfileRemove, 1, 1, {}, {"--password-stdin"}));
  table.push_back(Command("profile", "activate", m + " profile activate NAME",
                          "Makes a profile the active one.", "", ProfileActivate, 1, 1));
  table.push_back(Command("profile", "show", m + " profile show [--password-stdin] [NAME]",
                          "Shows a profile's fields and values (the active profile by default).",
                          PasswordHelp, ProfileShow, 0, 1, {}, {"--password-stdin"}));
  table.push_back(Command("field", "set",
                          m + " field set [--profile NAME] [--candidates] [--password-stdin] "
                              "CAPTION VALUE",
                          "Sets a profile field's value (or, with --candidates, its candidate "
                          "values as a comma text).",
                          PasswordHelp, FieldSet, 2, 2, {"--profile"},
                          {"--candidates", "--password-stdin"}));
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
                          "Adds a synonym that recognises a field.", "", SynonymAdd, 2, 2));
  table.push_back(
      Command("resolve", "", m + " resolve [--profile NAME] [--password-stdin] TAG TYPE NAME",
              "Tells which profile field a page control is recognised as, and why.",
              "TAG is input, select or textarea, TYPE the input's type (\"\" for none), NAME\n"
              "the control's name. Prints the field's caption, field name, group and value\n"
              "(also while the value is empty), or that nothing matched.\n" +
                  std::string(PasswordHelp),
              Resolve, 3, 3, {"--profile"}, {"--password-stdin"}));
  table.push_back(Command("password", "set", m + " password set [--profile NAME]",
                          "Protects a profile with a password (or changes it).",
                          "Reads from standard input: the current password when the profile has\n"
                          "one, then the new password, one per line. Stored as an Argon2id hash.",
                          PasswordSet, 0, 0, {"--profile"}));
  table.push_back(Command("password", "clear", m + " password clear [--profile NAME]",
                          "Removes a profile's password.",
                          "Reads the current password from the first line of standard input.",
                          PasswordClear, 0, 0, {"--profile"}));
}

}  // namespace qm::manager::cli
