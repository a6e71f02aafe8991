// The library's entry: the objects are built when the module is loaded and destroyed when it is
// unloaded, and QueryInterface hands them out by id.
#include "Library.h"

#include <platform/types.h>

namespace {

struct LibraryLifetime {
  LibraryLifetime() { kv310::LibraryAttach(); }
  ~LibraryLifetime() { kv310::LibraryDetach(); }
};

LibraryLifetime g_lifetime;

}  // namespace

KV_EXPORT int QueryInterface(unsigned id, void** out) {
  void* object = kv310::InterfaceOf(id);
  if (out) *out = object;
  return object ? 1 : 0;
}
