// SPDX-License-Identifier: MIT
// Shared between the runtime services only: the Cairo surface behind an
// image number, for drawing onto it directly.
#pragma once
#include <cairo.h>

// The image's surface (CAIRO_FORMAT_ARGB32, premultiplied), or null for a
// number that is not a live image. The image keeps ownership.
cairo_surface_t* ImageSurface(int image);

// A new transparent surface of that size, or null where Cairo cannot make one
// (a side below 1 or above 32767, or no memory).
cairo_surface_t* NewSurface(int width, int height);
// Makes the surface a new image, which owns it from now on; its number.
int AdoptSurface(cairo_surface_t* surface);

// Reduces `from` into the smaller or equal `to` by area (image_reduce.cpp).
// False, with `to` unchanged, where memory runs out.
bool ReduceSurfaceByArea(cairo_surface_t* from, cairo_surface_t* to);
