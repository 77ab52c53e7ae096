#include "skinui_screen/skin_images.h"

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "skinui/dialog_builder.h"

namespace skinui {
namespace {

// Decoded images and composed sizes; UI thread only. Bounded: a skin has a
// few dozen images, each drawn at one or two sizes.
constexpr size_t kMaxComposed = 256;
std::map<std::string, std::optional<wxImage>>& Decoded() {
  static auto* images = new std::map<std::string, std::optional<wxImage>>;
  return *images;
}
// The images without any transparency, as decoded (without alpha).
std::map<std::string, wxImage>& Opaque() {
  static auto* images = new std::map<std::string, wxImage>;
  return *images;
}
using ComposedKey = std::tuple<std::string, int, int, int, int, int, int>;
std::map<ComposedKey, wxBitmap>& Composed() {
  static auto* bitmaps = new std::map<ComposedKey, wxBitmap>;
  return *bitmaps;
}

// A PNG's size from its header; images beyond kMaxSide either way are
// refused before decoding (a small file may hold a huge image).
constexpr unsigned kMaxSide = 4096;
bool PlausiblePng(const std::string& bytes) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (bytes.size() < 24 || bytes.compare(0, 8, reinterpret_cast<const char*>(kSignature), 8) != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    return false;
  }
  auto word = [&bytes](size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 3]));
  };
  const unsigned width = word(16), height = word(20);
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
}

const wxImage* Load(const std::string& file) {
  auto it = Decoded().find(file);
  if (it == Decoded().end()) {
    std::optional<wxImage> image;
    std::string bytes;
    if (ReadSkinResource(file, &bytes) && PlausiblePng(bytes)) {
      wxLogNull quiet;  // a damaged image is simply not drawn
      wxMemoryInputStream stream(bytes.data(), bytes.size());
      wxImage decoded;
      if (decoded.LoadFile(stream, wxBITMAP_TYPE_PNG) && decoded.IsOk()) {
        if (!decoded.HasAlpha() && !decoded.HasMask()) Opaque().emplace(file, decoded);
        if (!decoded.HasAlpha()) decoded.InitAlpha();
        image = decoded;
      }
    }
    it = Decoded().emplace(file, std::move(image)).first;
  }
  return it->second ? &*it->second : nullptr;
}

// Whether every pixel of `area` of `image` is fully transparent (never for
// an image without alpha).
bool Transparent(const wxImage& image, const wxRect& area) {
  const unsigned char* alpha = image.GetAlpha();
  if (!alpha) return false;
  for (int y = area.y; y < area.y + area.height; ++y) {
    const unsigned char* row = alpha + static_cast<size_t>(y) * image.GetWidth() + area.x;
    if (std::any_of(row, row + area.width, [](unsigned char a) { return a != 0; })) return false;
  }
  return true;
}

// One slice of `source` scaled into the target at (x, y, w, h). A fully
// transparent slice (a frame's empty middle, often the largest slice) adds
// nothing to the target, which starts transparent.
void PasteSlice(wxImage& target, const wxImage& source, const wxRect& from, const wxRect& to) {
  if (from.width <= 0 || from.height <= 0 || to.width <= 0 || to.height <= 0) return;
  if (Transparent(source, from)) return;
  wxImage part = source.GetSubImage(from);
  if (part.GetWidth() != to.width || part.GetHeight() != to.height) {
    part.Rescale(to.width, to.height, wxIMAGE_QUALITY_BILINEAR);
  }
  target.Paste(part, to.x, to.y);
}

// `opaque`: the same image without alpha when it has no transparency.
wxBitmap Compose(const wxImage& image, const wxImage* opaque, const ImageSpec& spec, int width,
                 int height) {
  const int sw = image.GetWidth();
  const int sh = image.GetHeight();
  int l = std::clamp(spec.corner[0], 0, sw), t = std::clamp(spec.corner[1], 0, sh);
  int r = std::clamp(spec.corner[2], 0, sw - l), b = std::clamp(spec.corner[3], 0, sh - t);
  if (opaque && l == 0 && t == 0 && r == 0 && b == 0) {
    // One opaque slice covering the target (a window's scene): scaled
    // without its alpha channel, a third less work for the same pixels.
    wxImage scaled = sw == width && sh == height
                         ? opaque->Copy()
                         : opaque->Scale(width, height, wxIMAGE_QUALITY_BILINEAR);
    scaled.InitAlpha();
    return wxBitmap(scaled);
  }
  // Corners larger than the target shrink to fit.
  if (l + r > width) l = r = width / 2;
  if (t + b > height) t = b = height / 2;
  wxImage target(width, height);
  target.InitAlpha();
  std::fill(target.GetAlpha(), target.GetAlpha() + static_cast<size_t>(width) * height, 0);
  const int xs[4] = {0, l, sw - r, sw}, ys[4] = {0, t, sh - b, sh};
  const int xd[4] = {0, l, width - r, width}, yd[4] = {0, t, height - b, height};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      PasteSlice(target, image,
                 wxRect(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]),
                 wxRect(xd[col], yd[row], xd[col + 1] - xd[col], yd[row + 1] - yd[row]));
    }
  }
  return wxBitmap(target);
}

}  // namespace

void DrawSkinImage(wxDC& dc, const ImageSpec& spec, const wxRect& rect, int clipWidth) {
  if (spec.file.empty() || rect.width <= 0 || rect.height <= 0) return;
  if (rect.width > 8192 || rect.height > 8192) return;
  const wxImage* image = Load(spec.file);
  if (!image) return;
  const ComposedKey key{spec.file,      spec.corner[0], spec.corner[1], spec.corner[2],
                        spec.corner[3], rect.width,     rect.height};
  auto& composed = Composed();
  auto it = composed.find(key);
  if (it == composed.end()) {
    if (composed.size() >= kMaxComposed) composed.clear();
    const auto opaque = Opaque().find(spec.file);
    const wxImage* plain = opaque == Opaque().end() ? nullptr : &opaque->second;
    it = composed.emplace(key, Compose(*image, plain, spec, rect.width, rect.height)).first;
  }
  if (clipWidth >= 0 && clipWidth < rect.width) {
    if (clipWidth == 0) return;
    wxDCClipper clip(dc, wxRect(rect.x, rect.y, clipWidth, rect.height));
    dc.DrawBitmap(it->second, rect.x, rect.y, true);
    return;
  }
  dc.DrawBitmap(it->second, rect.x, rect.y, true);
}

void ForgetSkinImages() {
  Composed().clear();
  Opaque().clear();
  Decoded().clear();
}

}  // namespace skinui
