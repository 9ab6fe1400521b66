// SPDX-License-Identifier: MIT
// Smooth reductions: each target pixel is the area-weighted average of the
// source pixels it covers, premultiplied channels averaged alike, rounded to
// the nearest step. Cairo's smooth filter computes the same through pixman's
// general convolution, which at large scales took two thirds of a scale
// change rendering the labels; adding up each target row's source rows and
// then reducing that one row across, in integers, does it several times
// faster.
#include <cairo.h>

#include <algorithm>
#include <vector>

#include "runtime/image.h"
#include "runtime/image_internal.h"
#include "runtime/memory.h"
#include "runtime/text.h"

namespace {

// Shares are counted in 1/65536 of a pixel across; down a column in a unit
// halved until the sums fit their 32-bit lanes.
constexpr double ShareUnit = 65536.0;
constexpr double LaneLimit = 4294967296.0;  // 2^32

// How the target pixels take from the source pixels along one axis: target
// pixel t covers source pixels first[t] to first[t] + count[t] − 1, each with
// the share of it the target pixel covers, in units of 1/unit of a pixel, at
// shares[offset[t]] on.
struct AreaSpans {
  std::vector<int> first, count, offset;
  std::vector<uint64_t> shares;
  double unit = ShareUnit;
};

// The spans of `to` target pixels over `from` source pixels (to <= from),
// with shares in 1/unit of a pixel.
void MakeAreaSpans(AreaSpans& spans, int from, int to, double unit) {
  spans.unit = unit;
  const double step = static_cast<double>(from) / to;
  for (int t = 0; t < to; ++t) {
    const double begin = t * step, end = t + 1 == to ? from : (t + 1) * step;
    const int first = static_cast<int>(begin);
    spans.first.push_back(first);
    spans.offset.push_back(static_cast<int>(spans.shares.size()));
    int count = 0;
    for (int i = first; i < end && i < from; ++i, ++count) {
      const double share = std::min<double>(end, i + 1) - std::max<double>(begin, i);
      spans.shares.push_back(static_cast<uint64_t>(RoundEven(share * unit)));
    }
    spans.count.push_back(count);
  }
}

// A pixel's four channels in two words, two 32-bit lanes each, so that one
// multiplication weighs two channels. The shares down a column are in units
// small enough that a channel times all of a target row's shares stays below
// 2^32: the lanes never reach each other.
void SpreadChannels(uint32_t p, uint64_t& low, uint64_t& high) {
  low = (p & 0xFFu) | uint64_t(p >> 16 & 0xFFu) << 32;
  high = (p >> 8 & 0xFFu) | uint64_t(p >> 24) << 32;
}

// Adds source row `y`'s pixels, weighted by `share`, into the row of sums
// `column`: two words a pixel. rowParts(y, add) calls add(pixels, x, count)
// for the parts of the row that hold pixels (the rest is transparent).
template <typename RowParts>
void GatherRow(RowParts& rowParts, int y, uint64_t share, std::vector<uint64_t>& column) {
  rowParts(y, [&](const uint32_t* pixels, int x, int count) {
    uint64_t* sums = &column[2 * static_cast<size_t>(x)];
    for (int i = 0; i < count; ++i) {
      if (!pixels[i]) continue;  // most of a text is transparent
      uint64_t low, high;
      SpreadChannels(pixels[i], low, high);
      sums[2 * i] += low * share;
      sums[2 * i + 1] += high * share;
    }
  });
}

// One target row from the row of sums: each target pixel weighs the sums its
// span covers and divides by the whole weight of a pixel, `whole`.
void ReduceAcross(const std::vector<uint64_t>& column, const AreaSpans& across, double whole,
                  uint32_t* out, int width) {
  for (int x = 0; x < width; ++x) {
    const uint64_t* sums = &column[2 * static_cast<size_t>(across.first[x])];
    const uint64_t* shares = &across.shares[static_cast<size_t>(across.offset[x])];
    uint64_t channels[4] = {0, 0, 0, 0};
    for (int k = 0; k < across.count[x]; ++k) {
      const uint64_t low = sums[2 * k], high = sums[2 * k + 1];
      if (!(low | high)) continue;  // most of a text is transparent
      channels[0] += (low & 0xFFFFFFFFu) * shares[k];
      channels[1] += (high & 0xFFFFFFFFu) * shares[k];
      channels[2] += (low >> 32) * shares[k];
      channels[3] += (high >> 32) * shares[k];
    }
    uint32_t p = 0;
    for (int c = 0; c < 4; ++c) {
      if (!channels[c]) continue;
      const int64_t level = std::min<int64_t>(RoundEven(channels[c] / whole), 255);
      p |= static_cast<uint32_t>(level) << (8 * c);
    }
    out[x] = p;
  }
}

// Reduces a fromWidth × fromHeight picture into `to`, its rows read through
// rowParts (see GatherRow), as premultiplied 0xAARRGGBB words. Each target
// row first gathers its source rows, weighted, into one row of sums, which is
// then reduced across. False where memory runs out.
template <typename RowParts>
bool ReduceByArea(int fromWidth, int fromHeight, RowParts rowParts, cairo_surface_t* to) {
  const int width = cairo_image_surface_get_width(to), height = cairo_image_surface_get_height(to);
  // Shares down a column small enough that a whole target row's sums keep
  // each channel inside its 32-bit lane.
  double downUnit = ShareUnit;
  while (255.0 * (static_cast<double>(fromHeight) / height + 1) * downUnit >= LaneLimit)
    downUnit /= 2;
  AreaSpans across, down;
  std::vector<uint64_t> column;
  if (!TryToAllocate([&] {
        MakeAreaSpans(across, fromWidth, width, ShareUnit);
        MakeAreaSpans(down, fromHeight, height, downUnit);
        column.resize(static_cast<size_t>(fromWidth) * 2);
      })) {
    return false;
  }
  cairo_surface_flush(to);
  const int toStride = cairo_image_surface_get_stride(to);
  uint8_t* target = cairo_image_surface_get_data(to);
  const double whole = across.unit * down.unit * fromWidth / width * fromHeight / height;
  for (int y = 0; y < height; ++y) {
    std::fill(column.begin(), column.end(), 0);
    for (int k = 0; k < down.count[y]; ++k) {
      GatherRow(rowParts, down.first[y] + k, down.shares[static_cast<size_t>(down.offset[y] + k)],
                column);
    }
    ReduceAcross(column, across, whole,
                 reinterpret_cast<uint32_t*>(target + static_cast<size_t>(y) * toStride), width);
  }
  cairo_surface_mark_dirty(to);
  return true;
}

}  // namespace

bool ReduceSurfaceByArea(cairo_surface_t* from, cairo_surface_t* to) {
  cairo_surface_flush(from);
  const uint8_t* source = cairo_image_surface_get_data(from);
  const int stride = cairo_image_surface_get_stride(from);
  const int width = cairo_image_surface_get_width(from);
  return ReduceByArea(
      width, cairo_image_surface_get_height(from),
      [&](int y, auto add) {
        add(reinterpret_cast<const uint32_t*>(source + static_cast<size_t>(y) * stride), 0, width);
      },
      to);
}

int ReducePiecesByArea(const std::vector<ImagePiece>& pieces, int width, int height,
                       int targetWidth, int targetHeight) {
  if (targetWidth > width || targetHeight > height) return 0;
  cairo_surface_t* to = NewSurface(targetWidth, targetHeight);
  if (!to) return 0;
  for (const ImagePiece& piece : pieces)
    if (cairo_surface_t* surface = ImageSurface(piece.image)) cairo_surface_flush(surface);
  // The picture's row y is its pieces' rows, and nothing between them.
  auto rowParts = [&](int y, auto add) {
    for (const ImagePiece& piece : pieces) {
      cairo_surface_t* surface = ImageSurface(piece.image);
      if (!surface || y < piece.y || y >= piece.y + cairo_image_surface_get_height(surface))
        continue;
      const int left = std::max(0, piece.x);
      const int right = std::min(width, piece.x + cairo_image_surface_get_width(surface));
      if (left >= right) continue;
      const size_t stride = static_cast<size_t>(cairo_image_surface_get_stride(surface));
      const uint8_t* row = cairo_image_surface_get_data(surface) + (y - piece.y) * stride;
      add(reinterpret_cast<const uint32_t*>(row) + (left - piece.x), left, right - left);
    }
  };
  if (!ReduceByArea(width, height, rowParts, to)) {
    cairo_surface_destroy(to);
    return 0;
  }
  return AdoptSurface(to);
}
