// The printer application's documents and jobs as clients meet them: PNG and JPEG files
// good and broken, jobs that queue behind each other, and many clients at once.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>

#include <cups/cups.h>

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/images.h"
#include "tests/support/printer_app.h"
#include "tests/support/raster.h"
#include "tests/support/test_ports.h"

namespace {

// Each test has a port of its own, in the block kept for these tests; nothing listens on
// kNobodyPort.
enum : int {
  kImagePort = kPrinterAppJobsPorts, kBrokenImagePort, kQueuePort, kStressPort, kStatePort,
  kCancelPort, kPortInUsePort, kFuzzReplayPort, kNobodyPort
};

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
  SKIP_WITHOUT_IPPTOOL();
  struct Case {
    const char *name, *format;
    std::string file;
    const char *fingerprint;
  } cases[] = {
      {"gray8", "image/png", EncodePng(PatternImage(300, 150, 1)), "c69f615d078884e6"},
      // PAPPL's own code printed a 1-bit PNG all black (its white a 1 of 255).
      {"gray1", "image/png", EncodePng(PatternImage(300, 150, 1), 1), "6a868a65dff72b51"},
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
  AppServer server(TestPort(kImagePort));
  server.Start();
  server.AddPrinter("lab", "vantel_203dpi");
  for (const Case &c : cases) {
    const Attributes ended = server.Print("lab", c.name, c.format, server.Keep(c.name, c.file),
                                          "  ATTR keyword media oe_w144h72_2x1in\n");
    ASSERT_EQ(ended.at("job-state"), "completed") << c.name << ": " << ended.at("job-state-message");
    const std::string bitmap = Bitmap(server.Output(c.name));
    EXPECT_EQ(bitmap.substr(0, 20), "BITMAP 0,0,51,203,1,") << c.name;
    EXPECT_EQ(Fingerprint(bitmap), c.fingerprint) << c.name;
  }
  // Black and white, as a barcode tool writes it: 1 bit a pixel prints as 8 bits do.
  TestImage bw = PatternImage(300, 150, 1);
  for (uint8_t &p : bw.pixels) p = p < 128 ? 0 : 255;
  for (const auto &[name, bits] : {std::pair{"bw8", 8}, std::pair{"bw1", 1}})
    server.Print("lab", name, "image/png", server.Keep(name, EncodePng(bw, bits)),
                 "  ATTR keyword media oe_w144h72_2x1in\n");
  EXPECT_EQ(Bitmap(server.Output("bw1")), Bitmap(server.Output("bw8")));
  EXPECT_NE(Bitmap(server.Output("bw8")), "");
}

// Every broken image ends its own job within a second as a document-format-error, with
// a message, nothing sent to the printer, no impression counted and no flood in the log;
// the next job prints.
TEST(PrinterAppImages, EndBrokenImagesAtOnce) {
  SKIP_WITHOUT_IPPTOOL();
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
  AppServer server(TestPort(kBrokenImagePort));
  server.Start();
  server.AddPrinter("lab", "vantel_203dpi");
  const std::string good = server.Keep("good.png", EncodePng(PatternImage(100, 50, 1)));
  for (const Case &c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const Attributes bad = server.Print("lab", c.name, c.format, server.Keep(c.name, c.file));
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
  EXPECT_LT(ReadFile(server.Path("server.out")).size() + server.Log().size(), 1u << 20);
}

// A client of the server's own, as a phone or another CUPS server talks to it: one
// connection, Print-Job with the document and a media-col of the given size.
class IppClient {
 public:
  explicit IppClient(int port) : http_(httpConnect2("127.0.0.1", port, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr)) {}
  ~IppClient() { httpClose(http_); }
  IppClient(const IppClient &) = delete;
  IppClient &operator=(const IppClient &) = delete;

  // Sends the job; gives its IPP status and job-id (0 when there is none).
  std::pair<ipp_status_t, int> Print(const std::string &uri, const std::string &name,
                                     const std::string &format, const std::string &file,
                                     int widthMm, int lengthMm) {
    if (!http_) return {IPP_STATUS_ERROR_SERVICE_UNAVAILABLE, 0};
    ipp_t *request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "test");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, name.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, format.c_str());
    ipp_t *col = ippNew(), *size = ippNew();
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "x-dimension", widthMm * 100);
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", lengthMm * 100);
    ippAddCollection(col, IPP_TAG_ZERO, "media-size", size);
    ippAddCollection(request, IPP_TAG_JOB, "media-col", col);
    ippDelete(size);
    ippDelete(col);
    const std::string resource = uri.substr(uri.find("/ipp/"));
    ipp_t *response = cupsDoFileRequest(http_, request, resource.c_str(), file.c_str());
    const ipp_status_t status = cupsLastError();
    const int id = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
    ippDelete(response);
    return {status, id};
  }

 private:
  http_t *http_;
};

// Whether the label was printed at width x length millimetres (it tells whose it is).
bool HasSize(const std::string &label, int widthMm, int lengthMm) {
  return label.find("SIZE " + std::to_string(widthMm) + "mm," + std::to_string(lengthMm) + "mm\r\n") != std::string::npos;
}

// Job ids that the server's log shows starting more than once.
std::vector<std::string> StartedTwice(const std::string &log) {
  std::map<std::string, int> starts;
  std::istringstream lines(log);
  const std::regex start(R"(\[Job ([0-9]+)\] Starting print job\.)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, start)) ++starts[match[1]];
  }
  std::vector<std::string> twice;
  for (const auto &[id, count] : starts) {
    if (count > 1) twice.push_back(id);
  }
  return twice;
}

// Each job of `ids` starts, by the server's log, after the one before it.
void ExpectStartedInOrder(const std::string &log, const std::vector<int> &ids, const std::string &who) {
  size_t last = 0;
  for (const int id : ids) {
    const size_t started = log.find("[Job " + std::to_string(id) + "] Starting print job.");
    ASSERT_NE(started, std::string::npos) << who << ", job " << id;
    EXPECT_GT(started, last) << who << ": job " << id << " started before the one sent before it";
    last = started;
  }
}

// Ten jobs sent at once by ten clients that never retry are all accepted, wait their
// turn and print a label each; ten sent one after another by one client, each sent as
// soon as the last was accepted, print in the order they were sent.
TEST(PrinterAppJobs, QueueJobsSentAtOnce) {
  SKIP_WITHOUT_IPPTOOL();
  AppServer server(TestPort(kQueuePort));
  server.Start();
  server.AddPrinter("lab", "vantel_203dpi");
  // Big enough to take a while: a job is still printing when the next arrives.
  const std::string file = server.Keep("label.png", EncodePng(PatternImage(800, 1200, 1)));
  constexpr int kJobs = 10;
  std::vector<std::pair<ipp_status_t, int>> results(2 * kJobs);
  std::vector<std::thread> clients;
  for (int i = 0; i < kJobs; ++i) {
    clients.emplace_back([&, i] {
      IppClient client(TestPort(kQueuePort));
      results[i] = client.Print(server.PrinterUri("lab"), "queued-" + std::to_string(i), "image/png", file, 50, 20 + i);
    });
  }
  for (std::thread &client : clients) client.join();
  IppClient one(TestPort(kQueuePort));
  for (int i = kJobs; i < 2 * kJobs; ++i)
    results[i] = one.Print(server.PrinterUri("lab"), "queued-" + std::to_string(i), "image/png", file, 50, 20 + i);
  for (int i = 0; i < 2 * kJobs; ++i) EXPECT_EQ(results[i].first, IPP_STATUS_OK) << i << ": " << ippErrorString(results[i].first);
  ASSERT_TRUE(server.AllJobsEnded("lab"));

  std::vector<int> sentInARow;
  for (int i = 0; i < 2 * kJobs; ++i) {
    const std::string label = server.Output("queued-" + std::to_string(i));
    EXPECT_TRUE(HasSize(label, 50, 20 + i)) << i << ": " << label.substr(0, 40);
    EXPECT_NE(label.find("PRINT 1,1\r\n"), std::string::npos) << i;
    if (i >= kJobs) sentInARow.push_back(results[i].second);
  }
  const std::string log = server.Log();
  ExpectStartedInOrder(log, sentInARow, "one client");
  EXPECT_EQ(StartedTwice(log), std::vector<std::string>{});
}

// Eight clients send 300 PNG, PWG raster and PDF jobs between them, each retrying at once
// when the server is busy. The server stays up, every job is printed once into its own
// output (the label size tells whose it is), none is started twice, and each client's
// jobs start in the order it sent them.
TEST(PrinterAppJobs, StayWholeUnderLoad) {
  SKIP_WITHOUT_IPPTOOL();
  if (!HaveCommand("gs")) GTEST_SKIP() << "gs is not installed";
  AppServer server(TestPort(kStressPort));
  // Each job's start is logged at info level; the debug lines of 300 jobs would fill
  // more than the two megabytes of log PAPPL keeps (log and log.O).
  server.Start("info");
  server.AddPrinter("lab", "vantel_203dpi");
  const std::string png = server.Keep("s.png", EncodePng(PatternImage(120, 60, 1)));
  const std::string pwg = server.Keep("s.pwg", WriteRaster({UniformPage(96, 40, 0)}, CUPS_RASTER_WRITE_PWG));
  const std::string pdf = server.Path("s.pdf");
  ASSERT_EQ(RunCommand({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                        "-dDEVICEWIDTHPOINTS=144", "-dDEVICEHEIGHTPOINTS=72", "-dFIXEDMEDIA", "-o", pdf, "-c",
                        "10 10 moveto 130 10 lineto 130 60 lineto closepath fill showpage"}).status, 0);
  struct Document {
    const char *format;
    std::string file;
  } documents[] = {{"image/png", png}, {"image/pwg-raster", pwg}, {"application/pdf", pdf}};

  // Job n is client n % 8's, its label 20 + n mm long.
  constexpr int kClients = 8, kJobs = 300;
  std::atomic<int> busy{0}, failed{0};
  std::mutex firstFailureMutex;
  std::string firstFailure;
  std::vector<std::vector<int>> sentIds(kClients);
  std::vector<std::thread> clients;
  const auto start = std::chrono::steady_clock::now();
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      IppClient client(TestPort(kStressPort));
      for (int n = c; n < kJobs; n += kClients) {
        const Document &document = documents[n % 3];
        // Retries without a pause while the server answers busy, for at most a minute.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        ipp_status_t status;
        int id = 0;
        do {
          std::tie(status, id) = client.Print(server.PrinterUri("lab"), "load-" + std::to_string(n),
                                              document.format, document.file, 50, 20 + n);
          if (status == IPP_STATUS_ERROR_BUSY) ++busy;
        } while (status == IPP_STATUS_ERROR_BUSY && std::chrono::steady_clock::now() < end);
        sentIds[c].push_back(id);
        if (status != IPP_STATUS_OK && failed++ == 0) {
          std::lock_guard lock(firstFailureMutex);
          firstFailure = std::string(ippErrorString(status)) + " (" + cupsLastErrorString() + ") for load-" + std::to_string(n);
        }
      }
    });
  }
  for (std::thread &client : clients) client.join();
  const auto tail = [&](const char *name) {
    const std::string text = ReadFile(server.Path(name));
    return text.substr(text.size() > 3000 ? text.size() - 3000 : 0);
  };
  EXPECT_EQ(failed, 0) << "first: " << firstFailure << "\nserver output:\n" << tail("server.out") << "\nlog:\n" << tail("log");
  ASSERT_TRUE(server.AllJobsEnded("lab")) << tail("server.out");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(server.Run({"status"}).status, 0) << "the server is gone";

  int printed = 0;
  for (int n = 0; n < kJobs; ++n) {
    const std::string label = server.Output("load-" + std::to_string(n));
    size_t prints = 0;
    for (size_t at = label.find("PRINT 1,"); at != std::string::npos; at = label.find("PRINT 1,", at + 1)) ++prints;
    EXPECT_EQ(prints, 1u) << "load-" << n;
    EXPECT_TRUE(HasSize(label, 50, 20 + n)) << "load-" << n << ": " << label.substr(0, 40);
    printed += prints == 1;
  }
  EXPECT_EQ(printed, kJobs);
  const std::string log = server.Log();
  EXPECT_EQ(StartedTwice(log), std::vector<std::string>{});
  EXPECT_EQ(log.find("Unable to write raster line"), std::string::npos);
  for (int c = 0; c < kClients; ++c) ExpectStartedInOrder(log, sentIds[c], "client " + std::to_string(c));
  std::cout << "[ load     ] " << printed << " jobs printed in " << seconds << " s (" << printed / seconds
            << " jobs/s), " << busy << " busy answers retried\n";
}

// Whether the saved state has the printer `name` whole: its <Printer ...> line and, after
// it, the </Printer> that closes it.
bool HasPrinter(const std::string &state, const std::string &name) {
  const std::regex printer("(^|\n)<Printer [^\n]* name=\"" + name + "\"[^\n]*>\n");
  std::smatch match;
  return std::regex_search(state, match, printer) &&
         state.find("\n</Printer>\n", static_cast<size_t>(match.position(0))) != std::string::npos;
}

// The server killed at any moment while jobs print and the state is saved again and
// again: the state file is always whole (both printers in it), the server starts from
// it, and a job that was printing when it was killed comes back ended, not stuck.
TEST(PrinterAppJobs, KeepStateWholeThroughCrashes) {
  SKIP_WITHOUT_IPPTOOL();
  AppServer server(TestPort(kStatePort));
  server.Start();
  server.AddPrinter("first", "vantel_203dpi");
  server.AddPrinter("second", "vantel_300dpi");
  server.Stop();
  const std::string png = server.Keep("c.png", EncodePng(PatternImage(800, 1200, 1)));

  // The state in use is never written in place: a second name for the file keeps the
  // state as it was before the next save, whole.
  const std::string statePath = server.Path("vantel-printer-app.state"), before = ReadFile(statePath);
  ASSERT_EQ(link(statePath.c_str(), server.Path("state.before").c_str()), 0);
  server.Start();
  server.Print("first", "saved", "image/png", png);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ReadFile(statePath) == before && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_NE(ReadFile(statePath), before) << "no state saved after a job";
  EXPECT_EQ(ReadFile(server.Path("state.before")), before);
  server.Kill();

  std::mt19937 random(5);
  for (int round = 0; round < 6; ++round) {
    server.Start();
    std::atomic<bool> stop{false};
    std::thread client([&] {
      IppClient ipp(TestPort(kStatePort));
      for (int n = 0; !stop; ++n)
        ipp.Print(server.PrinterUri(n % 2 ? "first" : "second"), "crash-" + std::to_string(round) + "-" + std::to_string(n),
                  "image/png", png, 50, 30);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200 + random() % 800));
    server.Kill();
    stop = true;
    client.join();
    const std::string state = ReadFile(server.Path("vantel-printer-app.state"));
    EXPECT_TRUE(HasPrinter(state, "first")) << "round " << round << ":\n" << state;
    EXPECT_TRUE(HasPrinter(state, "second")) << "round " << round;
  }
  server.Start();
  for (const char *printer : {"first", "second"}) {
    EXPECT_TRUE(server.AllJobsEnded(printer)) << printer << ": a job is stuck";
    const Attributes ok = server.Print(printer, std::string("after-") + printer, "image/png", png);
    EXPECT_EQ(ok.at("job-state"), "completed") << printer;
  }
}

// A job that waits for a printer that can't be reached (nothing listens on its port)
// ends when it is cancelled.
TEST(PrinterAppJobs, CancelAJobThatCannotPrint) {
  SKIP_WITHOUT_IPPTOOL();
  AppServer server(TestPort(kCancelPort));
  server.Start();
  const CommandResult added = server.Run({"add", "-d", "gone", "-m", "vantel_203dpi", "-v",
                                          "socket://127.0.0.1:" + std::to_string(TestPort(kNobodyPort))});
  ASSERT_EQ(added.status, 0) << added.output;
  IppClient client(TestPort(kCancelPort));
  const auto [status, id] = client.Print(server.PrinterUri("gone"), "waits", "image/png",
                                         server.Keep("w.png", EncodePng(PatternImage(40, 20, 1))), 50, 30);
  ASSERT_EQ(status, IPP_STATUS_OK);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  server.Run({"cancel", "-d", "gone", "-j", std::to_string(id)});
  EXPECT_TRUE(server.AllJobsEnded("gone"));
}

// A second server started on the port of a running one fails at once with a message,
// and leaves the running one its sub-commands' socket.
TEST(PrinterAppJobs, RefuseAPortInUse) {
  SKIP_WITHOUT_IPPTOOL();
  AppServer server(TestPort(kPortInUsePort));
  server.Start();
  // The same state folder, so the same socket for the sub-commands; a time limit, for
  // a second server that would run on.
  std::vector<std::string> argv{"timeout", "30"};
  for (const std::string &word : server.ServerCommand(TestPort(kPortInUsePort))) argv.push_back(word);
  const CommandResult second = RunCommand(argv);
  EXPECT_NE(second.status, 0);
  EXPECT_NE(second.status, 124) << "the second server ran on";
  EXPECT_NE(second.output.find("Unable to listen on '127.0.0.1' port " + std::to_string(TestPort(kPortInUsePort))),
            std::string::npos)
      << second.output;
  const CommandResult status = server.Run({"status"});
  EXPECT_EQ(status.status, 0) << status.output;
}

// Every input the app's fuzzers keep (seeds and the inputs of fixed findings) is sent to
// the real server as the document it stands for, so the sanitizer build of the suite
// replays them through PAPPL too: each job ends, and the server stays up.
TEST(PrinterAppJobs, ReplayFuzzInputs) {
  SKIP_WITHOUT_IPPTOOL();
  AppServer server(TestPort(kFuzzReplayPort));
  server.Start();
  server.AddPrinter("lab", "vantel_203dpi");
  struct Kind {
    const char *folder, *format;
  } kinds[] = {{"app_png", "image/png"}, {"app_jpeg", "image/jpeg"}, {"app_pdf", "application/pdf"},
               {"app_raster", "image/pwg-raster"}};
  int sent = 0;
  for (const Kind &kind : kinds) {
    for (const char *folder : {"/fuzz/corpus/", "/fuzz/regressions/"}) {
      const std::string dir = std::string(SOURCE_DIR) + folder + kind.folder;
      DIR *d = opendir(dir.c_str());
      if (!d) continue;
      while (dirent *entry = readdir(d)) {
        if (entry->d_name[0] == '.') continue;
        const std::string path = dir + "/" + entry->d_name;
        const Attributes ended = server.Print("lab", "replay-" + std::to_string(++sent), kind.format, path);
        const std::string state = ended.count("job-state") ? ended.at("job-state") : "";
        EXPECT_TRUE(state == "completed" || state == "aborted") << path << ": " << state;
      }
      closedir(d);
    }
  }
  EXPECT_GT(sent, 10);
  EXPECT_EQ(server.Run({"status"}).status, 0) << "the server is gone";
}

}  // namespace
