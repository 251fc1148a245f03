#pragma once
// A fresh directory under the system temporary directory, removed with
// everything in it when the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "chat-media-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl + "/";
  }
  ~TempDir() {
    std::error_code ec;
    // Restore write permission so read-only test files can be removed.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, ending with "/".
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }
  size_t EntryCount() const {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }
  void MakeReadOnly(const std::string& name) const {
    std::filesystem::permissions(File(name),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::replace);
  }

 private:
  std::string path_;
};
