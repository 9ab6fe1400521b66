// SPDX-License-Identifier: MIT
// The embedded font: glyph records, their XML documents and the glyph table.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/containers.h"

struct X16DATA {
  std::string Name;
  uint8_t Type;         // 0 line, 1 cubic curve, 2 box, 3 ellipse arc
  uint8_t DrawMethod;   // 0 stroke, 1 fill, 2 dashed stroke
  uint8_t DrawMethod2;  // end and join style
  float DrawWidth;
  float DrawAngle;
  int32_t DrawRGBA;
  uint8_t Visible;
  float X1, Y1, X2, Y2, X3, Y3, X4, Y4;
};

struct X16FILE {
  float X16W;
  float X16H;
  std::vector<X16DATA> CData;
};

extern KeyedMap<X16FILE> GlyphTable;  // the decoded font, by glyph key

// One embedded record: key character and its bytes (header + zlib stream).
struct GlyphRecordEntry {
  const char* key;
  const unsigned char* bytes;
  int32_t size;
};
extern const GlyphRecordEntry GlyphRecords[];  // in loading order
extern const int GlyphRecordCount;

// 0 decoded; 1 no XML document; 2 no buffer or wrong inflated length;
// 3 unusable record (null, wrong tag, length below 1).
int DecodeGlyphRecord(X16FILE& destination, const void* source, int32_t sourceLength, int packed);
void LoadGlyphTable();  // once per run
void ZeroGlyphState();  // back to "not loaded", for start-up
