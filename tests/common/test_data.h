#pragma once
// Files of tests/data.  A missing file fails the test that asked for it
// with its name, instead of running on an empty picture.
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// The path of `relative` (e.g. "pictures/interlaced.gif") in tests/data;
// throws when there is no such file, which fails the running test.
inline std::string TestData(const std::string& relative) {
  const std::string path = std::string(CHAT_TESTDATA_DIR) + "/" + relative;
  if (!std::ifstream(path, std::ios::binary)) throw std::runtime_error("missing test data file " + path);
  return path;
}

// The bytes of that file.
inline std::string ReadTestData(const std::string& relative) {
  std::ifstream in(TestData(relative), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
