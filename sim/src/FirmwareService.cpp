// The engine-tester firmware service 60: version (01), enter download (04), one Intel HEX line
// (03), leave download with the six correction bytes (05). In download mode the version reads
// as the loader's, which never equals a file version, so an interrupted download starts again.
// The loader takes a line only when it is one well-formed record with a correct checksum.
#include "CommandTable.h"

#include <link/IntelHex.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace sim {

namespace {

constexpr size_t kMaxVersionText = 50;  // the host reads at most 55 reply bytes
const char* const kLoaderVersion = "V-LOADER";

CommandReply Status(uint8_t sub, uint8_t status) { return {{0x60, sub, status, 0x00}, {}}; }

CommandReply Version(const BoardContext& board) {
  const BoardState& state = board.state;
  const BoardScenario& scenario = board.scenario;
  if (scenario.firmwareVersionStatus != 0)
    return {{0x60, 0x01, scenario.firmwareVersionStatus, scenario.firmwareVersionDetail}, {}};
  const std::string& text = state.downloadMode ? std::string(kLoaderVersion)
                            : state.downloaded  ? scenario.engineTesterFirmwareAfterDownload
                                                : scenario.engineTesterFirmware;
  Bytes reply{0x60, 0x01, 0x00, 0x00};
  reply.insert(reply.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), kMaxVersionText)));
  reply.push_back(0x00);
  return {std::move(reply), {}};
}

bool IsHexRecord(std::span<const uint8_t> line) {
  const std::string_view text(reinterpret_cast<const char*>(line.data()), line.size());
  // One record and nothing else: no line end may hide a second one.
  if (text.find_first_of("\r\n") != std::string_view::npos) return false;
  kvlink::HexReader reader(text);
  kvlink::HexRecord record;
  return reader.ReadHexRecord(record) == kvlink::kHexOk;
}

}  // namespace

CommandReply HandleFirmwareService(BoardContext& board, std::span<const uint8_t> request) {
  const uint8_t sub = request.size() >= 2 ? request[1] : 0x00;
  // Without the engine tester there is nobody to answer the service: status 1.
  if (!board.EngineTester()) return Status(sub, 0x01);
  BoardState& state = board.state;
  switch (sub) {
    case 0x01:
      return Version(board);
    case 0x04:
      state.downloadMode = true;
      state.linesAccepted = 0;
      return Status(sub, 0x00);
    case 0x03:
      if (!state.downloadMode || request.size() < 3) return Status(sub, 0x01);
      if (state.linesAccepted + 1 == board.scenario.refuseFirmwareLine) return Status(sub, 0x01);
      if (!IsHexRecord(request.subspan(2))) return Status(sub, 0x01);
      ++state.linesAccepted;
      return Status(sub, 0x00);
    case 0x05: {
      if (state.downloadMode) {
        state.downloadMode = false;
        state.downloaded = true;
      }
      Bytes reply{0x60, 0x05, 0x00};
      reply.insert(reply.end(), board.scenario.corrections.begin(), board.scenario.corrections.end());
      return {std::move(reply), {}};
    }
    default:
      return Status(sub, 0x01);
  }
}

}  // namespace sim
