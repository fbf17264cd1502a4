#include "tests/support/scratch_folder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string UniqueName() {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  std::ostringstream name;
  name << "arcula-test-" << std::hex << device() << '-' << static_cast<unsigned long long>(ticks) << '-'
       << counter++;
  return name.str();
}

}  // namespace

ScratchFolder::ScratchFolder() {
  fs::path folder = fs::temp_directory_path() / UniqueName();
  fs::create_directories(folder);
  path_ = folder.string();
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ScratchFolder::Join(const std::string& relative) const {
  return (fs::path(path_) / fs::path(relative).make_preferred()).string();
}

std::vector<std::string> ScratchFolder::Tree() const {
  std::vector<std::string> items;
  for (const auto& item : fs::recursive_directory_iterator(path_)) {
    std::string relative = item.path().lexically_relative(path_).generic_string();
    if (item.is_directory()) relative += '/';
    items.push_back(relative);
  }
  std::sort(items.begin(), items.end());
  return items;
}

bool IsFolder(const std::string& path) { return fs::is_directory(path); }

bool IsFile(const std::string& path) { return fs::is_regular_file(path); }

void WriteTextFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}
