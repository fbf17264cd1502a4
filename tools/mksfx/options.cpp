#include "tools/mksfx/options.h"

#include <cstring>
#include <vector>

#include "stub/settings.h"
#include "tools/mksfx/name_encoding.h"

namespace {

// One option: either a text it stores, or flag bits it sets (or both none,
// for the few handled by name).
struct OptionRule {
  const char* name;
  std::string BuildOptions::*text;
  std::string ConfigTexts::*configText;
  uint32_t flags;
};

const OptionRule kOptions[] = {
    {"--folder", nullptr, &ConfigTexts::folder, 0},
    {"--text", nullptr, &ConfigTexts::text, 0},
    {"--prompt", nullptr, &ConfigTexts::prompt, 0},
    {"--title", nullptr, &ConfigTexts::title, kFlagUseTitle},
    {"--info", nullptr, &ConfigTexts::info, 0},
    {"--stub", &BuildOptions::stub, nullptr, 0},
    {"--password", &BuildOptions::password, nullptr, 0},
    {"--name-charset", &BuildOptions::nameCharset, nullptr, 0},
    {"--prompt-buttons", nullptr, nullptr, 0},
    {"--caption-title", nullptr, nullptr, kFlagTitleCaption},
    {"--overwrite", nullptr, nullptr, kFlagOverwrite},
    {"--auto", nullptr, nullptr, kFlagUnattended},
    {"--sign-ready", nullptr, nullptr, kFlagCheckFromSectionTable},
    {"--no-selfcheck", nullptr, nullptr, 0},
    {"--span", nullptr, nullptr, 0},
    {"--span-names", nullptr, nullptr, 0},
    {"--list", nullptr, nullptr, 0},
    {"--help", nullptr, nullptr, 0},
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
  std::string name = rule.name;
  if (name == "--prompt-buttons") return SetPromptButtons(value, options, error);
  if (name == "--span") return SetSpanSize(value, options, error);
  if (name == "--span-names") return SetSpanNames(value, options, error);
  if (name == "--no-selfcheck") options->selfCheck = false;
  if (name == "--list") options->list = true;
  if (name == "--help") options->help = true;
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
  if (options->help) return true;
  if (operands.size() != 2) return Usage(error, "expected INPUT and OUTPUT.exe");
  if (options->spanNamesGiven && options->span.diskSize == 0) return Usage(error, "--span-names needs --span");
  if (!options->nameCharset.empty() && !IsKnownCharset(options->nameCharset))
    return Usage(error, "--name-charset: no conversion from '" + options->nameCharset + "' to UTF-8");
  options->input = operands[0];
  options->output = operands[1];
  return true;
}

const char* UsageText() {
  return R"(Usage: arcula-mksfx [options] INPUT OUTPUT.exe
       arcula-mksfx --span SIZE [--span-names exe|zip] [options] INPUT DIR/NAME.EXE

Makes a self-extracting archive for Windows from INPUT: a ZIP file written
by any common tool, or a folder (zipped here, deflated, with its subfolders,
empty ones included, and modification times kept).

The ZIP is rewritten so that the self-extractor can read it front to back;
entry data is copied unchanged. Refused: methods other than stored and
deflated, ZIP64, split or spanned archives, names longer than 200 bytes,
names that could write outside the target folder or to a device, entries
that land on the same file, and damaged entries.

Names are stored as UTF-8 where the input says they are (the UTF-8 flag, the
Unicode Path extra field, a ZIP made on Unix, a folder); other names with
characters beyond ASCII are kept as stored, for the self-extractor to read in
the ANSI code page of the Windows it runs on, with a warning:
  --name-charset CHARSET
                       convert those names from CHARSET to UTF-8 (any name
                       iconv knows: CP437 for archives made on old Windows,
                       CP1252, SHIFT_JIS, ...)

Texts shown by the self-extractor (UTF-8; the limits count bytes):
  --folder TEXT        default target folder ("." = the current directory;
                       empty = a temporary folder); at most 260 bytes
  --text TEXT          a line kept with the archive; at most 103 bytes
  --prompt TEXT        question shown before the dialog; at most 513 bytes
  --prompt-buttons ok|okcancel|yesno
                       buttons of that question (default ok)
  --title TEXT         title of the question and the dialog; at most 64 bytes
  --caption-title      caption the dialog with the title ("Setup" if none)
  --info TEXT          text shown by "-info"; at most 511 bytes
  The five texts with their terminators must fit in 1256 bytes.

Behaviour:
  --overwrite          overwrite existing files without asking
  --auto               unzip without waiting for the user
  --password PASS      encrypt the files of a folder INPUT (traditional ZIP
                       encryption); a ZIP INPUT keeps its own encryption
  --no-selfcheck       do not let the self-extractor check its own image
  --sign-ready         leave the headers out of that check, so the output
                       can be code-signed afterwards

Spanned sets (for removable disks):
  --span SIZE          write the set for disks of SIZE bytes (k and m suffixes:
                       KiB and MiB; 1457664 for a 1.44 MB floppy) into the
                       folders DIR/disk1, DIR/disk2, ... and print the volume
                       label each disk must carry ("PKBACK# 001", ...). SIZE
                       is the room for files on each disk: on disk 1 the
                       self-extractor counts in full, stub included. The
                       archive is cut every SIZE bytes wherever that falls.
  --span-names exe|zip
                       exe (default): disk 1 holds NAME.EXE, the
                       self-extractor with the first part of the archive (cut
                       at the last multiple of 512 within SIZE, so that it
                       stays a well-formed program); later disks hold the
                       next parts, also named NAME.EXE.
                       zip: disk 1 holds NAME.EXE (stub and texts only) and
                       NAME.ZIP, the first part; later disks hold NAME.ZIP.
  The files are named NAME.EXE and NAME.ZIP with the extension in capitals,
  as the self-extractor looks for them.

Builder:
  --stub FILE          stub to use (default: arcula-sfx.exe beside arcula-mksfx)
  --list               list the entries that went in
  --help               show this text

Exit status: 0 done, 1 refused or failed (no output file is left), 2 usage.
)";
}
