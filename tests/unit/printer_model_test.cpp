#include "virtual-printer/printer_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/printer_status.h"
#include "tests/support/label_check.h"

namespace {

std::span<const uint8_t> Bytes(const std::string &text) {
  return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

// What the printer makes of `stream` sent in pieces of `piece` bytes, written as one
// letter an item: L a label (with its copies), Q a status query, C a command of its own
// line, R a refusal.
std::string ItemsOf(const std::string &stream, size_t piece, size_t maxPending = 1 << 20,
                    std::vector<std::string> *refusals = nullptr) {
  StreamInput input;
  std::string items;
  for (size_t at = 0; at < stream.size(); at += piece) {
    for (const InputItem &item :
         TakeInput(input, Bytes(stream.substr(at, piece)), maxPending)) {
      if (item.kind == InputItem::kLabel) items += "L" + std::to_string(item.label.copies);
      if (item.kind == InputItem::kStatusQuery) items += "Q";
      if (item.kind == InputItem::kCommand) items += "C";
      if (item.kind == InputItem::kRefused) {
        items += "R";
        if (refusals) refusals->push_back(item.text);
      }
    }
  }
  if (EndInput(input)) items += "E";
  return items;
}

const std::string kQuery = "\x1B!?";

TEST(VirtualPrinterInput, LabelsAndQueriesComeOutInOrderHoweverTheBytesArrive) {
  const std::string one = LabelText(60, 40, 0, 0, 3, 1, "\x1B!?", 1);  // a query's bytes as pixels
  const std::string two = LabelText(60, 40, 0, 0, 2, 2, "\r\n\x1B!", 3);
  struct Case {
    const char *name;
    std::string stream;
    std::string items;
  } cases[] = {
      {"labels, a query after each", one + kQuery + two + kQuery, "L1QL3Q"},
      {"a query before anything", kQuery + one, "QL1"},
      {"a label cut short at the end", one + two.substr(0, 40), "L1E"},
      {"a label with no PRINT, then the next", one.substr(0, one.find("PRINT")) + two, "RL3"},
      {"a bitmap waiting for its PRINT at the end", one + two.substr(0, two.find("PRINT")), "L1E"},
      {"garbage, then a label", "HELLO\r\n" + one + kQuery, "RL1Q"},
      {"a broken label between two good ones", one + "SIZE x\r\n" + two, "L1RL3"},
      {"an unknown escape command", "\x1B!R" + one, "RL1"},
      {"commands between labels", "SELFTEST\r\n" + one + "FORMFEED\r\nGAPDETECT\r\n" + kQuery,
       "CL1CCQ"},
      {"a command after a label with no PRINT", one.substr(0, one.find("PRINT")) + "FORMFEED\r\n",
       "RC"},
      {"a command cut short at the end", one + "SELFTE", "L1E"},
  };
  for (const Case &c : cases) {
    for (size_t piece : {size_t{1}, size_t{7}, c.stream.size()}) {
      EXPECT_EQ(ItemsOf(c.stream, piece), c.items) << c.name << ", pieces of " << piece;
    }
  }
}

TEST(VirtualPrinterInput, ALabelLargerThanTheBufferIsRefusedAndTheNextPrints) {
  const std::string big = LabelText(60, 40, 0, 0, 100, 100, std::string(10000, '\xFF'));
  const std::string small = LabelText(60, 40, 0, 0, 2, 1, "\x7F\xFF");
  std::vector<std::string> refusals;
  EXPECT_EQ(ItemsOf(big + small, 512, 4096, &refusals), "RL1");
  ASSERT_EQ(refusals.size(), 1u);
  EXPECT_EQ(refusals[0], "byte 0: a label larger than 4096 bytes");
}

TEST(VirtualPrinterOrders, ReadAndRefused) {
  struct Case {
    const char *text;
    std::string error;
    uint8_t status;  // with paper left when an order gives it, nothing printing
  } cases[] = {
      {"", "", 0},
      {"# a comment\n\nhead-open\n", "", status_bit::kHeadOpen},
      {"paper-jam\nribbon-out\r\npaused\nerror\n", "",
       status_bit::kPaperJam | status_bit::kRibbonOut | status_bit::kPaused | status_bit::kOther},
      {"out-of-paper-after 3\ndrop-after 51200\nreal-speed\nno-status\noffline\n", "", 0},
      {"head-open now\n", "line 1: \"head-open\" takes no value", 0},
      {"\ndrop-after\n", "line 2: \"drop-after\" takes a whole number, not \"\"", 0},
      {"out-of-paper-after -1\n", "line 1: \"out-of-paper-after\" takes a whole number, not \"-1\"", 0},
      {"jam\n", "line 1: unknown order \"jam\"", 0},
  };
  for (const Case &c : cases) {
    PrinterOrders orders;
    EXPECT_EQ(ReadOrders(c.text, orders), c.error) << c.text;
    if (c.error.empty()) {
      EXPECT_EQ(StatusByte(orders, false, false), c.status) << c.text;
    }
  }
  PrinterOrders a, b;
  ASSERT_EQ(ReadOrders("out-of-paper-after 3\ndrop-after 9\nno-status\n", a), "");
  ASSERT_EQ(ReadOrders("out-of-paper-after 5\nhead-open\n", b), "");
  const PrinterOrders m = MergeOrders(a, b);
  EXPECT_EQ(m.paperLabels, 3);
  EXPECT_EQ(m.dropAfter, 9u);
  EXPECT_TRUE(m.noStatus && m.headOpen && !m.offline);
}

TEST(PrinterStatus, EveryBitHasItsWordsAndReason) {
  struct Case {
    uint8_t status;
    const char *words;
    std::vector<std::string> reasons;
  } cases[] = {
      {0x00, "ready", {}},
      {0x01, "head open", {"cover-open-error"}},
      {0x02, "paper jam", {"media-jam-error"}},
      {0x04, "out of paper", {"media-empty-error"}},
      {0x08, "out of ribbon", {"marker-supply-empty-error"}},
      {0x10, "paused", {"paused"}},
      {0x20, "printing", {}},
      {0x80, "error", {"other-error"}},
      {0x25, "head open, out of paper, printing", {"cover-open-error", "media-empty-error"}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(StatusWords(c.status), c.words) << int(c.status);
    EXPECT_EQ(StatusReasons(c.status), c.reasons) << int(c.status);
  }
  EXPECT_EQ(AllStatusReasons().size(), 6u);
}

}  // namespace
