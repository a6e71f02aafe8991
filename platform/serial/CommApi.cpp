// The comm functions, the "\\.\COMn" namespace and the port table.
#include "SerialPort.h"
#include "TtyPort.h"
#include "VirtualPort.h"

#include <platform/registry.h>
#include <platform/unique.h>

#include <cstdlib>
#include <map>
#include <set>
#include <strings.h>

namespace kvp::serial {

namespace {

struct VirtualEntry {
  std::shared_ptr<SerialPeer> peer;
  VirtualPortOptions options;
};

struct PortTable {
  std::mutex mu;
  std::map<int, VirtualEntry> virtualPorts;
  std::set<int> open;  // ports with an open handle: a second open is refused
};

PortTable& Ports() {
  static PortTable* table = new PortTable;  // used until the process ends
  return *table;
}

// "\\.\COM12" or "COM12" -> 12; 0 when the name is not a COM port.
int PortNumber(const std::string& path) {
  std::string name = path;
  if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
  if (name.size() < 4 || strncasecmp(name.c_str(), "COM", 3) != 0) return 0;
  int number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000) return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

std::string TtyOfPort(int number) {
  UniqueHKey key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
  char path[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  const std::string value = "COM" + std::to_string(number);
  const LONG rc = RegQueryValueEx(key.get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  return rc == ERROR_SUCCESS && type == REG_SZ ? std::string(path) : std::string();
}

std::shared_ptr<SerialPort> Lookup(HANDLE h) { return LookupHandle<SerialPort>(h); }

}  // namespace

std::shared_ptr<FileObject> OpenComPort(const std::string& path, DWORD flags, DWORD* error) {
  const int number = PortNumber(path);
  if (number <= 0) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  VirtualEntry entry;
  {
    std::lock_guard lock(Ports().mu);
    if (Ports().open.count(number)) {
      *error = ERROR_ACCESS_DENIED;
      return nullptr;
    }
    auto it = Ports().virtualPorts.find(number);
    if (it != Ports().virtualPorts.end()) entry = it->second;
    Ports().open.insert(number);
  }
  std::shared_ptr<SerialPort> port;
  if (entry.peer) {
    port = std::make_shared<VirtualPort>(flags, entry.peer, entry.options);
  } else if (const std::string tty = TtyOfPort(number); !tty.empty()) {
    port = TtyPort::Open(tty, flags, error);
  } else {
    *error = ERROR_FILE_NOT_FOUND;
  }
  if (!port) {
    std::lock_guard lock(Ports().mu);
    Ports().open.erase(number);
    return nullptr;
  }
  port->SetCloseHook([number] {
    std::lock_guard lock(Ports().mu);
    Ports().open.erase(number);
  });
  return port;
}

}  // namespace kvp::serial

namespace kvp {

bool RegisterVirtualComPort(int number, std::shared_ptr<SerialPeer> peer, VirtualPortOptions options) {
  if (number <= 0 || !peer) return false;
  std::lock_guard lock(serial::Ports().mu);
  serial::Ports().virtualPorts[number] = serial::VirtualEntry{std::move(peer), options};
  return true;
}

void UnregisterVirtualComPort(int number) {
  std::lock_guard lock(serial::Ports().mu);
  serial::Ports().virtualPorts.erase(number);
}

namespace {
// "\\.\COMn" belongs to the serial ports from the start.
const bool kComNamespace = [] {
  RegisterFileNamespace("\\\\.\\COM", [](const std::string& path, DWORD, DWORD, DWORD, DWORD flags, DWORD* error) {
    return serial::OpenComPort(path, flags, error);
  });
  return true;
}();
}  // namespace

}  // namespace kvp

extern "C" {

PLATFORM_API BOOL SetCommMask(HANDLE port, DWORD mask) {
  auto p = kvp::serial::Lookup(port);
  if (!p) return FALSE;
  p->SetMask(mask);
  return TRUE;
}

PLATFORM_API BOOL GetCommMask(HANDLE port, LPDWORD mask) {
  auto p = kvp::serial::Lookup(port);
  if (!p || !mask) return FALSE;
  *mask = p->GetMask();
  return TRUE;
}

PLATFORM_API BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts) {
  auto p = kvp::serial::Lookup(port);
  if (!p || !timeouts) return FALSE;
  *timeouts = p->GetTimeouts();
  return TRUE;
}

PLATFORM_API BOOL SetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts) {
  auto p = kvp::serial::Lookup(port);
  if (!p || !timeouts) return FALSE;
  p->SetTimeouts(*timeouts);
  return TRUE;
}

PLATFORM_API BOOL GetCommState(HANDLE port, LPDCB dcb) {
  auto p = kvp::serial::Lookup(port);
  if (!p || !dcb) return FALSE;
  *dcb = p->GetState();
  return TRUE;
}

PLATFORM_API BOOL SetCommState(HANDLE port, LPDCB dcb) {
  auto p = kvp::serial::Lookup(port);
  if (!p || !dcb) return FALSE;
  return p->SetState(*dcb) ? TRUE : FALSE;
}

PLATFORM_API BOOL EscapeCommFunction(HANDLE port, DWORD function) {
  auto p = kvp::serial::Lookup(port);
  if (!p) return FALSE;
  return p->Escape(function) ? TRUE : FALSE;
}

PLATFORM_API BOOL PurgeComm(HANDLE port, DWORD flags) {
  auto p = kvp::serial::Lookup(port);
  if (!p) return FALSE;
  p->Purge(flags);
  return TRUE;
}

PLATFORM_API BOOL SetupComm(HANDLE port, DWORD, DWORD) { return kvp::serial::Lookup(port) ? TRUE : FALSE; }

}  // extern "C"
