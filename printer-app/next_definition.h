#pragma once
// The library's own definition of a function the program takes the place of (the
// program's definitions come first in the process's symbol table), for the program's
// definition to call on to. Without it the function could never do its work: the program
// stops with a message.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

template <typename Function>
Function *NextDefinition(const char *library, const char *name) {
  void *found = dlsym(RTLD_NEXT, name);
  if (!found) {
    fprintf(stderr, "vantel-printer-app: %s has no %s: %s\n", library, name, dlerror());
    abort();
  }
  return reinterpret_cast<Function *>(found);
}
