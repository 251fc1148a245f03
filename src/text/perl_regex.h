#pragma once
// Perl-syntax regular expressions over byte strings (PCRE2, 8-bit code
// units, no UTF mode: every Windows-1251 byte is one character).
#include <memory>
#include <string>
#include <string_view>

namespace text {

class PerlRegex {
 public:
  // The pattern must compile; a bad pattern is a programming error and throws.
  explicit PerlRegex(std::string_view pattern);
  ~PerlRegex();
  PerlRegex(const PerlRegex&) = delete;
  PerlRegex& operator=(const PerlRegex&) = delete;

  bool Matches(std::string_view subject) const;
  // The subject with its first match replaced by `replacement` (taken
  // literally); unchanged when nothing matches.
  std::string ReplaceFirst(std::string_view subject, std::string_view replacement) const;

 private:
  struct Compiled;
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace text
