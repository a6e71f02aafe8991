// Reading and writing the scope's files on disk: settings files (.oss), signal files (.osg, .osc)
// and the custom setting slots in CustomSet.dat. Every operation reads a file once (at most
// 64 KiB), parses it from memory and hands back a result only when the whole file is valid;
// a failure carries the message and icon the control panel shows, and nothing is changed.
#pragma once

#include <scope/SettingsFile.h>
#include <scope/SignalFile.h>

#include <platform/afxfile.h>
#include <platform/ole.h>
#include <platform/window.h>

#include <optional>
#include <string>

namespace scope {

inline constexpr const char kMsgCouldntOpenFile[] = "Couldn't open file: %s";
inline constexpr const char kMsgCouldntOpenSource[] = "Couldn't open source file: %s";
inline constexpr const char kMsgCannotWrite[] = "Cannot write data to file!";
inline constexpr const char kMsgCannotRead[] = "Cannot read data from file!";
inline constexpr const char kMsgSlotRefused[] = "Custom settings is imposible for this type oscilloscope.";
inline constexpr const char kMsgSlotCannotCreateFile[] = "Cannot save custom settings.\n(Cannot create file \"CustomSet.dat\")";
inline constexpr const char kMsgSlotCannotOpenFile[] = "Cannot save custom settings.\n(Cannot open file \"CustomSet.dat\")";
inline constexpr const char kMsgSlotCannotSave[] = "Cannot save custom settings.";
inline constexpr const char kMsgSlotNoFile[] =
    "Cannot load this custom settings. No custom settings was saved yet!\nFirst you must save settings.";
inline constexpr const char kMsgSlotNotSaved[] =
    "Cannot load this custom settings. This custom settings was not saved yet!\nFirst you must save settings.";
inline constexpr const char kMsgSlotCannotLoad[] = "Cannot load custom settings.";

inline constexpr const char kSettingsFilter[] = "Oscilloscope settings (*.oss)|*.oss|";
inline constexpr const char kCustomSetRelativePath[] = "\\NORVIK\\Dravix\\KV310\\CustomSet.dat";
inline constexpr int kCustomSlotCount = 10;

// What an operation ends with: success, or the text (already formatted) and icon of its box.
struct FileOutcome {
  bool m_bOk = true;
  std::string m_strMessage;
  UINT m_nIcon = 0;  // MB_ICON... with MB_TOPMOST where the box stays on top

  static FileOutcome Ok() { return {}; }
  static FileOutcome Fail(std::string message, UINT icon) { return {false, std::move(message), icon}; }
};

// .oss: saved through a temporary file that replaces the old one (a failed save keeps the old
// file), read with writers denied.
FileOutcome WriteSettingsFile(const char* path, const SettingsSnapshot& s);
FileOutcome ReadSettingsFile(const char* path, SettingsSnapshot& out);

// .osg written from a screen; .osg or .osc read, chosen by the lower-cased extension ("osg",
// "osc"; anything else is no signal file and fails without a message).
FileOutcome WriteOsgFile(const char* path, const SignalFile& file);
FileOutcome ReadSignalFile(const char* path, SignalFile& out);
// The name the save dialog proposes: "Save_%2d-%2d_%2dh%2dm" of the day, month, hour and minute.
std::string SignalFileDefaultName(const SYSTEMTIME& localTime);

// Converts the text of the code page into the UTF-16 buffer of `length` characters: the buffer, or
// null when a pointer is null or the conversion fails (storage and stream names).
OLECHAR* ToWide(OLECHAR* buffer, const char* text, int length, UINT codePage);

// Custom slots 1..10 in the compound file at `path` (CustomSetPath() in the program).
std::string CustomSetPath();
bool IsCustomSetRefused(int measureType);  // types 3 and 6..10 have no custom slots
FileOutcome SaveCustomSlot(const char* path, int slot, const SettingsSnapshot& s);
FileOutcome LoadCustomSlot(const char* path, int slot, SettingsSnapshot& out);

}  // namespace scope
