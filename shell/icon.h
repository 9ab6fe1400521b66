// SPDX-License-Identifier: MIT
// The program's icon: a small block picture drawn with the block sprites' own
// drawing code, for the window and for the desktop's menus.
#pragma once

// A size × size image (runtime/image.h) of the picture; 0 on failure.
int MakeIconImage(int size);
