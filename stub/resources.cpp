#include "stub/resources.h"

// Placeholder until the compressed string table is generated at build time.
void LoadResources() {}

const char* MessageText(int number) {
  (void)number;
  return "";
}
