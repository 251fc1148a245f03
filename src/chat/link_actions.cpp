#include "chat/link_actions.h"

#include <algorithm>

#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/perl_regex.h"

namespace window {

bool IsWebAddress(const std::string& target) {
  static const text::PerlRegex webAddress(R"(^(mailto:|http:/|ftp:/|www\.|ftp\.))");
  return webAddress.Matches(target);
}

std::string OpenableUrl(const std::string& target) {
  std::string url = target;
  if (text::StartsWith(url, "www."))
    url = "http://" + url;
  else if (text::StartsWith(url, "ftp."))
    url = "ftp://" + url;
  std::string out;
  for (unsigned char c : url) {
    if (c > 127) {
      out += '%';
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

LineEdit InsertText(const LineEdit& edit, const std::string& inserted) {
  LineEdit out = edit;
  const int size = static_cast<int>(edit.text.size());
  const int start = std::clamp(edit.selStart, 0, size);
  const int length = std::clamp(edit.selLength, 0, size - start);
  out.text = edit.text.substr(0, start) + inserted + edit.text.substr(start + length);
  out.selStart = start + static_cast<int>(inserted.size());
  out.selLength = 0;
  out.caret = out.selStart;
  return out;
}

LineEdit InsertAddress(const LineEdit& edit, std::string target, bool shift, bool translit) {
  const std::string forWord = text::W("Для ");
  if (shift && text::StartsWith(target, forWord) && text::EndsWith(target, ":") && text::Contains(target, "("))
    target = target.substr(0, target.find('(')) + ":";
  LineEdit out = InsertText(edit, translit ? "[" + target + "] " : target + " ");
  int caret = out.caret;
  const std::string plain = "): " + forWord;
  const std::string bracketed = "):] [" + forWord;
  // Positions count from 1 here, so "the first p characters" keep the ")".
  const size_t p0 = out.text.find(plain);
  const size_t q0 = out.text.find(bracketed);
  if (!translit && p0 != std::string::npos && static_cast<int>(p0 + 1) < caret - 8) {
    out.text = out.text.substr(0, p0 + 1) + ", " + out.text.substr(p0 + 7);
    caret -= 4;
  } else if (translit && q0 != std::string::npos && static_cast<int>(q0 + 1) < caret - 11) {
    out.text = out.text.substr(0, q0 + 1) + ", " + out.text.substr(q0 + 9);
    caret -= 6;
  }
  out.caret = out.selStart = caret;
  out.selLength = 0;
  return out;
}

std::string NameOfAddress(const std::string& target) {
  const std::string forWord = text::W("Для ");
  if (!text::StartsWith(target, forWord) || target.size() <= forWord.size()) return target;
  return target.substr(forWord.size(), target.size() - forWord.size() - 1);
}

}  // namespace window
