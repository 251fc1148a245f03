#include "fuzz_check.h"

#include <filesystem>
#include <unistd.h>

namespace fuzz {

// The name is never destroyed: the exit handler that removes the folder
// runs after the destructors of statics made before it was registered, so
// a static string would already be gone (and the removal would read freed
// memory, or remove whatever path it then spelled).
const std::string& ScratchDir() {
  static const std::string* const dir = [] {
    auto* made = new std::string((std::filesystem::temp_directory_path() / "chat-fuzz-XXXXXX").string());
    FUZZ_CHECK(mkdtemp(made->data()) != nullptr);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchDir(), ignored);
    });
    return made;
  }();
  return *dir;
}

}  // namespace fuzz
