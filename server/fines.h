#pragma once
// Fine periods and the fine-list line sent to moderators.
#include <cstdint>
#include <string>
#include <vector>

#include "server/store.h"

namespace chatd {

enum FineType { kNoAccess = 0, kReadArchives = 1, kReadAll = 2, kPrivateOnly = 3 };

// Seconds of a period code: 0, 10 min, 30 min, 1 h, 1 day, 10 days; a code
// above 5 is a number of days; negative codes count as 0.
int64_t FinePeriodSeconds(int code);

// "T|ok|" then, per fine, name¦start¦address¦moderator¦period¦type¦iptest¦
// with every name after the first written as ":" + name.
std::string FineListLine(const std::vector<Fine>& fines);

}  // namespace chatd
