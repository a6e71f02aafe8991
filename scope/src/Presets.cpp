// The built-in oscilloscope presets, one per measure type. Every preset starts the scope with the
// cursors shown and no inversion; the device blocks are the library's own encoding of the same
// settings and are passed on unchanged where a row has them.
#include <scope/Snapshot.h>

#include <array>

namespace scope {

namespace {

struct Row {
  double pos;
  int lvl, edge, mode, roll, src, sens, rngA, rngB, posA, posB, cplA, cplB, onA, onB, prbA, prbB, tb, off, zoom;
};

// clang-format off
constexpr std::array<Row, kMeasureTypeCount> kRows{{
  {30, 130, 0, 1, 0, 0, 0, 3,   3, 50, 50, 0, 0, 1, 0, 1,   0, 10, 5, 0},  // 0
  {30, 130, 0, 1, 0, 0, 0, 3,   3, 50, 50, 0, 0, 1, 0, 1,   0, 10, 5, 0},  // 1
  {30, 130, 0, 1, 0, 0, 0, 3,   3, 50, 50, 0, 0, 1, 0, 1,   0, 10, 5, 0},  // 2
  {10, 192, 0, 0, 0, 0, 0, 1,   3, 80, 50, 0, 0, 1, 0, 1,   0,  5, 0, 3},  // 3
  {30, 130, 0, 1, 0, 0, 0, 3,   3, 50, 50, 0, 0, 1, 0, 1,   0, 10, 5, 0},  // 4
  {30, 130, 0, 1, 0, 0, 0, 3,   3, 50, 50, 0, 0, 1, 0, 1,   0, 10, 5, 0},  // 5
  {50, 144, 0, 0, 0, 0, 0, 5,   3, 50, 50, 0, 0, 1, 0, 6,   0,  5, 0, 3},  // 6
  {10, 128, 0, 1, 0, 0, 0, 7,   3, 80, 50, 0, 0, 1, 0, 11,  0, 10, 0, 0},  // 7
  {10, 128, 0, 1, 0, 0, 0, 7,   3, 80, 50, 0, 0, 1, 0, 11,  0, 12, 0, 3},  // 8
  {10, 128, 0, 1, 0, 0, 0, 7,   3, 80, 50, 0, 0, 1, 0, 11,  0, 12, 0, 3},  // 9
  {10, 128, 0, 1, 0, 0, 0, 7,   3, 80, 50, 0, 0, 1, 0, 11,  0, 11, 0, 3},  // 10
  {10, 147, 0, 2, 2, 1, 0, 3, 602, 40, 70, 0, 0, 1, 1, 1, 255,  4, 0, 3},  // 11
  {30, 130, 0, 0, 1, 0, 0, 6,   3, 80, 50, 0, 0, 1, 0, 1,   0,  1, 5, 0},  // 12
  {45, 141, 0, 1, 0, 0, 0, 2,   3, 60, 50, 0, 0, 1, 0, 1,   0,  7, 5, 0},  // 13
  {45, 140, 0, 1, 0, 0, 0, 2,   3, 60, 50, 0, 0, 1, 0, 1,   0,  8, 5, 0},  // 14
  {30, 143, 1, 1, 0, 0, 0, 4,   3, 50, 50, 0, 0, 1, 0, 1,   0,  7, 5, 0},  // 15
  {30, 143, 0, 1, 0, 0, 0, 4,   3, 50, 50, 0, 0, 1, 0, 1,   0, 10, 5, 0},  // 16
  {30, 130, 1, 1, 0, 0, 0, 3,   3, 90, 30, 0, 0, 1, 1, 1,   1,  7, 5, 0},  // 17
  {30, 181, 0, 1, 0, 0, 0, 4,   3, 70, 30, 0, 0, 1, 0, 1,   0, 10, 5, 0},  // 18
  {30, 154, 0, 1, 1, 0, 0, 5,   3, 80, 30, 0, 0, 1, 0, 1,   0,  2, 5, 0},  // 19
  {30, 154, 0, 1, 1, 0, 0, 4,   4, 50, 90, 0, 0, 1, 1, 1,   1,  2, 5, 0},  // 20
  {30, 154, 0, 1, 1, 0, 0, 6,   3, 80, 30, 0, 0, 1, 0, 1,   0,  2, 5, 0},  // 21
  {30, 154, 0, 1, 1, 0, 0, 6,   3, 80, 30, 0, 0, 1, 0, 1,   0,  2, 5, 0},  // 22
  {30, 144, 0, 1, 0, 0, 0, 2,   3, 50, 50, 0, 0, 1, 0, 1,   0,  9, 5, 0},  // 23
  {45, 134, 0, 1, 0, 0, 0, 1, 905, 50, 80, 0, 0, 1, 1, 1, 254,  9, 5, 0},  // 24
  {30, 152, 0, 1, 0, 0, 0, 3, 804, 50, 80, 0, 0, 1, 1, 1, 254,  6, 5, 0},  // 25
  {30, 128, 0, 1, 0, 0, 1, 9,   7, 50, 70, 1, 0, 1, 0, 1,   0, 10, 5, 0},  // 26
  {30, 128, 0, 1, 1, 0, 0, 6,   3, 50, 30, 0, 0, 1, 0, 1,   0,  2, 5, 0},  // 27
}};

constexpr DeviceBlock kBoard0{{1, 10, 300, 2, 625, 253, 1, 0, 0, 0, 1, 255}, {1, 3, 0, 3}};
constexpr DeviceBlock kEngineTester0{{1, 196618, 300, 2, 175, 255, 1, 0, 0, 0, 1, 255}, {1, 3, 0, 3}};
constexpr DeviceBlock kBoard11{{1, 4, 100, 4, 1484375, 252, 1, 0, 1, 0, 25, 254}, {1, 3, 1, 2}};
constexpr DeviceBlock kEngineTester3{{4, 327690, 0, 1, 100, 0, 1, 0, 0, 0, 1, 255}, {1, 1, 0, 3}};
// clang-format on

std::array<MeasureTypePreset, kMeasureTypeCount> BuildPresets() {
  std::array<MeasureTypePreset, kMeasureTypeCount> presets{};
  for (int t = 0; t < kMeasureTypeCount; ++t) {
    const Row& r = kRows[static_cast<size_t>(t)];
    SettingsSnapshot& s = presets[static_cast<size_t>(t)].m_Snapshot;
    s.m_dTriggerPosition = r.pos;
    s.m_nLevel = r.lvl;
    s.m_nEdge = r.edge;
    s.m_nTriggerMode = r.mode;
    s.m_nRollMode = r.roll;
    s.m_nSource = r.src;
    s.m_nSensitivity = r.sens;
    s.m_nRange = {r.rngA, r.rngB};
    s.m_nPosition = {r.posA, r.posB};
    s.m_nCoupling = {r.cplA, r.cplB};
    s.m_nOn = {r.onA, r.onB};
    s.m_nProbeWanted = {r.prbA, r.prbB};
    s.m_nTimeBaseIndex = r.tb;
    s.m_nWindowOffset = r.off;
    s.m_nZoom = r.zoom;
    s.m_nRunning = 1;
    s.m_nCursorsOn = 1;
    s.m_nInversion = 0;
  }
  auto giveBoard = [&](int t, const DeviceBlock& b) {
    presets[static_cast<size_t>(t)].m_Snapshot.m_Board = b;
    presets[static_cast<size_t>(t)].m_bBoardGiven = true;
  };
  auto giveEngineTester = [&](int t, const DeviceBlock& b) {
    presets[static_cast<size_t>(t)].m_Snapshot.m_EngineTester = b;
    presets[static_cast<size_t>(t)].m_bEngineTesterGiven = true;
  };
  for (int t : {0, 3, 6, 7, 8, 9, 10}) giveBoard(t, kBoard0);
  giveBoard(11, kBoard11);
  giveEngineTester(0, kEngineTester0);
  giveEngineTester(3, kEngineTester3);
  return presets;
}

}  // namespace

const MeasureTypePreset& GetMeasureTypePreset(int measureType) {
  static const std::array<MeasureTypePreset, kMeasureTypeCount> presets = BuildPresets();
  if (measureType < 0 || measureType >= kMeasureTypeCount) measureType = 0;
  return presets[static_cast<size_t>(measureType)];
}

}  // namespace scope
