// The binding of the link library that the registry names ("DLL name" under the link's key,
// machine-wide): its module and the seven exports the link uses, bound by name.
#pragma once

#include <link/LinkBinding.h>
#include <platform/module.h>

namespace kv310 {

class CommLibrary : public kvlink::LinkExportSet {
 public:
  CommLibrary() = default;
  ~CommLibrary();
  CommLibrary(const CommLibrary&) = delete;
  CommLibrary& operator=(const CommLibrary&) = delete;

  // Reads the library path, loads it and binds the seven exports. Bound() tells whether all
  // seven were found; a library that loads without them stays loaded until Free().
  void Bind(const char* registryKey);
  void Free();

  bool Bound() const { return m_bound; }
  const char* Path() const { return m_path; }
  HMODULE Module() const { return m_module; }

 private:
  void Clear();

  char m_path[260] = {};
  HMODULE m_module = 0;
  bool m_bound = false;
};

}  // namespace kv310
