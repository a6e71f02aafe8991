// Throughput of the serial link: 4096-byte request payloads through ZLINKSER's block protocol to
// the serial board on a virtual port, paced at 115 200 Bd (a line of 11 520 bytes per second at
// 10 bits a byte) and unpaced (the software alone). "efficiency" is payload bytes per second
// divided by 11 520.
#include "../src/Comm.h"

#include <sim/BoardModel.h>
#include <sim/HexBuilder.h>
#include <sim/SerialBoard.h>

#include <platform/registry.h>
#include <platform/serial.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kKey = "SOFTWARE\\Bench\\SerialLink";
constexpr double kLineBytesPerSecond = 11520.0;
constexpr size_t kPayload = 4096;

void SetText(HKEY k, const char* name, const std::string& value) {
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
}
void SetDword(HKEY k, const char* name, DWORD value) {
  RegSetValueEx(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
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

bool Exchange(CComm& comm, const std::vector<uint8_t>& frame, size_t replyLength) {
  if (comm.WriteFrame(frame.data(), static_cast<int>(frame.size())) != static_cast<int>(frame.size())) return false;
  size_t got = 0;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  uint8_t buf[512];
  for (;;) {
    got += static_cast<size_t>(comm.Read(buf, sizeof buf));
    if (got >= replyLength) return true;
    if (std::chrono::steady_clock::now() > limit) return false;
    WaitForSingleObject(comm.GetEvent(), 100);
  }
}

void SerialLink(benchmark::State& state, bool pacing) {
  const std::string dir = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/bench_serial_link_" +
                          std::to_string(getpid()) + "_";
  const auto files = sim::hex::SyntheticFiles("3.10");
  sim::hex::WriteTextFile(dir + "b1.hex", files.bootFile1);
  sim::hex::WriteTextFile(dir + "b2.hex", files.bootFile2);
  sim::hex::WriteTextFile(dir + "fw.hex", files.firmware);
  HKEY k = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\Parameter").c_str(), &k);
  SetText(k, "BootFile1", dir + "b1.hex");
  SetText(k, "BootFile2", dir + "b2.hex");
  SetText(k, "Firmware", dir + "fw.hex");
  SetDword(k, "ComPort", 3);
  SetDword(k, "Baudrate", 115200);
  SetDword(k, "ResetType", 0);
  RegCloseKey(k);

  sim::BoardModel model;
  auto board = std::make_shared<sim::SerialBoard>(model);
  kvp::RegisterVirtualComPort(3, board, kvp::VirtualPortOptions{pacing});
  {
    CComm comm;
    if (comm.Init(kKey, nullptr) != 0) {
      state.SkipWithError("link did not start");
    } else {
      // Block size 240 on both ends: the board takes it from command 01, applied after its reply.
      comm.SetSerialBlocksize(240);
      Exchange(comm, Frame({0x01, 240}), 7);
      std::vector<uint8_t> payload(kPayload, 0x00);
      payload[0] = 0x02;
      payload[1] = 0x02;
      const auto frame = Frame(payload);
      size_t bytes = 0;
      for (auto _ : state) {
        if (!Exchange(comm, frame, 8)) {
          state.SkipWithError("no reply");
          break;
        }
        bytes += kPayload;
      }
      state.SetBytesProcessed(static_cast<int64_t>(bytes));
      state.counters["efficiency"] =
          benchmark::Counter(static_cast<double>(bytes) / kLineBytesPerSecond, benchmark::Counter::kIsRate);
    }
    comm.CloseLink();
  }
  kvp::UnregisterVirtualComPort(3);
  for (const char* f : {"b1.hex", "b2.hex", "fw.hex"}) unlink((dir + f).c_str());
}

}  // namespace

BENCHMARK_CAPTURE(SerialLink, paced_115200, true)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(SerialLink, unpaced, false)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  // A registry of the bench's own, never the user's.
  const std::string store = "/tmp/bench_serial_link_" + std::to_string(getpid()) + ".db";
  setenv("KV_REGISTRY_MACHINE", store.c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* suffix : {"", "-wal", "-shm"}) unlink((store + suffix).c_str());
  return 0;
}
