// The host has no OEM code page; the stub's texts are ASCII, which the
// conversion would leave unchanged anyway.
#include "platform/text.h"

void SysOemToAnsi(char* text, uint32_t length) {
  (void)text;
  (void)length;
}
