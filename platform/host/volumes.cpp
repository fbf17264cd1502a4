#include <cctype>
#include <map>
#include <string>

#include "platform/bytes.h"
#include "platform/host/host_volumes.h"
#include "platform/volumes.h"

namespace {

std::map<char, std::string>& Labels() {
  static std::map<char, std::string> labels;
  return labels;
}

}  // namespace

void HostSetVolumeLabel(char letter, const char* label) {
  char key = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (label == nullptr) {
    Labels().erase(key);
  } else {
    Labels()[key] = label;
  }
}

int SysGetVolumeLabel(const char* root, char* label, uint32_t size) {
  auto found = Labels().find(static_cast<char>(std::toupper(static_cast<unsigned char>(root[0]))));
  if (found == Labels().end() || size == 0) return 0;
  CopyText(label, found->second.c_str(), size);
  return 1;
}
