#include "SerialTestSupport.h"

#include <platform/clock.h>
#include <platform/debug.h>
#include <platform/registry.h>
#include <platform/serial.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace serialtest {

namespace {

// Whether a thread of this process other than the caller is running or ready to run. The clock
// moves on only while all of them wait, so a slow machine never lets virtual time run ahead of
// work in progress.
bool OthersRunnable() {
  const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return false;
  bool runnable = false;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.' || atoi(entry->d_name) == self) continue;
    char path[300];
    snprintf(path, sizeof path, "/proc/self/task/%s/stat", entry->d_name);
    FILE* f = fopen(path, "r");
    if (!f) continue;
    char buf[512] = {};
    const size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    // The state follows the parenthesised name: "tid (name) S ...".
    const char* close = static_cast<const char*>(memrchr(buf, ')', n));
    if (close && close[1] == ' ' && close[2] == 'R') {
      runnable = true;
      break;
    }
  }
  closedir(tasks);
  return runnable;
}

}  // namespace

ClockDriver::ClockDriver() {
  kvp::ClockUseVirtual(true);
  thread_ = std::thread([this] {
    int quiet = 0;
    while (!stop_) {
      // Two quiet looks in a row: a thread between two waits is not mistaken for idle.
      quiet = kvp::ClockTimedWaiters() > 0 && !OthersRunnable() ? quiet + 1 : 0;
      if (quiet >= 2) {
        kvp::ClockAdvance(1);
        quiet = 0;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
}

ClockDriver::~ClockDriver() {
  stop_ = true;
  thread_.join();
  kvp::ClockUseVirtual(false);
}

TraceCapture::TraceCapture() {
  kvp::SetDebugSink([this](const std::string& line) {
    std::lock_guard lock(mu_);
    lines_.push_back(line);
  });
}

TraceCapture::~TraceCapture() { kvp::SetDebugSink(nullptr); }

std::vector<std::string> TraceCapture::Lines() {
  std::lock_guard lock(mu_);
  return lines_;
}

int TraceCapture::Count(const std::string& text) {
  std::lock_guard lock(mu_);
  int n = 0;
  for (const auto& l : lines_) n += l.find(text) != std::string::npos ? 1 : 0;
  return n;
}

namespace {
std::string Cwd() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? std::string(buf) + "/" : std::string("./");
}

HKEY ParameterKey(const std::string& key) {
  HKEY k = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, (key + "\\Parameter").c_str(), &k);
  return k;
}

void SetText(const std::string& key, const char* name, const std::string& value) {
  HKEY k = ParameterKey(key);
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}
}  // namespace

SerialRig::SerialRig(RigOptions options) : key_(options.key) {
  files = sim::hex::SyntheticFiles(options.fileVersion, 1000, "FLASH-LOADER", options.firmwareRecordBytes);
  if (!options.firmwareInsert.empty()) {
    // After the address record and the first data record: data records follow it.
    const size_t second = files.firmware.find("\r\n", files.firmware.find("\r\n") + 2) + 2;
    files.firmware.insert(second, options.firmwareInsert);
  }
  const std::string dir = Cwd();
  sim::hex::WriteTextFile(dir + "boot1.hex", files.bootFile1);
  sim::hex::WriteTextFile(dir + "boot2.hex", files.bootFile2);
  sim::hex::WriteTextFile(dir + "flashboot.hex", files.flashBootFile);
  sim::hex::WriteTextFile(dir + "firmware.hex", files.firmware);
  options.board.bootFile1Length = files.bootFile1Length;
  board = std::make_shared<sim::SerialBoard>(model, options.board);
  kvp::RegisterVirtualComPort(kComPort, board, kvp::VirtualPortOptions{options.pacing});

  RegDeleteKey(HKEY_LOCAL_MACHINE, (key_ + "\\Parameter").c_str());
  SetText(key_, "BootFile1", dir + "boot1.hex");
  SetText(key_, "BootFile2", dir + "boot2.hex");
  SetText(key_, "FlashBootFile", dir + "flashboot.hex");
  SetText(key_, "Firmware", dir + "firmware.hex");
  SetDword("ComPort", kComPort);
  SetDword("Baudrate", 115200);
  SetDword("ResetType", static_cast<uint32_t>(options.board.resetType));
  for (const auto& [name, value] : options.dwords) SetDword(name, value);
}

SerialRig::~SerialRig() { kvp::UnregisterVirtualComPort(kComPort); }

void SerialRig::SetDword(const std::string& name, uint32_t value) {
  HKEY k = ParameterKey(key_);
  RegSetValueEx(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(k);
}

uint32_t SerialRig::GetDword(const std::string& name) {
  HKEY k = ParameterKey(key_);
  DWORD v = 0, size = sizeof v;
  RegQueryValueEx(k, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  RegCloseKey(k);
  return v;
}

std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> f;
  f.reserve(payload.size() + 5);
  f.push_back(0x01);
  f.push_back(0x00);
  f.push_back(static_cast<uint8_t>((payload.size() - 1) & 0xFF));
  f.push_back(static_cast<uint8_t>((payload.size() - 1) >> 8));
  for (uint8_t b : payload) f.push_back(b);
  f.push_back(0x02);
  return f;
}

}  // namespace serialtest
