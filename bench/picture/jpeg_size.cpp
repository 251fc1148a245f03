// Size of the JPEG pictures made for sending against ImageMagick's at the
// same quality of picture (PSNR over RGB): for each picture, ImageMagick's
// sizes over its quality range give a curve, and each of our encodings is
// compared with that curve's size at our PSNR.  Needs ImageMagick's
// `convert` on the PATH; it is a measuring aid, not a dependency.
//
//   jpeg_size [picture …]     (default: the JPEG and GIF test pictures)
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "encode/jpeg_encode.h"
#include "picture/picture_decode.h"

namespace {

struct Point {
  int quality;
  double bytes;
  double psnr;
};

std::vector<uint8_t> RgbOf(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  std::vector<uint8_t> out;
  out.reserve(size_t(rgb.width()) * rgb.height() * 3);
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* row = rgb.constScanLine(y);
    out.insert(out.end(), row, row + size_t(rgb.width()) * 3);
  }
  return out;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  const double mse = sum / double(a.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::vector<uint8_t> DecodedRgb(const std::string& jpeg) {
  picture::DecodedImage d = picture::DecodeBytes(".jpg", jpeg);
  return d.frames.empty() ? std::vector<uint8_t>{} : RgbOf(d.frames[0]);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ImageMagick's size at `psnr`, by linear interpolation along its curve
// (sorted by quality, so PSNR grows with it); negative when out of range.
double MagickBytesAt(const std::vector<Point>& curve, double psnr) {
  for (size_t i = 1; i < curve.size(); ++i) {
    const Point& lo = curve[i - 1];
    const Point& hi = curve[i];
    if (psnr >= lo.psnr && psnr <= hi.psnr && hi.psnr > lo.psnr) {
      const double t = (psnr - lo.psnr) / (hi.psnr - lo.psnr);
      return lo.bytes + t * (hi.bytes - lo.bytes);
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) files.push_back(argv[i]);
  if (files.empty())
    for (const char* name : {"baseline.jpg", "progressive.jpg", "interlaced.gif"})
      files.push_back(std::string(CHAT_SOURCE_DIR) + "/tests/data/pictures/" + name);
  QTemporaryDir tmp;
  std::printf("%-24s %7s %8s %7s %10s %7s\n", "picture", "quality", "ours B", "PSNR", "magick B", "ratio");
  double worst = 0, sumRatio = 0;
  int count = 0;
  for (const std::string& file : files) {
    picture::DecodedImage d = picture::DecodeFile(file);
    if (d.frames.empty()) {
      std::printf("%s: not decoded\n", file.c_str());
      continue;
    }
    const QImage image = d.frames[0].convertToFormat(QImage::Format_RGB888);
    const std::vector<uint8_t> source = RgbOf(image);
    const QString ppm = tmp.filePath("source.ppm");
    image.save(ppm, "PPM");
    std::vector<Point> curve;
    for (int q = 10; q <= 98; q += 2) {
      const QString out = tmp.filePath("magick.jpg");
      if (QProcess::execute("convert", {ppm, "-quality", QString::number(q), out}) != 0) {
        std::printf("convert failed: is ImageMagick installed?\n");
        return 2;
      }
      const std::string bytes = ReadAll(out.toStdString());
      curve.push_back({q, double(bytes.size()), Psnr(source, DecodedRgb(bytes))});
    }
    const std::string name = file.substr(file.rfind('/') + 1);
    for (int q : {26, 30, 50, 70, 85, 95}) {
      const std::string ours = encode::EncodeJpeg(image.width(), image.height(), source, q);
      const double psnr = Psnr(source, DecodedRgb(ours));
      const double magick = MagickBytesAt(curve, psnr);
      if (magick <= 0) {
        std::printf("%-24s %7d %8zu %7.2f %10s\n", name.c_str(), q, ours.size(), psnr, "-");
        continue;
      }
      const double ratio = double(ours.size()) / magick;
      worst = std::max(worst, ratio);
      sumRatio += ratio;
      ++count;
      std::printf("%-24s %7d %8zu %7.2f %10.0f %7.3f\n", name.c_str(), q, ours.size(), psnr, magick, ratio);
    }
  }
  if (count) std::printf("mean ratio %.3f, worst %.3f over %d points\n", sumRatio / count, worst, count);
  return 0;
}
