#include "tools/mksfx/folder_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tools/mksfx/entry_checks.h"
#include "tools/mksfx/entry_encryption.h"
#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/windows_case.h"
#include "tools/mksfx/zip_reader.h"

namespace fs = std::filesystem;

namespace {

// Without ZIP64 the end record counts entries in 16 bits, 0xFFFF saying
// that the count is in a ZIP64 record instead; every size is 32 bits, and so
// is the self-extractor's total.
const size_t kMaxEntries = 0xFFFE;
const uint64_t kMaxSize = 0xFFFFFFFFu;

using Problems = std::vector<std::string>;

// One file or folder to zip.
struct FolderItem {
  fs::path path;
  std::string name;  // below the input folder, with '/' separators
  struct stat info;
};

// What listing the folder found, and what the listing needs to know.
struct Listing {
  std::vector<FolderItem> items;
  bool outputExists = false;
  struct stat output {};
  bool outputLeftOut = false;
  bool followLinks = false;
  std::vector<fs::path> openFolders;  // canonical paths of the folders being listed, the input folder first
};

bool Fail(Problems* problems, const std::string& text) {
  problems->push_back(text);
  return false;
}

// Paths are shown with their control characters escaped, as names are.
std::string Shown(const fs::path& path) { return PrintableName(path.string()); }

bool IsOutput(const Listing& listing, const struct stat& info) {
  return listing.outputExists && info.st_dev == listing.output.st_dev && info.st_ino == listing.output.st_ino;
}

bool ListFolder(const fs::path& folder, const std::string& prefix, Listing* listing, Problems* problems);

bool IsInside(const fs::path& path, const fs::path& folder) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

// Why the link `item` cannot go in as what it points to, or "" when it can;
// then `item->info` describes its destination. A link to a folder being
// listed would make the listing endless.
std::string FollowLink(const Listing& listing, FolderItem* item) {
  if (!listing.followLinks) return "is a link (--follow-links follows those that stay inside the folder)";
  std::error_code failure;
  fs::path destination = fs::canonical(item->path, failure);
  if (failure || stat(item->path.c_str(), &item->info) != 0) return "is a link to nothing";
  if (!IsInside(destination, listing.openFolders.front()))
    return "is a link to " + Shown(destination) + ", outside the folder";
  for (const fs::path& open : listing.openFolders) {
    if (destination == open) return "is a link to a folder it lies in, which would never end";
  }
  return "";
}

// Depth first, names sorted, each folder before what it holds, so the
// archive is the same whenever the tree is. What cannot go in is added to
// `problems` and the listing goes on; false when a folder or an item cannot
// be read.
bool ListTree(const fs::path& folder, const std::string& prefix, Listing* listing, Problems* problems) {
  std::error_code failure;
  std::vector<fs::path> children;
  for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure))
    children.push_back(it->path());
  if (failure) return Fail(problems, "cannot list " + Shown(folder) + ": " + failure.message());
  std::sort(children.begin(), children.end());
  for (const fs::path& child : children) {
    FolderItem item{child, prefix + child.filename().string(), {}};
    if (lstat(child.c_str(), &item.info) != 0) return Fail(problems, "cannot read " + Shown(child));
    if (S_ISLNK(item.info.st_mode)) {
      std::string refusal = FollowLink(*listing, &item);
      if (!refusal.empty()) {
        problems->push_back(QuoteName(item.name) + " " + refusal);
        continue;
      }
    }
    if (IsOutput(*listing, item.info)) {
      listing->outputLeftOut = true;
      continue;
    }
    bool isFolder = S_ISDIR(item.info.st_mode);
    if (!isFolder && !S_ISREG(item.info.st_mode)) {
      problems->push_back(QuoteName(item.name) + " is neither a file nor a folder");
      continue;
    }
    // Names go into the archive as UTF-8, and the self-extractor reads them
    // as such: bytes in another encoding would come out as other characters.
    if (!IsUtf8(child.filename().string()))
      problems->push_back(QuoteName(item.name) + " has a name that is not UTF-8 (names are stored as UTF-8)");
    // On Linux "a\b" is one name; on Windows it is a file b in a folder a.
    if (child.filename().string().find('\\') != std::string::npos)
      problems->push_back(QuoteName(item.name) + " has a '\\' in its name, which Windows takes for a folder separator");
    listing->items.push_back(item);
    if (isFolder && !ListFolder(child, item.name + "/", listing, problems)) return false;
  }
  return true;
}

// ListTree with `folder` among the open folders while it is listed.
bool ListFolder(const fs::path& folder, const std::string& prefix, Listing* listing, Problems* problems) {
  std::error_code failure;
  fs::path canonical = fs::canonical(folder, failure);
  if (failure) return Fail(problems, "cannot read " + Shown(folder) + ": " + failure.message());
  listing->openFolders.push_back(canonical);
  bool listed = ListTree(folder, prefix, listing, problems);
  listing->openFolders.pop_back();
  return listed;
}

// The limits of a ZIP archive without ZIP64, told in files and bytes.
void CheckLimits(const Listing& listing, Problems* problems) {
  if (listing.items.size() > kMaxEntries)
    problems->push_back("it holds more than 65,534 files and folders (" + std::to_string(listing.items.size()) +
                        "), more than a self-extractor can hold");
  uint64_t total = 0;
  bool fileTooLarge = false;
  for (const FolderItem& item : listing.items) {
    if (!S_ISREG(item.info.st_mode)) continue;
    uint64_t size = static_cast<uint64_t>(item.info.st_size);
    total += size;
    if (size > kMaxSize) {
      problems->push_back(QuoteName(item.name) + " is too large (" + std::to_string(size) +
                          " bytes): a file must be smaller than 4 GiB");
      fileTooLarge = true;
    }
  }
  if (total > kMaxSize && !fileTooLarge)
    problems->push_back("the files add up to 4 GiB or more, more than the self-extractor can count");
}

// The entries the listed items would become: folder names end in '/', and
// names are flagged as UTF-8 where they are, as the names of a zipped folder
// are once read back.
ZipArchive ListedEntries(const Listing& listing) {
  ZipArchive archive;
  for (const FolderItem& item : listing.items) {
    ZipEntry entry;
    entry.name = item.name + (S_ISDIR(item.info.st_mode) ? "/" : "");
    entry.flags = IsUtf8(entry.name) ? kZipFlagUtf8Name : 0;
    archive.entries.push_back(entry);
  }
  return archive;
}

la_ssize_t AppendToBytes(struct archive*, void* target, const void* buffer, size_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  static_cast<Bytes*>(target)->insert(static_cast<Bytes*>(target)->end(), bytes, bytes + length);
  return static_cast<la_ssize_t>(length);
}

bool LibarchiveFailed(struct archive* writer, Problems* problems, const std::string& what) {
  const char* reason = archive_error_string(writer);
  return Fail(problems, what + ": " + (reason ? reason : "libarchive failed"));
}

bool OpenWriter(struct archive* writer, Bytes* zip, Problems* problems) {
  if (archive_write_set_format_zip(writer) != ARCHIVE_OK)
    return LibarchiveFailed(writer, problems, "cannot set up the ZIP writer");
  // Unblocked: no padding behind the end record.
  archive_write_set_bytes_per_block(writer, 0);
  if (archive_write_open(writer, zip, nullptr, AppendToBytes, nullptr) != ARCHIVE_OK)
    return LibarchiveFailed(writer, problems, "cannot start the archive");
  return true;
}

// Copies the file's bytes behind its header, in pieces.
bool WriteFileData(struct archive* writer, const fs::path& path, Problems* problems) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Fail(problems, "cannot read " + Shown(path));
  std::vector<char> piece(1 << 16);
  while (file) {
    file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    std::streamsize got = file.gcount();
    if (got > 0 && archive_write_data(writer, piece.data(), static_cast<size_t>(got)) != got)
      return LibarchiveFailed(writer, problems, "cannot archive " + Shown(path));
  }
  if (file.bad()) return Fail(problems, "cannot read " + Shown(path));
  return true;
}

// The modification time, no later than the latest time allowed.
void SetTime(struct archive_entry* entry, const FolderItem& item, const FolderInput& input) {
  if (input.clampTimes && item.info.st_mtim.tv_sec >= input.latestTime)
    archive_entry_set_mtime(entry, static_cast<time_t>(input.latestTime), 0);
  else
    archive_entry_set_mtime(entry, item.info.st_mtim.tv_sec, item.info.st_mtim.tv_nsec);
}

bool WriteItem(struct archive* writer, const FolderItem& item, bool stored, const FolderInput& input,
               Problems* problems) {
  bool isFolder = S_ISDIR(item.info.st_mode);
  int chosen = stored ? archive_write_zip_set_compression_store(writer)
                      : archive_write_zip_set_compression_deflate(writer);
  if (chosen != ARCHIVE_OK) return LibarchiveFailed(writer, problems, "cannot set up the ZIP writer");
  struct archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, item.name.c_str());
  archive_entry_set_filetype(entry, isFolder ? AE_IFDIR : AE_IFREG);
  archive_entry_set_perm(entry, item.info.st_mode & 07777);
  SetTime(entry, item, input);
  archive_entry_set_size(entry, isFolder ? 0 : item.info.st_size);
  bool ok = archive_write_header(writer, entry) == ARCHIVE_OK;
  archive_entry_free(entry);
  if (!ok) return LibarchiveFailed(writer, problems, "cannot archive " + Shown(item.path));
  return isFolder || WriteFileData(writer, item.path, problems);
}

// `stored[i]` says whether item i goes in stored rather than deflated.
bool WriteItems(const std::vector<FolderItem>& items, const std::vector<bool>& stored, const FolderInput& input,
                Bytes* zip, Problems* problems) {
  struct archive* writer = archive_write_new();
  bool ok = OpenWriter(writer, zip, problems);
  for (size_t i = 0; ok && i < items.size(); ++i) ok = WriteItem(writer, items[i], stored[i], input, problems);
  if (ok && archive_write_close(writer) != ARCHIVE_OK)
    ok = LibarchiveFailed(writer, problems, "cannot finish the archive");
  archive_write_free(writer);
  return ok;
}

// Which entries deflate made no smaller (random or already packed data):
// those would only cost room and time, so they go in stored. The archive
// holds one entry per item, in the items' order.
bool FindGrownEntries(const Bytes& zip, size_t itemCount, std::vector<bool>* grown, Problems* problems) {
  ZipArchive archive;
  std::string error;
  if (!ReadZipArchive(zip, &archive, &error)) return Fail(problems, "cannot read the archive zipped here: " + error);
  if (archive.entries.size() != itemCount) return Fail(problems, "the archive zipped here lost entries");
  bool anyGrown = false;
  for (size_t i = 0; i < itemCount; ++i) {
    const ZipEntry& entry = archive.entries[i];
    uint64_t header = entry.IsEncrypted() ? kEncryptionHeaderSize : 0;
    bool deflated = entry.method == kZipMethodDeflated && !entry.IsFolder();
    (*grown)[i] = deflated && entry.compressedSize >= uint64_t{entry.uncompressedSize} + header;
    anyGrown = anyGrown || (*grown)[i];
  }
  return anyGrown;
}

// Everything deflated, then zipped again with the entries deflate did not
// shrink stored. Zipping twice costs time only for folders that hold such
// files, and keeps one writer for both methods.
bool ZipItems(const std::vector<FolderItem>& items, const FolderInput& input, Bytes* zip, Problems* problems) {
  std::vector<bool> stored(items.size(), false);
  if (!WriteItems(items, stored, input, zip, problems)) return false;
  size_t found = problems->size();
  if (!FindGrownEntries(*zip, items.size(), &stored, problems)) return problems->size() == found;
  zip->clear();
  return WriteItems(items, stored, input, zip, problems);
}

// The files encrypted here rather than by libarchive, whose salts and
// headers are random even where a build must be reproducible.
bool EncryptItems(const FolderInput& input, Bytes* zip, Problems* problems) {
  EncryptionSetup setup;
  setup.password = input.password;
  setup.kind = input.zipCrypto ? EncryptionKind::kZipCrypto : EncryptionKind::kAes256;
  setup.derived = input.clampTimes;
  setup.epoch = input.latestTime;
  Bytes encrypted;
  std::string error;
  if (!EncryptArchive(*zip, setup, &encrypted, &error)) return Fail(problems, error);
  zip->swap(encrypted);
  return true;
}

}  // namespace

bool ArchiveFolder(const FolderInput& input, Bytes* zip, bool* outputLeftOut, Problems* problems) {
  Listing listing;
  listing.outputExists = stat(input.output.c_str(), &listing.output) == 0 && S_ISREG(listing.output.st_mode);
  listing.followLinks = input.followLinks;
  size_t found = problems->size();
  if (!ListFolder(input.folder, "", &listing, problems)) return false;
  *outputLeftOut = listing.outputLeftOut;
  CheckLimits(listing, problems);
  if (problems->size() != found) {
    // Not zipped, so the entry checks will not see these names: checked
    // here, so that this run names their problems too.
    CheckNames(ListedEntries(listing), problems);
    return false;
  }
  if (!ZipItems(listing.items, input, zip, problems)) return false;
  return input.password.empty() || EncryptItems(input, zip, problems);
}
