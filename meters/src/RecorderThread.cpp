// The recorder thread's work on its job: saturation limits, then either the direct recording read
// back from the board in blocks, or the conversion of the rings the acquisition path filled.
#include <meters/Recorder.h>

#include <core/Messages.h>

#include <platform/sync.h>

#include <vector>

bool RecorderJob::StopRequested() const { return WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0; }

void RecorderJob::Post(UINT message, WPARAM wParam) const {
  if (window && !cancelled.load()) PostMessage(window, message, wParam, 0);
}

namespace {

int ReadSaturation(const RecorderJob& job, uint16_t channel, int16_t* upper, int16_t* lower) {
  if (job.engineTester) return job.library.mtOscilloscope->ReadSaturationData(channel, upper, lower);
  if (job.library.oscilloscope) return job.library.oscilloscope->ReadSaturationData(channel, upper, lower);
  return -1;
}

int WaitData(const RecorderJob& job, uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* last) {
  if (job.engineTester) return job.library.mtOscilloscope->WaitData(capacity, samples, count, last);
  if (job.library.oscilloscope) return job.library.oscilloscope->WaitData(capacity, samples, count, last);
  return -1;
}

// The raw limits of a record's own channel; an inverted channel's limits swap sides.
void ReadLimits(const RecorderJob& job, RecorderJobRecord& r) {
  int16_t upper = 0x7FFF, lower = -0x8000;
  ReadSaturation(job, static_cast<uint16_t>(r.channel), &upper, &lower);
  const double full = r.fullScale;
  if (r.inverted) {
    r.upperValue = -full * lower / 32767.0;
    r.lowerValue = -full * upper / 32767.0;
    r.rawUpper = static_cast<SHORT>(lower == -32768 ? 32767 : -lower);
    r.rawLower = static_cast<SHORT>(-upper);
  } else {
    r.upperValue = full * upper / 32767.0;
    r.lowerValue = full * lower / 32767.0;
    r.rawUpper = upper;
    r.rawLower = lower;
  }
}

}  // namespace

void RecorderJob::Run(HANDLE stop) {
  stopEvent = stop;
  for (RecorderJobRecord& r : records) ReadLimits(*this, r);

  if (!records.empty() && records[0].roll == 0 && records[0].direct == 1) {
    const size_t n = records.size();
    std::vector<int16_t> block(CRecorder::BLOCK_SAMPLES);
    const long long capacity = records[0].ring.GetCapacity();
    const long long count0 = records[0].pointCount;
    long long t = 0;
    size_t slot = 0;  // record of the next sample: a block may end inside a frame
    int errors = 0;
    while (t < capacity) {
      if (StopRequested()) {
        outcome.store(STOPPED);
        running.store(0);
        return;
      }
      uint32_t count = 0;
      uint8_t last = 0;
      if (WaitData(*this, CRecorder::BLOCK_SAMPLES, block.data(), &count, &last) != 0) {
        if (errors++ >= CRecorder::MAX_READ_ERRORS) {
          readErrors = 1;
          break;
        }
        continue;
      }
      if (count > CRecorder::BLOCK_SAMPLES) count = CRecorder::BLOCK_SAMPLES;
      for (uint32_t i = 0; i < count && t < capacity; ++i) {
        RecorderJobRecord& r = records[slot];
        const int s = r.inverted ? -1 : 1;
        int raw = block[i];
        if (s * raw > r.rawUpper) raw = s * r.rawUpper;
        if (s * raw < r.rawLower) raw = s * r.rawLower;
        const int stored = s * raw;
        // Nothing past the announced count: a full ring would drop its oldest samples.
        if (r.ring.GetCount() < r.ring.GetCapacity()) r.ring.append(static_cast<SHORT>(stored > 32767 ? 32767 : stored));
        if (++slot == n) {
          slot = 0;
          ++t;
        }
      }
      Post(WM_ANALYZERNOTIFY, count0 > 0 ? static_cast<WPARAM>(t * 100 / count0) : 0);
      if (last) break;
    }
  }

  // Finished records hold their samples in order, with no room beyond them.
  for (RecorderJobRecord& r : records) {
    r.ring.Compact();
    if (!(records[0].roll == 0 && records[0].direct == 1)) r.pointCount = r.ring.GetCount();
  }
  outcome.store(FINISHED);
  running.store(0);
  Post(WM_ANALYZERRESET, 0);
}
