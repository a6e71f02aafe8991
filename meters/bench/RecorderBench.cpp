// The recorder's memory and speed: live heap held by the records per sample and channel (user
// counter bytes_per_sample; the goal is at most 2.2) and samples per second (items) after
//   - a direct transfer of 2 x 100,000 samples read back through the real measurement library
//     from the instant in-process simulated board,
//   - opening a record file of 2 x 400,000 samples,
//   - converting two full rings of 400,000 samples.
// The bench runs in a private folder of its own (registry store, runtime folder, files).
#include "LinkTestSupport.h"

#include <meters/RecordFile.h>
#include <meters/Recorder.h>

#include <core/MeasureEngine.h>
#include <core/MeasureType.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <kvtest/BenchFolders.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace {

size_t LiveHeap() { return mallinfo2().uordblks; }

// The live heap the records hold: what clearing the list gives back. (The library and the
// simulated board run in this process and keep buffers of their own.)
size_t RecordsHeap() {
  const size_t held = LiveHeap();
  ClearRecordList();
  return held - LiveHeap();
}

// Waits for the transfer's end and installs it (no analyzer window: nothing is posted).
bool Finish(CRecorder& recorder) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (recorder.IsThreadRunning()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return recorder.FinishTransfer() == TRUE;
}

void Report(benchmark::State& state, size_t heap, int64_t samplesPerChannel, int channels) {
  state.counters["bytes_per_sample"] = static_cast<double>(heap) / static_cast<double>(samplesPerChannel) / channels;
  state.SetItemsProcessed(state.iterations() * samplesPerChannel * channels);
}

void BM_DirectTransfer(benchmark::State& state) {
  constexpr int kPerChannel = 100000;
  kvp::ClockUseVirtual(true);
  kvp::OpenHeadlessDisplay();
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  kv310::testing::SetSerialBlockSizeValue(-1);
  auto zlink = std::make_unique<kv310::testing::ZlinkSimBoard>();
  zlink->Board().Reset();
  zlink->Board().Update([](sim::BoardScenario& s) { s.instantAcquisition = true; });
  GetMeasureType().m_nMeasureType = 0;
  auto engine = std::make_unique<CMeasureEngine>();
  if (engine->OpenMeasuringDevice(0) != 1) {
    state.SkipWithError("the simulated board did not open");
    return;
  }
  IOscilloscope_2& osc = *engine->GetBinding().Oscilloscope();
  osc.SetSampleRateIndex(8);  // 10 kS/s: 10 s of recording per channel
  osc.SetChannelMode(0, 2);
  osc.SetChannelMode(1, 2);
  CRecorder recorder;
  const CKelo_DLL& binding = engine->GetBinding();
  const RecorderLibrary library{binding.Motortester(), binding.MTOscilloscope(), binding.Oscilloscope()};
  recorder.SetLibrary(&library);
  size_t heap = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearRecordList();
    osc.CheckSettings();
    kvp::ClockAdvance(10000);
    uint32_t recorded = 0;
    osc.StopMeasurement(&recorded);
    if (recorded != 2 * kPerChannel) {
      state.SkipWithError("unexpected recorded count");
      break;
    }
    for (int ch = 0; ch < 2; ++ch) {
      CRecord* r = AddNewRecord(nullptr);
      r->m_nChannel = static_cast<SHORT>(ch);
      r->m_dFullScale = 8.0;
      r->m_dSampleRate = 10000.0;
      r->m_bDirect = 1;
      r->m_bTransferPending = 1;
    }
    for (INT_PTR k = 0; k < 2; ++k) {
      GetRecordList()[k]->m_Ring.init(kPerChannel);
      GetRecordList()[k]->m_nPointCount = kPerChannel;
    }
    state.ResumeTiming();
    recorder.Start();
    if (!Finish(recorder)) {
      state.SkipWithError("the transfer did not finish");
      break;
    }
    state.PauseTiming();
    heap = RecordsHeap();
    state.ResumeTiming();
  }
  Report(state, heap, kPerChannel, 2);
  ClearRecordList();
  engine->CoreShutdown();
  engine.reset();
  zlink.reset();
  kvp::CloseDisplay();
  kvp::ClockUseVirtual(false);
}
BENCHMARK(BM_DirectTransfer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenFile(benchmark::State& state) {
  constexpr int kPerChannel = 400000;
  const std::string path = (std::filesystem::current_path() / "bench.rec").string();
  ClearRecordList();
  for (int ch = 0; ch < 2; ++ch) {
    CRecord* r = AddNewRecord(nullptr);
    r->m_dFullScale = 8.0;
    r->m_dSampleRate = 100000.0;
    r->m_nPointCount = kPerChannel;
    r->m_Ring.init(kPerChannel);
    for (int i = 0; i < kPerChannel; ++i) r->m_Ring.append(static_cast<SHORT>(i * 7));
  }
  if (WriteRecordFile(path.c_str()).result != RecordFileResult::Ok) {
    state.SkipWithError("the file could not be written");
    return;
  }
  size_t heap = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearRecordList();
    state.ResumeTiming();
    if (ReadRecordFile(path.c_str()).result != RecordFileResult::Ok) {
      state.SkipWithError("the file could not be read");
      break;
    }
    state.PauseTiming();
    heap = RecordsHeap();
    state.ResumeTiming();
  }
  Report(state, heap, kPerChannel, 2);
  ClearRecordList();
  std::filesystem::remove(path);
}
BENCHMARK(BM_OpenFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConvertRings(benchmark::State& state) {
  constexpr int kPerChannel = 400000;
  CRecorder recorder;
  size_t heap = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearRecordList();
    for (int ch = 0; ch < 2; ++ch) {
      CRecord* r = AddNewRecord(nullptr);
      r->m_nChannel = static_cast<SHORT>(ch);
      r->m_dFullScale = 8.0;
      r->m_bRoll = 1;
      r->m_bTransferPending = 1;
      r->m_Ring.init(kPerChannel);
      // More than the ring holds, with a gap pair after every 1000 samples, as the engine feeds.
      for (int i = 0; i < kPerChannel + 12345; ++i) r->m_Ring.append(static_cast<SHORT>(i % 1002 == 1000 ? -32768 : i % 1002 == 1001 ? 32767 : i % 5000));
    }
    state.ResumeTiming();
    recorder.Start();
    if (!Finish(recorder)) {
      state.SkipWithError("the conversion did not finish");
      break;
    }
    state.PauseTiming();
    heap = RecordsHeap();
    state.ResumeTiming();
  }
  Report(state, heap, kPerChannel, 2);
  ClearRecordList();
}
BENCHMARK(BM_ConvertRings)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // A private folder for the registry store, the runtime folder and the bench file.
  kvtest::BenchFolders folders("/tmp/bench_recorder.XXXXXX");
  if (!folders.Ok()) return 1;
  std::filesystem::current_path(folders.Root());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
