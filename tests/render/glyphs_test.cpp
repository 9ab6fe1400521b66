#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/glyphs.h"
#include "shell/state.h"
#include "tools/glyph_keys.h"

namespace {

constexpr uint32_t GlyphTag = 0x007A0071u;

const char* const SpaceDocument = "<X16FILE><X16W>5</X16W><X16H>14</X16H><CData/></X16FILE>";

const char* const OneDocument =
    "<X16FILE><X16W>5</X16W><X16H>14</X16H><CData>"
    "<element><Name/><Type>0</Type><DrawMethod>0</DrawMethod><DrawWidth>1</DrawWidth>"
    "<DrawAngle>35</DrawAngle><DrawRGBA>-16777216</DrawRGBA><Visible>1</Visible>"
    "<X1>2.5</X1><Y1>2.625</Y1><X2>2.5</X2><Y2>2.625</Y2><X3>2.5</X3><Y3>2.625</Y3>"
    "<X4>2.5</X4><Y4>4.625</Y4></element>"
    "<element><Name/><Type>0</Type><DrawMethod>0</DrawMethod><DrawWidth>1</DrawWidth>"
    "<DrawAngle>0</DrawAngle><DrawRGBA>-16777216</DrawRGBA><Visible>1</Visible>"
    "<X1>3.5</X1><Y1>2.5</Y1><X2>3.5</X2><Y2>2.5</Y2><X3>3.5</X3><Y3>2.5</Y3>"
    "<X4>3.5</X4><Y4>11.5</Y4></element>"
    "</CData></X16FILE>";

void PutU32(std::vector<unsigned char>& bytes, uint32_t v) {
  for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<unsigned char>(v >> (8 * k)));
}

// A glyph record of `document`; the header fields can be overridden to make
// damaged records.
struct RecordOptions {
  uint32_t tag = GlyphTag;
  int64_t compressedLength = -1;  // −1: the true length
  int64_t documentLength = -1;
};

std::vector<unsigned char> MakeRecord(const std::string& document, RecordOptions options = {}) {
  uLongf packedSize = compressBound(document.size());
  std::vector<unsigned char> packed(packedSize);
  EXPECT_EQ(compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(document.data()),
                      document.size(), Z_BEST_COMPRESSION),
            Z_OK);
  std::vector<unsigned char> record;
  PutU32(record, options.tag);
  PutU32(record, options.compressedLength < 0 ? packedSize : static_cast<uint32_t>(options.compressedLength));
  PutU32(record, options.documentLength < 0 ? document.size() : static_cast<uint32_t>(options.documentLength));
  record.insert(record.end(), packed.begin(), packed.begin() + packedSize);
  return record;
}

// Decodes from a heap copy of exactly `length` bytes, so that a read past the
// end is caught by the address sanitizer build.
int DecodeExact(X16FILE& destination, const std::vector<unsigned char>& bytes, size_t length, int packed = 1) {
  std::unique_ptr<unsigned char[]> copy(new unsigned char[length == 0 ? 1 : length]);
  if (length) std::memcpy(copy.get(), bytes.data(), length);
  return DecodeGlyphRecord(destination, copy.get(), static_cast<int32_t>(length), packed);
}

int DecodeExact(X16FILE& destination, const std::string& text, int packed) {
  return DecodeExact(destination, std::vector<unsigned char>(text.begin(), text.end()), text.size(), packed);
}

// A destination with recognisable contents, to see that a failure left it alone.
X16FILE Sentinel() {
  X16FILE glyph{};
  glyph.X16W = 77;
  glyph.X16H = 88;
  glyph.CData.push_back(X16DATA{});
  glyph.CData.back().Name = "sentinel";
  return glyph;
}

void ExpectSentinel(const X16FILE& glyph, const std::string& what) {
  EXPECT_EQ(glyph.X16W, 77) << what;
  EXPECT_EQ(glyph.X16H, 88) << what;
  ASSERT_EQ(glyph.CData.size(), 1u) << what;
  EXPECT_EQ(glyph.CData[0].Name, "sentinel") << what;
}

// One element whose field `name` holds `text`, in a plain document.
X16DATA DecodeField(const std::string& name, const std::string& text) {
  std::string doc = "<X16FILE><CData><element><" + name + ">" + text + "</" + name + "></element></CData></X16FILE>";
  X16FILE glyph{};
  EXPECT_EQ(DecodeExact(glyph, doc, 0), 0) << doc;
  return glyph.CData.empty() ? X16DATA{} : glyph.CData[0];
}

}  // namespace

TEST(GlyphRecord, SpaceGlyphWithNulPadding) {
  std::string document = SpaceDocument;
  ASSERT_EQ(document.size(), 56u);
  document.append(8, '\0');
  std::vector<unsigned char> record = MakeRecord(document);
  X16FILE glyph = Sentinel();
  EXPECT_EQ(DecodeExact(glyph, record, record.size()), 0);
  EXPECT_EQ(glyph.X16W, 5);
  EXPECT_EQ(glyph.X16H, 14);
  EXPECT_TRUE(glyph.CData.empty()) << "the old contents are replaced";

  // Other junk after the root element is not read either.
  X16FILE other{};
  std::string junk = std::string(SpaceDocument) + "<unclosed & not xml";
  record = MakeRecord(junk);
  EXPECT_EQ(DecodeExact(other, record, record.size()), 0);
  EXPECT_EQ(other.X16W, 5);
}

TEST(GlyphRecord, DecodesEveryFieldOfTheGlyphOne) {
  std::vector<unsigned char> record = MakeRecord(OneDocument);
  X16FILE glyph{};
  ASSERT_EQ(DecodeExact(glyph, record, record.size()), 0);
  EXPECT_EQ(glyph.X16W, 5);
  EXPECT_EQ(glyph.X16H, 14);
  ASSERT_EQ(glyph.CData.size(), 2u);
  const X16DATA& flag = glyph.CData[0];
  EXPECT_EQ(flag.Name, "");
  EXPECT_EQ(flag.Type, 0);
  EXPECT_EQ(flag.DrawMethod, 0);
  EXPECT_EQ(flag.DrawMethod2, 0) << "absent from the document";
  EXPECT_EQ(flag.DrawWidth, 1.0f);
  EXPECT_EQ(flag.DrawAngle, 35.0f);
  EXPECT_EQ(static_cast<uint32_t>(flag.DrawRGBA), 0xFF000000u);
  EXPECT_EQ(flag.Visible, 1);
  EXPECT_EQ(flag.X1, 2.5f);
  EXPECT_EQ(flag.Y1, 2.625f);
  EXPECT_EQ(flag.X3, 2.5f);
  EXPECT_EQ(flag.Y3, 2.625f);
  EXPECT_EQ(flag.X4, 2.5f);
  EXPECT_EQ(flag.Y4, 4.625f);
  const X16DATA& stem = glyph.CData[1];
  EXPECT_EQ(stem.DrawAngle, 0.0f);
  EXPECT_EQ(stem.X1, 3.5f);
  EXPECT_EQ(stem.Y4, 11.5f);
}

TEST(GlyphRecord, UnusableRecordsLeaveTheDestinationAlone) {
  std::vector<unsigned char> good = MakeRecord(OneDocument);
  struct Case {
    const char* what;
    std::vector<unsigned char> record;
    int32_t length;  // −2: the record's own size
    int expected;
  } cases[] = {
      {"wrong tag", MakeRecord(OneDocument, {.tag = 0x007A0072u}), -2, 3},
      {"tag in the wrong byte order", MakeRecord(OneDocument, {.tag = 0x0071007Au}), -2, 3},
      {"no compressed length, no length given", MakeRecord(OneDocument, {.compressedLength = 0}), 0, 3},
      {"no document length", MakeRecord(OneDocument, {.documentLength = 0}), -2, 3},
      {"header only", good, 12, 3},
      {"shorter than a header", good, 11, 3},
      {"document longer than stated", MakeRecord(OneDocument, {.documentLength = static_cast<int64_t>(std::strlen(OneDocument)) - 1}), -2, 2},
      {"document shorter than stated", MakeRecord(OneDocument, {.documentLength = static_cast<int64_t>(std::strlen(OneDocument)) + 1}), -2, 2},
      {"absurd document length", MakeRecord(OneDocument, {.documentLength = 0xFFFFFFF0u}), -2, 2},
      {"not XML", MakeRecord("<X16FILE><X16W>5</X16W>"), -2, 1},
      {"empty text", MakeRecord(std::string(4, '\0')), -2, 1},
  };
  for (Case& c : cases) {
    X16FILE glyph = Sentinel();
    size_t length = c.length == -2 ? c.record.size() : static_cast<size_t>(c.length);
    std::vector<unsigned char> bytes = c.record;
    if (length == 0) {
      // No length given: the header's lengths are all there is.
      EXPECT_EQ(DecodeGlyphRecord(glyph, bytes.data(), 0, 1), c.expected) << c.what;
    } else {
      EXPECT_EQ(DecodeExact(glyph, bytes, length), c.expected) << c.what;
    }
    ExpectSentinel(glyph, c.what);
  }
  X16FILE glyph = Sentinel();
  EXPECT_EQ(DecodeGlyphRecord(glyph, nullptr, 100, 1), 3);
  EXPECT_EQ(DecodeGlyphRecord(glyph, nullptr, 100, 0), 3);
  ExpectSentinel(glyph, "null source");
}

TEST(GlyphRecord, LengthGivenByTheCallerReplacesTheHeaders) {
  // A record whose header understates its stream still decodes when the
  // caller offers the whole stream, and a header that overstates it does no
  // harm when the caller's length is right.
  std::vector<unsigned char> understated = MakeRecord(OneDocument, {.compressedLength = 5});
  std::vector<unsigned char> overstated = MakeRecord(OneDocument, {.compressedLength = 100000});
  for (const auto* record : {&understated, &overstated}) {
    X16FILE glyph{};
    EXPECT_EQ(DecodeExact(glyph, *record, record->size()), 0);
    EXPECT_EQ(glyph.CData.size(), 2u);
  }
  // Without a length from the caller the header's length counts.
  std::vector<unsigned char> good = MakeRecord(OneDocument);
  X16FILE glyph{};
  EXPECT_EQ(DecodeGlyphRecord(glyph, good.data(), 0, 1), 0);
  EXPECT_EQ(glyph.CData.size(), 2u);
  glyph = {};
  EXPECT_EQ(DecodeGlyphRecord(glyph, understated.data(), -1, 1), 2) << "5 bytes of stream are too few";
}

TEST(GlyphRecord, TruncatedAndDamagedRecordsStayInsideTheirBytes) {
  std::vector<unsigned char> record = MakeRecord(OneDocument);
  // Every truncation, each in a buffer of exactly that size.
  for (size_t length = 1; length < record.size(); ++length) {
    X16FILE glyph = Sentinel();
    int result = DecodeExact(glyph, record, length);
    EXPECT_EQ(result, length <= 12 ? 3 : 2) << "cut to " << length << " of " << record.size();
    ExpectSentinel(glyph, "cut to " + std::to_string(length));
  }
  // Every single damaged byte of the stream: whatever the result, nothing is
  // read outside the record, and a failure leaves the destination alone.
  for (size_t at = 12; at < record.size(); ++at) {
    for (unsigned char flip : {0x01, 0x80, 0xFF}) {
      std::vector<unsigned char> damaged = record;
      damaged[at] ^= flip;
      X16FILE glyph = Sentinel();
      int result = DecodeExact(glyph, damaged, damaged.size());
      EXPECT_TRUE(result == 0 || result == 1 || result == 2) << "byte " << at << " result " << result;
      if (result != 0) ExpectSentinel(glyph, "damaged byte " + std::to_string(at));
    }
  }
}

TEST(GlyphRecord, IntegerFieldsReadLeadingDigitsAndKeepTheLowBits) {
  struct Case {
    const char* field;
    const char* text;
    uint32_t expected;
  } cases[] = {
      {"DrawRGBA", "-16777216", 0xFF000000u},
      {"DrawRGBA", "-1", 0xFFFFFFFFu},
      {"DrawRGBA", "4294967297", 1u},  // truncated to 32 bits
      {"DrawRGBA", " \t\r\n255", 255u},
      {"DrawRGBA", "+12", 12u},
      {"DrawRGBA", "12abc", 12u},
      {"DrawRGBA", "0x10", 0u},
      {"DrawRGBA", "abc", 0u},
      {"DrawRGBA", "", 0u},
      {"DrawRGBA", "- 5", 0u},
      {"Type", "3", 3u},
      {"Type", "300", 44u},  // truncated to 8 bits
      {"Visible", "-1", 255u},
      {"DrawMethod", "2.9", 2u},
      {"DrawMethod2", "\n 1", 1u},
  };
  for (const Case& c : cases) {
    X16DATA d = DecodeField(c.field, c.text);
    uint32_t got = std::string(c.field) == "DrawRGBA"      ? static_cast<uint32_t>(d.DrawRGBA)
                   : std::string(c.field) == "Type"        ? d.Type
                   : std::string(c.field) == "Visible"     ? d.Visible
                   : std::string(c.field) == "DrawMethod"  ? d.DrawMethod
                                                           : d.DrawMethod2;
    EXPECT_EQ(got, c.expected) << c.field << " \"" << c.text << "\"";
  }
}

TEST(GlyphRecord, FloatFieldsReadTheFirstWord) {
  struct Case {
    const char* text;
    float expected;
  } cases[] = {
      {"2.625", 2.625f}, {"  0.75 ", 0.75f}, {"\n1.5 7", 1.5f}, {"-3", -3.0f},
      {"360", 360.0f},   {"1e1", 10.0f},     {"", 0.0f},        {"x1", 0.0f},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeField("X1", c.text).X1, c.expected) << "\"" << c.text << "\"";
}

TEST(GlyphRecord, FirstMatchingChildWinsAndOthersAreIgnored) {
  std::string doc =
      "<Root ignored=\"yes\"><x16w>9</x16w><X16W>3</X16W><X16W>4</X16W><Other>1</Other><X16H>14</X16H>"
      "<CData><element><Type>1</Type><Type>2</Type><Name>first</Name><Name>second</Name>"
      "<DrawMethod2>2</DrawMethod2></element>"
      "<notanelement><Type>3</Type></notanelement>"
      "<element><Visible>1</Visible></element></CData>"
      "<CData><element/></CData></Root>";
  X16FILE glyph{};
  ASSERT_EQ(DecodeExact(glyph, doc, 0), 0);
  EXPECT_EQ(glyph.X16W, 3) << "the lower-case name does not count; the first X16W does";
  EXPECT_EQ(glyph.X16H, 14);
  ASSERT_EQ(glyph.CData.size(), 2u) << "only the first CData, only its element children";
  EXPECT_EQ(glyph.CData[0].Type, 1);
  EXPECT_EQ(glyph.CData[0].Name, "first");
  EXPECT_EQ(glyph.CData[0].DrawMethod2, 2);
  EXPECT_EQ(glyph.CData[1].Type, 0) << "missing fields stay zero";
  EXPECT_EQ(glyph.CData[1].Visible, 1);
  EXPECT_EQ(glyph.CData[1].Name, "");
}

TEST(GlyphRecord, PlainDocuments) {
  X16FILE glyph = Sentinel();
  EXPECT_EQ(DecodeGlyphRecord(glyph, SpaceDocument, 0, 0), 1) << "no length, no document";
  EXPECT_EQ(DecodeGlyphRecord(glyph, SpaceDocument, -5, 0), 1);
  ExpectSentinel(glyph, "plain without length");
  EXPECT_EQ(DecodeExact(glyph, std::string(SpaceDocument).substr(0, 30), 0), 1) << "cut short";
  ExpectSentinel(glyph, "plain cut short");
  std::string padded = std::string(SpaceDocument) + std::string(8, '\0');
  EXPECT_EQ(DecodeExact(glyph, padded, 0), 0);
  EXPECT_EQ(glyph.X16W, 5);
  EXPECT_EQ(glyph.X16H, 14);
  EXPECT_TRUE(glyph.CData.empty());
  // A plain document is not a record: its first bytes are not a header.
  EXPECT_EQ(DecodeExact(glyph, std::string(OneDocument), 0), 0);
  EXPECT_EQ(glyph.CData.size(), 2u);
}

TEST(GlyphTable, EveryEmbeddedRecordDecodes) {
  ASSERT_EQ(GlyphRecordCount, 58) << "every glyph of the character table is embedded";
  std::map<std::string, float> widths;
  for (const char* c : {"0", "2", "3", "4", "5", "6", "7", "8", "9", "<", ">", "-", "_", "!", "?", "=", "+", ".",
                        ":", ";", ","})
    widths[c] = 6;
  for (const char* c : {"1", "I", "(", ")", "[", "]", "{", "}", " ", "|", "/", "\\"}) widths[c] = 5;
  for (char c = 'A'; c <= 'Z'; ++c) widths[std::string(1, c)] = 7;
  widths["I"] = 5;
  widths["T"] = 9;
  widths["M"] = 10;
  widths["W"] = 10;
  ASSERT_EQ(widths.size(), 58u);

  for (int i = 0; i < GlyphRecordCount; ++i) {
    const GlyphRecordEntry& record = GlyphRecords[i];
    ASSERT_NE(record.key, nullptr);
    EXPECT_STREQ(record.key, GlyphKeyNames[i].key) << "loading order";
    X16FILE glyph{};
    uint32_t compressed = record.bytes[4] | record.bytes[5] << 8 | record.bytes[6] << 16 | record.bytes[7] << 24;
    EXPECT_EQ(static_cast<int32_t>(12 + compressed), record.size) << record.key;
    EXPECT_EQ(DecodeGlyphRecord(glyph, record.bytes, record.size, 1), 0) << "glyph " << record.key;
    EXPECT_EQ(glyph.X16W, widths[record.key]) << "glyph " << record.key;
    EXPECT_EQ(glyph.X16H, 14) << "glyph " << record.key;
    if (std::string(record.key) == " ") {
      EXPECT_TRUE(glyph.CData.empty());
    } else {
      EXPECT_FALSE(glyph.CData.empty()) << "glyph " << record.key << " draws nothing";
    }
    for (const X16DATA& d : glyph.CData) {
      EXPECT_LE(d.Type, 3) << record.key;
      EXPECT_LE(d.DrawMethod, 2) << record.key;
      EXPECT_EQ(static_cast<uint32_t>(d.DrawRGBA), 0xFF000000u) << record.key;
    }
  }
}

TEST(GlyphTable, LoadsOncePerRun) {
  ZeroGlobalState();
  LoadGlyphTable();
  EXPECT_EQ(MapCount(GlyphTable), static_cast<size_t>(GlyphRecordCount));
  X16FILE* one = MapFind(GlyphTable, "1");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->X16W, 5);
  one->X16W = 42;
  MapRemove(GlyphTable, "A");
  LoadGlyphTable();  // already loaded: nothing happens
  EXPECT_EQ(MapFind(GlyphTable, "1")->X16W, 42);
  EXPECT_EQ(MapFind(GlyphTable, "A"), nullptr);

  ZeroGlobalState();  // a fresh program loads again
  LoadGlyphTable();
  EXPECT_EQ(MapFind(GlyphTable, "1")->X16W, 5);
  EXPECT_NE(MapFind(GlyphTable, "A"), nullptr);
}
