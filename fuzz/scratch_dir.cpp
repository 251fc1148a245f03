#include "fuzz_check.h"

#include <filesystem>
#include <unistd.h>

namespace fuzz {

const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "chat-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchDir(), ignored);
    });
    return pattern;
  }();
  return dir;
}

}  // namespace fuzz
