#include "tools/mksfx/default_folder.h"

#include "tools/mksfx/entry_names.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The length of a "%NAME%" at the start of `folder`, or 0.
size_t VariableLength(const std::string& folder) {
  if (folder.empty() || folder[0] != '%') return 0;
  size_t close = folder.find('%', 1);
  if (close == std::string::npos || close == 1) return 0;
  for (size_t i = 1; i < close; ++i) {
    if (IsSeparator(folder[i])) return 0;
  }
  return close + 1;
}

// The length of "\\server\share" at the start of `folder`, or 0.
size_t ShareLength(const std::string& folder) {
  if (folder.size() < 2 || !IsSeparator(folder[0]) || !IsSeparator(folder[1])) return 0;
  size_t server = 2;
  size_t share = server;
  while (share < folder.size() && !IsSeparator(folder[share])) ++share;
  if (share == server || share + 1 >= folder.size()) return 0;
  size_t end = ++share;
  while (end < folder.size() && !IsSeparator(folder[end])) ++end;
  return end;
}

// What a path that is not full would mean on Windows, or "" when it is full;
// `*root` is then the length of its root (drive, share or variable).
std::string RootProblem(const std::string& folder, size_t* root) {
  *root = VariableLength(folder);
  if (*root != 0) return "";
  *root = ShareLength(folder);
  if (*root != 0) return "";
  if (folder.size() >= 2 && IsDriveLetter(folder[0]) && folder[1] == ':') {
    *root = 2;
    if (folder.size() > 2 && IsSeparator(folder[2])) return "";
    return "is relative to whatever folder is current on that drive; give X:\\...";
  }
  if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1]))
    return "is not a whole network path; give \\\\server\\share\\...";
  if (folder[0] == '/') return "is not a Windows folder (it would lie on whatever drive is current); give X:\\...";
  if (folder[0] == '\\') return "lies on whatever drive is current; give X:\\...";
  return "is relative: it would lie below the folder that is current when the self-extractor runs; give X:\\..., "
         "\\\\server\\share\\... or %VARIABLE%\\... (\".\" alone is the self-extractor's own folder)";
}

// Windows refuses these in a name; ':' only belongs to a drive.
const char* RefusedCharacter(char c) {
  switch (c) {
    case '*': return "'*'";
    case '?': return "'?'";
    case '<': return "'<'";
    case '>': return "'>'";
    case '|': return "'|'";
    case '"': return "'\"'";
    case ':': return "':'";
    default: return static_cast<unsigned char>(c) < 0x20 ? "a control character" : nullptr;
  }
}

}  // namespace

std::string DefaultFolderWarning(const std::string& folder) {
  if (folder.empty() || folder == ".") return "";
  std::string shown = "--folder " + QuoteName(folder) + " ";
  size_t root = 0;
  std::string problem = RootProblem(folder, &root);
  if (!problem.empty()) return shown + problem;
  for (size_t i = root; i < folder.size(); ++i) {
    if (const char* refused = RefusedCharacter(folder[i]))
      return shown + "holds " + refused + ", which Windows refuses in a folder's name";
  }
  return "";
}
