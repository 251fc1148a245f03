#include "server/fines.h"

#include "wire/wire.h"

namespace chatd {

int64_t FinePeriodSeconds(int code) {
  switch (code) {
    case 0: return 0;
    case 1: return 600;
    case 2: return 1800;
    case 3: return 3600;
    case 4: return 86400;
    case 5: return 864000;
    default: return code > 5 ? int64_t{code} * 86400 : 0;
  }
}

std::string FineListLine(const std::vector<Fine>& fines) {
  // The reader skips the first five bytes and then reads "¦"-separated
  // fields; the name of every following fine loses its first byte.
  std::string line = "T|ok|";
  bool first = true;
  for (const Fine& f : fines) {
    std::vector<std::string> fields = {
        (first ? "" : ":") + wire::EscapeField(f.name),
        std::to_string(f.start),
        wire::EscapeField(f.address),
        wire::EscapeField(f.moderator),
        std::to_string(f.periodCode),
        std::to_string(f.type),
        f.checkIp ? "1" : "0",
    };
    for (const auto& field : fields) {
      line += field;
      line += wire::kBrokenBar;
    }
    first = false;
  }
  line += '\n';
  return line;
}

}  // namespace chatd
