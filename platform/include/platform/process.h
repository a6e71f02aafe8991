// Processes and the shell: CreateProcess, the process handle, ShellExecute through a configured
// opener, the Windows folder, icons of programs, and the mapping of Windows program paths.
//
// Program mapping: HKLM "SOFTWARE\KV310Platform\Programs" maps a Windows program path (value
// name, e.g. "C:\Windows\system32\osk.exe") to a Linux executable (value data). GetFileAttributes,
// CreateProcess and ExtractIconEx honour it; other Windows paths go through MapPath, and a ".exe"
// that is not there is also looked for without its extension.
//
// Tests can make the platform record starts instead of running them (RecordLaunches).
#pragma once

#include <platform/gdi.h>
#include <platform/types.h>

#include <string>
#include <vector>

#define STILL_ACTIVE 259u
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31
#define CREATE_NO_WINDOW 0x08000000u
#define NORMAL_PRIORITY_CLASS 0x00000020u
#define STARTF_USESHOWWINDOW 0x00000001u

typedef struct _STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFO, STARTUPINFOA, *LPSTARTUPINFO;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;  // waitable: signalled when the process has ended
  HANDLE hThread;   // the same process, as its main thread
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

extern "C" {
// Starts a program without a shell. With no application name, the first token of the command line
// names it: quoted, or unquoted with blanks resolved prefix by prefix as Windows does ("C:\Program
// Files\x.exe a" tries "C:\Program", then "C:\Program Files\x.exe"). The rest of the line becomes
// the arguments by the Windows quoting rules. The child is reaped whether or not its handles are
// closed. FALSE with ERROR_FILE_NOT_FOUND when no program is found.
PLATFORM_API BOOL CreateProcess(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                                LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFO startupInfo,
                                LPPROCESS_INFORMATION processInformation);
// STILL_ACTIVE while the process runs; its exit status afterwards (128 + signal when killed).
PLATFORM_API BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
PLATFORM_API BOOL TerminateProcess(HANDLE process, UINT exitCode);

// "open" (or null) on a file or URL: the opener named by HKLM "SOFTWARE\KV310Platform" "Opener"
// (default xdg-open) is started with it; a mapped program is started itself. Returns a value > 32
// on success, SE_ERR_NOASSOC when there is no opener, SE_ERR_FNF for a missing file.
PLATFORM_API HINSTANCE ShellExecute(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                    INT showCommand);
// "C:\Windows".
PLATFORM_API UINT GetWindowsDirectory(LPSTR buffer, UINT size);
// The icon of a program (index 0 only): "<name>.png" beside the (mapped) program, else the icon of
// its desktop entry, else a built-in generic program icon. Returns the number of icons given.
PLATFORM_API UINT ExtractIconEx(LPCSTR file, int index, HICON* large, HICON* small, UINT count);
}

namespace kvp {
// The Linux executable a Windows program path maps to (registry mapping, else MapPath, also
// without ".exe"); empty when there is no such executable.
PLATFORM_API std::string ResolveProgram(const std::string& windowsPath);

// A start as the launcher seam records it.
struct LaunchRecord {
  std::string executable;          // Linux path
  std::vector<std::string> args;   // after the program name
  std::string commandLine;         // as given
  std::string directory;           // working folder ("" = the caller's)
};
// On: starts are recorded (and reported as started, with an ended process of exit code 0)
// instead of run. Turning it on clears the record.
PLATFORM_API void RecordLaunches(bool on);
PLATFORM_API std::vector<LaunchRecord> RecordedLaunches();
}  // namespace kvp
