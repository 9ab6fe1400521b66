#include "render/glyphs.h"

static bool glyphsLoaded = false;

void ZeroGlyphState() { glyphsLoaded = false; }
