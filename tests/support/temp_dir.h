// A temporary directory removed with its contents when the object goes away.
#pragma once

#include <filesystem>
#include <string>

namespace tolu::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `content` to the relative path `name`, creating parent directories.
  std::filesystem::path write(const std::string& name, const std::string& content);

 private:
  std::filesystem::path path_;
};

}  // namespace tolu::testing
