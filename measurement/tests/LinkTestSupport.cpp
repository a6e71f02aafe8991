#include "LinkTestSupport.h"

#include <link/LinkBinding.h>
#include <platform/clock.h>
#include <platform/module.h>
#include <platform/registry.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sim/ZlinkSim.h>
#include <stdexcept>
#include <thread>

namespace kv310::testing {

namespace {

HKEY CreateMachineKey(const char* path) {
  HKEY key = 0;
  if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create registry key");
  }
  return key;
}

}  // namespace

void SetLinkLibrary(const char* dllName) {
  HKEY key = CreateMachineKey("Software\\KELO\\Kv310");
  if (dllName && *dllName) {
    RegSetValueEx(key, "DLL name", 0, REG_SZ, reinterpret_cast<const BYTE*>(dllName),
                  static_cast<DWORD>(std::strlen(dllName) + 1));
  } else {
    RegDeleteValue(key, "DLL name");
  }
  RegCloseKey(key);
}

void SetSerialBlockSizeValue(int64_t value) {
  HKEY key = CreateMachineKey("Software\\KELO\\Kv310\\Parameter");
  if (value >= 0) {
    const DWORD dword = static_cast<DWORD>(value);
    RegSetValueEx(key, "SerialBlockSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword);
  } else {
    RegDeleteValue(key, "SerialBlockSize");
  }
  RegCloseKey(key);
}

ZlinkSimBoard::ZlinkSimBoard() {
  m_module = LoadLibrary(sim::kZlinkSimModule);
  if (!m_module) throw std::runtime_error("zlinksim.dll does not load");
  auto board = kvlink::BindExport<sim::ZlinkSimBoardProc>(m_module, sim::kZlinkSimBoardExport);
  if (!board) throw std::runtime_error("zlinksim.dll lacks its board export");
  m_board = board();
}

ZlinkSimBoard::~ZlinkSimBoard() { FreeLibrary(m_module); }

void AdvanceWhenWaiting(uint64_t ms, size_t waiters) {
  while (kvp::ClockTimedWaiters() < waiters) std::this_thread::sleep_for(std::chrono::microseconds(200));
  kvp::ClockAdvance(ms);
}

}  // namespace kv310::testing
