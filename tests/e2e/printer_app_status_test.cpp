// The printer application printing to virtual printers (socket:// devices) that have
// faults: a job waits on a faulted printer (or one whose connection is lost), shows why,
// and goes on from its first unprinted label once the fault clears; nothing is printed
// twice, and no job that lost labels ends "completed".

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/printer_app.h"
#include "tests/support/run_filter.h"
#include "tests/support/test_ports.h"
#include "tests/support/virtual_printer.h"

namespace {

using namespace std::chrono_literals;

// Ports of their own: the app's first in the block kept for these tests, the virtual
// printers' from kPrintersPort on.
enum : int { kFaultsPort = kAppStatusPorts, kSilentPort, kLostPort, kSwitchedOffPort };
constexpr int kPrintersPort = kAppStatusPorts + 10;

// A PDF of three 2 x 1 in labels, each with a black box somewhere else.
std::string ThreeLabelPdf(const AppServer &server) {
  std::string ps = "%!PS\n";
  for (int x : {40, 150, 260})
    ps += "<< /PageSize [144 72] >> setpagedevice 72 203 div dup scale 0 setgray " +
          std::to_string(x) + " 60 80 60 rectfill showpage\n";
  WriteFile(server.Path("three.ps"), ps);
  const CommandResult made = RunCommand({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
                                         "-sDEVICE=pdfwrite", "-o", server.Path("three.pdf"),
                                         server.Path("three.ps")});
  EXPECT_EQ(made.status, 0) << made.output;
  return server.Path("three.pdf");
}

std::string PrinterReasons(const AppServer &server, const std::string &printer) {
  return server.Ipp(server.PrinterUri(printer),
                    IppTest("Get-Printer-Attributes",
                            "  ATTR keyword requested-attributes printer-state-reasons\n"))["printer-state-reasons"];
}

// The job is seen waiting on its printer.
bool Waiting(const Attributes &job) {
  return job.count("job-state-reasons") && job.at("job-state-reasons").find("printer-stopped") != std::string::npos;
}

// The job's three labels as a ready virtual printer on `port` prints them: the pictures
// every case must end with. Fewer when they did not all print.
std::vector<std::string> ReferenceLabels(const AppServer &server, const std::string &pdf, int port) {
  VirtualPrinter reference(port);
  server.AddPrinter("reference", "vantel_203dpi", reference.Uri());
  const std::string id = server.Submit("reference", "three", "application/pdf", pdf);
  EXPECT_EQ(server.WaitForJob("reference", id)["job-state"], "completed");
  std::vector<std::string> labels;
  if (reference.PrintedAtLeast(3).size() != 3u) {
    ADD_FAILURE() << reference.Log();
    return labels;
  }
  for (int n = 1; n <= 3; ++n) labels.push_back(ReadFile(reference.LabelPath(n)));
  return labels;
}

TEST(AppPrinterStatus, AJobWaitsOnAFaultAndGoesOnWithItsNextLabel) {
  AppServer server(TestPort(kFaultsPort));
  server.Start();
  const std::string pdf = ThreeLabelPdf(server);

  const std::vector<std::string> reference = ReferenceLabels(server, pdf, TestPort(kPrintersPort));
  ASSERT_EQ(reference.size(), 3u);

  struct Case {
    const char *orders;
    size_t printedWhileWaiting;
    const char *printerReason;  // as PAPPL 1.3 writes it, without -error
    const char *message;
  } cases[] = {
      {"out-of-paper-after 1\n", 1, "media-empty", "Waiting for the printer: out of paper"},
      {"head-open\n", 0, "cover-open", "Waiting for the printer: head open"},
      {"ribbon-out\n", 0, "marker-supply-empty", "Waiting for the printer: out of ribbon"},
      {"paper-jam\n", 0, "media-jam", "Waiting for the printer: paper jam"},
      {"paused\n", 0, "other", "Waiting for the printer: paused"},
  };
  int port = TestPort(kPrintersPort + 1);
  for (const Case &c : cases) {
    const std::string name = "p" + std::to_string(port);
    VirtualPrinter printer(port++);
    printer.SetFaults(c.orders);
    server.AddPrinter(name, "vantel_203dpi", printer.Uri());
    const std::string id = server.Submit(name, "three", "application/pdf", pdf);
    Attributes job = server.WaitForJob(name, id, Waiting);
    EXPECT_EQ(job["job-state"], "processing") << c.orders;
    EXPECT_EQ(job["job-state-message"], c.message) << c.orders;
    EXPECT_EQ(PrinterReasons(server, name), c.printerReason) << c.orders;
    EXPECT_EQ(printer.Printed().size(), c.printedWhileWaiting) << c.orders;

    printer.SetFaults("");
    job = server.WaitForJob(name, id);
    EXPECT_EQ(job["job-state"], "completed") << c.orders;
    EXPECT_EQ(job["job-impressions-completed"], "3") << c.orders;
    EXPECT_EQ(PrinterReasons(server, name), "none") << c.orders;
    // Every label once, in order: the pictures of the ready printer.
    ASSERT_EQ(printer.PrintedAtLeast(3).size(), 3u) << c.orders << "\n" << printer.Log();
    for (int n = 1; n <= 3; ++n)
      EXPECT_EQ(ReadFile(printer.LabelPath(n)), reference[n - 1]) << c.orders << n;
  }

  // Cancelled while it waits: the job ends, not completed, and sends nothing more.
  VirtualPrinter stuck(TestPort(kPrintersPort + 10), {"--head-open"});
  server.AddPrinter("stuck", "vantel_203dpi", stuck.Uri());
  const std::string id = server.Submit("stuck", "three", "application/pdf", pdf);
  server.WaitForJob("stuck", id, Waiting);
  server.Run({"cancel", "-d", "stuck", "-j", id});
  Attributes job = server.WaitForJob("stuck", id);
  EXPECT_EQ(job["job-state"], "canceled") << job["job-state-message"];
  EXPECT_EQ(stuck.Printed().size(), 0u);
}

TEST(AppPrinterStatus, APrinterThatNeverAnswersCostsOneTimeoutAConnection) {
  AppServer server(TestPort(kSilentPort));
  server.Start();
  const std::string pdf = ThreeLabelPdf(server);
  VirtualPrinter printer(TestPort(kPrintersPort + 20), {"--no-status"});
  server.AddPrinter("silent", "vantel_203dpi", printer.Uri());
  const auto start = std::chrono::steady_clock::now();
  const std::string id = server.Submit("silent", "three", "application/pdf", pdf);
  EXPECT_EQ(server.WaitForJob("silent", id)["job-state"], "completed");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3500ms);  // one 1 s timeout, not four
  EXPECT_EQ(printer.PrintedAtLeast(3).size(), 3u);
  const std::string log = server.Log();
  size_t notes = 0;
  for (size_t at = log.find("does not answer the status query"); at != std::string::npos;
       at = log.find("does not answer the status query", at + 1))
    ++notes;
  EXPECT_EQ(notes, 1u);
}

// A printer that drops every connection 150 000 bytes in (the first label, about 124 kB
// for the printer's 4 x 6 in label, and part of the next): each label cut short goes out
// again whole on a new connection, and the job completes with every label once, in order.
TEST(AppPrinterStatus, ALabelCutShortGoesOutAgainOnANewConnection) {
  AppServer server(TestPort(kLostPort));
  server.Start();
  const std::string pdf = ThreeLabelPdf(server);
  const std::vector<std::string> reference = ReferenceLabels(server, pdf, TestPort(kPrintersPort + 29));
  ASSERT_EQ(reference.size(), 3u);

  VirtualPrinter printer(TestPort(kPrintersPort + 30), {"--drop-after", "150000"});
  server.AddPrinter("lost", "vantel_203dpi", printer.Uri());
  const std::string id = server.Submit("lost", "three", "application/pdf", pdf);
  Attributes job = server.WaitForJob("lost", id);
  EXPECT_EQ(job["job-state"], "completed") << job["job-state-message"];
  EXPECT_EQ(job["job-impressions-completed"], "3");
  EXPECT_EQ(PrinterReasons(server, "lost"), "none");
  ASSERT_EQ(printer.PrintedAtLeast(3).size(), 3u) << printer.Log();
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(ReadFile(printer.LabelPath(n)), reference[n - 1]) << n;
  EXPECT_NE(server.Log().find("The printer is back: label 2 goes out again"), std::string::npos);
}

// A printer at real speed (about 1.5 s a 4 x 6 in label) switched off for a second during
// the job: the label under its head is lost and goes out again, and each label prints
// once, in order; the job completes only when the last is on paper.
TEST(AppPrinterStatus, APrinterSwitchedOffMidJobGetsTheLabelItLostAgain) {
  AppServer server(TestPort(kSwitchedOffPort));
  server.Start();
  const std::string pdf = ThreeLabelPdf(server);
  const std::vector<std::string> reference = ReferenceLabels(server, pdf, TestPort(kPrintersPort + 31));
  ASSERT_EQ(reference.size(), 3u);

  VirtualPrinter printer(TestPort(kPrintersPort + 32), {"--real-speed"});
  server.AddPrinter("off", "vantel_203dpi", printer.Uri());
  const std::string id = server.Submit("off", "three", "application/pdf", pdf);
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(server.Job("off", id)["job-state"], "processing");
  printer.SetFaults("offline\n");
  std::this_thread::sleep_for(1000ms);
  printer.SetFaults("");
  Attributes job = server.WaitForJob("off", id);
  EXPECT_EQ(job["job-state"], "completed") << job["job-state-message"];
  EXPECT_EQ(job["job-impressions-completed"], "3");
  ASSERT_EQ(printer.Printed().size(), 3u) << printer.Log();
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(ReadFile(printer.LabelPath(n)), reference[n - 1]) << n;
}

}  // namespace
