// The virtual printer as a sender meets it: label streams on a TCP connection, the
// status query, and every fault it can be ordered to have.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/label_stream.h"
#include "core/label_writer.h"
#include "core/maintenance.h"
#include "picture/label_image.h"
#include "tests/support/label_check.h"
#include "tests/support/run_filter.h"
#include "tests/support/test_ports.h"
#include "tests/support/virtual_printer.h"

namespace {

const std::string kQuery = "\x1B!?";

// A label of 2 x 1 dots' bytes on a 25 x 10 mm label, told apart by its first bitmap byte.
std::string Label(uint8_t mark, int copies = 1) {
  return LabelText(25, 10, 0, 0, 2, 1, std::string{char(mark), '\xFF'}, copies);
}

std::string Status(uint8_t byte) { return std::string(1, char(byte)); }

bool WaitFor(const std::function<bool()> &done, double seconds = 5) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(VirtualPrinter, PrintsEachCopyAsTheLabelItWasSent) {
  VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 1));
  const std::string stream = Label(0x7F, 1) + Label(0x3F, 2) + kQuery;
  const Exchange e = SendToPrinter(printer.port(), stream);
  EXPECT_EQ(e.answer, Status(0));
  ASSERT_TRUE(WaitFor([&] { return printer.Printed().size() == 3; })) << printer.Log();
  const std::vector<std::string> printed = printer.Printed();
  EXPECT_EQ(printed[0].substr(0, printed[0].find(" SIZE")),
            "label-000001.png: connection 1, label 1, copy 1 of 1:");
  EXPECT_EQ(printed[2].substr(0, printed[2].find(" SIZE")),
            "label-000003.png: connection 1, label 2, copy 2 of 2:");
  EXPECT_NE(printed[0].find("SIZE 25mm,10mm GAP 0.120,0.000 SPEED 4 DENSITY 7 DIRECTION 0,0 "
                            "REFERENCE 0,0 OFFSET 0.000 SHIFT 0 PEEL OFF CUTTER OFF "
                            "PARTIAL_CUTTER OFF TEAR ON BITMAP 0,0,2,1 PRINT 1,1"),
            std::string::npos) << printed[0];
  // Each picture is the one label-preview draws of the same label.
  const StreamParse parse = ParseLabelStream(
      {reinterpret_cast<const uint8_t *>(stream.data()), stream.size() - kQuery.size()});
  ASSERT_EQ(parse.labels.size(), 2u);
  TempDir dir;
  for (int n : {1, 2, 3}) {
    const StreamLabel &label = parse.labels[n == 1 ? 0 : 1];
    const std::string expected = dir.path + "/" + std::to_string(n) + ".png";
    ASSERT_EQ(WriteLabelPng(expected, label, MmToDots(25, 203), MmToDots(10, 203), 203), "");
    EXPECT_EQ(ReadFile(printer.LabelPath(n)), ReadFile(expected)) << n;
  }
}

// Each fault: what the status query answers while the label waits, how many labels got
// printed by then, and what happens once the fault is cleared.
TEST(VirtualPrinter, FaultsHoldLabelsAndAnswerTheQuery) {
  struct Case {
    const char *orders;
    uint8_t answer;     // after two labels of one copy each
    size_t printedThen;
  } cases[] = {
      {"", 0x00, 2},
      {"out-of-paper-after 1\n", 0x24, 1},
      {"out-of-paper\n", 0x24, 0},
      {"head-open\n", 0x21, 0},
      {"paper-jam\n", 0x22, 0},
      {"ribbon-out\n", 0x28, 0},
      {"paused\n", 0x30, 0},
      {"error\n", 0xA0, 0},
      {"head-open\nout-of-paper-after 1\n", 0x21, 0},  // the roll is not out until used
  };
  int port = TestPort(kVirtualPrinterPorts + 10);
  for (const Case &c : cases) {
    VirtualPrinter printer(port++);
    printer.SetFaults(c.orders);
    const Exchange e = SendToPrinter(printer.port(), Label(0x7F) + Label(0x3F) + kQuery);
    EXPECT_EQ(e.answer, Status(c.answer)) << c.orders;
    EXPECT_EQ(printer.Printed().size(), c.printedThen) << c.orders;
    // Cleared, the printer prints what it holds, and nothing twice.
    printer.SetFaults("");
    EXPECT_TRUE(WaitFor([&] { return printer.Printed().size() == 2; })) << c.orders;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(printer.Printed().size(), 2u) << c.orders << "\n" << printer.Log();
    EXPECT_EQ(SendToPrinter(printer.port(), kQuery).answer, Status(0)) << c.orders;
  }
}

TEST(VirtualPrinter, DropsOfflineSilentAndSlow) {
  const std::string two = Label(0x7F) + Label(0x3F);
  {  // Closes the connection after 300 bytes: the first label is whole, the second not.
    VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 30), {"--drop-after", "300"});
    const std::string many = two + std::string(16 << 20, '\0');
    const Exchange e = SendToPrinter(printer.port(), two + kQuery + many);
    EXPECT_LT(e.sent, two.size() + kQuery.size() + many.size());
    EXPECT_EQ(e.answer, "");
    EXPECT_TRUE(WaitFor([&] { return printer.Printed().size() == 1; }));
    EXPECT_NE(printer.Log().find("connection 1 dropped by order: 300 bytes, 1 labels"),
              std::string::npos) << printer.Log();
  }
  {  // Offline refuses connections; back online it prints.
    VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 31), {"--offline"});
    EXPECT_LT(ConnectTo(printer.port()), 0);
    printer.SetFaults("");
    // The command line's order holds until the printer is started without it.
    EXPECT_LT(ConnectTo(printer.port()), 0);
  }
  {
    VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 32));
    printer.SetFaults("offline\n");
    EXPECT_LT(ConnectTo(printer.port()), 0);
    printer.SetFaults("");
    ASSERT_TRUE(WaitFor([&] { return SendToPrinter(printer.port(), kQuery).connected; }));
    EXPECT_EQ(SendToPrinter(printer.port(), two + kQuery).answer, Status(0));
  }
  {  // Never answers the status query, and prints all the same.
    VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 33), {"--no-status"});
    EXPECT_EQ(SendToPrinter(printer.port(), two + kQuery, 0.3).answer, "");
    EXPECT_EQ(printer.Printed().size(), 2u);
  }
  {  // At the speed the label asks for: 10 mm at 4 in/s is about 0.1 s a label.
    VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 34), {"--real-speed"});
    const auto start = std::chrono::steady_clock::now();
    const Exchange e = SendToPrinter(printer.port(), Label(0x7F, 5) + kQuery);
    EXPECT_EQ(e.answer, Status(0x20));  // printing
    ASSERT_TRUE(WaitFor([&] { return printer.Printed().size() == 5; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(390));
  }
}

TEST(VirtualPrinter, RefusesWhatAPrinterWouldNotTake) {
  VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 35));
  const std::string good = Label(0x7F);
  const std::string stream = "HELLO\r\n" + good + LabelText(120, 10, 0, 0, 2, 1, "\x7F\xFF") +
                             good.substr(0, good.find("PRINT")) + good + "SIZE 25mm,10mm\r\n";
  EXPECT_EQ(SendToPrinter(printer.port(), stream).answer, "");
  EXPECT_EQ(SendToPrinter(printer.port(), kQuery).answer, Status(0));
  EXPECT_EQ(printer.Printed().size(), 2u);
  const std::string log = printer.Log();
  for (const char *line :
       {"connection 1: refused byte 0: unknown command \"HELLO\"",
        "connection 1: refused label 2 at byte", "label 120 mm wide on a 108 mm head",
        "a label with no PRINT (not printed)",
        "connection 1: the connection ended inside a label at byte"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// Every command the driver can write, as its own writer writes it, goes through the
// virtual printer: nothing refused, and printed.log names each setting as the stream states
// it (BLINE, not GAP; SET CUTTER 3, not ON).
TEST(VirtualPrinter, TakesEveryCommandTheDriverWrites) {
  struct Variant {
    int16_t tracking, labelMode, direction, tearOffset, shift;
    const char *logged;  // what printed.log shows of it
  } variants[] = {
      {kTrackingGap, kTearOff, kDirectionNormal, 0, 0,
       "GAP 0.120,0.000 SPEED 4 DENSITY 7 DIRECTION 0,0 REFERENCE 0,0 OFFSET 0.000 SHIFT 0 "
       "PEEL OFF CUTTER OFF PARTIAL_CUTTER OFF TEAR ON"},
      {kTrackingMark, kPeelOff, kDirectionUpsideDown, -100, -24,
       "BLINE 0.120,0.000 SPEED 4 DENSITY 7 DIRECTION 1,0 REFERENCE 0,0 OFFSET -0.039 SHIFT -24 "
       "PEEL ON CUTTER OFF PARTIAL_CUTTER OFF TEAR OFF"},
      {kTrackingContinuous, kCutter, kDirectionMirrored, 300, 35,
       "GAP 0.000,0.000 SPEED 4 DENSITY 7 DIRECTION 0,1 REFERENCE 0,0 OFFSET 0.118 SHIFT 35 "
       "PEEL OFF CUTTER 3 PARTIAL_CUTTER OFF TEAR OFF"},
      {kTrackingGap, kCutterDelayed, kDirectionNormal, 0, 0,
       "GAP 0.120,0.000 SPEED 4 DENSITY 7 DIRECTION 0,0 REFERENCE 0,0 OFFSET 0.000 SHIFT 0 "
       "PEEL OFF CUTTER BATCH PARTIAL_CUTTER OFF TEAR OFF"},
  };
  std::string stream;
  std::vector<std::string> expected;
  for (const Variant &v : variants) {
    label_doc_t doc{4, 7, v.tracking, 25, 10, 0, 0, 0, 0, 5};
    doc.labelMode = v.labelMode;
    doc.cutInterval = 3;
    doc.direction = v.direction;
    doc.tearOffset = v.tearOffset;
    doc.shift = v.shift;
    label_page_t page;
    const uint8_t gray[16] = {0};
    // Each call's bytes are good until the next call.
    auto append = [&](std::span<const uint8_t> part) { stream.append(part.begin(), part.end()); };
    append(begin_label_page(page, doc, 16, 1, 16));
    append(label_page_rows(page, gray));
    append(end_label_page(page, 1));
    expected.push_back(std::string("SIZE 25mm,10mm ") + v.logged + " BITMAP 0,0,2,1 PRINT 1,1");
    stream += kQuery;
  }
  std::vector<std::string> commands;
  for (maintenance_t action : {maintenance_t::calibrate, maintenance_t::selfTest, maintenance_t::feed}) {
    for (int16_t tracking : {kTrackingGap, kTrackingMark, kTrackingContinuous}) {
      const std::string line = MaintenanceLine(action, tracking);
      if (std::find(commands.begin(), commands.end(), line) != commands.end()) continue;
      commands.push_back(line);
      stream += line;
    }
  }
  VirtualPrinter printer(TestPort(kVirtualPrinterPorts + 36));
  const Exchange e = SendToPrinter(printer.port(), stream + kQuery);
  EXPECT_EQ(e.answer, std::string(std::size(variants) + 1, '\0'));
  const std::vector<std::string> printed = printer.PrintedAtLeast(expected.size() + commands.size());
  ASSERT_EQ(printed.size(), expected.size() + std::size(kPrinterCommands)) << printer.Log();
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_NE(printed[i].find(expected[i]), std::string::npos) << printed[i];
  for (size_t i = 0; i < std::size(kPrinterCommands); ++i) {
    const printer_command_t &command = kPrinterCommands[i];
    EXPECT_EQ(printed[expected.size() + i], std::string(command.name) + ": connection 1, command " +
                                                std::to_string(i + 1) + ": " + command.does);
  }
  EXPECT_EQ(printer.Log().find("refused"), std::string::npos) << printer.Log();
}

}  // namespace
