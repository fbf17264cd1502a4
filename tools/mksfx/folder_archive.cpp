#include "tools/mksfx/folder_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

la_ssize_t AppendToBytes(struct archive*, void* target, const void* buffer, size_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  static_cast<Bytes*>(target)->insert(static_cast<Bytes*>(target)->end(), bytes, bytes + length);
  return static_cast<la_ssize_t>(length);
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool LibarchiveFailed(struct archive* writer, std::string* error, const std::string& what) {
  const char* reason = archive_error_string(writer);
  return Fail(error, what + ": " + (reason ? reason : "libarchive failed"));
}

bool OpenWriter(struct archive* writer, const std::string& password, Bytes* zip, std::string* error) {
  if (archive_write_set_format_zip(writer) != ARCHIVE_OK ||
      archive_write_set_options(writer, "zip:compression=deflate") != ARCHIVE_OK)
    return LibarchiveFailed(writer, error, "cannot set up the ZIP writer");
  if (!password.empty() &&
      (archive_write_set_options(writer, "zip:encryption=zipcrypt") != ARCHIVE_OK ||
       archive_write_set_passphrase(writer, password.c_str()) != ARCHIVE_OK))
    return LibarchiveFailed(writer, error, "cannot set up the encryption");
  // Unblocked: no padding behind the end record.
  archive_write_set_bytes_per_block(writer, 0);
  if (archive_write_open(writer, zip, nullptr, AppendToBytes, nullptr) != ARCHIVE_OK)
    return LibarchiveFailed(writer, error, "cannot start the archive");
  return true;
}

// Copies the file's bytes behind its header, in pieces.
bool WriteFileData(struct archive* writer, const fs::path& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Fail(error, "cannot read " + path.string());
  std::vector<char> piece(1 << 16);
  while (file) {
    file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    std::streamsize got = file.gcount();
    if (got > 0 && archive_write_data(writer, piece.data(), static_cast<size_t>(got)) != got)
      return LibarchiveFailed(writer, error, "cannot archive " + path.string());
  }
  if (file.bad()) return Fail(error, "cannot read " + path.string());
  return true;
}

// One entry: `name` is the path below the folder with '/' separators.
bool WriteEntry(struct archive* writer, const fs::path& path, const std::string& name,
                const struct stat& info, std::string* error) {
  struct archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, name.c_str());
  archive_entry_set_filetype(entry, S_ISDIR(info.st_mode) ? AE_IFDIR : AE_IFREG);
  archive_entry_set_perm(entry, info.st_mode & 07777);
  archive_entry_set_mtime(entry, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
  archive_entry_set_size(entry, S_ISDIR(info.st_mode) ? 0 : info.st_size);
  bool ok = archive_write_header(writer, entry) == ARCHIVE_OK;
  archive_entry_free(entry);
  if (!ok) return LibarchiveFailed(writer, error, "cannot archive " + path.string());
  return S_ISDIR(info.st_mode) || WriteFileData(writer, path, error);
}

// Depth first, names sorted, each folder before what it holds, so the
// archive is the same whenever the tree is.
bool WriteTree(struct archive* writer, const fs::path& folder, const std::string& prefix,
               std::string* error) {
  std::error_code failure;
  std::vector<fs::path> children;
  for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure))
    children.push_back(it->path());
  if (failure) return Fail(error, "cannot list " + folder.string() + ": " + failure.message());
  std::sort(children.begin(), children.end());
  for (const fs::path& child : children) {
    struct stat info;
    if (lstat(child.c_str(), &info) != 0) return Fail(error, "cannot read " + child.string());
    if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))
      return Fail(error, child.string() + " is neither a file nor a folder (links are not followed)");
    std::string name = prefix + child.filename().string();
    if (!WriteEntry(writer, child, name, info, error)) return false;
    if (S_ISDIR(info.st_mode) && !WriteTree(writer, child, name + "/", error)) return false;
  }
  return true;
}

}  // namespace

bool ArchiveFolder(const std::string& folder, const std::string& password, Bytes* zip,
                   std::string* error) {
  struct archive* writer = archive_write_new();
  bool ok = OpenWriter(writer, password, zip, error) && WriteTree(writer, folder, "", error);
  if (ok && archive_write_close(writer) != ARCHIVE_OK)
    ok = LibarchiveFailed(writer, error, "cannot finish the archive");
  archive_write_free(writer);
  return ok;
}
