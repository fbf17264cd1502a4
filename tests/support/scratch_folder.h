// A fresh folder for one test under the system's temporary folder, removed
// with everything in it when the test ends. Works on the host and under Wine:
// the paths are native (a Linux path on the host, a Windows path under Wine),
// which the platform calls of both sides take.
#pragma once

#include <string>
#include <vector>

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }

  // `relative` (with '/' between components) under the folder, native.
  std::string Join(const std::string& relative) const;

  // Everything under the folder, relative, '/' between components, folders
  // with a trailing '/', sorted.
  std::vector<std::string> Tree() const;

 private:
  std::string path_;
};

bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& content);
std::string ReadTextFile(const std::string& path);
