// Binding exports of a loaded module by name: one export as the caller's pointer type, and the
// seven exports the measurement library's link uses as one set. The measurement library's link
// binding, the tests and the benchmarks that drive a link library directly all bind this way.
#pragma once

#include <link/LinkExports.h>
#include <platform/module.h>

namespace kvlink {

// One export by name, null when the module lacks it. The pointer goes through the generic function
// pointer type: the export's real type is the caller's promise.
template <typename Proc>
Proc BindExport(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

// The seven exports of a link library that the measurement library's link calls.
struct LinkExportSet {
  LinkInitProc Init = nullptr;
  LinkDeinitProc Deinit = nullptr;
  LinkReadProc Read = nullptr;
  LinkWriteProc Write = nullptr;
  LinkGetEventProc GetEvent = nullptr;
  LinkGetHwSwInfoProc GetHwSwInfo = nullptr;
  LinkSetSerialBlocksizeProc SetSerialBlocksize = nullptr;

  // Looks all seven up, in this order, even after one is missing; true when all were found.
  bool Bind(HMODULE module) {
    bool all = (Init = BindExport<LinkInitProc>(module, "Init")) != nullptr;
    all = (Deinit = BindExport<LinkDeinitProc>(module, "Deinit")) != nullptr && all;
    all = (Read = BindExport<LinkReadProc>(module, "Read")) != nullptr && all;
    all = (Write = BindExport<LinkWriteProc>(module, "Write")) != nullptr && all;
    all = (GetEvent = BindExport<LinkGetEventProc>(module, "GetEvent")) != nullptr && all;
    all = (GetHwSwInfo = BindExport<LinkGetHwSwInfoProc>(module, "GetHwSwInfo")) != nullptr && all;
    all = (SetSerialBlocksize = BindExport<LinkSetSerialBlocksizeProc>(module, "SetSerialBlocksize")) != nullptr && all;
    return all;
  }
};

}  // namespace kvlink
