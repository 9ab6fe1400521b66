// SPDX-License-Identifier: MIT
// Memory in the runtime: a shortage met as a return value, and pixman's
// images given back. Nothing outside runtime/ includes this header.
#pragma once
#include <pixman.h>

#include <new>

// The runtime's one way of meeting a shortage of memory: `allocate` grows
// standard containers, and a std::bad_alloc from it becomes false, so the
// caller reports the failure as a return value like any other.
template <typename Allocate>
bool TryToAllocate(Allocate allocate) {
  try {
    allocate();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

inline void UnrefImage(pixman_image_t*& image) {
  if (image) pixman_image_unref(image);
  image = nullptr;
}
