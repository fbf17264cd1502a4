#include "tools/mksfx/entry_names.h"

#include <cstdio>
#include <vector>

#include "paths/entry_name.h"
#include "tools/mksfx/windows_case.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The characters Windows refuses in a name, besides ':' (refused as unsafe)
// and the separators.
const char* ForbiddenCharacterReason(char c) {
  switch (c) {
    case '*': return "it holds a '*'";
    case '?': return "it holds a '?'";
    case '<': return "it holds a '<'";
    case '>': return "it holds a '>'";
    case '|': return "it holds a '|'";
    case '"': return "it holds a '\"'";
    default: return static_cast<unsigned char>(c) < 0x20 ? "it holds a control character" : nullptr;
  }
}

// The non-empty pieces between separators: leading, trailing and repeated
// separators name nothing, as in Windows.
std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> components;
  size_t start = 0;
  while (start < name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (end > start) components.push_back(name.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The numbers of the COM and LPT ports: 0 to 9, and the superscripts 1, 2
// and 3, which Windows takes for the same ports. A name flagged as UTF-8
// holds a superscript as two bytes. A name without the flag holds it as one
// byte, which the stub reads in the OEM code page of the machine that runs
// it: which byte that is differs from one code page to the next (0xFD is a
// superscript 2 in 437 and 850, 0xB2 in the ANSI pages), so any one byte
// beyond ASCII may name a port there.
bool IsPortNumber(const std::string& number) {
  if (number.size() == 1) {
    unsigned char digit = static_cast<unsigned char>(number[0]);
    return (digit >= '0' && digit <= '9') || digit >= 0x80;
  }
  return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

// Windows maps these names to devices in any folder, whatever extension
// follows and with trailing blanks ignored: "con", "Nul.txt", "COM1 .log",
// "lpt\xC2\xB2" (LPT and a superscript 2).
bool IsDeviceName(const std::string& component) {
  size_t end = component.find('.');
  if (end == std::string::npos) end = component.size();
  while (end > 0 && component[end - 1] == ' ') --end;
  std::string base;
  for (size_t i = 0; i < end; ++i) base += FoldCase(component[i]);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  bool port = base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0;
  return port && base.size() > 3 && IsPortNumber(base.substr(3));
}

// Calls `visit` for each component between separators; stops at the first
// one for which it returns a reason.
template <typename Visit>
const char* FirstComponentReason(const std::string& path, Visit visit) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (const char* reason = visit(path.substr(start, end - start))) return reason;
    start = end + 1;
  }
  return nullptr;
}

}  // namespace

const char* UnsafeNameReason(const std::string& name) {
  std::string path = (!name.empty() && IsSeparator(name[0])) ? name.substr(1) : name;
  if (path.empty()) return "it is empty";
  // The stub keeps names as NUL-terminated text: a NUL would make it see a
  // different name from the one checked here.
  if (path.find('\0') != std::string::npos) return "it holds a NUL byte";
  if (path.find(':') != std::string::npos) return "it holds a ':' (a drive or a data stream)";
  const char* reason = FirstComponentReason(path, [](const std::string& component) -> const char* {
    if (component == "..") return "it has a '..' component";
    // Windows would read more dots as "..", or drop the component, and its
    // files would land a folder higher than the name says.
    if (component != "." && !component.empty() && component.find_first_not_of(". ") == std::string::npos)
      return "it has a component of only dots and blanks";
    if (IsDeviceName(component)) return "it names a Windows device";
    return nullptr;
  });
  if (reason != nullptr) return reason;
  // Whatever else the stub's own rule refuses ("CONIN$"), the builder
  // refuses too: a file the stub would stop at is never made.
  if (HasUnsafeComponent(path.c_str()) != 0) return "the self-extractor refuses it (a device component)";
  return nullptr;
}

const char* UncreatableNameReason(const std::string& name) {
  for (char c : name) {
    if (const char* reason = ForbiddenCharacterReason(c)) return reason;
  }
  bool isFolder = !name.empty() && IsSeparator(name.back());
  std::vector<std::string> components = Components(name);
  for (size_t i = 0; i < components.size(); ++i) {
    // "." stands for the folder it is in, which is always there; only as
    // the last component of a file does it name something to create.
    bool namesFile = !isFolder && i + 1 == components.size();
    if (components[i] == "." && !namesFile) continue;
    if (components[i].find_first_not_of(". ") == std::string::npos)
      return "it has a component of only dots and blanks";
    // Windows drops them, so the file or folder would not get the entry's
    // name; past 260 characters it keeps them, and makes a name its own
    // tools cannot open or delete.
    char last = components[i].back();
    if (last == '.' || last == ' ') return "it has a component that ends in a dot or a blank";
  }
  return nullptr;
}

std::u32string NameCollisionKey(const std::string& name, bool utf8) {
  std::u32string key;
  for (std::string component : Components(name)) {
    if (component == ".") continue;
    // Windows drops trailing dots and blanks: "a.txt. " is "a.txt".
    component.erase(component.find_last_not_of(". ") + 1);
    if (!key.empty()) key += U'/';
    for (char32_t code : utf8 ? DecodeUtf8(component) : DecodeCodePage437(component))
      key += WindowsUpperCase(code);
  }
  return key;
}

bool IsDirectionControl(char32_t code) {
  return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

std::string PrintableName(const std::string& name) {
  std::string printable;
  for (size_t at = 0; at < name.size();) {
    char c = name[at];
    unsigned char byte = static_cast<unsigned char>(c);
    size_t length = Utf8SequenceAt(name, at);
    if (c == '\n') {
      printable += "\\n";
    } else if (c == '\t') {
      printable += "\\t";
    } else if (length == 0 || byte < 0x20 || byte == 0x7F) {
      // A control character, or a byte of a name in some code page: shown
      // as its value, so that the line stays one line of valid UTF-8.
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      printable += escaped;
    } else if (char32_t code = DecodeUtf8(name.substr(at, length))[0]; IsDirectionControl(code)) {
      // Shown as its code point: printed, it would reorder the line it is in.
      char escaped[12];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(code));
      printable += escaped;
      at += length;
      continue;
    } else {
      printable.append(name, at, length);
      at += length;
      continue;
    }
    ++at;
  }
  return printable;
}

std::string QuoteName(const std::string& name) { return "\"" + PrintableName(name) + "\""; }
