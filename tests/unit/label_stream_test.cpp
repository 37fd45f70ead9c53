#include "core/label_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cupsutil/cups_handles.h"
#include "filter/print_bitmap.h"
#include "tests/support/capture.h"
#include "tests/support/label_check.h"
#include "tests/support/raster.h"

namespace {

StreamParse Parse(const std::string &stream) {
  return ParseLabelStream({reinterpret_cast<const uint8_t *>(stream.data()), stream.size()});
}



// Pages of every awkward width: one pixel, less than a byte, a byte and a bit, several
// bytes and an odd remainder; the last is cut off after 5 of its 9 rows.
std::vector<TestPage> RoundTripPages() {
  std::vector<TestPage> pages = {NoisePage(1, 3, 1), NoisePage(13, 17, 2, 3), NoisePage(8, 8, 3),
                                 NoisePage(37, 21, 4, 2), NoisePage(64, 16, 5), NoisePage(9, 9, 6)};
  pages.back().pixels.resize(9 * 5);
  return pages;
}

TEST(LabelStream, RenderedPagesDecodeToTheReferenceInEveryMode) {
  const std::vector<TestPage> pages = RoundTripPages();
  const std::string raster = WriteRaster(pages);
  for (int16_t mode : {0, 1, 2, 3, 4, 5, -1}) {
    const label_doc_t doc{6, 12, 0, 102, 51, 0, 0, -12, 30, mode};
    const StreamParse parse = Parse(RenderRaster(doc, raster).out);
    ASSERT_EQ(parse.error, "") << "mode " << mode << " at byte " << parse.errorOffset;
    ASSERT_EQ(parse.labels.size(), pages.size()) << "mode " << mode;
    for (size_t i = 0; i < pages.size(); ++i) {
      const StreamLabel &label = parse.labels[i];
      const std::string where = "mode " + std::to_string(mode) + " page " + std::to_string(i + 1);
      EXPECT_EQ(label.widthMm, 102) << where;
      EXPECT_EQ(label.heightMm, 51) << where;
      EXPECT_EQ(label.speed, 6) << where;
      EXPECT_EQ(label.density, 12) << where;
      EXPECT_EQ(label.bitmapX, -12) << where;
      EXPECT_EQ(label.bitmapY, 30) << where;
      EXPECT_EQ(label.widthBytes, static_cast<int32_t>((pages[i].bytesPerLine + 7) / 8)) << where;
      EXPECT_EQ(label.height, static_cast<int32_t>(pages[i].height)) << where;
      EXPECT_EQ(label.copies, static_cast<int32_t>(pages[i].copies)) << where;
      EXPECT_EQ(label.bits, ExpectedStreamBits(pages[i], mode)) << where;
    }
  }
}

TEST(LabelStream, ValuesOfEveryCommand) {
  const std::string stream =
      LabelText(60, 40, 0, 0, 2, 1, "\x7F\xFF") +
      "SIZE 102mm,-51mm\r\nGAP 2,-0.5\r\nSPEED -3\r\nDENSITY 15\r\nDIRECTION 1,0\r\n"
      "REFERENCE 7,-8\r\nOFFSET 1.25\r\nSHIFT -2\r\nSET PEEL ON\r\nSET CUTTER ON\r\n"
      "SET PARTIAL_CUTTER ON\r\nSET TEAR OFF\r\nCLS\r\nBITMAP -2147483648,2147483647,0,0,1,\r\n"
      "PRINT 2,3\r\n";
  const StreamParse parse = Parse(stream);
  ASSERT_EQ(parse.error, "");
  ASSERT_EQ(parse.labels.size(), 2u);

  const StreamLabel &first = parse.labels[0];
  EXPECT_EQ(first.offset, 0u);
  EXPECT_EQ(first.gap, 120);
  EXPECT_EQ(first.tear, 1);
  EXPECT_EQ(first.bits, (std::vector<uint8_t>{0x7F, 0xFF}));
  EXPECT_EQ(first.sets, 1);

  const StreamLabel &second = parse.labels[1];
  EXPECT_EQ(second.offset, stream.find("SIZE 102"));
  const int32_t got[] = {second.widthMm,   second.heightMm,   second.gap,         second.gapOffset,
                         second.speed,     second.density,    second.direction,   second.mirror,
                         second.referenceX, second.referenceY, second.feedOffset, second.shift,
                         second.peel,      second.cutter,     second.partialCutter, second.tear,
                         second.bitmapX,   second.bitmapY,    second.widthBytes,  second.height,
                         second.sets,      second.copies};
  const int32_t want[] = {102, -51, 2000, -500, -3, 15, 1, 0, 7, -8, 1250, -2, 1, 1, 1, 0,
                          INT32_MIN, INT32_MAX, 0, 0, 2, 3};
  EXPECT_EQ(std::vector<int32_t>(std::begin(got), std::end(got)),
            std::vector<int32_t>(std::begin(want), std::end(want)));
  EXPECT_TRUE(second.bits.empty());
}

// Every setting of the stock and the finishing the writer can write reads back as it was
// set, and what a stream states that no writer setting makes is still refused.
TEST(LabelStream, StockAndFinishingReadBack) {
  const std::string label = LabelText(60, 40, 0, 0, 2, 1, "\x7F\xFF");
  auto with = [&](const std::string &from, const std::string &to) {
    std::string s = label;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  struct Case {
    const char *name;
    std::string stream;
    bool blackMark;
    int32_t gap, gapOffset, cutter;
    bool batch;
  } cases[] = {
      {"gap", label, false, 120, 0, 0, false},
      {"black mark", with("GAP 0.120,0.000", "BLINE 0.098,0.039"), true, 98, 39, 0, false},
      {"continuous", with("GAP 0.120,0.000", "GAP 0.000,0.000"), false, 0, 0, 0, false},
      {"cut every 3", with("SET CUTTER OFF", "SET CUTTER 3"), false, 120, 0, 3, false},
      {"cut every label", with("SET CUTTER OFF", "SET CUTTER 1"), false, 120, 0, 1, false},
      {"cut after the job", with("SET CUTTER OFF", "SET CUTTER BATCH"), false, 120, 0, 0, true},
  };
  for (const Case &c : cases) {
    const StreamParse parse = Parse(c.stream);
    ASSERT_EQ(parse.error, "") << c.name;
    ASSERT_EQ(parse.labels.size(), 1u) << c.name;
    const StreamLabel &l = parse.labels[0];
    EXPECT_EQ(l.blackMark, c.blackMark) << c.name;
    EXPECT_EQ(l.gap, c.gap) << c.name;
    EXPECT_EQ(l.gapOffset, c.gapOffset) << c.name;
    EXPECT_EQ(l.cutter, c.cutter) << c.name;
    EXPECT_EQ(l.cutterBatch, c.batch) << c.name;
  }

  struct Bad {
    const char *name;
    std::string stream, error;
  } bad[] = {
      {"no cut count of 0", with("SET CUTTER OFF", "SET CUTTER 0"), "number out of range in SET CUTTER"},
      {"no negative count", with("SET CUTTER OFF", "SET CUTTER -2"),
       "malformed SET CUTTER line: ON, OFF, BATCH or a count expected"},
      {"no other word", with("SET CUTTER OFF", "SET CUTTER BATCHES"),
       "malformed SET CUTTER line: ON, OFF, BATCH or a count expected"},
      {"count with letters", with("SET CUTTER OFF", "SET CUTTER 3X"), "malformed SET CUTTER line: CR LF expected"},
      {"BATCH for another switch", with("SET PEEL OFF", "SET PEEL BATCH"),
       "malformed SET PEEL line: ON or OFF expected"},
      {"BLINE as a second sensor line", with("GAP 0.120,0.000\r\n", "GAP 0.120,0.000\r\nBLINE 0.1,0\r\n"),
       "expected SPEED in label 1, found BLINE"},
      {"BLINENESS", with("GAP 0.120,0.000", "BLINENESS 0.1,0"), "unknown command \"BLINENESS\""},
  };
  for (const Bad &b : bad) {
    const StreamParse parse = Parse(b.stream);
    EXPECT_EQ(parse.error, b.error) << b.name;
    EXPECT_TRUE(parse.labels.empty()) << b.name;
  }
  // A stream that ends inside BLINE or BATCH was cut off, not malformed.
  for (const char *word : {"BLINE", "SET CUTTER BATCH"}) {
    const std::string full = with(word[0] == 'B' ? "GAP" : "SET CUTTER OFF", word);
    const size_t at = full.find(word);
    for (size_t cut = at + 1; cut < at + strlen(word); ++cut)
      EXPECT_EQ(Parse(full.substr(0, cut)).error, "stream ends inside label 1") << word << " " << cut;
  }
}

TEST(LabelStream, ALabelWithoutPrintBeforeTheNextLabelIsNotPrinted) {
  const std::string label = LabelText(60, 40, 0, 0, 2, 1, "\x7F\xFF");
  const StreamParse parse = Parse(label.substr(0, label.find("PRINT")) + label);
  EXPECT_EQ(parse.error, "");
  ASSERT_EQ(parse.labels.size(), 2u);
  EXPECT_FALSE(parse.labels[0].printed);
  EXPECT_TRUE(parse.labels[1].printed);
}

TEST(LabelStream, EmptyStreamHasNoLabels) {
  const StreamParse parse = Parse("");
  EXPECT_EQ(parse.error, "");
  EXPECT_TRUE(parse.labels.empty());
}

TEST(LabelStream, EveryCutOfAStreamEndsInsideALabel) {
  const std::string label = LabelText(60, 40, -3, 0, 2, 1, "\x7F\xFF");
  const std::string stream = label + label;
  const size_t dataAt = label.find('\x7F'), printAt = label.find("PRINT");
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    const StreamParse parse = Parse(stream.substr(0, cut));
    const size_t whole = cut / label.size(), inLabel = cut % label.size();
    if (inLabel == printAt) {
      // Cut where PRINT would begin: what a cancelled job leaves, a label not printed.
      ASSERT_EQ(parse.labels.size(), whole + 1) << cut;
      EXPECT_FALSE(parse.labels.back().printed) << cut;
      EXPECT_EQ(parse.error, "") << cut;
      continue;
    }
    EXPECT_EQ(parse.labels.size(), whole) << cut;
    // A reader of a stream still arriving waits for more after any cut, and resumes
    // where the last whole label ends.
    EXPECT_EQ(parse.cutShort, inLabel != 0) << cut;
    if (whole > 0) {
      EXPECT_EQ(parse.labels.back().end, label.size() * whole) << cut;
    }
    if (inLabel == 0) {
      EXPECT_EQ(parse.error, "") << cut;
    } else if (inLabel >= dataAt && inLabel < dataAt + 2) {
      EXPECT_EQ(parse.error, "BITMAP data runs short: 2 bytes announced, " +
                                 std::to_string(inLabel - dataAt) + " present") << cut;
      EXPECT_EQ(parse.errorOffset, cut - inLabel + dataAt) << cut;
    } else {
      EXPECT_EQ(parse.error, "stream ends inside label " + std::to_string(whole + 1)) << cut;
      EXPECT_EQ(parse.errorOffset, cut) << cut;
    }
  }
}

TEST(LabelStream, MalformedStreamsStopWithTheirOffset) {
  const std::string label = LabelText(60, 40, 0, 0, 2, 1, "\x7F\xFF");
  const size_t bitmapAt = label.find("BITMAP"), dataAt = bitmapAt + 17;
  const size_t speedAt = label.find("SPEED");
  auto with = [&](const std::string &from, const std::string &to) {
    std::string s = label;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  struct Case {
    const char *name;
    std::string stream;
    std::string error;
    size_t offset;
    size_t labels;  // read whole before the fault
  } cases[] = {
      {"raster instead of labels", WriteRaster({UniformPage(8, 1, 0)}),
       "unknown command \"3SaR\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"
       "\\x00\\x00\\x00\\x00\\x00\\x00\"",
       0, 0},
      {"unknown command after a label", label + "FEED 10\r\n", "unknown command \"FEED\"",
       label.size(), 1},
      {"command name with more letters", "SIZEX 60mm,40mm\r\n", "unknown command \"SIZEX\"", 0, 0},
      {"unknown SET", with("SET PEEL OFF", "SET FOO ON"), "unknown command \"SET FOO\"",
       label.find("SET PEEL"), 0},
      {"empty line between labels", label + "\r\n" + label, "empty line where a command belongs",
       label.size(), 1},
      {"commands out of order", with("SPEED 4\r\nDENSITY 7", "DENSITY 7\r\nSPEED 4"),
       "expected SPEED in label 1, found DENSITY", speedAt, 0},
      {"label without PRINT before a command other than SIZE",
       label.substr(0, label.find("PRINT")) + "CLS\r\n", "expected PRINT in label 1, found CLS",
       label.find("PRINT"), 0},
      {"label not starting with SIZE", label + label.substr(label.find("GAP")),
       "expected SIZE in label 2, found GAP", label.size(), 1},
      {"letter in a number", with("SPEED 4", "SPEED x4"), "malformed number in SPEED", speedAt + 6, 0},
      {"sign without digits", with("SIZE 60mm", "SIZE -mm"), "malformed number in SIZE", 5, 0},
      {"plus sign", with("SPEED 4", "SPEED +4"), "malformed number in SPEED", speedAt + 6, 0},
      {"negative bitmap width", with("0,0,2,1,1,", "0,0,-2,1,1,"), "malformed number in BITMAP",
       bitmapAt + 11, 0},
      {"four decimal places", with("GAP 0.120", "GAP 0.1205"), "malformed number in GAP",
       label.find("GAP") + 4, 0},
      {"decimal point without places", with("OFFSET 0.000", "OFFSET 0."), "malformed number in OFFSET",
       label.find("OFFSET") + 7, 0},
      {"number past 32 bits", with("SPEED 4", "SPEED 2147483648"), "number out of range in SPEED",
       speedAt + 6, 0},
      {"very long number", with("SPEED 4", "SPEED -" + std::string(40, '9')),
       "number out of range in SPEED", speedAt + 6, 0},
      {"unit missing", with("SIZE 60mm", "SIZE 60"), "malformed SIZE line", 7, 0},
      {"line ends in LF only", with("SPEED 4\r\n", "SPEED 4\n"), "SPEED line ends in LF without CR",
       speedAt + 7, 0},
      {"trailing space", with("SPEED 4\r\n", "SPEED 4 \r\n"), "malformed SPEED line: CR LF expected",
       speedAt + 7, 0},
      {"switch neither ON nor OFF", with("SET TEAR ON", "SET TEAR ONE"),
       "malformed SET TEAR line: ON or OFF expected", label.find("SET TEAR") + 9, 0},
      {"bitmap mode other than 1", with("0,0,2,1,1,", "0,0,2,1,2,"), "malformed BITMAP line",
       bitmapAt + 15, 0},
      {"bitmap data runs short", label.substr(0, dataAt + 1),
       "BITMAP data runs short: 2 bytes announced, 1 present", dataAt, 0},
      {"bitmap header that lies", with("0,0,2,1,1,", "0,0,2147483647,2147483647,1,"),
       "BITMAP data runs short: 4611686014132420609 bytes announced, 15 present", dataAt + 18, 0},
      {"bitmap data not followed by CR LF", with("\x7F\xFF\r\n", "\x7F\xFF\xFF\r\n"),
       "malformed BITMAP line: CR LF expected", dataAt + 2, 0},
      {"ends inside the name of a misplaced command", label.substr(0, speedAt) + "DENS",
       "stream ends inside label 1", speedAt + 4, 0},
      {"ends after the setup", label.substr(0, bitmapAt), "stream ends inside label 1", bitmapAt, 0},
      {"ends inside a number", label + "SIZE 6", "stream ends inside label 2", label.size() + 6, 1},
      {"ends after a number", label.substr(0, speedAt + 7), "stream ends inside label 1", speedAt + 7, 0},
      {"ends before LF", label.substr(0, label.size() - 1), "stream ends inside label 1",
       label.size() - 1, 0},
      {"ends after the bitmap data", label.substr(0, dataAt + 2), "stream ends inside label 1",
       dataAt + 2, 0},
      {"ends after the CR of the bitmap line", label.substr(0, dataAt + 3),
       "stream ends inside label 1", dataAt + 3, 0},
  };
  for (const Case &c : cases) {
    const StreamParse parse = Parse(c.stream);
    EXPECT_EQ(parse.error, c.error) << c.name;
    EXPECT_EQ(parse.errorOffset, c.offset) << c.name;
    EXPECT_EQ(parse.labels.size(), c.labels) << c.name;
    EXPECT_EQ(parse.cutShort, c.error.starts_with("stream ends") ||
                                  c.error.starts_with("BITMAP data runs short")) << c.name;
  }
}

}  // namespace
