// quillora-manager import, export, lexicon, note, translation, options and
// values.
#include <fcntl.h>
#include <time.h>
#include <unicode/uloc.h>
#include <unistd.h>

#include <iterator>
#include <ostream>

#include "core/CommandLine/TerminalIO.h"
#include "core/Common/LexiconJson.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/QMOptions.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/TextUtils.h"
#include "manager/cli/ManagerCli.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/recognition/LexiconBuilder.h"
#include "manager/store/StoreJson.h"
#include "platform/rtl/OsError.h"

namespace qm::manager::cli {
namespace {

using platform::RaiseOSError;

// Writes through a temporary file in the same directory and renames it in
// place, so that the file is either the old one or the whole new one.
void WriteFileAtomically(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp-" + std::to_string(getpid());
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  // The messages name the file asked for: the temporary one is ours.
  if (fd < 0) RaiseOSError("cannot write " + path);
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      close(fd);
      unlink(temporary.c_str());
      RaiseOSError("cannot write " + path, error);
    }
    written += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    RaiseOSError("cannot write " + path, error);
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    RaiseOSError("cannot replace " + path, error);
  }
}

void Deliver(const TParsedArgs& args, size_t operand, const std::string& content, ToolContext& io) {
  if (args.Operands.size() > operand && args.Operands[operand] != "-") {
    WriteFileAtomically(args.Operands[operand], content);
  } else {
    io.Out << content;
  }
}

// Empty (no language) or a language tag: "de", "pt-BR", "sr-Latn".
void CheckLanguageTag(const std::string& tag, const char* what) {
  if (tag.empty()) return;
  UErrorCode status = U_ZERO_ERROR;
  char locale[ULOC_FULLNAME_CAPACITY] = "";
  int32_t parsed = 0;
  uloc_forLanguageTag(tag.c_str(), locale, sizeof locale, &parsed, &status);
  if (U_FAILURE(status) || parsed != static_cast<int32_t>(tag.size())) {
    throw ToolError(std::string(what) + " must be a language tag such as de or pt-BR, not '" + tag +
                    "'");
  }
}

int Export(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  UnlockWithGivenPassword(*store, args, io);
  Deliver(args, 0, DumpJson(ExportStore(*store), 2) + "\n", io);
  return 0;
}

// A copy of the store as it is, beside it, readable by the user only;
// answers its name.
std::string BackUpStore(TManagerStore& store) {
  char stamp[32] = "";
  const time_t now = time(nullptr);
  struct tm parts {};
  if (gmtime_r(&now, &parts) != nullptr) strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);
  std::string path;
  for (int i = 0;; ++i) {
    path = store.Path() + ".before-import-" + stamp + (i == 0 ? "" : "-" + std::to_string(i));
    // Made empty here with mode 0600 (SQLite writes into an empty file),
    // and never over an older backup.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      break;
    }
    if (errno != EEXIST || i > 100) RaiseOSError("Cannot create the backup " + path);
  }
  try {
    store.BackUpTo(path);
  } catch (...) {
    unlink(path.c_str());
    throw;
  }
  return path;
}

std::string Counts(const TStoreCounts& c) {
  return std::to_string(c.Profiles) + " profiles, " + std::to_string(c.Fields) + " fields, " +
         std::to_string(c.Synonyms) + " synonyms, " + std::to_string(c.Cards) + " cards, " +
         std::to_string(c.Defaults) + " defaults, " + std::to_string(c.Notes) + " notes, " +
         std::to_string(c.Translations) + " translations, " + std::to_string(c.CollectedValues) +
         " collected values";
}

int Import(const TParsedArgs& args, ToolContext& io) {
  // The password line comes first, before a document on standard input.
  const std::unique_ptr<TPassword> password =
      args.Has("--password-stdin") ? ReadPassword(args, io, "Password: ", "password") : nullptr;
  const std::string text = tool::ReadInput(args.Operands[0], io);
  const Json document =
      ParseJson(text, args.Operands[0] == "-" ? "standard input" : args.Operands[0]);
  const bool dryRun = args.Has("--dry-run");
  const bool existed = access(args.Value("--db", TManagerStore::DefaultPath()).c_str(), F_OK) == 0;
  // A dry run without a store checks the document against a new one in
  // memory; a real import makes the store when there is none.
  auto store = dryRun && !existed ? std::make_unique<TManagerStore>(":memory:", &DefaultContent())
                                  : OpenStore(args, !dryRun);
  // The store as it was is kept beside it before anything is replaced.
  const std::string backup = existed && !dryRun ? BackUpStore(*store) : std::string();
  tool::TProgressLine progress(io, "import", "cards");
  TImportResult result;
  try {
    result = ImportStore(
        *store, document,
        [&](size_t done, size_t total) {
          if (!args.Has("--quiet")) progress.Update(done, total);
        },
        dryRun, password ? &password->Text() : nullptr);
  } catch (...) {
    progress.Finish();
    if (!backup.empty()) unlink(backup.c_str());  // nothing changed: nothing to keep
    throw;
  }
  progress.Finish();
  if (dryRun) {
    io.Out << "The document is good. Importing it would replace " << Counts(result.Before)
           << "\nwith " << Counts(result.After) << " (nothing was changed)\n";
  } else {
    io.Out << "Imported " << Counts(result.After) << " into " << store->Path() << "\n";
    if (!backup.empty()) io.Out << "The store as it was is kept in " << backup << "\n";
  }
  for (const String& name : result.Encrypted) {
    io.Err << "note: profile '" << Utf8(name) << "' came in clear and "
           << (dryRun ? "would be" : "was") << " encrypted with the password given\n";
  }
  for (const String& name : result.InClear) {
    io.Err << "note: profile '" << Utf8(name) << "' is protected but came in clear; "
           << "its next unlock with the password encrypts it\n";
  }
  return 0;
}

int LexiconExport(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  if (args.Has("--stream")) {
    const Bytes bytes = LexiconStream(store->Lexicon());
    Deliver(args, 0, std::string(bytes.begin(), bytes.end()), io);
    return 0;
  }
  TLexicon lexicon;
  BuildLexicon(store->Lexicon(), lexicon);
  Deliver(args, 0, LexiconToJsonText(lexicon), io);
  return 0;
}

int LexiconImport(const TParsedArgs& args, ToolContext& io) {
  const std::string content = tool::ReadInput(args.Operands[0], io);
  TLexicon lexicon;
  const size_t first = content.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && content[first] == '{') {
    LexiconFromJsonText(content, lexicon);
  } else {
    TMemoryStream stream(std::vector<uint8_t>(content.begin(), content.end()));
    TStreamReader reader(stream);
    if (!lexicon.LoadFromReader(reader, LexiconStreamVersion)) {
      throw ToolError("corrupt lexicon stream at byte " + std::to_string(reader.FailOffset()) +
                      ": " + Utf8(reader.FailReason()));
    }
    if (stream.Remaining() != 0) {
      throw ToolError(std::to_string(stream.Remaining()) + " bytes follow the lexicon stream");
    }
  }
  auto store = OpenStore(args);
  store->ReplaceLexicon(LexiconDataOf(lexicon));
  io.Out << "Imported a lexicon of " << lexicon.Goals().Count() << " goals and "
         << lexicon.Substitutions().Count() << " substitutions\n";
  return 0;
}

int NoteSet(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const TPageNote note{ArgText(args.Operands[0]), ArgText(args.Operands[1]),
                       ArgText(args.Operands[2])};
  store->SetPageNote(note);
  io.Out << (note.Title.empty() && note.Text.empty() ? "Removed the note of '"
                                                     : "Set the note of '")
         << args.Operands[0] << "'\n";
  return 0;
}

int NoteList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  for (const TPageNote& note : store->PageNotes()) {
    io.Out << Utf8(note.Url) << "\t" << Utf8(note.Title) << "\t" << Utf8(note.Text) << "\n";
  }
  return 0;
}

int TranslationSet(const TParsedArgs& args, ToolContext& io) {
  CheckLanguageTag(args.Operands[0], "LANGUAGE");
  auto store = OpenStore(args);
  const TTranslation translation{ArgText(args.Operands[0]), ArgText(args.Operands[1]),
                                 ArgText(args.Operands[2])};
  if (translation.Language.empty()) throw ToolError("the language is empty");
  store->SetTranslation(translation);
  io.Out << (translation.Translated.empty() ? "Removed" : "Set") << " the " << args.Operands[0]
         << " translation of '" << args.Operands[1] << "'\n";
  return 0;
}

int TranslationList(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const String language = args.Operands.empty() ? String() : ArgText(args.Operands[0]);
  for (const TTranslation& t : store->Translations(language)) {
    io.Out << Utf8(t.Language) << "\t" << Utf8(t.Source) << "\t" << Utf8(t.Translated) << "\n";
  }
  return 0;
}

// The command-line option of each switch, in the order of OptionSwitches.
constexpr const char* SwitchOptions[] = {"--auto-fill", "--auto-submit",   "--ask-confirm",
                                         "--auto-show", "--auto-fill-new", "--auto-bind"};
static_assert(std::size(SwitchOptions) == std::size(OptionSwitches));

int OptionsGet(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  const int32_t word = store->OptionsWord();
  char hex[16];
  snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(word));
  io.Out << "word: " << hex << "\n";
  const TQMOptions options = TQMOptions::FromWord(word);
  for (const TOptionSwitch& s : OptionSwitches) {
    io.Out << s.Name << ": " << (options.*s.Field != 0 ? "on" : "off") << "\n";
  }
  io.Out << "OnSubmit: " << int{options.OnSubmit} << "\n"
         << "banner-mode: " << store->BannerMode() << "\n"
         << "language: " << (store->Language().empty() ? "(none)" : Utf8(store->Language()))
         << "\n";
  return 0;
}

// A whole number in [low, high], decimal or 0x hexadecimal; text that
// holds anything else, or that would not fit, is refused rather than cut.
int64_t NumberOption(const TParsedArgs& args, const char* option, int64_t low, int64_t high) {
  const std::string text = args.Value(option);
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  int64_t value = 0;
  bool ok = !digits.empty() && digits.size() <= 18;
  for (size_t i = 0; ok && i < digits.size(); ++i) {
    const char c = digits[i];
    if (!hex && i == 0 && c == '-' && digits.size() > 1) continue;
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    ok = digit >= 0;
    value = value * (hex ? 16 : 10) + digit;
  }
  if (!ok) throw ToolError(std::string(option) + " must be a number, not '" + text + "'");
  if (!hex && digits[0] == '-') value = -value;
  if (value < low || value > high) {
    throw ToolError(std::string(option) + " must be from " + std::to_string(low) + " to " +
                    std::to_string(high) + ", not " + text);
  }
  return value;
}

int OptionsSet(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  bool any = false;
  store->Write(ChangeNone, [&] {
    int32_t word = store->OptionsWord();
    if (args.Has("--word")) {
      // Any 32 bits, written signed or unsigned; OnSubmit (bits 6 and 7)
      // knows 0, 1 and 2 only.
      word = static_cast<int32_t>(
          static_cast<uint32_t>(NumberOption(args, "--word", INT32_MIN, UINT32_MAX)));
      if (((static_cast<uint32_t>(word) >> 6) & 3) == 3) {
        throw ToolError("--word holds OnSubmit 3 in bits 6 and 7; it must be 0, 1 or 2");
      }
    }
    TQMOptions options = TQMOptions::FromWord(word);
    for (size_t i = 0; i < std::size(OptionSwitches); ++i) {
      const char* option = SwitchOptions[i];
      if (!args.Has(option)) continue;
      const std::string value = args.Value(option);
      if (value != "on" && value != "off")
        throw ToolError(std::string(option) + " must be on or off");
      options.*OptionSwitches[i].Field = value == "on" ? 1 : 0;
    }
    if (args.Has("--on-submit")) {
      options.OnSubmit = static_cast<uint8_t>(NumberOption(args, "--on-submit", 0, 2));
    }
    // Bits the options don't know stay as they were.
    word = (word & ~TQMOptions::WordBits) | options.ToWord();
    if (word != store->OptionsWord()) store->SetOptionsWord(word);
    if (args.Has("--banner-mode")) {
      store->SetBannerMode(static_cast<int32_t>(NumberOption(args, "--banner-mode", 0, 1)));
    }
    if (args.Has("--language")) {
      CheckLanguageTag(args.Value("--language"), "--language");
      store->SetLanguage(ArgText(args.Value("--language")));
    }
    any = !args.Values.empty() && !(args.Values.size() == 1 && args.Has("--db"));
  });
  if (!any) throw ToolError("nothing to set (see --help)");
  return OptionsGet(args, io);
}

int Values(const TParsedArgs& args, ToolContext& io) {
  auto store = OpenStore(args);
  if (args.Has("--clear")) {
    store->ClearCollectedValues();
    io.Out << "Cleared the collected values\n";
    return 0;
  }
  for (const TCollectedValue& value : store->CollectedValues())
    io.Out << Utf8(value.Value) << "\n";
  return 0;
}

}  // namespace

void RegisterDataCommands(CommandTable& table) {
  const std::string m = ProgramName;
  table.push_back(Command("export", "", m + " export [--password-stdin] [FILE]",
                          "Writes the whole store as JSON (to standard output without FILE).",
                          "Everything goes: profiles with their password hashes and values,\n"
                          "fields, the lexicon, cards, defaults, settings, notes, translations\n"
                          "and collected values. import reads it back without loss. A protected\n"
                          "profile's values and cards go out encrypted, as they are stored,\n"
                          "unless --password-stdin gives its password: then in clear. A FILE is\n"
                          "replaced only once it is written whole. Keys are capitalised\n"
                          "(\"StopWords\"), as in every JSON document of the project.",
                          Export, 0, 1, {}, {"--password-stdin"}));
  table.push_back(
      Command("import", "", m + " import [--dry-run] [--quiet] [--password-stdin] FILE",
              "Replaces the whole store with a JSON document made by export.",
              "FILE - reads standard input. An unknown key, a value of the wrong type\n"
              "or a document without an active profile is refused, naming the place.\n"
              "The import is one transaction: a document with a problem, or an\n"
              "interrupted import, leaves the store as it was. Before it replaces the\n"
              "store, a copy of it is kept beside it (mode 0600, named in the output).\n"
              "--dry-run checks the document and tells what it would change, changing\n"
              "nothing. Progress goes to standard error unless --quiet. Documents of\n"
              "the first version (keys with a small first letter) are read as well.\n"
              "Makes the store when there is none. A protected profile that comes in\n"
              "clear (export --password-stdin) is stored in clear until its next\n"
              "unlock, unless --password-stdin gives its password: then it is\n"
              "encrypted within the import, and a password that does not open every\n"
              "such profile stops the import. The password line comes before a\n"
              "document on standard input.",
              Import, 1, 1, {}, {"--dry-run", "--quiet", "--password-stdin"}));
  table.push_back(Command("lexicon", "export", m + " lexicon export [--stream] [FILE]",
                          "Writes the lexicon as JSON, or with --stream as the version-10 "
                          "stream the add-on reads.",
                          "", LexiconExport, 0, 1, {}, {"--stream"}));
  table.push_back(Command("lexicon", "import", m + " lexicon import FILE",
                          "Replaces the lexicon from a JSON document or a version-10 stream.",
                          "A goal's key is a field name; its words are the field's synonyms.",
                          LexiconImport, 1, 1));
  table.push_back(Command("note", "set", m + " note set URL TITLE TEXT",
                          "Sets the note the add-on shows for a page key.",
                          "An empty TITLE and TEXT remove the note.", NoteSet, 3, 3));
  table.push_back(
      Command("note", "list", m + " note list", "Lists the page notes.", "", NoteList, 0, 0));
  table.push_back(Command("translation", "set", m + " translation set LANGUAGE SOURCE TEXT",
                          "Sets the translation of a command caption for a language.",
                          "LANGUAGE is a language tag such as de or pt-BR. An empty TEXT removes\n"
                          "it. The current language is set with options set --language.",
                          TranslationSet, 3, 3));
  table.push_back(Command("translation", "list", m + " translation list [LANGUAGE]",
                          "Lists the translation tables.", "", TranslationList, 0, 1));
  table.push_back(Command("options", "get", m + " options get",
                          "Shows the default options the add-on starts with, the banner mode "
                          "and the language.",
                          "", OptionsGet, 0, 0));
  table.push_back(
      Command("options", "set",
              m + " options set [--word N] [--auto-fill on|off] [--auto-submit on|off] "
                  "[--ask-confirm on|off] [--auto-show on|off] [--auto-fill-new on|off] "
                  "[--auto-bind on|off] [--on-submit 0|1|2] [--banner-mode 0|1] [--language LANG]",
              "Changes the default options, the banner mode or the language.",
              "The options word holds AutoFill, AutoSubmit, AskConfirm, AutoShow, AutoFillNew and\n"
              "AutoBind in bits 0 to 5 and OnSubmit (0 nothing, 1 ask, 2 save at once) in bits 6\n"
              "and 7; the default is 0x59. --word sets it whole (decimal or 0x hex, 32 bits,\n"
              "OnSubmit at most 2); bits the options don't know are kept. LANG is a language\n"
              "tag (de, pt-BR), or empty for none.",
              OptionsSet, 0, 0,
              {"--word", "--auto-fill", "--auto-submit", "--ask-confirm", "--auto-show",
               "--auto-fill-new", "--auto-bind", "--on-submit", "--banner-mode", "--language"}));
  table.push_back(Command("values", "", m + " values [--clear]",
                          "Lists the values collected by the add-on's \"Add all values\".",
                          "--clear forgets them.", Values, 0, 0, {}, {"--clear"}));
}

}  // namespace qm::manager::cli
