// The host's ANSI and OEM code pages are the ones a test (or the headless
// runner's --ansi-codepage and --oem-codepage) sets, 1252 and 437 unless
// told; texts are converted with iconv.
#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/host/host_system.h"

namespace {

// `text` converted from one character set to another with iconv; a byte the
// source does not define becomes `replacement`.
std::string Convert(const char* text, const std::string& to, const std::string& from, const std::string& replacement) {
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  std::string out;
  if (converter != reinterpret_cast<iconv_t>(-1)) {
    char* in = const_cast<char*>(text);
    size_t inLeft = std::strlen(text);
    while (inLeft > 0) {
      char chunk[256];
      char* cursor = chunk;
      size_t outLeft = sizeof chunk;
      size_t done = iconv(converter, &in, &inLeft, &cursor, &outLeft);
      out.append(chunk, static_cast<size_t>(cursor - chunk));
      if (done == static_cast<size_t>(-1) && errno != E2BIG) {
        out += replacement;
        ++in;
        --inLeft;
        // A UTF-8 source loses the whole character, as the platform does.
        while (from == "UTF-8" && inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
          ++in;
          --inLeft;
        }
      }
    }
    iconv_close(converter);
  }
  return out;
}

std::string CodePageName(uint32_t codePage) { return "CP" + std::to_string(codePage); }

uint32_t CodePageToUtf8(uint32_t codePage, const char* text, char* utf8, uint32_t size) {
  if (size == 0) return 0;
  std::string out = Convert(text, "UTF-8", CodePageName(codePage), "\xEF\xBF\xBD");  // the replacement character
  // Cut at a character boundary, as the platform does.
  size_t length = out.size() < size ? out.size() : size - 1;
  while (length > 0 && length < out.size() && (static_cast<unsigned char>(out[length]) & 0xC0) == 0x80) --length;
  std::memcpy(utf8, out.data(), length);
  utf8[length] = 0;
  return static_cast<uint32_t>(length);
}

}  // namespace

uint32_t SysAnsiToUtf8(const char* ansi, char* utf8, uint32_t size) {
  return CodePageToUtf8(HostCodePage(), ansi, utf8, size);
}

uint32_t SysOemToUtf8(const char* oem, char* utf8, uint32_t size) {
  return CodePageToUtf8(HostOemCodePage(), oem, utf8, size);
}

uint32_t SysUtf8ToAnsi(const char* utf8, char* ansi, uint32_t size) {
  if (size == 0) return 0;
  std::string out = Convert(utf8, CodePageName(HostCodePage()), "UTF-8", "?");  // the platform's default character
  size_t length = out.size() < size ? out.size() : size - 1;
  std::memcpy(ansi, out.data(), length);
  ansi[length] = 0;
  return static_cast<uint32_t>(length);
}
