#include "tools/mksfx/options.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/settings.h"
#include "tools/mksfx/default_folder.h"
#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/name_encoding.h"

namespace {

// One option: a text it stores, flag bits it sets, a switch it turns on,
// or none of these, for the few handled by name.
struct OptionRule {
  const char* name;
  std::string BuildOptions::*text;
  std::string ConfigTexts::*configText;
  uint32_t flags;
  bool BuildOptions::*switchOn;
};

const OptionRule kOptions[] = {
    {"--folder", nullptr, &ConfigTexts::folder, 0, nullptr},
    {"--text", nullptr, &ConfigTexts::text, 0, nullptr},
    {"--prompt", nullptr, &ConfigTexts::prompt, 0, nullptr},
    {"--title", nullptr, &ConfigTexts::title, kFlagUseTitle, nullptr},
    {"--info", nullptr, &ConfigTexts::info, 0, nullptr},
    {"--stub", &BuildOptions::stub, nullptr, 0, nullptr},
    {"--arch", &BuildOptions::arch, nullptr, 0, nullptr},
    {"--password", &BuildOptions::password, nullptr, 0, nullptr},
    {"--encryption", &BuildOptions::encryption, nullptr, 0, nullptr},
    {"--name-charset", &BuildOptions::nameCharset, nullptr, 0, nullptr},
    {"--show", &BuildOptions::show, nullptr, 0, nullptr},
    {"--prompt-buttons", nullptr, nullptr, 0, nullptr},
    {"--caption-title", nullptr, nullptr, kFlagTitleCaption, nullptr},
    {"--no-archiver-button", nullptr, nullptr, kFlagNoArchiverButton, nullptr},
    {"--overwrite", nullptr, nullptr, kFlagOverwrite, nullptr},
    {"--auto", nullptr, nullptr, kFlagUnattended, nullptr},
    {"--silent", nullptr, nullptr, kFlagSilent, nullptr},
    // The default now; still accepted, so that older scripts keep working.
    {"--sign-ready", nullptr, nullptr, 0, nullptr},
    {"--full-selfcheck", nullptr, nullptr, 0, &BuildOptions::fullSelfCheck},
    {"--no-selfcheck", nullptr, nullptr, 0, nullptr},
    {"--span", nullptr, nullptr, 0, nullptr},
    {"--span-names", nullptr, nullptr, 0, nullptr},
    {"--force", nullptr, nullptr, 0, &BuildOptions::force},
    {"--follow-links", nullptr, nullptr, 0, &BuildOptions::followLinks},
    {"--list", nullptr, nullptr, 0, &BuildOptions::list},
    {"--json", nullptr, nullptr, 0, &BuildOptions::json},
    {"--quiet", nullptr, nullptr, 0, &BuildOptions::quiet},
    {"--help", nullptr, nullptr, 0, &BuildOptions::help},
    {"-h", nullptr, nullptr, 0, &BuildOptions::help},
    {"--version", nullptr, nullptr, 0, &BuildOptions::version},
};

bool TakesValue(const OptionRule& rule) {
  static const char* const kOtherValues[] = {"--prompt-buttons", "--span", "--span-names"};
  for (const char* name : kOtherValues)
    if (std::strcmp(rule.name, name) == 0) return true;
  return rule.text != nullptr || rule.configText != nullptr;
}

const OptionRule* FindOption(const std::string& name) {
  for (const OptionRule& rule : kOptions)
    if (name == rule.name) return &rule;
  return nullptr;
}

bool Usage(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool SetPromptButtons(const std::string& value, BuildOptions* options, std::string* error) {
  options->flags &= ~(kFlagPromptQuestion | kFlagPromptOkCancel);
  if (value == "ok") return true;
  if (value == "yesno") {
    options->flags |= kFlagPromptQuestion;
    return true;
  }
  if (value == "okcancel") {
    options->flags |= kFlagPromptQuestion | kFlagPromptOkCancel;
    return true;
  }
  return Usage(error, "--prompt-buttons takes ok, okcancel or yesno, not '" + value + "'");
}

// A byte count, with an optional k (KiB) or m (MiB).
bool SetSpanSize(const std::string& value, BuildOptions* options, std::string* error) {
  size_t digits = 0;
  uint64_t size = 0;
  while (digits < value.size() && value[digits] >= '0' && value[digits] <= '9' && size < (1ull << 40))
    size = size * 10 + static_cast<uint64_t>(value[digits++] - '0');
  std::string unit = value.substr(digits);
  if (unit == "k" || unit == "K") {
    size <<= 10;
  } else if (unit == "m" || unit == "M") {
    size <<= 20;
  } else if (!unit.empty()) {
    digits = 0;
  }
  if (digits == 0 || size == 0)
    return Usage(error, "--span takes a size in bytes (such as 1457664 or 1400k), not '" + value + "'");
  options->span.diskSize = size;
  return true;
}

bool SetSpanNames(const std::string& value, BuildOptions* options, std::string* error) {
  if (value != "exe" && value != "zip") return Usage(error, "--span-names takes exe or zip, not '" + value + "'");
  options->span.exeNames = value == "exe";
  options->spanNamesGiven = true;
  return true;
}

bool ApplyOption(const OptionRule& rule, const std::string& value, BuildOptions* options,
                 std::string* error) {
  options->flags |= rule.flags;
  if (rule.text) options->*rule.text = value;
  if (rule.configText) options->texts.*rule.configText = value;
  if (rule.switchOn) options->*rule.switchOn = true;
  std::string name = rule.name;
  // An unset variable in a pipeline gives an empty password: building the
  // archive unencrypted would ship the files in the clear.
  if (name == "--password" && value.empty())
    return Usage(error, "--password is empty; the files would not be encrypted");
  // An unset variable again: names would quietly stay unconverted.
  if (name == "--name-charset" && value.empty())
    return Usage(error, "--name-charset is empty; give the charset of the names (CP437, CP1252, ...)");
  if (name == "--prompt-buttons") {
    options->promptButtonsGiven = true;
    return SetPromptButtons(value, options, error);
  }
  if (name == "--encryption" && value != "aes256" && value != "zipcrypto")
    return Usage(error, "--encryption takes aes256 or zipcrypto, not '" + value + "'");
  if (name == "--span") return SetSpanSize(value, options, error);
  if (name == "--span-names") return SetSpanNames(value, options, error);
  if (name == "--no-selfcheck") options->selfCheck = false;
  if (name == "--arch" && value != "x86" && value != "x64")
    return Usage(error, "--arch takes x86 or x64, not '" + value + "'");
  return true;
}

// The options that only make sense together.
bool CheckCombinations(const BuildOptions& options, std::string* error) {
  if (options.spanNamesGiven && options.span.diskSize == 0) return Usage(error, "--span-names needs --span");
  if (options.force && options.span.diskSize == 0) return Usage(error, "--force needs --span");
  if (!options.encryption.empty() && options.password.empty()) return Usage(error, "--encryption needs --password");
  if (options.fullSelfCheck && !options.selfCheck)
    return Usage(error, "--full-selfcheck and --no-selfcheck contradict each other");
  if (!options.nameCharset.empty() && !IsKnownCharset(options.nameCharset))
    return Usage(error, "--name-charset: no conversion from '" + options.nameCharset + "' to UTF-8");
  if (!options.nameCharset.empty() && !KeepsAsciiNames(options.nameCharset))
    return Usage(error, "--name-charset: '" + options.nameCharset + "' does not write ASCII as ASCII, as ZIP names "
                        "are written ('/' between folders); give a charset that does (CP437, CP1252, SHIFT_JIS, ...)");
  return true;
}

// "--name VALUE" or "--name=VALUE".
bool ParseOne(const std::vector<std::string>& args, size_t* i, BuildOptions* options,
              std::string* error) {
  std::string arg = args[*i];
  size_t equals = arg.find('=');
  std::string name = arg.substr(0, equals);
  const OptionRule* rule = FindOption(name);
  if (!rule) return Usage(error, "unknown option " + name);
  std::string value;
  if (equals != std::string::npos) {
    if (!TakesValue(*rule)) return Usage(error, name + " takes no value");
    value = arg.substr(equals + 1);
  } else if (TakesValue(*rule)) {
    if (*i + 1 >= args.size()) return Usage(error, name + " needs a value");
    value = args[++*i];
  }
  return ApplyOption(*rule, value, options, error);
}

// Windows runs a file as a program by its extension, in any case.
bool HasExeExtension(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".exe";
}

}  // namespace

bool ParseOptions(int argc, char** argv, BuildOptions* options, std::string* error) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (optionsEnded || args[i].size() < 2 || args[i][0] != '-') {
      operands.push_back(args[i]);
    } else if (args[i] == "--") {
      optionsEnded = true;
    } else if (!ParseOne(args, &i, options, error)) {
      return false;
    }
  }
  if (options->help || options->version) return true;
  if (!options->show.empty()) {
    if (!operands.empty()) return Usage(error, "--show takes FILE.exe alone, without INPUT and OUTPUT.exe");
    return true;
  }
  if (operands.size() != 2) return Usage(error, "expected INPUT and OUTPUT.exe");
  if (!CheckCombinations(*options, error)) return false;
  if (!options->fullSelfCheck) options->flags |= kFlagCheckFromSectionTable;
  options->input = operands[0];
  options->output = operands[1];
  return true;
}

bool ReadSourceDateEpoch(BuildOptions* options, std::string* error) {
  const char* value = std::getenv("SOURCE_DATE_EPOCH");
  if (value == nullptr) return true;
  std::string text = value;
  int64_t seconds = 0;
  bool isNumber = !text.empty() && text.size() <= 12;
  for (char c : text) {
    isNumber = isNumber && c >= '0' && c <= '9';
    seconds = seconds * 10 + (c - '0');
  }
  if (!isNumber) return Usage(error, "SOURCE_DATE_EPOCH must be a number of seconds, not '" + text + "'");
  options->clampTimes = true;
  options->latestTime = seconds;
  return true;
}

std::vector<std::string> OptionWarnings(const BuildOptions& options) {
  std::vector<std::string> warnings;
  if ((options.flags & kFlagUnattended) && !(options.flags & kFlagOverwrite))
    warnings.push_back("--auto without --overwrite: the self-extractor asks about each file that exists already, "
                       "so an unattended run may stop to wait for an answer");
  if ((options.flags & kFlagUnattended) && !options.texts.prompt.empty())
    warnings.push_back("--auto with --prompt: the start-up question is still shown and waits for an answer");
  if (options.promptButtonsGiven && options.texts.prompt.empty())
    warnings.push_back("--prompt-buttons without --prompt: there is no start-up question to show the buttons");
  std::string folderWarning = DefaultFolderWarning(options.texts.folder);
  if (!folderWarning.empty()) warnings.push_back(folderWarning);
  // A set's files are named NAME.EXE whatever OUTPUT ends with.
  if (options.span.diskSize == 0 && !HasExeExtension(options.output))
    warnings.push_back(QuoteName(options.output) + " does not end in .exe, without which Windows does not run it");
  return warnings;
}

const char* UsageText() {
  return R"(Usage: arcula-mksfx [options] INPUT OUTPUT.exe
       arcula-mksfx --span SIZE [--span-names exe|zip] [--force] [options] INPUT DIR/NAME.EXE
       arcula-mksfx [--json] --show FILE.exe
       arcula-mksfx --version | --help

Makes a self-extracting archive for Windows from INPUT: a ZIP file written
by any common tool, or a folder (zipped here, deflated, with its subfolders,
empty ones included, and modification times kept).

The ZIP is rewritten so that the self-extractor can read it front to back;
entry data is copied unchanged. Refused: methods other than stored and
deflated, ZIP64, split or spanned archives, names longer than 200 bytes,
names that could write outside the target folder or to a device, entries
that land on the same file, and damaged entries. OUTPUT may not be INPUT.

Names are stored as UTF-8 where the input says they are (the UTF-8 flag, the
Unicode Path extra field, a ZIP made on Unix, a folder); other names with
characters beyond ASCII are kept as stored, for the self-extractor to read in
the OEM code page of the Windows it runs on (as DOS and Windows zip tools
wrote them: 437 on US machines), with a warning:
  --name-charset CHARSET
                       convert those names from CHARSET to UTF-8 (any name
                       iconv knows that writes ASCII as ASCII: CP437 for
                       archives made on old Windows, CP1252, SHIFT_JIS, ...)

A folder INPUT:
  --follow-links       follow links whose destination lies inside the folder
                       (other links are refused)
  With SOURCE_DATE_EPOCH set, no time written is later than it, and times are
  written in UTC: the same tree gives the same bytes from any checkout.

Texts shown by the self-extractor (UTF-8; the limits count bytes):
  --folder TEXT        default target folder: X:\..., \\server\share\... or
                       %VARIABLE%\... ("." = the folder the self-extractor
                       lies in; empty = a temporary folder; other folders
                       are warned about); at most 260 bytes
  --text TEXT          a line kept with the archive; at most 103 bytes
  --prompt TEXT        question shown before the dialog; at most 513 bytes
  --prompt-buttons ok|okcancel|yesno
                       buttons of that question (default ok)
  --title TEXT         title of the question and the dialog; at most 64 bytes
  --caption-title      caption the dialog, the password dialog and every
                       message box with the title ("Setup" if none)
  --info TEXT          text shown by "-info"; at most 511 bytes
  The five texts with their terminators must fit in 1256 bytes.

Behaviour:
  --overwrite          overwrite existing files without asking
  --auto               unzip without waiting for the user (a warning comes
                       without --overwrite, or with --prompt: the run may
                       still stop to ask)
  --silent             run as with "/silent" by default: no window and no box,
                       the start-up question taken as accepted; an existing
                       file (without --overwrite) or an error ends the run
                       with exit code 1 ("/noauto" still shows the dialog)
  --password PASS      encrypt the files of a folder INPUT (AES-256 unless
                       --encryption says otherwise); refused with a ZIP
                       INPUT, whose entries go in as they are: give the
                       folder instead. An empty PASS is refused.
  --encryption aes256|zipcrypto
                       with --password: AES-256 (the default), or the
                       traditional ZIP encryption, which can be broken
                       without the password: only for readers that know
                       nothing else
  --no-selfcheck       do not let the self-extractor check its own image
  --full-selfcheck     let the check cover the headers too; the output can
                       then not be code-signed (by default the headers are
                       left out of the check, so that signing is safe)
  --sign-ready         the default; accepted for older scripts
  --no-archiver-button
                       hide the dialog's button that opens the file in an
                       archiver (it means nothing to someone running a setup)

Spanned sets (for removable disks):
  --span SIZE          write the set for disks of SIZE bytes (k and m suffixes:
                       KiB and MiB; 1457664 for a 1.44 MB floppy) into the
                       folders DIR/disk1, DIR/disk2, ... and print the volume
                       label each disk must carry ("PKBACK# 001", ...). SIZE
                       is the room for files on each disk: on disk 1 the
                       self-extractor counts in full, stub included. The
                       archive is cut every SIZE bytes wherever that falls.
                       DIR may not hold disk folders already.
  --span-names exe|zip
                       exe (default): disk 1 holds NAME.EXE, the
                       self-extractor with the first part of the archive (cut
                       at the last multiple of 512 within SIZE, so that it
                       stays a well-formed program); later disks hold the
                       next parts, also named NAME.EXE.
                       zip: disk 1 holds NAME.EXE (stub and texts only) and
                       NAME.ZIP, the first part; later disks hold NAME.ZIP.
  --force              remove the disk folders DIR holds from an older set;
                       only its volume files (NAME.EXE, NAME.ZIP) are removed,
                       and a disk folder holding anything else is refused
  The files are named NAME.EXE and NAME.ZIP with the extension in capitals,
  as the self-extractor looks for them.

Builder:
  --arch x86|x64       the processor of the stub: x86 (default, arcula-sfx.exe)
                       runs on every Windows; x64 (arcula-sfx64.exe) runs on
                       64-bit Windows only, without the redirections of a
                       32-bit program (Program Files (x86), SysWOW64,
                       Wow6432Node), and on Windows PE
  --stub FILE          stub to use (default: the one --arch names, beside
                       arcula-mksfx); its processor is read from the file,
                       and an --arch given with it must name the same one
  --list               list the entries that went in
  --json               print the summary (and the list, or what --show
                       shows) as one JSON document; a name, path or text
                       that is not UTF-8 comes with its bytes in hex too,
                       under its key with "_hex" added. When the build or
                       --show fails, the document lists the problems
  --quiet              print nothing but errors (and what --list asks for)
  --show FILE.exe      describe a built file: its processor, its settings
                       with the flags decoded, its texts and its entries
  --version            show the version
  -h, --help           show this text

Exit status: 0 done, 1 refused or failed (no output file is left), 2 usage.
)";
}
