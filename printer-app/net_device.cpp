#include "printer-app/net_device.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "cupsutil/cups_handles.h"

namespace {

constexpr int kDefaultPort = 9100;
constexpr int kConnectTimeoutMs = 30000;  // as long as PAPPL's own socket device waits
constexpr int kReadTimeoutMs = 10000;

struct network_t {
  std::string host;
  int port = kDefaultPort;
  int fd = -1;
  uint64_t connection = 0;
};

// The devices this file opened: PAPPL hands a device's data back as a bare pointer, and
// only these are network_t.
std::mutex g_openLock;
std::set<const void *> g_open;
std::atomic<uint64_t> g_connections{0};

network_t *Network(pappl_device_t *device) {
  void *data = papplDeviceGetData(device);
  std::lock_guard lock(g_openLock);
  return g_open.count(data) ? static_cast<network_t *>(data) : nullptr;
}

// A connection to the printer within `timeoutMs`, or -1 with the reason in `error`.
int Connect(const network_t &network, int timeoutMs, std::string &error) {
  char service[16];
  snprintf(service, sizeof service, "%d", network.port);
  const AddrListPtr addresses{httpAddrGetList(network.host.c_str(), AF_UNSPEC, service)};
  if (!addresses) {
    error = cupsLastErrorString();
    return -1;
  }
  int fd = -1;
  if (!httpAddrConnect2(addresses.get(), &fd, timeoutMs, nullptr)) {
    error = cupsLastErrorString();
    return -1;
  }
  return fd;
}

bool OpenNetwork(pappl_device_t *device, const char *uri, const char *) try {
  char scheme[32], user[256], host[256], resource[256];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, user, sizeof user, host, sizeof host,
                      &port, resource, sizeof resource) < HTTP_URI_STATUS_OK) {
    papplDeviceError(device, "Bad device URI '%s'.", uri);
    return false;
  }
  auto *network = new network_t{host, port > 0 ? port : kDefaultPort};
  std::string error;
  network->fd = Connect(*network, kConnectTimeoutMs, error);
  if (network->fd < 0) {
    papplDeviceError(device, "Unable to connect to '%s:%d': %s", network->host.c_str(), network->port,
                     error.c_str());
    delete network;
    return false;
  }
  network->connection = ++g_connections;
  {
    std::lock_guard lock(g_openLock);
    g_open.insert(network);
  }
  papplDeviceSetData(device, network);
  return true;
} catch (const std::bad_alloc &) {
  papplDeviceError(device, "Unable to allocate memory for the network device.");
  return false;
}

void CloseNetwork(pappl_device_t *device) {
  network_t *network = Network(device);
  if (!network) return;
  {
    std::lock_guard lock(g_openLock);
    g_open.erase(network);
  }
  close(network->fd);
  delete network;
  papplDeviceSetData(device, nullptr);
}

ssize_t ReadNetwork(pappl_device_t *device, void *buffer, size_t bytes) {
  network_t *network = Network(device);
  if (!network) return -1;
  pollfd in{network->fd, POLLIN, 0};
  int ready;
  while ((ready = poll(&in, 1, kReadTimeoutMs)) < 0 && errno == EINTR) {
  }
  if (ready < 1) return -1;
  ssize_t got;
  while ((got = recv(network->fd, buffer, bytes, 0)) < 0 && errno == EINTR) {
  }
  return got;
}

// Every byte or -1; a printer gone away is an error, never a SIGPIPE.
ssize_t WriteNetwork(pappl_device_t *device, const void *buffer, size_t bytes) {
  network_t *network = Network(device);
  if (!network) return -1;
  const auto *bytesLeft = static_cast<const char *>(buffer);
  size_t sent = 0;
  while (sent < bytes) {
    const ssize_t written = send(network->fd, bytesLeft + sent, bytes - sent, MSG_NOSIGNAL);
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return -1;
    }
    sent += static_cast<size_t>(written);
  }
  return static_cast<ssize_t>(sent);
}

}  // namespace

void AddNetworkDevice() {
  // PAPPL adds its own schemes when a device is first looked up; they are made first, so
  // that this one takes the place of its socket scheme and the others stay.
  papplDeviceIsSupported("socket://localhost");
  papplDeviceAddScheme2("socket", PAPPL_DEVTYPE_SOCKET, nullptr, OpenNetwork, CloseNetwork, ReadNetwork,
                        WriteNetwork, nullptr, nullptr, nullptr);
}

int NetworkSocket(pappl_device_t *device) {
  const network_t *network = Network(device);
  return network ? network->fd : -1;
}

uint64_t NetworkConnection(pappl_device_t *device) {
  const network_t *network = Network(device);
  return network ? network->connection : 0;
}

bool ReconnectNetwork(pappl_device_t *device, int timeoutMs) {
  network_t *network = Network(device);
  if (!network) return false;
  std::string error;
  const int fd = Connect(*network, timeoutMs, error);
  if (fd < 0) return false;
  close(network->fd);
  network->fd = fd;
  network->connection = ++g_connections;
  return true;
}
