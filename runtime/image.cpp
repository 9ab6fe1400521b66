// SPDX-License-Identifier: MIT
// Images are Cairo ARGB32 image surfaces (premultiplied alpha), known to the
// rest of the program only by number. Vector drawing (vector.cpp) reaches
// the surfaces through image_internal.h; the sprite service only reads their
// pixels, through ImageRawPixels.
#include "runtime/image.h"

#include <cairo.h>

#include <cstddef>
#include <unordered_map>

#include "runtime/colour.h"
#include "runtime/image_internal.h"

// Cairo refuses image surfaces with a side above 32767, and the callers keep
// image sides in signed 16-bit fields anyway.
static constexpr int MaxImageSide = 32767;

// Images outlive screens, windows and the platform itself: nothing resets
// this record; each image lasts until it is disposed of.
struct ImageState {
  std::unordered_map<int, cairo_surface_t*> byNumber;
  int nextNumber = 1;  // 0 is never an image
  // The image that PutImageAt draws onto, between BeginImagePixels and
  // EndImagePixels.
  cairo_t* pixelTarget = nullptr;
  int pixelTargetImage = 0;
};

static ImageState images;

cairo_surface_t* ImageSurface(int image) {
  auto it = images.byNumber.find(image);
  return it == images.byNumber.end() ? nullptr : it->second;
}

int AdoptSurface(cairo_surface_t* surface) {
  // Numbers are not reused while an image holds them, so a stale number
  // never reaches a newer image by accident.
  while (images.nextNumber <= 0 || images.byNumber.count(images.nextNumber)) {
    images.nextNumber = images.nextNumber <= 0 ? 1 : images.nextNumber + 1;
  }
  images.byNumber[images.nextNumber] = surface;
  return images.nextNumber++;
}

cairo_surface_t* NewSurface(int width, int height) {
  if (width < 1 || height < 1 || width > MaxImageSide || height > MaxImageSide) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return surface;
}

int NewImage(int width, int height, uint32_t background) {
  cairo_surface_t* surface = NewSurface(width, height);
  if (!surface) return 0;
  // A new Cairo image surface is already all zeros: transparent black.
  if (background != 0xFFFFFFFFu) {
    uint32_t r = background & 0xFF, g = (background >> 8) & 0xFF, b = (background >> 16) & 0xFF;
    uint32_t pixel = 0xFF000000u | r << 16 | g << 8 | b;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<std::size_t>(y) * stride);
      for (int x = 0; x < width; ++x) row[x] = pixel;
    }
    cairo_surface_mark_dirty(surface);
  }
  return AdoptSurface(surface);
}

bool ImageDims(int image, int& width, int& height) {
  cairo_surface_t* surface = ImageSurface(image);
  if (!surface) {
    width = height = 0;
    return false;
  }
  width = cairo_image_surface_get_width(surface);
  height = cairo_image_surface_get_height(surface);
  return true;
}

bool BeginImagePixels(int image) {
  EndImagePixels();
  cairo_surface_t* surface = ImageSurface(image);
  if (!surface) return false;
  cairo_t* cr = cairo_create(surface);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    return false;
  }
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  images.pixelTarget = cr;
  images.pixelTargetImage = image;
  return true;
}

void PutImageAt(int source, int x, int y) {
  cairo_surface_t* from = ImageSurface(source);
  if (!images.pixelTarget || !from) return;
  cairo_surface_t* copy = nullptr;
  if (source == images.pixelTargetImage) {
    // Drawing an image onto itself: read from a snapshot so the source does
    // not change under the drawing.
    copy = NewSurface(cairo_image_surface_get_width(from), cairo_image_surface_get_height(from));
    if (!copy) return;
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, from, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    from = copy;
  }
  // Whole-pixel placement with the identity transform: every source pixel
  // lands on exactly one target pixel, so no filtering happens.
  cairo_set_source_surface(images.pixelTarget, from, x, y);
  cairo_paint(images.pixelTarget);
  cairo_set_source_rgba(images.pixelTarget, 0, 0, 0, 0);  // drop the pattern's reference
  if (copy) cairo_surface_destroy(copy);
}

void EndImagePixels() {
  if (!images.pixelTarget) return;
  cairo_surface_flush(cairo_get_target(images.pixelTarget));
  cairo_destroy(images.pixelTarget);
  images.pixelTarget = nullptr;
  images.pixelTargetImage = 0;
}

void ScaleImageTo(int image, int width, int height, int mode) {
  cairo_surface_t* from = ImageSurface(image);
  if (!from) return;
  cairo_surface_t* to = NewSurface(width, height);
  if (!to) return;
  int fromWidth = cairo_image_surface_get_width(from);
  int fromHeight = cairo_image_surface_get_height(from);
  if (mode == 0 && width <= fromWidth && height <= fromHeight) {
    if (image == images.pixelTargetImage) EndImagePixels();
    if (ReduceSurfaceByArea(from, to)) {
      cairo_surface_destroy(from);
      images.byNumber[image] = to;
      return;
    }
  }
  cairo_t* cr = cairo_create(to);
  cairo_scale(cr, static_cast<double>(width) / fromWidth, static_cast<double>(height) / fromHeight);
  cairo_set_source_surface(cr, from, 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  // CAIRO_FILTER_GOOD reduces with a box filter: each target pixel is the
  // area-weighted average of the source pixels it covers (premultiplied, so
  // alpha is averaged together with the colour). Padding the edges keeps
  // the border pixels from fading towards transparent.
  cairo_pattern_set_filter(pattern, mode == 1 ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (!ok) {
    cairo_surface_destroy(to);
    return;
  }
  cairo_surface_flush(to);
  if (image == images.pixelTargetImage) EndImagePixels();
  cairo_surface_destroy(from);
  images.byNumber[image] = to;
}

void DisposeImage(int image) {
  auto it = images.byNumber.find(image);
  if (it == images.byNumber.end()) return;
  if (image == images.pixelTargetImage) EndImagePixels();
  cairo_surface_destroy(it->second);
  images.byNumber.erase(it);
}

bool ImageRawPixels(int image, const uint32_t*& pixels, int& width, int& height, int& stride) {
  cairo_surface_t* surface = ImageSurface(image);
  if (!surface) return false;
  cairo_surface_flush(surface);
  pixels = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface));
  width = cairo_image_surface_get_width(surface);
  height = cairo_image_surface_get_height(surface);
  stride = cairo_image_surface_get_stride(surface);
  return pixels != nullptr;
}

uint32_t ImagePixel(int image, int x, int y) {
  const uint32_t* pixels;
  int width, height, stride;
  if (!ImageRawPixels(image, pixels, width, height, stride)) return 0;
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  uint32_t p = *reinterpret_cast<const uint32_t*>(reinterpret_cast<const unsigned char*>(pixels) +
                                                  static_cast<std::size_t>(y) * stride + 4 * static_cast<std::size_t>(x));
  uint32_t a = p >> 24;
  if (a == 0) return 0;
  return Rgb(Unweigh(p >> 16 & 0xFF, a), Unweigh(p >> 8 & 0xFF, a), Unweigh(p & 0xFF, a)) | a << 24;
}

bool SetImagePixel(int image, int x, int y, uint32_t rgba) {
  cairo_surface_t* surface = ImageSurface(image);
  if (!surface) return false;
  if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface) ||
      y >= cairo_image_surface_get_height(surface))
    return false;
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  reinterpret_cast<uint32_t*>(data + static_cast<std::size_t>(y) * cairo_image_surface_get_stride(surface))[x] =
      PremultipliedPixel(rgba, rgba >> 24);
  // Cairo keeps a note that a new surface is clear and would otherwise go on
  // treating it as empty.
  cairo_surface_mark_dirty_rectangle(surface, x, y, 1, 1);
  return true;
}

bool SaveImagePng(int image, const char* path) {
  cairo_surface_t* surface = ImageSurface(image);
  if (!surface || !path) return false;
#if CAIRO_HAS_PNG_FUNCTIONS
  return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
#else
  return false;  // a Cairo built without PNG, as the game itself needs none
#endif
}
