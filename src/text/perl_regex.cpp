#include "text/perl_regex.h"

#include <pcre2.h>

#include <stdexcept>

namespace text {

struct PerlRegex::Compiled {
  pcre2_code* code = nullptr;
  ~Compiled() { pcre2_code_free(code); }
};

PerlRegex::PerlRegex(std::string_view pattern) : compiled_(std::make_unique<Compiled>()) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  compiled_->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &error,
                                  &offset, nullptr);
  if (!compiled_->code) throw std::invalid_argument("bad regular expression: " + std::string(pattern));
}

PerlRegex::~PerlRegex() = default;

namespace {

struct MatchData {
  explicit MatchData(const pcre2_code* code) : data(pcre2_match_data_create_from_pattern(code, nullptr)) {}
  ~MatchData() { pcre2_match_data_free(data); }
  pcre2_match_data* data;
};

}  // namespace

bool PerlRegex::Matches(std::string_view subject) const {
  MatchData match(compiled_->code);
  return pcre2_match(compiled_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0,
                     match.data, nullptr) >= 0;
}

std::string PerlRegex::ReplaceFirst(std::string_view subject, std::string_view replacement) const {
  MatchData match(compiled_->code);
  if (pcre2_match(compiled_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0, match.data,
                  nullptr) < 0)
    return std::string(subject);
  const PCRE2_SIZE* range = pcre2_get_ovector_pointer(match.data);
  std::string out(subject.substr(0, range[0]));
  out.append(replacement);
  out.append(subject.substr(range[1]));
  return out;
}

}  // namespace text
