// libcups keeps the place a search for an attribute has reached in the IPP message
// itself, and PAPPL 1.3.1 searches its printers' attributes from every client's thread at
// once (checking each Print-Job's media-col against media-size-supported, for one). A
// search that another thread's search moves on, or marks as ended, finds nothing: a job
// whose size the printer takes was answered "Ignoring unsupported media-col" now and
// then and printed on the default label. The program's definitions come before the
// library's, so every search in the process goes through here, one at a time; each is a
// walk along a short list, over in microseconds.

#include <cups/ipp.h>

#include <mutex>

#include "printer-app/next_definition.h"

namespace {

using find_t = ipp_attribute_t *(ipp_t *, const char *, ipp_tag_t);

find_t *Next(const char *name) { return NextDefinition<find_t>("libcups", name); }

// A search of a member ("media-col/media-size") searches the collection inside it.
std::recursive_mutex g_search;

}  // namespace

extern "C" ipp_attribute_t *ippFindAttribute(ipp_t *ipp, const char *name, ipp_tag_t type) {
  static find_t *const next = Next("ippFindAttribute");
  std::lock_guard lock(g_search);
  return next(ipp, name, type);
}

extern "C" ipp_attribute_t *ippFindNextAttribute(ipp_t *ipp, const char *name, ipp_tag_t type) {
  static find_t *const next = Next("ippFindNextAttribute");
  std::lock_guard lock(g_search);
  return next(ipp, name, type);
}
