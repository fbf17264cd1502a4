#include "stub/command_line.h"

#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "base/run_facts.h"

namespace {

// One word of the tail: where it stands, as typed, and whether it held a
// double quote (such a word is never a switch).
struct Word {
  const char* start;
  const char* end;
  bool quoted;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Appends `c` to a word's text while it fits; `*length` counts on regardless,
// so that the caller can tell a text that did not fit.
void Put(char* text, uint32_t size, uint32_t* length, char c) {
  if (text != nullptr && *length + 1 < size) text[*length] = c;
  ++*length;
}

// Reads the word at `at` (or behind the blanks there) into `word`, and its
// text, quotes and escapes worked out, into `text` (`size` bytes, or null).
// Returns the text's length, which is `size` or more when it did not fit;
// false in `found` at the end of the tail.
uint32_t ScanWord(const char* at, Word* word, bool* found, char* text, uint32_t size) {
  while (IsBlank(*at)) ++at;
  word->start = at;
  word->quoted = false;
  *found = *at != 0;
  uint32_t length = 0;
  uint32_t backslashes = 0;
  bool inQuotes = false;
  for (; *at != 0 && (inQuotes || !IsBlank(*at)); ++at) {
    if (*at == '\\') {
      ++backslashes;
      continue;
    }
    if (*at == '"') {
      word->quoted = true;
      for (uint32_t i = 0; i < backslashes / 2; ++i) Put(text, size, &length, '\\');
      if (backslashes % 2 == 1) {
        Put(text, size, &length, '"');
      } else if (inQuotes && at[1] == '"') {
        Put(text, size, &length, '"');
        inQuotes = false;
        ++at;
      } else {
        inQuotes = !inQuotes;
      }
    } else {
      for (uint32_t i = 0; i < backslashes; ++i) Put(text, size, &length, '\\');
      Put(text, size, &length, *at);
    }
    backslashes = 0;
  }
  for (uint32_t i = 0; i < backslashes; ++i) Put(text, size, &length, '\\');
  word->end = at;
  if (text != nullptr && size != 0) text[length < size ? length : size - 1] = 0;
  return length;
}

bool IsSwitchLike(const Word& word) {
  return !word.quoted && (word.start[0] == '/' || word.start[0] == '-') && word.end - word.start >= 2;
}

enum SwitchKind {
  kPlainWord,
  kSwitchAuto,
  kSwitchSilent,
  kSwitchNoAuto,
  kSwitchOverwrite,
  kSwitchPassword,
  kSwitchLog,
  kSwitchInfo,
  kSwitchUnknown,
};

// True when the word behind its '/' or '-' is `name` (lower case), in any case.
bool Names(const Word& word, const char* name) {
  const char* at = word.start + 1;
  for (; at < word.end && *name != 0; ++at, ++name) {
    char c = *at >= 'A' && *at <= 'Z' ? static_cast<char>(*at - 'A' + 'a') : *at;
    if (c != *name) return false;
  }
  return at == word.end && *name == 0;
}

SwitchKind Classify(const Word& word) {
  if (!IsSwitchLike(word)) return kPlainWord;
  // -info predates the other switches and was always matched exactly.
  if (word.end - word.start == 5 && CompareBytes(word.start, "-info", 5) == 0) return kSwitchInfo;
  static const struct {
    const char* name;
    SwitchKind kind;
  } kSwitches[] = {
      {"auto", kSwitchAuto},           {"silent", kSwitchSilent},     {"noauto", kSwitchNoAuto},
      {"overwrite", kSwitchOverwrite}, {"password", kSwitchPassword}, {"log", kSwitchLog},
  };
  for (const auto& known : kSwitches) {
    if (Names(word, known.name)) return known.kind;
  }
  return kSwitchUnknown;
}

// The word behind a switch that takes one, whatever it looks like (a
// password may begin with '-'), into `value`; a value too long for it is
// dropped rather than cut, since a cut path or password would be another one.
// Returns where reading goes on.
const char* TakeValue(const char* at, char* value, uint32_t size) {
  Word word;
  bool found;
  uint32_t length = ScanWord(at, &word, &found, value, size);
  if (length >= size) value[0] = 0;
  return found ? word.end : at;
}

// The folder behind /auto or /silent, when one follows: one quoted word, or
// the unquoted words up to the next switch-like word, taken as typed from
// the first to the end of the last, so that the blanks between them stay.
// Returns where reading goes on.
const char* TakeFolder(const char* at, CommandLineRequest* request) {
  Word first;
  bool found;
  ScanWord(at, &first, &found, nullptr, 0);
  if (!found || IsSwitchLike(first)) return at;  // none: an earlier folder or the configured one stays
  uint32_t length = ScanWord(at, &first, &found, request->folder, kTargetFolderSize);
  const char* end = first.end;
  bool strayQuote = false;
  if (!first.quoted) {
    Word next;
    for (;;) {
      ScanWord(end, &next, &found, nullptr, 0);
      if (!found || IsSwitchLike(next)) break;
      strayQuote = strayQuote || next.quoted;
      end = next.end;
    }
    length = static_cast<uint32_t>(end - first.start);
    if (length < kTargetFolderSize) {
      CopyBytes(request->folder, first.start, length);
      request->folder[length] = 0;
    }
  }
  // Refused rather than cut: a cut folder would unzip somewhere else.
  bool fits = length < kTargetFolderSize && Utf16Length(request->folder) <= kTargetFolderUnits;
  request->folderGiven = fits && !strayQuote;
  request->folderRefused = !request->folderGiven;
  if (request->folderRefused) request->folder[0] = 0;
  return end;
}

}  // namespace

void ReadCommandLine(const char* tail, CommandLineRequest* request) {
  FillBytes(request, 0, sizeof *request);
  const char* at = tail;
  for (;;) {
    Word word;
    bool found;
    ScanWord(at, &word, &found, nullptr, 0);
    if (!found) return;
    at = word.end;
    switch (Classify(word)) {
      case kSwitchSilent:
        g_silentMode = true;
        [[fallthrough]];
      case kSwitchAuto:
        request->autoSwitch = true;
        at = TakeFolder(at, request);
        break;
      case kSwitchNoAuto: request->noAutoSwitch = true; break;
      case kSwitchOverwrite: g_overwriteRequested = true; break;
      case kSwitchPassword: {
        const char* value = at;
        at = TakeValue(at, g_commandLinePassword, kCommandLinePasswordSize);
        request->passwordStart = value;
        request->passwordEnd = at;
        break;
      }
      case kSwitchLog: at = TakeValue(at, g_logPath, kExecutablePathSize); break;
      case kSwitchInfo: request->infoSwitch = true; break;
      case kSwitchUnknown:
        if (request->unknownSwitch == nullptr) {
          request->unknownSwitch = word.start;
          request->unknownSwitchLength = static_cast<uint32_t>(word.end - word.start);
        }
        break;
      case kPlainWord: break;
    }
  }
}

namespace {

// Appends bytes [from, to) of the tail to `text` (`length` used of `size`);
// false when they did not all fit.
bool AppendSpan(char* text, uint32_t size, uint32_t* length, const char* from, const char* to) {
  for (; from < to; ++from) {
    if (*length + 1 >= size) return false;
    text[(*length)++] = *from;
  }
  return true;
}

}  // namespace

void TailForLog(const char* tail, const CommandLineRequest& request, char* text, uint32_t size) {
  static const char kBlank[] = " ";
  static const char kHidden[] = " *****";
  static const char kCut[] = "...";
  while (*tail == ' ' || *tail == '\t') ++tail;
  const char* end = tail + TextLength(tail);
  while (end > tail && (end[-1] == ' ' || end[-1] == '\t')) --end;
  uint32_t length = 0;
  bool fits = true;
  if (tail < end) fits = AppendSpan(text, size - sizeof kCut, &length, kBlank, kBlank + 1);
  if (request.passwordStart != nullptr && request.passwordStart >= tail) {
    fits = fits && AppendSpan(text, size - sizeof kCut, &length, tail, request.passwordStart);
    fits = fits && AppendSpan(text, size - sizeof kCut, &length, kHidden, kHidden + sizeof kHidden - 1);
    tail = request.passwordEnd < end ? request.passwordEnd : end;
  }
  fits = fits && AppendSpan(text, size - sizeof kCut, &length, tail, end);
  if (!fits) {
    // Whole characters only: back off over a last character that may be cut.
    while (length > 0 && (static_cast<uint8_t>(text[length - 1]) & 0xC0) == 0x80) --length;
    if (length > 0 && static_cast<uint8_t>(text[length - 1]) >= 0xC0) --length;
    CopyText(text + length, kCut, sizeof kCut);
    return;
  }
  text[length] = 0;
}
