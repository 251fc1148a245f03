#include "encode/median_cut.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace encode {

namespace {

struct ColourCount {
  uint32_t rgb;
  uint32_t count;
};

int Channel(uint32_t rgb, int c) { return int((rgb >> (16 - 8 * c)) & 0xFF); }

// A box of the colour space: a range of the colour table.
struct Box {
  size_t begin, end;
  int widest = 0;  // channel of the largest spread
  int spread = 0;
};

void Measure(const std::vector<ColourCount>& colours, Box& box) {
  std::array<int, 3> lo{255, 255, 255}, hi{0, 0, 0};
  for (size_t i = box.begin; i < box.end; ++i)
    for (int c = 0; c < 3; ++c) {
      lo[c] = std::min(lo[c], Channel(colours[i].rgb, c));
      hi[c] = std::max(hi[c], Channel(colours[i].rgb, c));
    }
  box.spread = -1;
  for (int c = 0; c < 3; ++c)
    if (hi[c] - lo[c] > box.spread) {
      box.spread = hi[c] - lo[c];
      box.widest = c;
    }
}

}  // namespace

Palette MedianCut(const std::vector<uint32_t>& pixels, int maxColours) {
  Palette out;
  maxColours = std::clamp(maxColours, 1, 256);
  std::unordered_map<uint32_t, uint32_t> histogram;
  for (uint32_t p : pixels) ++histogram[p & 0xFFFFFF];
  std::vector<ColourCount> colours;
  colours.reserve(histogram.size());
  for (auto [rgb, n] : histogram) colours.push_back({rgb, n});
  std::sort(colours.begin(), colours.end(), [](auto& a, auto& b) { return a.rgb < b.rgb; });

  std::vector<Box> boxes;
  if (!colours.empty()) {
    boxes.push_back({0, colours.size()});
    Measure(colours, boxes[0]);
  }
  // Split the box of the widest spread at its median pixel until there are
  // enough boxes or every box holds a single colour.
  while (int(boxes.size()) < maxColours) {
    auto it = std::max_element(boxes.begin(), boxes.end(), [](auto& a, auto& b) {
      const bool sa = a.end - a.begin > 1, sb = b.end - b.begin > 1;
      return sa != sb ? sb : a.spread < b.spread;
    });
    if (it == boxes.end() || it->end - it->begin < 2) break;
    Box box = *it;
    const int c = box.widest;
    std::sort(colours.begin() + long(box.begin), colours.begin() + long(box.end),
              [c](auto& a, auto& b) { return Channel(a.rgb, c) < Channel(b.rgb, c); });
    uint64_t total = 0;
    for (size_t i = box.begin; i < box.end; ++i) total += colours[i].count;
    uint64_t run = 0;
    size_t cut = box.begin + 1;
    for (size_t i = box.begin; i < box.end - 1; ++i) {
      run += colours[i].count;
      cut = i + 1;
      if (run * 2 >= total) break;
    }
    Box a{box.begin, cut}, b{cut, box.end};
    Measure(colours, a);
    Measure(colours, b);
    *it = a;
    boxes.push_back(b);
  }

  // Each box gives the pixel-weighted mean of its colours.
  std::unordered_map<uint32_t, uint8_t> indexOf;
  indexOf.reserve(colours.size());
  for (size_t k = 0; k < boxes.size(); ++k) {
    uint64_t sum[3] = {0, 0, 0}, n = 0;
    for (size_t i = boxes[k].begin; i < boxes[k].end; ++i) {
      for (int c = 0; c < 3; ++c) sum[c] += uint64_t(Channel(colours[i].rgb, c)) * colours[i].count;
      n += colours[i].count;
      indexOf[colours[i].rgb] = uint8_t(k);
    }
    uint32_t rgb = 0;
    for (int c = 0; c < 3; ++c) rgb = (rgb << 8) | uint32_t((sum[c] + n / 2) / n);
    out.colours.push_back(rgb);
  }
  out.indices.reserve(pixels.size());
  for (uint32_t p : pixels) out.indices.push_back(indexOf[p & 0xFFFFFF]);
  return out;
}

}  // namespace encode
