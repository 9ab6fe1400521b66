// Glyph records: a 12-byte header and a zlib stream holding one XML glyph
// document, decoded into X16FILE records for the glyph table.
#include "render/glyphs.h"

#include <expat.h>
#include <locale.h>
#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <new>

#include "shell/state.h"

static bool glyphsLoaded = false;

void ZeroGlyphState() { glyphsLoaded = false; }

static constexpr uint32_t GlyphTag = 0x007A0071u;  // "q", "z" as UTF-16LE
static constexpr int HeaderBytes = 12;
// The stored documents are under 3 KB; a header claiming more than this is
// corrupt, and is refused rather than allocated.
static constexpr uint32_t MaxDocumentBytes = 16u << 20;

// ---- a small document tree built from expat's events ------------------------

struct XmlNode {
  std::string name;
  std::string text;  // all character data inside the element, in order
  std::vector<int> children;
};

struct XmlDocument {
  std::vector<XmlNode> nodes;  // nodes[0] is the root
  std::vector<int> open;       // elements started and not yet ended
  bool rootClosed = false;
  XML_Parser parser = nullptr;
};

static void XMLCALL StartElement(void* data, const XML_Char* name, const XML_Char**) {
  XmlDocument& doc = *static_cast<XmlDocument*>(data);
  int index = static_cast<int>(doc.nodes.size());
  doc.nodes.push_back(XmlNode{name, {}, {}});
  if (!doc.open.empty()) doc.nodes[doc.open.back()].children.push_back(index);
  doc.open.push_back(index);
}

static void XMLCALL EndElement(void* data, const XML_Char*) {
  XmlDocument& doc = *static_cast<XmlDocument*>(data);
  doc.open.pop_back();
  if (doc.open.empty()) {
    // Whatever follows the root element (the NUL padding of short
    // documents) is not XML and is not read.
    doc.rootClosed = true;
    XML_StopParser(doc.parser, XML_FALSE);
  }
}

static void XMLCALL CharacterData(void* data, const XML_Char* s, int length) {
  XmlDocument& doc = *static_cast<XmlDocument*>(data);
  for (int index : doc.open) doc.nodes[index].text.append(s, static_cast<size_t>(length));
}

// True when the text up to the end of its root element is a document.
static bool ParseDocument(const char* text, size_t length, XmlDocument& doc) {
  if (length > static_cast<size_t>(INT_MAX)) return false;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  if (!parser) return false;
  doc.parser = parser;
  XML_SetUserData(parser, &doc);
  XML_SetElementHandler(parser, StartElement, EndElement);
  XML_SetCharacterDataHandler(parser, CharacterData);
  XML_Parse(parser, text, static_cast<int>(length), XML_TRUE);
  XML_ParserFree(parser);
  doc.parser = nullptr;
  return doc.rootClosed;
}

static const XmlNode* FirstChild(const XmlDocument& doc, const XmlNode& parent, const char* name) {
  for (int index : parent.children)
    if (doc.nodes[index].name == name) return &doc.nodes[index];
  return nullptr;
}

// ---- field conversions --------------------------------------------------------

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

static float ParseFloat(const std::string& text) {
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  size_t last = first;
  while (last < text.size() && !IsBlank(text[last])) ++last;
  std::string number = text.substr(first, last - first);
  // The documents always write a point for decimals, whatever the user's
  // locale says.
  static locale_t plain = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
  return plain ? strtof_l(number.c_str(), nullptr, plain) : std::strtof(number.c_str(), nullptr);
}

static void ReadInteger(const XmlDocument& doc, const XmlNode& parent, const char* name, uint8_t& field) {
  if (const XmlNode* node = FirstChild(doc, parent, name)) field = static_cast<uint8_t>(ParseInteger(node->text));
}

static void ReadInteger(const XmlDocument& doc, const XmlNode& parent, const char* name, int32_t& field) {
  if (const XmlNode* node = FirstChild(doc, parent, name))
    field = static_cast<int32_t>(static_cast<uint32_t>(ParseInteger(node->text)));
}

static void ReadFloat(const XmlDocument& doc, const XmlNode& parent, const char* name, float& field) {
  if (const XmlNode* node = FirstChild(doc, parent, name)) field = ParseFloat(node->text);
}

static X16DATA ReadElement(const XmlDocument& doc, const XmlNode& node) {
  X16DATA d{};
  if (const XmlNode* name = FirstChild(doc, node, "Name")) d.Name = name->text;
  ReadInteger(doc, node, "Type", d.Type);
  ReadInteger(doc, node, "DrawMethod", d.DrawMethod);
  ReadInteger(doc, node, "DrawMethod2", d.DrawMethod2);
  ReadFloat(doc, node, "DrawWidth", d.DrawWidth);
  ReadFloat(doc, node, "DrawAngle", d.DrawAngle);
  ReadInteger(doc, node, "DrawRGBA", d.DrawRGBA);
  ReadInteger(doc, node, "Visible", d.Visible);
  ReadFloat(doc, node, "X1", d.X1);
  ReadFloat(doc, node, "Y1", d.Y1);
  ReadFloat(doc, node, "X2", d.X2);
  ReadFloat(doc, node, "Y2", d.Y2);
  ReadFloat(doc, node, "X3", d.X3);
  ReadFloat(doc, node, "Y3", d.Y3);
  ReadFloat(doc, node, "X4", d.X4);
  ReadFloat(doc, node, "Y4", d.Y4);
  return d;
}

// Parses the document and, only when it is one, replaces the destination.
static int DecodeDocument(X16FILE& destination, const char* text, size_t length) {
  XmlDocument doc;
  if (!ParseDocument(text, length, doc)) return 1;
  const XmlNode& root = doc.nodes[0];  // its own name is not checked
  X16FILE decoded{};
  ReadFloat(doc, root, "X16W", decoded.X16W);
  ReadFloat(doc, root, "X16H", decoded.X16H);
  if (const XmlNode* list = FirstChild(doc, root, "CData")) {
    for (int index : list->children)
      if (doc.nodes[index].name == "element") decoded.CData.push_back(ReadElement(doc, doc.nodes[index]));
  }
  destination = std::move(decoded);
  return 0;
}

static uint32_t ReadU32(const unsigned char* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
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
  char* document = new (std::nothrow) char[documentLength + 1];
  if (!document) return 2;
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) {
    delete[] document;
    return 2;
  }
  stream.next_in = const_cast<Bytef*>(bytes + HeaderBytes);
  stream.avail_in = offered;
  stream.next_out = reinterpret_cast<Bytef*>(document);
  stream.avail_out = documentLength + 1;
  int status = inflate(&stream, Z_FINISH);
  uLong produced = stream.total_out;
  inflateEnd(&stream);
  // A stream cut short, damaged or of another length than stated fails
  // alike: the document is not trusted.
  if (status != Z_STREAM_END || produced != documentLength) {
    delete[] document;
    return 2;
  }
  int result = DecodeDocument(destination, document, documentLength);
  delete[] document;
  return result;
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
