#include "tests/support/virtual_printer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace {

std::string Count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return std::to_string(n);
}

}  // namespace

int ConnectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

VirtualPrinter::VirtualPrinter(int port, const std::vector<std::string> &args) : port_(port) {
  std::vector<std::string> argv = {VIRTUAL_PRINTER_PATH, "--port", std::to_string(port),
                                   "-o", dir_.path + "/labels", "--log", dir_.path + "/log",
                                   "--control", dir_.path + "/control"};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = fork();
  if (pid_ == 0) {
    std::vector<char *> raw;
    for (std::string &a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 1);
    execv(raw[0], raw.data());
    _exit(127);
  }
  // It logs that it listens (or is offline) once the socket takes connections.
  for (int i = 0; i < 250; ++i) {
    const std::string log = Log();
    if (log.find("listening on") != std::string::npos || log.find("offline") != std::string::npos)
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

VirtualPrinter::~VirtualPrinter() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
}

void VirtualPrinter::SetFaults(const std::string &orders) {
  const std::string before = Count(Log(), "faults: ");
  WriteFile(dir_.path + "/control", orders);
  for (int i = 0; i < 100 && Count(Log(), "faults: ") == before; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::vector<std::string> VirtualPrinter::Printed() const {
  std::vector<std::string> lines;
  std::istringstream text(ReadFile(dir_.path + "/labels/printed.log"));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> VirtualPrinter::PrintedAtLeast(size_t count) const {
  // A job counts as done once its last byte is sent; the printer may still be drawing it.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<std::string> lines = Printed();
  while (lines.size() < count && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    lines = Printed();
  }
  return lines;
}

std::string VirtualPrinter::Log() const { return ReadFile(dir_.path + "/log"); }

std::string VirtualPrinter::LabelPath(int number) const {
  char name[32];
  snprintf(name, sizeof name, "/labels/label-%06d.png", number);
  return dir_.path + name;
}

Exchange SendToPrinter(int port, const std::string &bytes, double wait) {
  Exchange exchange;
  const int fd = ConnectTo(port);
  if (fd < 0) return exchange;
  exchange.connected = true;
  while (exchange.sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + exchange.sent, bytes.size() - exchange.sent,
                           MSG_NOSIGNAL);
    if (n <= 0) break;
    exchange.sent += n;
  }
  shutdown(fd, SHUT_WR);
  pollfd in{fd, POLLIN, 0};
  char chunk[256];
  while (poll(&in, 1, static_cast<int>(wait * 1000)) > 0) {
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    exchange.answer.append(chunk, n);
  }
  close(fd);
  return exchange;
}
