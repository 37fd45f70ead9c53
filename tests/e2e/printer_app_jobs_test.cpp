// The printer application's documents and jobs as clients meet them: PNG and JPEG files
// good and broken, jobs that queue behind each other, and many clients at once.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>

#include "tests/support/images.h"
#include "tests/support/printer_app.h"

namespace {

// Each test has a port of its own, in the range kept for these tests.
enum : int { kImagePort = 8750, kBrokenImagePort, kQueuePort, kStressPort, kStatePort, kCancelPort, kPortInUsePort };

bool CanRunServer() { return HaveCommand("ipptool"); }

#define SKIP_WITHOUT_TOOLS()                                          \
  if (!CanRunServer()) GTEST_SKIP() << "ipptool is not installed"

std::string WriteTemp(const AppServer &server, const std::string &name, const std::string &bytes) {
  WriteFile(server.Path(name), bytes);
  return server.Path(name);
}

// The label's bitmap: from BITMAP to the PRINT that ends it, the part of the stream the
// image decides (the setup lines before it are the printer's settings).
std::string Bitmap(const std::string &label) {
  const size_t begin = label.find("BITMAP "), end = label.find("PRINT ", begin);
  return begin == std::string::npos || end == std::string::npos ? "" : label.substr(begin, end - begin);
}

// FNV-1a, printed in hex: short enough to keep expected outputs in a table.
std::string Fingerprint(const std::string &bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  char text[17];
  snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// Good images of every kind print the bitmap PAPPL's own PNG and JPEG code gave them
// (fingerprints taken from the app before it decoded images itself), on a 2 x 1 inch
// label at 203 dpi.
TEST(PrinterAppImages, PrintGoodImagesAsBefore) {
  SKIP_WITHOUT_TOOLS();
  struct Case {
    const char *name, *format;
    std::string file;
    const char *fingerprint;
  } cases[] = {
      {"gray8", "image/png", EncodePng(PatternImage(300, 150, 1)), "c69f615d078884e6"},
      {"gray1", "image/png", EncodePng(PatternImage(300, 150, 1), 1), "0c8da5b073a68974"},
      {"gray16-dpi", "image/png", EncodePng(PatternImage(300, 150, 1), 16, false, false, 150), "c69f615d078884e6"},
      {"gray-alpha", "image/png", EncodePng(PatternImage(300, 150, 2)), "401aae7400505d00"},
      {"rgb", "image/png", EncodePng(PatternImage(300, 150, 3)), "c69f615d078884e6"},
      {"rgba16", "image/png", EncodePng(PatternImage(300, 150, 4), 16), "c3a8849860a2bc56"},
      {"palette", "image/png", EncodePng(PatternImage(300, 150, 1), 8, true), "da9400fcc3a19c38"},
      {"interlaced", "image/png", EncodePng(PatternImage(300, 150, 3), 8, false, true), "c69f615d078884e6"},
      {"tall", "image/png", EncodePng(PatternImage(150, 400, 1)), "1fac29903251f093"},
      {"jpeg-gray", "image/jpeg", EncodeJpeg(PatternImage(300, 150, 1)), "fc3aed540245d846"},
      {"jpeg-rgb-dpi", "image/jpeg", EncodeJpeg(PatternImage(300, 150, 3), 85, 300), "6404d24f96d43250"},
  };
  AppServer server(kImagePort);
  server.Start();
  server.AddPrinter("lab", "vantel_203dpi");
  for (const Case &c : cases) {
    const Attributes ended = server.Print("lab", c.name, c.format, WriteTemp(server, c.name, c.file),
                                          "  ATTR keyword media oe_w144h72_2x1in\n");
    ASSERT_EQ(ended.at("job-state"), "completed") << c.name << ": " << ended.at("job-state-message");
    const std::string bitmap = Bitmap(server.Output(c.name));
    EXPECT_EQ(bitmap.substr(0, 20), "BITMAP 0,0,51,203,1,") << c.name;
    EXPECT_EQ(Fingerprint(bitmap), c.fingerprint) << c.name;
  }
}

// Every broken image ends its own job within a second as a document-format-error, with
// a message, nothing sent to the printer, no impression counted and no flood in the log;
// the next job prints.
TEST(PrinterAppImages, EndBrokenImagesAtOnce) {
  SKIP_WITHOUT_TOOLS();
  std::mt19937 random(17);
  std::string noise(4096, '\0');
  for (char &c : noise) c = static_cast<char>(random());
  const std::string png = EncodePng(PatternImage(300, 150, 3));
  const std::string jpeg = EncodeJpeg(PatternImage(300, 150, 3));
  ASSERT_GT(png.size(), 200u);
  struct Case {
    const char *name, *format;
    std::string file;
  } cases[] = {
      {"png-signature", "image/png", png.substr(0, 8)},
      {"png-random", "image/png", noise},
      {"png-cut-short", "image/png", png.substr(0, png.size() * 2 / 3)},
      {"jpeg-soi", "image/jpeg", jpeg.substr(0, 2)},
      {"jpeg-random", "image/jpeg", noise},
      {"jpeg-cut-short", "image/jpeg", jpeg.substr(0, jpeg.size() * 2 / 3)},
  };
  AppServer server(kBrokenImagePort);
  server.Start();
  server.AddPrinter("lab", "vantel_203dpi");
  const std::string good = WriteTemp(server, "good.png", EncodePng(PatternImage(100, 50, 1)));
  for (const Case &c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const Attributes bad = server.Print("lab", c.name, c.format, WriteTemp(server, c.name, c.file));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(bad.at("job-state"), "aborted") << c.name;
    EXPECT_NE(bad.at("job-state-reasons").find("document-format-error"), std::string::npos)
        << c.name << ": " << bad.at("job-state-reasons");
    EXPECT_NE(bad.at("job-state-message").find("image can't be read"), std::string::npos)
        << c.name << ": " << bad.at("job-state-message");
    EXPECT_EQ(bad.at("job-impressions-completed"), "0") << c.name;
    EXPECT_EQ(server.Output(c.name), "") << c.name;
    // Submitting and asking for the state take most of it.
    EXPECT_LT(seconds, 2.0) << c.name;

    const std::string next = std::string(c.name) + "-next";
    const Attributes ok = server.Print("lab", next, "image/png", good);
    EXPECT_EQ(ok.at("job-state"), "completed") << next;
    EXPECT_NE(server.Output(next).find("PRINT 1,1\r\n"), std::string::npos) << next;
  }
  server.Stop();
  EXPECT_LT(ReadFile(server.Path("server.out")).size() + ReadFile(server.Path("log")).size(), 1u << 20);
}

}  // namespace
