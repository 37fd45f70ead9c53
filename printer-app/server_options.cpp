#include "printer-app/server_options.h"

#include <netinet/in.h>

#include <cstdlib>
#include <cstring>

#include "cupsutil/cups_handles.h"

std::optional<int> ServerPort(const char *text) {
  if (!text) return 0;
  char *end = nullptr;
  const long port = strtol(text, &end, 10);
  if (*end || port < 0 || port > 65535) return std::nullopt;
  return static_cast<int>(port);
}

pappl_loglevel_t LogLevel(const char *text) {
  static const struct {
    const char *name;
    pappl_loglevel_t level;
  } levels[] = {{"fatal", PAPPL_LOGLEVEL_FATAL}, {"error", PAPPL_LOGLEVEL_ERROR}, {"warn", PAPPL_LOGLEVEL_WARN},
                {"info", PAPPL_LOGLEVEL_INFO},   {"debug", PAPPL_LOGLEVEL_DEBUG}};
  for (const auto &level : levels) {
    if (text && strcmp(text, level.name) == 0) return level.level;
  }
  return PAPPL_LOGLEVEL_WARN;
}

pappl_soptions_t ServerOptions(const char *text) {
  static const struct {
    const char *word;
    pappl_soptions_t set, clear;
  } words[] = {
      {"none", 0, ~0u},
      {"dnssd-host", PAPPL_SOPTIONS_DNSSD_HOST, 0},
      {"no-multi-queue", 0, PAPPL_SOPTIONS_MULTI_QUEUE},
      {"raw-socket", PAPPL_SOPTIONS_RAW_SOCKET, 0},
      {"usb-printer", PAPPL_SOPTIONS_USB_PRINTER, 0},
      {"no-web-interface", 0, PAPPL_SOPTIONS_WEB_INTERFACE},
      {"web-log", PAPPL_SOPTIONS_WEB_LOG, 0},
      {"web-network", PAPPL_SOPTIONS_WEB_NETWORK, 0},
      {"web-remote", PAPPL_SOPTIONS_WEB_REMOTE, 0},
      {"web-security", PAPPL_SOPTIONS_WEB_SECURITY, 0},
      {"no-tls", PAPPL_SOPTIONS_NO_TLS, 0},
  };
  pappl_soptions_t options = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE;
  for (const char *word = text; word && *word;) {
    const size_t length = strcspn(word, ",");
    for (const auto &known : words) {
      if (strlen(known.word) == length && strncmp(word, known.word, length) == 0)
        options = (options & ~known.clear) | known.set;
    }
    word += length;
    if (*word == ',') ++word;
  }
  return options;
}

bool IsLoopbackOnly(const char *hostname) {
  if (!hostname || !*hostname || strcmp(hostname, "*") == 0) return false;
  const AddrListPtr addresses{httpAddrGetList(hostname, AF_UNSPEC, "631")};
  bool loopback = addresses != nullptr;
  // Only the machine's own two addresses: the rest of 127.0.0.0/8 may be forwarded to,
  // or shared with containers, and PAPPL asks no one there for a login either.
  const auto own = [](const http_addr_t &addr) {
    if (addr.addr.sa_family == AF_INET) return addr.ipv4.sin_addr.s_addr == htonl(INADDR_LOOPBACK);
    return addr.addr.sa_family == AF_INET6 && IN6_IS_ADDR_LOOPBACK(&addr.ipv6.sin6_addr);
  };
  for (http_addrlist_t *address = addresses.get(); address; address = address->next)
    loopback = loopback && own(address->addr);
  return loopback;
}
