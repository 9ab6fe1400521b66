// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <map>
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

// The bytes placed so that they end exactly where a page without access
// begins: any read past their end faults, even inside zlib or expat, which
// the address sanitizer does not watch.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<unsigned char>& bytes, size_t length) {
#ifdef _WIN32
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
#else
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
    size_t dataPages = (length + page - 1) / page;
    size_ = (dataPages + 1) * page;
#ifdef _WIN32
    base_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    EXPECT_NE(base_, nullptr);
    DWORD before = 0;
    EXPECT_NE(VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &before), 0);
#else
    void* base = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(base, MAP_FAILED);
    base_ = static_cast<unsigned char*>(base);
    EXPECT_EQ(mprotect(base_ + dataPages * page, page, PROT_NONE), 0);
#endif
    data_ = base_ + dataPages * page - length;
    if (length) std::memcpy(data_, bytes.data(), length);
  }
#ifdef _WIN32
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
#else
  ~GuardedBytes() { munmap(base_, size_); }
#endif
  const unsigned char* data() const { return data_; }

 private:
  unsigned char* base_ = nullptr;
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
};

int DecodeExact(X16FILE& destination, const std::vector<unsigned char>& bytes, size_t length, int packed = 1) {
  GuardedBytes guarded(bytes, length);
  return DecodeGlyphRecord(destination, guarded.data(), static_cast<int32_t>(length), packed);
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
      {"2.625", 2.625f}, {"  0.75 ", 0.75f}, {"\n1.5 7", 1.5f}, {"-3", -3.0f}, {"360", 360.0f},
      {"1e1", 10.0f},    {"", 0.0f},         {"+.5", 0.5f},     {"7.", 7.0f},  {"1E-2", 0.01f},
      {"1e-50", 0.0f},   {"-0.00000000000000000000000000000000000000000000001", 0.0f},  // below a float
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeField("X1", c.text).X1, c.expected) << "\"" << c.text << "\"";
}

// strtof alone would take all of these; a glyph with an infinite or
// not-a-number coordinate sends the drawing code where no path belongs.
TEST(GlyphRecord, ValueThatIsNoFiniteDecimalNumberIsMalformed) {
  const char* const words[] = {"inf", "-INF", "infinity", "nan", "NaN(12)", "0x1p3", "0X10", "x1",
                               "1.5x", "1e",  "1e+",      "-",   ".",       "+-1",   "1e39", "-3.5e38",
                               "1..2", "1,5"};
  for (const char* field : {"X1", "Y4", "DrawWidth", "DrawAngle"}) {
    for (const char* word : words) {
      std::string doc = std::string("<X16FILE><X16W>5</X16W><CData><element><") + field + ">" + word + "</" +
                        field + "></element></CData></X16FILE>";
      X16FILE glyph = Sentinel();
      EXPECT_EQ(DecodeExact(glyph, doc, 0), 1) << doc;
      ExpectSentinel(glyph, doc);
    }
  }
  for (const char* word : {"inf", "nan", "0x5p0"}) {
    std::string doc = std::string("<X16FILE><X16W>") + word + "</X16W></X16FILE>";
    X16FILE glyph = Sentinel();
    EXPECT_EQ(DecodeExact(glyph, doc, 0), 1) << doc;
  }
  // Integer fields keep reading their leading digits.
  EXPECT_EQ(DecodeField("Type", "inf").Type, 0);
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

// A record of a few hundred bytes used to nest tens of thousands of elements
// and copy every piece of text into each of them: gigabytes, or an escaping
// std::bad_alloc. Nesting beyond element fields is now refused outright.
TEST(GlyphRecord, NestingDeeperThanAFieldIsRefused) {
  std::string deep = "<X16FILE>";
  for (int k = 0; k < 60000; ++k) deep += "<a>";
  deep += std::string(100000, 'x');
  for (int k = 0; k < 60000; ++k) deep += "</a>";
  deep += "</X16FILE>";
  std::vector<unsigned char> record = MakeRecord(deep);
  ASSERT_LT(record.size(), 1000u) << "the input stays small";
  X16FILE glyph = Sentinel();
  EXPECT_EQ(DecodeExact(glyph, record, record.size()), 1);
  ExpectSentinel(glyph, "60,000 nested elements");

  struct Case {
    const char* doc;
    int result;
  } cases[] = {
      {"<X16FILE><CData><element><X1>2.5</X1></element></CData></X16FILE>", 0},
      {"<X16FILE><CData><element><X1>2<b/>.5</X1></element></CData></X16FILE>", 1},
      {"<X16FILE><CData><element><Other><b/></Other></element></CData></X16FILE>", 1},
      {"<X16FILE><X16W>1<i>2</i></X16W><X16H>14</X16H></X16FILE>", 0},
  };
  for (const Case& c : cases) {
    X16FILE decoded{};
    EXPECT_EQ(DecodeExact(decoded, c.doc, 0), c.result) << c.doc;
  }
  X16FILE inner{};
  ASSERT_EQ(DecodeExact(inner, cases[3].doc, 0), 0);
  EXPECT_EQ(inner.X16W, 12) << "a value's text includes that of its children";
}

TEST(GlyphRecord, LongTextAndManyElementsDecodeWhole) {
  std::string name(500000, 'n');
  std::string doc = "<X16FILE><X16W>5</X16W><CData><element><Name>" + name + "</Name></element>";
  for (int k = 0; k < 10000; ++k) doc += "<element><Type>3</Type></element>";
  doc += "</CData></X16FILE>";
  std::vector<unsigned char> record = MakeRecord(doc);
  X16FILE glyph{};
  ASSERT_EQ(DecodeExact(glyph, record, record.size()), 0);
  ASSERT_EQ(glyph.CData.size(), 10001u);
  EXPECT_EQ(glyph.CData[0].Name.size(), name.size());
  EXPECT_EQ(glyph.CData[10000].Type, 3);

  // Beyond a mebibyte a document is taken for damage, not allocated.
  record = MakeRecord("<X16FILE>" + std::string(1 << 20, ' ') + "</X16FILE>");
  EXPECT_EQ(DecodeExact(glyph, record, record.size()), 2);
}

// The format has no declaration; one would bring entities whose expansion
// the document's own size does not bound.
TEST(GlyphRecord, DocumentTypeDeclarationIsRefused) {
  const char* const docs[] = {
      "<!DOCTYPE X16FILE><X16FILE><X16W>5</X16W></X16FILE>",
      "<!DOCTYPE X16FILE [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
      "<X16FILE><CData><element><Name>&b;&b;</Name></element></CData></X16FILE>",
  };
  for (const char* doc : docs) {
    X16FILE glyph = Sentinel();
    EXPECT_EQ(DecodeExact(glyph, doc, 0), 1) << doc;
    ExpectSentinel(glyph, doc);
  }
  X16FILE glyph{};
  EXPECT_EQ(DecodeExact(glyph, "<X16FILE><CData><element><Name>&lt;&#65;</Name></element></CData></X16FILE>", 0), 0);
  EXPECT_EQ(glyph.CData.at(0).Name, "<A") << "the predefined and numeric references still read";
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
