// SPDX-License-Identifier: MIT
// Glyph records: a 12-byte header and a zlib stream holding one XML glyph
// document, decoded into X16FILE records for the glyph table.
#include "render/glyphs.h"

#include <expat.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>


static bool glyphsLoaded = false;

void ZeroGlyphState() { glyphsLoaded = false; }

static constexpr uint32_t GlyphTag = 0x007A0071u;  // "q", "z" as UTF-16LE
static constexpr int HeaderBytes = 12;
// The stored documents are under 3 KB; a header claiming more than this is
// corrupt, and is refused rather than allocated.
static constexpr uint32_t MaxDocumentBytes = 1u << 20;

// ---- reading the document ------------------------------------------------------
//
// The document is read in one pass over expat's events, straight into the
// record: only the text of the elements that supply a field is kept, so time
// and memory grow with the document's size and nothing else.

// X16FILE > CData > element > field: nothing deeper carries a value.
static constexpr int MaxDepth = 4;

enum FieldId {
  FieldName, FieldType, FieldDrawMethod, FieldDrawMethod2, FieldDrawWidth, FieldDrawAngle,
  FieldDrawRGBA, FieldVisible, FieldX1, FieldY1, FieldX2, FieldY2, FieldX3, FieldY3, FieldX4,
  FieldY4, ElementFieldCount,
  FieldWidth = ElementFieldCount, FieldHeight,
};

static const char* const ElementFieldNames[ElementFieldCount] = {
    "Name", "Type", "DrawMethod", "DrawMethod2", "DrawWidth", "DrawAngle", "DrawRGBA", "Visible",
    "X1",   "Y1",   "X2",         "Y2",          "X3",        "Y3",        "X4",       "Y4"};

struct DocumentReader {
  XML_Parser parser = nullptr;
  X16FILE decoded{};
  int depth = 0;           // elements open
  bool rootClosed = false;
  bool failed = false;     // too deep, a declaration, a value that is no number, or no memory
  bool widthSeen = false;
  bool heightSeen = false;
  bool listSeen = false;
  bool inList = false;     // inside the first CData of the root
  bool inElement = false;  // inside one of its `element` children
  uint32_t fieldsSeen = 0; // of the current element: only the first of each name counts
  int captureDepth = 0;    // depth of the element whose text is gathered; 0 none
  int field = -1;
  std::string text;
};

static void Fail(DocumentReader& r) {
  r.failed = true;
  XML_StopParser(r.parser, XML_FALSE);
}

// Leading blanks, an optional sign, then decimal digits up to the first
// other character. Wraps rather than overflows; the caller keeps the low
// bits that fit its field.
static uint64_t ParseInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i++] - '0');
  return negative ? 0 - value : value;
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits with an optional point and fraction, optional exponent: the
// decimal numbers the documents write, and nothing strtof would also take
// ("inf", "nan", hexadecimal).
static bool IsDecimalNumber(const std::string& s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == s.size();
}

// The first word of the text as a 32-bit float. An empty text reads as 0,
// like a missing element; a word that is not a decimal number, or one too
// large for a float, is refused.
// The power of ten of a decimal number's first significant digit (0 for a
// number from 1 to 9.99…), for a number IsDecimalNumber accepts; −1 for zero.
static long DecimalMagnitude(const std::string& s) {
  size_t i = s[0] == '+' || s[0] == '-' ? 1 : 0;
  long position = 0;  // of the digit at i, before the exponent
  while (i < s.size() && IsDigit(s[i])) ++i, ++position;
  long magnitude = position - 1;
  bool significant = false;
  for (size_t k = s[0] == '+' || s[0] == '-' ? 1 : 0; k < s.size() && !significant; ++k) {
    if (s[k] == 'e' || s[k] == 'E') break;
    if (s[k] == '.') continue;
    if (s[k] != '0') significant = true; else --magnitude;
  }
  if (!significant) return -1;
  const size_t e = s.find_first_of("eE");
  if (e == std::string::npos) return magnitude;
  // Digits only, which no locale changes; far beyond any float either way.
  const long exponent = std::clamp(std::strtol(s.c_str() + e + 1, nullptr, 10), -100000L, 100000L);
  return magnitude + exponent;
}

static bool ParseFloat(const std::string& text, float& value) {
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  size_t last = first;
  while (last < text.size() && !IsBlank(text[last])) ++last;
  if (first == last) {
    value = 0;
    return true;
  }
  std::string number = text.substr(first, last - first);
  if (!IsDecimalNumber(number)) return false;
  // The documents always write a point for decimals, whatever the user's
  // locale says: from_chars reads them so on every system. It takes no plus.
  const char* begin = number.data() + (number[0] == '+' ? 1 : 0);
  const char* end = number.data() + number.size();
  float parsed = 0;
  const std::errc error = std::from_chars(begin, end, parsed).ec;
  if (error == std::errc::result_out_of_range) {
    // Too small for a float is zero, too large is refused.
    if (DecimalMagnitude(number) >= 0) return false;
    parsed = number[0] == '-' ? -0.0f : 0.0f;
  } else if (error != std::errc() || !std::isfinite(parsed)) {
    return false;
  }
  value = parsed;
  return true;
}

// Stores the gathered text into its field; false when it is no number.
static bool StoreField(DocumentReader& r) {
  if (r.field == FieldWidth) return ParseFloat(r.text, r.decoded.X16W);
  if (r.field == FieldHeight) return ParseFloat(r.text, r.decoded.X16H);
  X16DATA& d = r.decoded.CData.back();
  switch (r.field) {
    case FieldName: d.Name = r.text; return true;
    case FieldType: d.Type = static_cast<uint8_t>(ParseInteger(r.text)); return true;
    case FieldDrawMethod: d.DrawMethod = static_cast<uint8_t>(ParseInteger(r.text)); return true;
    case FieldDrawMethod2: d.DrawMethod2 = static_cast<uint8_t>(ParseInteger(r.text)); return true;
    case FieldVisible: d.Visible = static_cast<uint8_t>(ParseInteger(r.text)); return true;
    case FieldDrawRGBA:
      d.DrawRGBA = static_cast<int32_t>(static_cast<uint32_t>(ParseInteger(r.text)));
      return true;
    case FieldDrawWidth: return ParseFloat(r.text, d.DrawWidth);
    case FieldDrawAngle: return ParseFloat(r.text, d.DrawAngle);
    case FieldX1: return ParseFloat(r.text, d.X1);
    case FieldY1: return ParseFloat(r.text, d.Y1);
    case FieldX2: return ParseFloat(r.text, d.X2);
    case FieldY2: return ParseFloat(r.text, d.Y2);
    case FieldX3: return ParseFloat(r.text, d.X3);
    case FieldY3: return ParseFloat(r.text, d.Y3);
    case FieldX4: return ParseFloat(r.text, d.X4);
    case FieldY4: return ParseFloat(r.text, d.Y4);
  }
  return true;
}

static void BeginCapture(DocumentReader& r, int field) {
  r.captureDepth = r.depth;
  r.field = field;
  r.text.clear();
}

// Expat calls these from C: nothing may be thrown through it, so running out
// of memory fails the document instead.
static void XMLCALL StartElement(void* data, const XML_Char* name, const XML_Char**) {
  DocumentReader& r = *static_cast<DocumentReader*>(data);
  if (r.failed || r.rootClosed) return;
  if (++r.depth > MaxDepth) return Fail(r);
  if (r.captureDepth) return;  // inside a value its text counts, its tags do not
  if (r.depth == 2) {
    if (!r.widthSeen && std::strcmp(name, "X16W") == 0) {
      r.widthSeen = true;
      BeginCapture(r, FieldWidth);
    } else if (!r.heightSeen && std::strcmp(name, "X16H") == 0) {
      r.heightSeen = true;
      BeginCapture(r, FieldHeight);
    } else if (!r.listSeen && std::strcmp(name, "CData") == 0) {
      r.listSeen = r.inList = true;
    }
  } else if (r.depth == 3 && r.inList && std::strcmp(name, "element") == 0) {
    try {
      r.decoded.CData.push_back(X16DATA{});
    } catch (const std::bad_alloc&) {
      return Fail(r);
    }
    r.inElement = true;
    r.fieldsSeen = 0;
  } else if (r.depth == 4 && r.inElement) {
    for (int f = 0; f < ElementFieldCount; ++f) {
      if (std::strcmp(name, ElementFieldNames[f]) != 0) continue;
      if (!(r.fieldsSeen & (1u << f))) {
        r.fieldsSeen |= 1u << f;
        BeginCapture(r, f);
      }
      break;
    }
  }
}

static void XMLCALL EndElement(void* data, const XML_Char*) {
  DocumentReader& r = *static_cast<DocumentReader*>(data);
  if (r.failed || r.rootClosed) return;
  if (r.captureDepth == r.depth) {
    r.captureDepth = 0;
    bool stored = false;
    try {
      stored = StoreField(r);
    } catch (const std::bad_alloc&) {
    }
    if (!stored) return Fail(r);
  }
  if (r.depth == 3) r.inElement = false;
  if (r.depth == 2) r.inList = false;
  if (--r.depth == 0) {
    // Whatever follows the root element (the NUL padding of short
    // documents) is not XML and is not read.
    r.rootClosed = true;
    XML_StopParser(r.parser, XML_FALSE);
  }
}

static void XMLCALL CharacterData(void* data, const XML_Char* s, int length) {
  DocumentReader& r = *static_cast<DocumentReader*>(data);
  if (r.failed || r.rootClosed || !r.captureDepth) return;
  try {
    r.text.append(s, static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    Fail(r);
  }
}

// The documents have no declaration; one would bring entity definitions,
// whose expansion is text the document does not hold.
static void XMLCALL DoctypeDeclaration(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  Fail(*static_cast<DocumentReader*>(data));
}

// Reads the document and, only when it is one, replaces the destination.
static int DecodeDocument(X16FILE& destination, const char* text, size_t length) {
  if (length > static_cast<size_t>(INT_MAX)) return 1;
  DocumentReader reader;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  if (!parser) return 1;
  reader.parser = parser;
  XML_SetUserData(parser, &reader);
  XML_SetElementHandler(parser, StartElement, EndElement);
  XML_SetCharacterDataHandler(parser, CharacterData);
  XML_SetStartDoctypeDeclHandler(parser, DoctypeDeclaration);
  XML_Parse(parser, text, static_cast<int>(length), XML_TRUE);
  XML_ParserFree(parser);
  if (reader.failed || !reader.rootClosed) return 1;
  destination = std::move(reader.decoded);  // its own name is not checked
  return 0;
}

static uint32_t ReadU32(const unsigned char* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Inflates the stream into `document`, which has room for one byte more than
// the stated length. A stream cut short, damaged or of another length than
// stated fails alike: the document is not trusted.
static bool Inflate(const unsigned char* stream, uint32_t offered, char* document,
                    uint32_t documentLength) {
  z_stream inflater{};
  if (inflateInit(&inflater) != Z_OK) return false;
  inflater.next_in = const_cast<Bytef*>(stream);
  inflater.avail_in = offered;
  inflater.next_out = reinterpret_cast<Bytef*>(document);
  inflater.avail_out = documentLength + 1;
  const int status = inflate(&inflater, Z_FINISH);
  const uLong produced = inflater.total_out;
  inflateEnd(&inflater);
  return status == Z_STREAM_END && produced == documentLength;
}

int DecodeGlyphRecord(X16FILE& destination, const void* source, int32_t sourceLength, int packed) {
  if (!source) return 3;
  if (!packed) {
    if (sourceLength < 1) return 1;
    return DecodeDocument(destination, static_cast<const char*>(source), static_cast<size_t>(sourceLength));
  }

  // A given length bounds every byte read, the header's included: a record
  // too short for its own header is unusable, and the inflater is offered
  // only the bytes that follow the header within that length (it stops at
  // the end of the stream by itself). Without a length the caller vouches
  // for the header's compressed length.
  if (sourceLength >= 1 && sourceLength < HeaderBytes) return 3;
  const unsigned char* bytes = static_cast<const unsigned char*>(source);
  uint32_t tag = ReadU32(bytes);
  uint32_t compressedLength = ReadU32(bytes + 4);
  uint32_t documentLength = ReadU32(bytes + 8);
  uint32_t offered = sourceLength >= 1 ? static_cast<uint32_t>(sourceLength - HeaderBytes) : compressedLength;
  if (tag != GlyphTag || offered < 1 || documentLength < 1) return 3;

  if (documentLength > MaxDocumentBytes) return 2;
  // One byte of room beyond the stated length shows a stream that is longer.
  std::unique_ptr<char[]> document(new (std::nothrow) char[documentLength + 1]);
  if (!document || !Inflate(bytes + HeaderBytes, offered, document.get(), documentLength)) return 2;
  return DecodeDocument(destination, document.get(), documentLength);
}

void LoadGlyphTable() {
  if (glyphsLoaded) return;
  for (int i = 0; i < GlyphRecordCount; ++i) {
    const GlyphRecordEntry& record = GlyphRecords[i];
    if (!record.key || !record.bytes) continue;
    X16FILE& glyph = MapAddOrFind(GlyphTable, record.key);
    // The offered length is the record's header and stream, never more than
    // the constant holds.
    int32_t length = record.size;
    if (record.size >= HeaderBytes) {
      uint32_t compressed = ReadU32(record.bytes + 4);
      if (compressed <= static_cast<uint32_t>(record.size - HeaderBytes))
        length = HeaderBytes + static_cast<int32_t>(compressed);
    }
    DecodeGlyphRecord(glyph, record.bytes, length, 1);
  }
  glyphsLoaded = true;
}
