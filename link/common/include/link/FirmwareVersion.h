// Firmware version texts: the text in a firmware file, and the comparison of the board's text
// with it.
#pragma once

#include <link/LinkExports.h>

#include <string>
#include <string_view>

namespace kvlink {

// Results of a firmware comparison.
inline constexpr int kVersionNoAnswer = 0;   // no usable answer from the board
inline constexpr int kVersionSame = 1;       // same firmware
inline constexpr int kVersionFileNewer = 2;  // the file is newer, or the board must be loaded
inline constexpr int kVersionBoardNewer = 3; // the board is newer, or not running application firmware

// The text after "Version " in `tail`: the run of letters, digits, '.', '_' and '-' that follows.
// Empty without the marker.
std::string VersionTextAfterMarker(std::string_view tail);

// The version text of a firmware file, looked for in its last 40 bytes; empty when the file, the
// seek (a file shorter than 40 bytes) or the marker is missing.
std::string ReadFileVersion(const char* windowsPath);

// The board's version text from the record, bounded to its field.
std::string BoardVersionText(const HwSwInfo& info);

// Compares version texts: kVersionSame, kVersionFileNewer or kVersionBoardNewer. Equal texts are
// the same; else numeric heads (leading digits and points, read as decimal numbers) decide, then
// the lower-cased tails (an empty tail is older than any other).
int CompareVersionTexts(const std::string& board, const std::string& file);

// The whole comparison from a board record. The serial loader reads the status 0x0008 as a board
// that must be loaded; the USB side reads it like any other status without the application byte.
enum class StatusRule { Serial, Usb };
int CompareFirmwareVersion(const HwSwInfo& info, const std::string& fileText, StatusRule rule);

}  // namespace kvlink
