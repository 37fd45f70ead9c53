// The printer application's real server on 127.0.0.1, as a phone-like client (ipptool)
// meets it: the same labels as the filter, settings that survive a restart, bad
// documents that end their job and no other, and PDF barcodes that still scan.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/label_doc.h"
#include "filter/options.h"
#include "printer-app/label_settings.h"
#include "tests/support/capture.h"
#include "tests/support/filter_output.h"
#include "tests/support/printer_app.h"
#include "tests/support/raster.h"
#include "tests/support/test_ports.h"

namespace {

// Each test has a port of its own, in the block kept for these tests.
enum : int { kIdentityPort = kPrinterAppPorts, kRestartPort, kBadDocumentPort, kPdfPort };

// A page that every rule prints differently: a gray ramp across, bars down its left
// quarter, and rows of varying gray below.
TestPage TestLabel(uint32_t width, uint32_t height, unsigned dpi) {
  TestPage page{width, height, 1, std::vector<uint8_t>(size_t{width} * height)};
  page.dpi = dpi;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t level = static_cast<uint8_t>(x * 255 / width);
      if (x < width / 4) level = (x / 6) % 2 ? 0 : 255;
      if (y > height * 3 / 4) level = static_cast<uint8_t>((x * 7 + y * 13) % 256);
      page.pixels[size_t{y} * width + x] = level;
    }
  }
  return page;
}

// Offsets of 2 mm across and 1 mm down, in a job's media-col.
const std::string kOffsets = "    MEMBER integer media-left-offset 200\n    MEMBER integer media-top-offset 100\n";

const char *ModeKeyword(int mode) {
  for (const print_mode_t &m : kPrintModes) {
    if (m.mode == mode) return m.keyword;
  }
  return "";
}

const std::string kSetDefaults = IppTest(
    "Set-Printer-Attributes",
    "  GROUP printer-attributes-tag\n  ATTR integer print-speed-default $speed\n"
    "  ATTR integer printer-darkness-configured $darkness\n"
    "  ATTR keyword vantel-print-mode-default $mode\n");

const std::string kGetAll = IppTest("Get-Printer-Attributes", "");

// For every conversion rule at both resolutions, and for custom sizes as a CUPS client
// sends them, the same raster and settings give the filter's bytes exactly. The filter
// takes its settings from the PPD and the job's options; the app from the printer's
// defaults and the job's media-col and vendor option.
TEST(PrinterApp, WritesTheFiltersBytes) {
  SKIP_WITHOUT_IPPTOOL();
  struct Case {
    const char *name;
    int dpi;
    int mode;
    const char *pageSize;      // the filter's PageSize
    int widthPt, heightPt;     // the page in points
    int mediaWidth, mediaLength;  // what a CUPS client sends, hundredths of a millimetre
  };
  std::vector<Case> cases;
  for (int dpi : {203, 300}) {
    for (const print_mode_t &mode : kPrintModes)
      cases.push_back({"stock", dpi, mode.mode, "w288h144", 288, 144, 10160, 5080});
  }
  cases.push_back({"stock-small", 203, 5, "w90h18", 90, 18, 3175, 635});
  cases.push_back({"custom-points", 203, 2, "Custom.170x113", 170, 113, 5997, 3986});
  cases.push_back({"custom-points", 300, 0, "Custom.288x1800", 288, 1800, 10160, 63500});
  cases.push_back({"custom-mm", 203, 5, "Custom.60x40mm", 170, 113, 6000, 4000});

  AppServer server(TestPort(kIdentityPort));
  server.Start();
  server.AddPrinter("lab203", "vantel_203dpi");
  server.AddPrinter("lab300", "vantel_300dpi");
  // Darkness 12, speed 3, offsets 2 mm across and 1 mm down, on both sides.
  for (const char *printer : {"lab203", "lab300"}) {
    server.Ipp(server.PrinterUri(printer), kSetDefaults,
               {{"speed", std::to_string(3 * kSpeedStep)},
                {"darkness", std::to_string(DarknessPercent(12))},
                {"mode", "bold-threshold"}});
  }

  int job = 0;
  for (const Case &c : cases) {
    const std::string what = std::string(c.name) + " " + std::to_string(c.dpi) + " dpi, mode " +
                             std::to_string(c.mode) + ", " + c.pageSize;
    TestPage page = TestLabel(static_cast<uint32_t>(c.widthPt * c.dpi / 72),
                              static_cast<uint32_t>(c.heightPt * c.dpi / 72), c.dpi);
    const std::string raster = WriteRaster({page}, CUPS_RASTER_WRITE_PWG);
    const int horizontal = OffsetDots(200, c.dpi), vertical = OffsetDots(100, c.dpi);
    const std::string expected = FilterOutput(
        c.dpi == 203 ? "vantel-203.ppd" : "vantel-300.ppd",
        "PageSize=" + std::string(c.pageSize) + " PrintMode=" + std::to_string(c.mode) +
            " Darkness=12 PrintSpeed=30 Horizontal=" + std::to_string(horizontal) +
            " Vertical=" + std::to_string(vertical),
        raster);
    ASSERT_NE(expected.find("DENSITY 12\r\nDIRECTION"), std::string::npos) << what;

    const std::string name = "identity-" + std::to_string(++job);
    const Attributes ended = server.Print(
        c.dpi == 203 ? "lab203" : "lab300", name, "image/pwg-raster",
        server.Keep(name + ".pwg", raster),
        JobMediaCol(c.mediaWidth, c.mediaLength, kOffsets) + "  ATTR keyword vantel-print-mode " +
            ModeKeyword(c.mode) + "\n");
    ASSERT_EQ(ended.at("job-state"), "completed") << what;
    const std::string got = server.Output(name);
    EXPECT_EQ(got.size(), expected.size()) << what;
    EXPECT_TRUE(got == expected) << what << "\napp:    " << got.substr(0, 300)
                                 << "\nfilter: " << expected.substr(0, 300);
  }
}

// print-speed-default and a darkness of 0 are forgotten by PAPPL 1.3.1's saved state,
// the vendor option is not; all three come back after a restart, and reach the label.
// Each of several printers keeps its limit of queued jobs after a restart too (PAPPL's
// default of no limit stalls the raw socket listener), as the state saved after the
// restart shows. PAPPL 1.3.1 reports print-speed-default under the name
// printer-speed-default.
TEST(PrinterApp, KeepsSettingsOverARestart) {
  SKIP_WITHOUT_IPPTOOL();
  AppServer server(TestPort(kRestartPort));
  server.Start();
  server.AddPrinter("first", "vantel_203dpi");
  server.AddPrinter("second", "vantel_300dpi");
  server.Ipp(server.PrinterUri("first"), kSetDefaults,
             {{"speed", std::to_string(2 * kSpeedStep)}, {"darkness", "0"}, {"mode", "fine-dither"}});
  server.Stop();
  server.Start();

  struct Case {
    const char *printer, *attribute, *value;
  } cases[] = {
      {"first", "printer-speed-default", "5080"},
      {"first", "printer-darkness-configured", "0"},
      {"first", "vantel-print-mode-default", "fine-dither"},
      {"second", "printer-speed-default", "10160"},
      {"second", "printer-darkness-configured", "46"},
  };
  for (const Case &c : cases) {
    const Attributes attributes = server.Ipp(server.PrinterUri(c.printer), kGetAll);
    EXPECT_EQ(attributes.count(c.attribute) ? attributes.at(c.attribute) : "(none)", c.value)
        << c.printer << " " << c.attribute;
  }

  server.Stop();
  const std::string state = ReadFile(server.Path("vantel-printer-app.state"));
  size_t limits = 0;
  for (size_t at = state.find("\nMaxActiveJobs 100\n"); at != std::string::npos;
       at = state.find("\nMaxActiveJobs 100\n", at + 1))
    ++limits;
  EXPECT_EQ(limits, 2u) << state;
  server.Start();

  const std::string raster = WriteRaster({UniformPage(16, 8, 100)}, CUPS_RASTER_WRITE_PWG);
  const Attributes ended =
      server.Print("first", "after-restart", "image/pwg-raster", server.Keep("r.pwg", raster));
  ASSERT_EQ(ended.at("job-state"), "completed");
  const std::string label = server.Output("after-restart");
  EXPECT_NE(label.find("SPEED 2\r\nDENSITY 0\r\n"), std::string::npos) << label.substr(0, 200);
  // Gray 100 under the 8x8 dither: some dots printed, some not, in the first row's bytes.
  const size_t bitmap = label.find("BITMAP 0,0,2,8,1,");
  ASSERT_NE(bitmap, std::string::npos);
  const std::string firstRow = label.substr(bitmap + 17, 2);
  EXPECT_TRUE(firstRow != std::string(2, '\xff') && firstRow != std::string(2, '\0'));
}

// Each bad document ends its own job as aborted, with the reason in job-state-reasons
// and nothing printed for it; the next job prints.
TEST(PrinterApp, AbortsBadDocumentsAndPrintsTheNext) {
  SKIP_WITHOUT_IPPTOOL();
  AppServer server(TestPort(kBadDocumentPort));
  server.Start();
  server.AddPrinter("lab", "vantel_203dpi");

  TestPage oneBit{102, 406, 1, std::vector<uint8_t>(102 * 406, 0x55)};
  oneBit.width = 812;
  oneBit.bitsPerColor = oneBit.bitsPerPixel = 1;
  oneBit.colorSpace = CUPS_CSPACE_K;
  TestPage cutShort = UniformPage(812, 406, 0);
  cutShort.pixels.resize(812 * 100);
  const TestPage huge = UniformPage(60000, 60000, 255);
  const std::string good = WriteRaster({UniformPage(812, 406, 0)}, CUPS_RASTER_WRITE_PWG);

  // A raster cut short leaves PAPPL waiting for the rest of the page, and its client
  // without an answer: the client hangs up after 2 s, as a phone's would give up.
  struct Case {
    const char *name, *format;
    std::string document;
    const char *reason;
    int answerSeconds = 70;
  } cases[] = {
      {"one-bit", "image/pwg-raster", WriteRaster({oneBit}, CUPS_RASTER_WRITE_PWG), "document-format-error"},
      {"cut-short", "image/pwg-raster", WriteRaster({cutShort}, CUPS_RASTER_WRITE_PWG), "document-format-error", 2},
      {"huge", "image/pwg-raster", WriteRaster({TestPage{huge.bytesPerLine, huge.height, 1, {}}}, CUPS_RASTER_WRITE_PWG),
       "document-unprintable-error"},
      {"broken-pdf", "application/pdf", "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer\n%%EOF\n",
       "document-format-error"},
  };
  for (const Case &c : cases) {
    const Attributes bad =
        server.Print("lab", c.name, c.format, server.Keep(c.name, c.document), "", c.answerSeconds);
    EXPECT_EQ(bad.at("job-state"), "aborted") << c.name;
    EXPECT_NE(bad.at("job-state-reasons").find(c.reason), std::string::npos)
        << c.name << ": " << bad.at("job-state-reasons") << " / " << bad.at("job-state-message");
    EXPECT_EQ(bad.at("job-impressions-completed"), "0") << c.name << ": nothing was printed";
    // A page cut short is ended without PRINT: the printer never prints half a label.
    EXPECT_EQ(server.Output(c.name).find("PRINT"), std::string::npos) << c.name;

    const std::string next = std::string(c.name) + "-next";
    const Attributes ok = server.Print("lab", next, "image/pwg-raster", server.Keep(next, good));
    EXPECT_EQ(ok.at("job-state"), "completed") << next;
    EXPECT_NE(server.Output(next).find("PRINT 1,1\r\n"), std::string::npos) << next;
  }
}

// A PDF label with a Code 128 barcode, drawn by the app and read back from its command
// stream, still scans: as a page of the label's size, and as a Letter page with the label
// in its corner, which the label finding cuts out at full size. Printed whole, scaled to
// the label, that page's barcode is too small to scan.
TEST(PrinterApp, PrintsPdfBarcodesThatScan) {
  SKIP_WITHOUT_IPPTOOL();
  for (const char *tool : {"barcode", "gs", "zbarimg"}) {
    if (!HaveCommand(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  AppServer server(TestPort(kPdfPort));
  server.Start();
  server.AddPrinter("lab203", "vantel_203dpi");
  server.AddPrinter("lab300", "vantel_300dpi");
  const std::string eps = server.Path("code.eps");
  ASSERT_EQ(RunCommand({"barcode", "-b", "VANTEL-0042", "-e", "code128", "-u", "pt", "-g",
                        "200x60+40+40", "-p", "288x144", "-E", "-o", eps}).status, 0);
  const auto pdf = [&](const std::string &name, const char *width, const char *height,
                       const char *placing) {
    ASSERT_EQ(RunCommand({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                          std::string("-dDEVICEWIDTHPOINTS=") + width,
                          std::string("-dDEVICEHEIGHTPOINTS=") + height, "-dFIXEDMEDIA",
                          "-o", server.Path(name), "-c", placing, "-f", eps}).status, 0);
  };
  pdf("label.pdf", "288", "144", "");
  pdf("letter.pdf", "612", "792", "<< /BeginPage { 20 620 translate } >> setpagedevice");

  struct Case {
    const char *printer, *document, *labelFit;
    bool scans;
  } cases[] = {
      {"lab203", "label.pdf", nullptr, true},
      {"lab300", "label.pdf", nullptr, true},
      {"lab203", "letter.pdf", nullptr, true},
      {"lab300", "letter.pdf", "find-labels", true},
      {"lab203", "letter.pdf", "whole-page", false},
  };
  int job = 0;
  for (const Case &c : cases) {
    const std::string name = "barcode-" + std::to_string(++job);
    const std::string what = std::string(c.printer) + " " + c.document + " " + (c.labelFit ? c.labelFit : "");
    const std::string fit = c.labelFit ? std::string("  ATTR keyword vantel-label-fit ") + c.labelFit + "\n" : "";
    const Attributes ended = server.Print(c.printer, name, "application/pdf", server.Path(c.document),
                                          "  ATTR keyword media oe_w288h144_4x2in\n" + fit);
    ASSERT_EQ(ended.at("job-state"), "completed") << what;
    const std::string dpi = std::string(c.printer) == "lab203" ? "203" : "300";
    const CommandResult drawn = RunCommand({PREVIEW_PATH, "--dpi", dpi, "-o", server.Path(name),
                                            server.OutDir() + "/" + name + ".prn"});
    ASSERT_EQ(drawn.status, 0) << drawn.output;
    EXPECT_EQ(drawn.output.find(name + "-2.png"), std::string::npos) << what << ": one label only";
    const CommandResult scanned =
        RunCommand({"sh", "-c", "echo; zbarimg -q \"$0\" 2>/dev/null", server.Path(name) + "-1.png"});
    EXPECT_EQ(scanned.output.find("\nCODE-128:VANTEL-0042\n") != std::string::npos, c.scans)
        << what << ": " << scanned.output;
  }
}

}  // namespace
