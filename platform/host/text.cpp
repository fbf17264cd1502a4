// The host's ANSI code page is the one a test (or the headless runner's
// --ansi-codepage) sets, 1252 unless told; texts are converted with iconv.
#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/host/host_system.h"

uint32_t SysAnsiToUtf8(const char* ansi, char* utf8, uint32_t size) {
  if (size == 0) return 0;
  std::string from = "CP" + std::to_string(HostCodePage());
  iconv_t converter = iconv_open("UTF-8", from.c_str());
  std::string out;
  if (converter != reinterpret_cast<iconv_t>(-1)) {
    char* in = const_cast<char*>(ansi);
    size_t inLeft = std::strlen(ansi);
    while (inLeft > 0) {
      char chunk[256];
      char* cursor = chunk;
      size_t outLeft = sizeof chunk;
      size_t done = iconv(converter, &in, &inLeft, &cursor, &outLeft);
      out.append(chunk, static_cast<size_t>(cursor - chunk));
      if (done == static_cast<size_t>(-1) && errno != E2BIG) {
        out += "\xEF\xBF\xBD";  // a byte the code page does not define: the replacement character
        ++in;
        --inLeft;
      }
    }
    iconv_close(converter);
  }
  // Cut at a character boundary, as the platform does.
  size_t length = out.size() < size ? out.size() : size - 1;
  while (length > 0 && length < out.size() && (static_cast<unsigned char>(out[length]) & 0xC0) == 0x80) --length;
  std::memcpy(utf8, out.data(), length);
  utf8[length] = 0;
  return static_cast<uint32_t>(length);
}
