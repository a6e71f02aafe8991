// Applying a settings snapshot to GlobalProps, the control panel and the device, and the
// per-measure-type presets the scope pane applies when it is entered and captures when it is left.
#pragma once

#include <scope/MeasureTypeStore.h>
#include <scope/ScopeFiles.h>
#include <scope/Snapshot.h>
#include <scope/SnapshotControls.h>

#include <kv310/Records.h>

class CMeasureEngine;

namespace scope {

struct ApplyOptions {
  // Whether the snapshot carries a device block for each path. Without one for the active path
  // nothing is sent with SetAll and every change flag stays set, so the next run sends the
  // settings one by one.
  bool m_bBoardBlockGiven = true;
  bool m_bEngineTesterBlockGiven = true;
  // The snapshot comes from a settings file or a custom slot: its start is retried while the
  // library refuses it.
  bool m_bFromStorage = false;
};

// Applies the snapshot in a fixed order of steps: sections by measure type, trigger mode, time
// base, roll mode, inversion, the traces' time maps, cursors, probes and channels, ranges,
// positions, zoom and window offset, couplings, trigger source, position, edge, sensitivity and
// level, then the device block and the run. Each step stores its setting with its change bit and
// sends its notification as notify::kFromSnapshot. Returns 1 when applied, 0 when no device is
// open (only the sections changed). Values outside their domains are mended: level 0..256, inversion 0..3,
// trigger position at most 90, a time-base index outside the table keeps the current one, a
// range outside the probe's table falls back to the default range, then to the first.
int ApplySnapshot(SettingsSnapshot s, ISnapshotControls& controls, ISnapshotDevice& device,
                  const ApplyOptions& options = {});

// The current measure type's stored snapshot, or its built-in preset.
int ApplyMeasureTypePreset(const CMeasureTypeStore& store, ISnapshotControls& controls, ISnapshotDevice& device);

// The current settings as a snapshot: GlobalProps, the panel and the active path's GetAll.
SettingsSnapshot CaptureCurrentSnapshot(const ISnapshotControls& controls, ISnapshotDevice& device);
// Captures the current settings into the store slot of the current measure type.
void CaptureMeasureTypeSnapshot(CMeasureTypeStore& store, const ISnapshotControls& controls,
                                ISnapshotDevice& device);

// The control panel's settings-file and custom-slot commands after their dialogs. Saving
// captures the current settings; loading reads the whole file first, and only a valid snapshot
// stops the run and is applied (its start retried while the library refuses it). A failure
// carries its message and changes nothing. Slots are refused for the measure types 3 and 6..10.
FileOutcome SaveSettingsFile(const char* path, const ISnapshotControls& controls, ISnapshotDevice& device);
FileOutcome LoadSettingsFile(const char* path, ISnapshotControls& controls, ISnapshotDevice& device);
FileOutcome SaveCustomSet(const char* file, int slot, const ISnapshotControls& controls, ISnapshotDevice& device);
FileOutcome LoadCustomSet(const char* file, int slot, ISnapshotControls& controls, ISnapshotDevice& device);

// The twelve setting words and channel block converted to the libraries' settings records and
// back, field by field (a word holding two 16-bit fields keeps both).
OscSettings ToOscSettings(const DeviceBlock& block, OscChannelSetting (&channels)[2]);
MTOscSettings ToMTOscSettings(const DeviceBlock& block, OscChannelSetting (&channels)[2]);
DeviceBlock FromOscSettings(const OscSettings& s, const OscChannelSetting (&channels)[2]);
DeviceBlock FromMTOscSettings(const MTOscSettings& s, const OscChannelSetting (&channels)[2]);

// The real device: the process-wide engine, the bound library and the system sink.
class CEngineSnapshotDevice : public ISnapshotDevice {
 public:
  explicit CEngineSnapshotDevice(CMeasureEngine& engine);
  bool HasOpenDevice() const override;
  bool IsEngineTesterPath() const override;
  int GetCoilType() const override;
  void ReadProbe(int channel, CChannelProps& props) override;
  bool SetAll(bool engineTester, const DeviceBlock& block) override;
  bool GetAll(bool engineTester, DeviceBlock& block) override;
  void StartMeasurement() override;
  void StopMeasurement() override;
  void Notify(notify::Sender sender, notify::Code code, int value) override;

 private:
  CMeasureEngine& m_Engine;
};

}  // namespace scope
