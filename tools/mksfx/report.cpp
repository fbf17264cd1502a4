#include "tools/mksfx/report.h"

#include <cinttypes>
#include <cstdio>

#include "base/settings.h"
#include "tools/mksfx/entry_checks.h"
#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/windows_case.h"

namespace {

const char* const kTextLabels[] = {"folder", "text", "prompt", "title", "info"};

const char* MethodLabel(const ZipEntry& entry) {
  return DataMethodOf(entry) == kZipMethodStored ? "stored" : "deflated";
}

// How many files, encrypted files and folders the archive holds.
struct Counts {
  size_t files = 0;
  size_t encrypted = 0;
  size_t folders = 0;
};

Counts CountEntries(const ZipArchive& archive) {
  Counts counts;
  for (const ZipEntry& entry : archive.entries) {
    counts.folders += entry.IsFolder();
    counts.files += !entry.IsFolder();
    counts.encrypted += entry.IsEncrypted() && !entry.IsFolder();
  }
  return counts;
}

const char* JsonBool(bool value) { return value ? "true" : "false"; }

std::string Hex(const std::string& bytes) {
  std::string hex;
  char digits[4];
  for (char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
    hex += digits;
  }
  return hex;
}

// `"key": "text"` for a JSON object, and when the text is not UTF-8,
// `"key_hex": "..."` beside it: JSON strings are Unicode, so the string
// shows its bytes of some code page as U+FFFD, and the hex keeps them.
std::string JsonNamed(const std::string& key, const std::string& text) {
  std::string json = "\"" + key + "\": " + JsonString(text);
  if (!IsUtf8(text)) json += ", \"" + key + "_hex\": \"" + Hex(text) + "\"";
  return json;
}

// --- text ---------------------------------------------------------------

void PrintList(const ZipArchive& archive) {
  std::printf("%10s %10s  %-8s  %-9s  %s\n", "Size", "Packed", "Method", "Encrypted", "Name");
  for (const ZipEntry& entry : archive.entries)
    std::printf("%10u %10u  %-8s  %-9s  %s\n", entry.uncompressedSize, entry.compressedSize,
                MethodLabel(entry), entry.IsEncrypted() ? "yes" : "no", PrintableName(entry.name).c_str());
}

// One line per disk: its folder, the label it must carry, its files.
void PrintDisks(const std::vector<SetDisk>& disks) {
  for (size_t i = 0; i < disks.size(); ++i) {
    std::printf("disk%zu: label \"%s\":", i + 1, disks[i].label.c_str());
    for (const DiskFile& file : disks[i].files) std::printf(" %s (%zu bytes)", file.name.c_str(), file.bytes.size());
    std::printf("\n");
  }
}

// "1 file", "2 files", "0 files".
std::string Counted(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "NAME: n files (k encrypted), f folders, u bytes unpacked; SIZE".
void PrintSummary(const BuildReport& report) {
  Counts counts = CountEntries(*report.archive);
  std::string size = Counted(report.bytes, "byte", "bytes") + " in the self-extractor";
  if (report.disks)
    size = Counted(report.bytes, "byte", "bytes") + " in the set's files on " +
           Counted(report.disks->size(), "disk", "disks");
  std::printf("%s: %s (%zu encrypted), %s, %s unpacked; %s\n", PrintableName(report.output).c_str(),
              Counted(counts.files, "file", "files").c_str(), counts.encrypted,
              Counted(counts.folders, "folder", "folders").c_str(),
              Counted(TotalSize(*report.archive), "byte", "bytes").c_str(), size.c_str());
}

std::string FlagsText(uint32_t flags) {
  std::string names;
  for (const std::string& name : FlagNames(flags)) names += (names.empty() ? "" : " ") + name;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", flags);
  return std::string(hex) + (names.empty() ? "" : " (" + names + ")");
}

std::string SelfCheckText(const BuiltFile& built) {
  const SettingsValues& settings = built.settings;
  if (settings.imageCrc == 0) return "off";
  char crc[16];
  std::snprintf(crc, sizeof crc, "0x%08X", settings.imageCrc);
  return std::string("CRC-32 ") + crc +
         ((settings.flags & kFlagCheckFromSectionTable) ? " from the section table" : " from the file's start") +
         (built.imageCrcMatches ? ", matches" : ", does not match");
}

void PrintBuiltFileText(const std::string& path, const BuiltFile& built) {
  const SettingsValues& settings = built.settings;
  std::printf("%s: a self-extractor of %" PRIu64 " bytes%s\n", PrintableName(path).c_str(), built.size,
              built.complete ? "" : ", incomplete (no builder filled in its settings)");
  std::printf("arch: %s\n", built.knownArch ? ArchName(built.arch) : "unknown");
  std::printf("flags: %s\n", FlagsText(settings.flags).c_str());
  std::printf("self-check: %s\n", SelfCheckText(built).c_str());
  std::printf("archive: at %u, end record at %u, %u bytes unpacked\n", settings.archiveOffset,
              settings.endRecordOffset, settings.totalSize);
  bool utf8 = (settings.flags & kFlagUtf8Texts) != 0;
  std::printf("texts (%s):\n", utf8 ? "UTF-8" : "ANSI code page");
  for (size_t i = 0; i < built.texts.size(); ++i)
    std::printf("  %-7s %s\n", kTextLabels[i], QuoteName(built.texts[i]).c_str());
  if (!built.hasEntries) {
    std::printf("entries: in the set's central directory, on its last disk\n");
    return;
  }
  std::printf("entries:\n");
  PrintList(built.archive);
}

// --- JSON ---------------------------------------------------------------

std::string JsonEntries(const ZipArchive& archive) {
  std::string json = "[";
  for (const ZipEntry& entry : archive.entries) {
    if (json.size() > 1) json += ",";
    json += "\n    {" + JsonNamed("name", entry.name);
    json += ", \"utf8\": " + std::string(JsonBool((entry.flags & kZipFlagUtf8Name) != 0));
    json += ", \"folder\": " + std::string(JsonBool(entry.IsFolder()));
    json += ", \"size\": " + std::to_string(entry.uncompressedSize);
    json += ", \"packed\": " + std::to_string(entry.compressedSize);
    json += ", \"method\": \"" + std::string(MethodLabel(entry)) + "\"";
    json += ", \"encrypted\": " + std::string(JsonBool(entry.IsEncrypted())) + "}";
  }
  return json + (archive.entries.empty() ? "]" : "\n  ]");
}

std::string JsonDisks(const std::vector<SetDisk>& disks) {
  std::string json = "[";
  for (size_t i = 0; i < disks.size(); ++i) {
    json += std::string(i ? "," : "") + "\n    {\"folder\": \"disk" + std::to_string(i + 1) +
            "\", \"label\": " + JsonString(disks[i].label) + ", \"files\": [";
    for (size_t f = 0; f < disks[i].files.size(); ++f)
      json += std::string(f ? ", " : "") + "{" + JsonNamed("name", disks[i].files[f].name) +
              ", \"bytes\": " + std::to_string(disks[i].files[f].bytes.size()) + "}";
    json += "]}";
  }
  return json + "\n  ]";
}

void PrintBuildJson(const BuildReport& report) {
  Counts counts = CountEntries(*report.archive);
  std::string json = "{\n  " + JsonNamed("output", report.output);
  json += ",\n  \"arch\": \"" + std::string(ArchName(report.arch)) + "\"";
  json += ",\n  \"bytes\": " + std::to_string(report.bytes);
  json += ",\n  \"files\": " + std::to_string(counts.files);
  json += ",\n  \"encrypted\": " + std::to_string(counts.encrypted);
  json += ",\n  \"folders\": " + std::to_string(counts.folders);
  json += ",\n  \"unpacked_bytes\": " + std::to_string(TotalSize(*report.archive));
  if (report.disks) json += ",\n  \"disks\": " + JsonDisks(*report.disks);
  if (report.list) json += ",\n  \"entries\": " + JsonEntries(*report.archive);
  std::printf("%s\n}\n", json.c_str());
}

void PrintBuiltFileJson(const std::string& path, const BuiltFile& built) {
  const SettingsValues& settings = built.settings;
  std::string json = "{\n  " + JsonNamed("file", path);
  json += ",\n  \"bytes\": " + std::to_string(built.size);
  json += ",\n  \"arch\": " + (built.knownArch ? "\"" + std::string(ArchName(built.arch)) + "\"" : "null");
  json += ",\n  \"complete\": " + std::string(JsonBool(built.complete));
  json += ",\n  \"flags\": " + std::to_string(settings.flags);
  json += ",\n  \"flag_names\": [";
  std::vector<std::string> names = FlagNames(settings.flags);
  for (size_t i = 0; i < names.size(); ++i) json += (i ? ", " : "") + JsonString(names[i]);
  json += "]";
  json += ",\n  \"image_crc\": " + std::to_string(settings.imageCrc);
  json += ",\n  \"image_crc_matches\": " + std::string(JsonBool(built.imageCrcMatches));
  json += ",\n  \"config_offset\": " + std::to_string(settings.configOffset);
  json += ",\n  \"archive_offset\": " + std::to_string(settings.archiveOffset);
  json += ",\n  \"end_record_offset\": " + std::to_string(settings.endRecordOffset);
  json += ",\n  \"unpacked_bytes\": " + std::to_string(settings.totalSize);
  json += ",\n  \"texts\": {";
  for (size_t i = 0; i < built.texts.size(); ++i)
    json += std::string(i ? ", " : "") + JsonNamed(kTextLabels[i], built.texts[i]);
  json += "}";
  json += ",\n  \"entries\": " + (built.hasEntries ? JsonEntries(built.archive) : std::string("null"));
  std::printf("%s\n}\n", json.c_str());
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (size_t at = 0; at < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[at]);
    size_t length = Utf8SequenceAt(text, at);
    if (length == 0) {
      json += "\\ufffd";  // a byte of some code page: JSON text is Unicode
      ++at;
    } else if (byte == '"' || byte == '\\') {
      json += '\\';
      json += static_cast<char>(byte);
      ++at;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
      ++at;
    } else {
      json.append(text, at, length);
      at += length;
    }
  }
  return json + "\"";
}

void PrintBuildReport(const BuildReport& report, bool json) {
  if (json) {
    PrintBuildJson(report);
    return;
  }
  if (report.list) PrintList(*report.archive);
  if (!report.summary) return;
  if (report.disks) PrintDisks(*report.disks);
  PrintSummary(report);
}

void PrintProblemsJson(const std::string& key, const std::string& path, const std::vector<Problem>& problems) {
  std::string json = "{\n  " + JsonNamed(key, path) + ",\n  \"problems\": [";
  for (size_t i = 0; i < problems.size(); ++i) {
    json += std::string(i ? "," : "") + "\n    {";
    if (!problems[i].subject.empty()) json += JsonNamed("path", problems[i].subject) + ", ";
    json += JsonNamed("message", problems[i].text) + "}";
  }
  std::printf("%s\n  ]\n}\n", json.c_str());
}

void PrintBuiltFile(const std::string& path, const BuiltFile& built, bool json) {
  if (json)
    PrintBuiltFileJson(path, built);
  else
    PrintBuiltFileText(path, built);
}
