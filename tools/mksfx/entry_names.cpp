#include "tools/mksfx/entry_names.h"

#include <cstdio>

#include "paths/entry_name.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows maps these names to devices in any folder, whatever extension
// follows and with trailing blanks ignored: "con", "Nul.txt", "COM1 .log".
bool IsDeviceName(const std::string& component) {
  size_t end = component.find('.');
  if (end == std::string::npos) end = component.size();
  while (end > 0 && component[end - 1] == ' ') --end;
  std::string base;
  for (size_t i = 0; i < end; ++i) base += FoldCase(component[i]);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
  return numbered && base[3] >= '1' && base[3] <= '9';
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
    if (IsDeviceName(component)) return "it names a Windows device";
    return nullptr;
  });
  if (reason != nullptr) return reason;
  // Whatever else the stub's own rule refuses ("...", "CONIN$", "COM\xB9"),
  // the builder refuses too: a file the stub would stop at is never made.
  if (HasUnsafeComponent(path.c_str()) != 0) return "the self-extractor refuses it (a dot-only or device component)";
  return nullptr;
}

std::string NameCollisionKey(const std::string& name) {
  std::string key;
  for (char c : name) key += IsSeparator(c) ? '/' : static_cast<char>(FoldCase(c));
  if (!key.empty() && key.front() == '/') key.erase(0, 1);
  if (!key.empty() && key.back() == '/') key.pop_back();
  return key;
}

std::string QuoteName(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}
