// The link parameters, read from the subkey "Parameter" of the key handed to Init (below
// HKEY_LOCAL_MACHINE), with the required/optional rules and the failure codes of the start.
#pragma once

#include <platform/types.h>

#include <string>

namespace kvlink {

inline constexpr size_t kPathField = 260;  // file paths: 260 characters and the terminating NUL

struct LinkSettings {
  DWORD comPort = 0;
  DWORD baudrate = 0;  // bit rate in the low 31 bits; the top bit asks for the bootstrap load
  char bootFile1[kPathField + 1] = {};
  char bootFile2[kPathField + 1] = {};
  char firmware[kPathField + 1] = {};
  char flashBootFile[kPathField + 1] = {};
  DWORD resetType = 0;          // 1 = the reset line is RTS, else DTR
  bool reloadFirmware = false;  // true only for the value 1
  DWORD useFlash = 0;
  DWORD bootBlockSize = 230;  // run limit of the firmware load; above 240 gives 230
  DWORD bootWait = 20;
  DWORD reloadWait = 300;
  int threadRead = 0;
  int threadWrite = 0;
  int threadProtocolWrite = 0;
};

enum class LinkKind { Serial, Usb };

// Reads the values the library of `kind` uses, in the order of the parameter table. Raises
// CErrorException: -1 when a key cannot be opened, -2 when a required value is missing (a file
// path that does not fit its field counts as missing).
void RetrieveRegistryInfo(const char* key, LinkKind kind, LinkSettings& settings);

// GetFirmwareFileVersion of both libraries: reads the values of `key` into settings of its own (a
// running link keeps its own) and the version text of their firmware file into `out`. 1 when the
// text is not empty; 0 with an empty text when the key or a required value is missing.
int FirmwareFileVersion(const char* key, LinkKind kind, char* out);

// The serial library's thread priorities; missing values give 0.
void RetrieveThreadPriorities(const char* key, LinkSettings& settings);

// After a good start with "UseFlash" 2 (and no reload): store 1, in the settings and in the
// registry. Raises CErrorException -1 when the keys cannot be opened.
void WriteUseFlashKey(const char* key, LinkSettings& settings);

// The path rule for the firmware and boot files. `moduleFolder` is the link library's own folder
// with its trailing separator. Folders compare without regard to case and with "/" and "\" alike;
// the result keeps the case of what it is built from.
std::string ResolveModulePath(const std::string& value, const std::string& moduleFolder);

// The folder (with trailing separator) of the module that holds this code.
std::string OwnModuleFolder();

}  // namespace kvlink
