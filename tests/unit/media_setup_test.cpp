// The stock and the finishing in the label's setup lines: every setting at its default
// writes the block every label has always had, and each other value changes only the
// lines that carry it.

#include <gtest/gtest.h>

#include <string>

#include "core/label_writer.h"
#include "tests/support/label_stream.h"

namespace {

std::string SetupBlock(const label_doc_t &doc) {
  label_page_t page;
  const auto bytes = begin_label_page(page, doc, 8, 1, 16);
  std::string text(bytes.begin(), bytes.end());
  return text.substr(0, text.find("BITMAP"));
}

label_doc_t Defaults() { return label_doc_t{4, 7, 0, 60, 40, 0, 0, 0, 0, 5}; }

// The default block with `from` replaced by `to` (each a run of whole lines).
std::string Changed(std::string from, std::string to) {
  std::string block = SetupLines(60, 40, 4, 7);
  const size_t at = block.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return block.replace(at, from.size(), to);
}

TEST(MediaSetup, DefaultsWriteTodaysBlock) {
  EXPECT_EQ(SetupBlock(Defaults()), SetupLines(60, 40, 4, 7));
  label_doc_t zeroed{};  // a record made with no settings at all
  EXPECT_NE(SetupBlock(zeroed).find("GAP 0.120,0.000\r\n"), std::string::npos);
  EXPECT_NE(SetupBlock(zeroed).find("SET TEAR ON\r\n"), std::string::npos);
}

TEST(MediaSetup, EachSettingChangesOnlyItsLines) {
  struct Case {
    const char *name;
    void (*set)(label_doc_t &);
    const char *from, *to;
  } cases[] = {
      {"black mark", [](label_doc_t &d) { d.mediaTracking = 1; }, "GAP 0.120,0.000", "BLINE 0.120,0.000"},
      {"continuous", [](label_doc_t &d) { d.mediaTracking = 2; }, "GAP 0.120,0.000", "GAP 0.000,0.000"},
      {"continuous ignores the gap",
       [](label_doc_t &d) { d.mediaTracking = 2, d.gapHeight = 500, d.gapOffset = 100; },
       "GAP 0.120,0.000", "GAP 0.000,0.000"},
      {"unknown tracking is gap", [](label_doc_t &d) { d.mediaTracking = 7; }, "GAP 0.120", "GAP 0.120"},
      {"negative tracking is gap", [](label_doc_t &d) { d.mediaTracking = -1; }, "GAP 0.120", "GAP 0.120"},
      {"3 mm gap", [](label_doc_t &d) { d.gapHeight = 300; }, "GAP 0.120,0.000", "GAP 0.118,0.000"},
      {"2.5 mm mark, 1 mm offset",
       [](label_doc_t &d) { d.mediaTracking = 1, d.gapHeight = 250, d.gapOffset = 100; },
       "GAP 0.120,0.000", "BLINE 0.098,0.039"},
      {"10 mm gap", [](label_doc_t &d) { d.gapHeight = 1000; }, "GAP 0.120", "GAP 0.394"},
      {"peel off", [](label_doc_t &d) { d.labelMode = 1; },
       "SET PEEL OFF\r\nSET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON",
       "SET PEEL ON\r\nSET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF"},
      {"cut every label", [](label_doc_t &d) { d.labelMode = 2; },
       "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON",
       "SET CUTTER 1\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF"},
      {"cut every 3", [](label_doc_t &d) { d.labelMode = 2, d.cutInterval = 3; },
       "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON",
       "SET CUTTER 3\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF"},
      {"a cut interval below 1 cuts every label",
       [](label_doc_t &d) { d.labelMode = 2, d.cutInterval = -5; },
       "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON",
       "SET CUTTER 1\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF"},
      {"the interval alone cuts nothing", [](label_doc_t &d) { d.cutInterval = 3; }, "SET CUTTER OFF",
       "SET CUTTER OFF"},
      {"cut at the end", [](label_doc_t &d) { d.labelMode = 3; },
       "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON",
       "SET CUTTER BATCH\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF"},
      {"unknown mode tears off", [](label_doc_t &d) { d.labelMode = 9; }, "SET TEAR ON", "SET TEAR ON"},
      {"tear offset", [](label_doc_t &d) { d.tearOffset = 200; }, "OFFSET 0.000", "OFFSET 0.079"},
      {"negative tear offset", [](label_doc_t &d) { d.tearOffset = -100; }, "OFFSET 0.000", "OFFSET -0.039"},
      {"too small to write is no minus", [](label_doc_t &d) { d.tearOffset = -1; }, "OFFSET 0.000",
       "OFFSET 0.000"},
      {"largest offset", [](label_doc_t &d) { d.tearOffset = -32768; }, "OFFSET 0.000", "OFFSET -12.901"},
      {"shift", [](label_doc_t &d) { d.shift = -16; }, "SHIFT 0", "SHIFT -16"},
      {"upside down", [](label_doc_t &d) { d.direction = 1; }, "DIRECTION 0,0", "DIRECTION 1,0"},
      {"mirrored", [](label_doc_t &d) { d.direction = 2; }, "DIRECTION 0,0", "DIRECTION 0,1"},
      {"unknown direction", [](label_doc_t &d) { d.direction = 3; }, "DIRECTION 0,0", "DIRECTION 0,0"},
  };
  for (const Case &c : cases) {
    label_doc_t doc = Defaults();
    c.set(doc);
    EXPECT_EQ(SetupBlock(doc), Changed(c.from, c.to)) << c.name;
  }
}

}  // namespace
