#pragma once
// The printer application's real server for end-to-end tests: started on 127.0.0.1 on a
// given port with a private state folder (its state, spool, socket and log) by
// scripts/private_app.sh, as every test starts it, and driven with its own sub-commands and
// with ipptool, as a phone or another CUPS would drive it. Every wait has a deadline.

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/run_filter.h"

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error together
};

// Runs argv[0] (found in PATH) with `env` added to this process's environment; one that
// has not ended after 90 s is killed, and the test fails.
CommandResult RunCommand(const std::vector<std::string> &argv,
                         const std::vector<std::string> &env = {});

// Whether `command` is found in PATH.
bool HaveCommand(const char *command);

// The servers are driven with ipptool.
#define SKIP_WITHOUT_IPPTOOL() \
  if (!HaveCommand("ipptool")) GTEST_SKIP() << "ipptool is not installed"

// A job's media-col (ipptool ATTR lines) of `width` x `length` hundredths of a
// millimetre, with `members` (MEMBER lines) added.
std::string JobMediaCol(int width, int length, const std::string &members = "");

// An ipptool test of one `operation` on $uri as the user "test": the operation
// attributes, then `lines` (ATTR, GROUP, FILE, DISPLAY ...), expecting successful-ok.
std::string IppTest(const std::string &operation, const std::string &lines);

// IPP attributes as ipptool -v prints them: name -> value text ("a,b" for several).
using Attributes = std::map<std::string, std::string>;

class AppServer {
 public:
  explicit AppServer(int port);
  ~AppServer();
  AppServer(const AppServer &) = delete;
  AppServer &operator=(const AppServer &) = delete;

  // Starts the server (logging at `logLevel`) and waits until it answers; stops it
  // (SIGTERM) and waits for it to exit, which saves its state. Start again resumes from
  // the same state.
  void Start(const std::string &logLevel = "debug");
  void Stop();
  // Ends the server at once (SIGKILL), as a crash would: nothing is saved.
  void Kill();

  // Runs a sub-command ("add", "status" ...) against this server.
  CommandResult Run(const std::vector<std::string> &args) const;

  // Adds a printer on the device `uri`; by default a file:// device writing one file per
  // job, named by the job, into OutDir().
  void AddPrinter(const std::string &name, const std::string &driver, const std::string &uri = "") const;

  std::string PrinterUri(const std::string &name) const;
  std::string OutDir() const { return dir_.path + "/out"; }
  std::string Path(const std::string &name) const { return dir_.path + "/" + name; }
  // Writes `bytes` as the file `name` of the state folder; gives its path.
  std::string Keep(const std::string &name, const std::string &bytes) const;

  // Runs an ipptool test (the text of a .test file) against `uri` with -d variables,
  // waiting `seconds` for each answer; gives the attributes it displays, and fails the
  // test when ipptool fails unless `mayFail`.
  Attributes Ipp(const std::string &uri, const std::string &test,
                 const std::map<std::string, std::string> &vars = {}, bool mayFail = false,
                 int seconds = 70) const;

  // Job `id`'s job-state, job-state-reasons, job-state-message and
  // job-impressions-completed.
  Attributes Job(const std::string &printer, const std::string &id) const;
  // Job(), once `done` holds for it: by default, once the job has ended (completed,
  // aborted or canceled). After 90 s the test fails and gives the last Job() read.
  Attributes WaitForJob(const std::string &printer, const std::string &id,
                        const std::function<bool(const Attributes &)> &done = Ended) const;
  static bool Ended(const Attributes &job);
  // Waits until every job of the printer has ended; false after 120 s.
  bool AllJobsEnded(const std::string &printer) const;

  // Sends `file` as job `jobName` with extra job attributes (ipptool ATTR lines); gives
  // its id. A document the server is not expected to answer (a stream cut short) is sent
  // with a short `answerSeconds`: the client then hangs up, as a real one would, and the
  // job is found by its name.
  std::string Submit(const std::string &printer, const std::string &jobName,
                     const std::string &format, const std::string &file,
                     const std::string &jobAttributes = "", int answerSeconds = 70) const;
  // Submit(), then WaitForJob() until the job has ended.
  Attributes Print(const std::string &printer, const std::string &jobName,
                   const std::string &format, const std::string &file,
                   const std::string &jobAttributes = "", int answerSeconds = 70) const;

  // The command line that runs this server's state folder's server on `port`.
  std::vector<std::string> ServerCommand(int port) const;

  // The bytes the printer got for job `jobName`.
  std::string Output(const std::string &jobName) const;

  // The server's log: PAPPL 1.4 renames a log of 1 MB to "log.O" and starts a new one,
  // so the older part first.
  std::string Log() const;

 private:
  std::string JobIdByName(const std::string &printer, const std::string &jobName) const;
  TempDir dir_;
  int port_;
  pid_t pid_ = -1;
};
