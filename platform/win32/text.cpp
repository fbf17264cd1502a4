#include "platform/text.h"
#include "platform/win32/win32.h"

void SysOemToAnsi(char* text, uint32_t length) { OemToCharBuffA(text, text, length); }
