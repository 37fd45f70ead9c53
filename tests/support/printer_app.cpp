#include "tests/support/printer_app.h"
#include "tests/support/virtual_printer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

extern char **environ;

namespace {

// Every wait has a deadline.
constexpr auto kDeadline = std::chrono::seconds(90);

pid_t Spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env,
            const std::string &outPath) {
  std::vector<std::string> environment;
  for (char **e = environ; *e; ++e) environment.push_back(*e);
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char *> args, envp;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string &e : environment) envp.push_back(const_cast<char *>(e.c_str()));
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  return pid;
}

bool Answers(int port) {
  const int fd = ConnectTo(port);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

// The program under test; VANTEL_TEST_APP names another build of it (an older one, to
// compare what it prints).
std::string AppPath() {
  const char *other = getenv("VANTEL_TEST_APP");
  return other && *other ? other : APP_PATH;
}

std::string Quote(const std::string &text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string> &argv, const std::vector<std::string> &env) {
  TempDir dir;
  const std::string outPath = dir.path + "/out";
  const pid_t pid = Spawn(argv, env, outPath);
  int wstatus = 0;
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  while (waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      ADD_FAILURE() << argv[0] << " did not end within 90 s and was killed";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus), ReadFile(outPath)};
}

bool HaveCommand(const char *command) {
  return RunCommand({"sh", "-c", std::string("command -v ") + command}).status == 0;
}

AppServer::AppServer(int port) : port_(port) {
  chmod(dir_.path.c_str(), 0755);
  mkdir(OutDir().c_str(), 0755);
}

AppServer::~AppServer() { Stop(); }

std::vector<std::string> AppServer::ServerCommand(int port) const {
  return {"bash", PRIVATE_APP, "server", AppPath(), dir_.path, std::to_string(port)};
}

void AppServer::Start(const std::string &logLevel) {
  std::vector<std::string> argv = ServerCommand(port_);
  argv.insert(argv.end(), {"-o", "log-level=" + logLevel});
  pid_ = Spawn(argv, {}, Path("server.out"));
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  while (std::chrono::steady_clock::now() < end) {
    if (Answers(port_) && Run({"status"}).status == 0) return;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("the server exited at start: " + ReadFile(Path("server.out")));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  throw std::runtime_error("the server did not answer within 90 s");
}

void AppServer::Stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  while (std::chrono::steady_clock::now() < end && waitpid(pid_, nullptr, WNOHANG) == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (waitpid(pid_, nullptr, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

void AppServer::Kill() {
  if (pid_ < 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

CommandResult AppServer::Run(const std::vector<std::string> &args) const {
  std::vector<std::string> argv{"bash", PRIVATE_APP, "run", AppPath(), dir_.path};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv);
}

void AppServer::AddPrinter(const std::string &name, const std::string &driver, const std::string &uri) const {
  const CommandResult added =
      Run({"add", "-d", name, "-m", driver, "-v", uri.empty() ? "file://" + OutDir() + "?ext=prn" : uri});
  ASSERT_EQ(added.status, 0) << added.output;
}

std::string AppServer::PrinterUri(const std::string &name) const {
  return "ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/print/" + name;
}

Attributes AppServer::Ipp(const std::string &uri, const std::string &test,
                          const std::map<std::string, std::string> &vars, bool mayFail,
                          int seconds) const {
  TempDir dir;
  WriteFile(dir.path + "/t.test", test);
  std::vector<std::string> argv{"ipptool", "-tv", "-T", std::to_string(seconds)};
  for (const auto &[name, value] : vars) {
    argv.push_back(name == "filename" ? "-f" : "-d");
    argv.push_back(name == "filename" ? value : name + "=" + value);
  }
  argv.push_back(uri);
  argv.push_back(dir.path + "/t.test");
  const CommandResult result = RunCommand(argv);
  Attributes attributes;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    const size_t type = line.find(" ("), equals = line.find(") = ");
    if (type == std::string::npos || equals == std::string::npos || line.rfind("        ", 0) != 0)
      continue;
    attributes[line.substr(8, type - 8)] = line.substr(equals + 4);
  }
  if (!mayFail) {
    EXPECT_EQ(result.status, 0) << result.output;
  }
  return attributes;
}

std::string JobMediaCol(int width, int length, const std::string &members) {
  return "  ATTR collection media-col {\n    MEMBER collection media-size {\n"
         "      MEMBER integer x-dimension " + std::to_string(width) + "\n"
         "      MEMBER integer y-dimension " + std::to_string(length) + "\n    }\n" + members + "  }\n";
}

std::string IppTest(const std::string &operation, const std::string &lines) {
  return "{\n  OPERATION " + operation + "\n  GROUP operation-attributes-tag\n"
         "  ATTR charset attributes-charset utf-8\n"
         "  ATTR naturalLanguage attributes-natural-language en\n"
         "  ATTR uri printer-uri $uri\n  ATTR name requesting-user-name test\n" + lines +
         "  STATUS successful-ok\n}\n";
}

std::string AppServer::Keep(const std::string &name, const std::string &bytes) const {
  WriteFile(Path(name), bytes);
  return Path(name);
}

Attributes AppServer::Job(const std::string &printer, const std::string &id) const {
  return Ipp(PrinterUri(printer),
             IppTest("Get-Job-Attributes",
                     "  ATTR integer job-id $job_id\n"
                     "  ATTR keyword requested-attributes job-state,job-state-reasons,"
                     "job-state-message,job-impressions-completed\n"),
             {{"job_id", id}});
}

Attributes AppServer::Print(const std::string &printer, const std::string &jobName,
                            const std::string &format, const std::string &file,
                            const std::string &jobAttributes, int answerSeconds) const {
  return WaitForJob(printer, Submit(printer, jobName, format, file, jobAttributes, answerSeconds));
}

std::string AppServer::Submit(const std::string &printer, const std::string &jobName,
                              const std::string &format, const std::string &file,
                              const std::string &jobAttributes, int answerSeconds) const {
  const Attributes job = Ipp(PrinterUri(printer),
                             IppTest("Print-Job", "  ATTR name job-name " + Quote(jobName) + "\n"
                                     "  ATTR mimeMediaType document-format " + Quote(format) + "\n"
                                     "  GROUP job-attributes-tag\n" + jobAttributes +
                                     "  FILE $filename\n"),
                             {{"filename", file}}, true, answerSeconds);
  // A raster stream that breaks off mid-page holds PAPPL reading until the client hangs
  // up (or for a minute), and the client gets no answer to Print-Job: the job is then
  // found by its name.
  return job.count("job-id") ? job.at("job-id") : JobIdByName(printer, jobName);
}

bool AppServer::Ended(const Attributes &job) {
  const auto state = job.find("job-state");
  return state != job.end() &&
         (state->second == "completed" || state->second == "aborted" || state->second == "canceled");
}

Attributes AppServer::WaitForJob(const std::string &printer, const std::string &id,
                                 const std::function<bool(const Attributes &)> &done) const {
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  Attributes attributes;
  while (std::chrono::steady_clock::now() < end) {
    attributes = Job(printer, id);
    if (done(attributes)) return attributes;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ADD_FAILURE() << "job " << id << " on " << printer << " did not get there within 90 s";
  return attributes;
}

bool AppServer::AllJobsEnded(const std::string &printer) const {
  const std::string jobs = IppTest("Get-Jobs", "  ATTR keyword which-jobs not-completed\n"
                                               "  ATTR keyword requested-attributes job-id\n");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < end) {
    // An answer (it has a charset) without a job that has not ended.
    const Attributes answer = Ipp(PrinterUri(printer), jobs, {}, true);
    if (answer.count("attributes-charset") && !answer.count("job-id")) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

std::string AppServer::JobIdByName(const std::string &printer, const std::string &jobName) const {
  TempDir dir;
  WriteFile(dir.path + "/t.test",
            IppTest("Get-Jobs", "  ATTR keyword which-jobs all\n"
                                "  ATTR keyword requested-attributes job-id,job-name\n"));
  const CommandResult result = RunCommand({"ipptool", "-tv", "-T", "60", PrinterUri(printer), dir.path + "/t.test"});
  std::istringstream lines(result.output);
  // Each job's attributes come together, the name before or after the id.
  std::string id;
  bool named = false, idLast = false;
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find("job-id (integer) = ");
    if (at != std::string::npos) {
      id = line.substr(at + 19);
      if (named) return id;
      idLast = true;
    } else if (line.find("job-name (") != std::string::npos) {
      named = line.ends_with(" = " + jobName);
      if (named && idLast) return id;
      idLast = false;
    }
  }
  return "0";
}

std::string AppServer::Output(const std::string &jobName) const {
  return ReadFile(OutDir() + "/" + jobName + ".prn");
}

std::string AppServer::Log() const { return ReadFile(Path("log.O")) + ReadFile(Path("log")); }
