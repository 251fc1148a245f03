#pragma once
// What every fuzz target shares: the entry point libFuzzer calls, a check
// that aborts (so both libFuzzer and the corpus replay report it), and a
// scratch directory for targets that go through files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#define FUZZ_CHECK(cond)                                                        \
  do {                                                                          \
    if (!(cond)) {                                                              \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

namespace fuzz {

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A directory of this process's own, made at first use and removed at exit.
const std::string& ScratchDir();

}  // namespace fuzz
