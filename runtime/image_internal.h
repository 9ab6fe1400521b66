// SPDX-License-Identifier: MIT
// Shared between the runtime services only: the Cairo surface behind an
// image number, for drawing onto it directly.
#pragma once
#include <cairo.h>

// The image's surface (CAIRO_FORMAT_ARGB32, premultiplied), or null for a
// number that is not a live image. The image keeps ownership.
cairo_surface_t* ImageSurface(int image);
