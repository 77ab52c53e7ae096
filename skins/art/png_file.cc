#include "skins/art/png_file.h"

#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace skin_art {
namespace {

void PutU32(std::string* out, uint32_t v) {
  out->push_back(char((v >> 24) & 0xff));
  out->push_back(char((v >> 16) & 0xff));
  out->push_back(char((v >> 8) & 0xff));
  out->push_back(char(v & 0xff));
}

void PutChunk(std::string* out, const char* type, const std::string& data) {
  PutU32(out, uint32_t(data.size()));
  const std::string body = std::string(type, 4) + data;
  out->append(body);
  PutU32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  return uint8_t(pb <= pc ? b : c);
}

// One scan line filtered with each of the five filters; the one with the
// smallest sum of signed magnitudes usually compresses best.
std::vector<uint8_t> FilterRow(const uint8_t* row, const uint8_t* above, size_t length,
                               size_t bpp) {
  std::vector<uint8_t> best;
  long bestScore = -1;
  for (uint8_t filter = 0; filter < 5; ++filter) {
    std::vector<uint8_t> line(length + 1);
    line[0] = filter;
    long score = 0;
    for (size_t i = 0; i < length; ++i) {
      const int a = i >= bpp ? row[i - bpp] : 0;
      const int b = above ? above[i] : 0;
      const int c = above && i >= bpp ? above[i - bpp] : 0;
      int predicted = 0;
      switch (filter) {
        case 1:
          predicted = a;
          break;
        case 2:
          predicted = b;
          break;
        case 3:
          predicted = (a + b) / 2;
          break;
        case 4:
          predicted = Paeth(a, b, c);
          break;
        default:
          break;
      }
      const uint8_t value = uint8_t(row[i] - predicted);
      line[i + 1] = value;
      score += value < 128 ? value : 256 - value;
    }
    if (bestScore < 0 || score < bestScore) {
      bestScore = score;
      best = std::move(line);
    }
  }
  return best;
}

}  // namespace

std::string EncodePng(const Canvas& canvas) {
  const std::vector<uint8_t> rgba = canvas.ToRgba8();
  bool opaque = true;
  for (size_t i = 3; i < rgba.size(); i += 4) opaque = opaque && rgba[i] == 255;
  const size_t bpp = opaque ? 3 : 4;
  std::vector<uint8_t> pixels;
  pixels.reserve(rgba.size());
  for (size_t i = 0; i < rgba.size(); i += 4) {
    pixels.insert(pixels.end(), rgba.begin() + long(i), rgba.begin() + long(i + bpp));
  }

  const size_t stride = size_t(canvas.width()) * bpp;
  std::vector<uint8_t> filtered;
  for (int y = 0; y < canvas.height(); ++y) {
    const uint8_t* row = pixels.data() + size_t(y) * stride;
    const uint8_t* above = y > 0 ? row - stride : nullptr;
    const std::vector<uint8_t> line = FilterRow(row, above, stride, bpp);
    filtered.insert(filtered.end(), line.begin(), line.end());
  }
  uLongf packedSize = compressBound(uLong(filtered.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, filtered.data(),
                uLong(filtered.size()), Z_BEST_COMPRESSION) != Z_OK) {
    return std::string();
  }
  packed.resize(packedSize);

  std::string header;
  PutU32(&header, uint32_t(canvas.width()));
  PutU32(&header, uint32_t(canvas.height()));
  header.push_back(8);                  // bits per channel
  header.push_back(opaque ? 2 : 6);     // RGB or RGBA
  header.append(std::string(3, '\0'));  // deflate, adaptive filters, no interlace

  std::string png("\x89PNG\r\n\x1a\n", 8);
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", packed);
  PutChunk(&png, "IEND", "");
  return png;
}

}  // namespace skin_art
