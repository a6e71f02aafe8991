// Compound files (structured storage): a file holding named streams, as OLE defines it. Files are
// real compound files that other tools open; small streams live in the mini stream.
//
// An open storage holds the whole file in memory. Opened for writing, the file is written anew
// when the last reference to the storage and its streams goes (or on Commit): to a temporary file
// in the same folder, then renamed over the old one, so a crash leaves the old file whole.
// Share-exclusive opens hold an exclusive lock on the file: a second open, by this or another
// process, fails with STG_E_SHAREVIOLATION; read-only opens that deny writing hold a shared lock.
// The lock holds from the open to the last release, across every rewrite: no other process gets
// the file in between. When the name no longer holds the locked file (another program put a file
// in its place, or removed it), Commit fails with STG_E_SHAREVIOLATION and writes nothing.
// StgCreateDocfile with STGM_CREATE refuses a held file (STG_E_SHAREVIOLATION) before it replaces
// anything. A write-back that fails at the last release, which has no result to return, is
// reported in the debugger output (OutputDebugString) and on stderr with the file and the result.
//
// Names are UTF-16 (OLECHAR). A corrupt or truncated file gives an error result, never a crash.
#pragma once

#include <platform/ole.h>

// Result codes.
#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001u)
#define STG_E_FILENOTFOUND ((HRESULT)0x80030002u)
#define STG_E_PATHNOTFOUND ((HRESULT)0x80030003u)
#define STG_E_TOOMANYOPENFILES ((HRESULT)0x80030004u)
#define STG_E_ACCESSDENIED ((HRESULT)0x80030005u)
#define STG_E_INSUFFICIENTMEMORY ((HRESULT)0x80030008u)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009u)
#define STG_E_WRITEFAULT ((HRESULT)0x8003001Du)
#define STG_E_READFAULT ((HRESULT)0x8003001Eu)
#define STG_E_SHAREVIOLATION ((HRESULT)0x80030020u)
#define STG_E_LOCKVIOLATION ((HRESULT)0x80030021u)
#define STG_E_FILEALREADYEXISTS ((HRESULT)0x80030050u)
#define STG_E_INVALIDPARAMETER ((HRESULT)0x80030057u)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070u)
#define STG_E_INVALIDHEADER ((HRESULT)0x800300FBu)
#define STG_E_INVALIDNAME ((HRESULT)0x800300FCu)
#define STG_E_INVALIDFLAG ((HRESULT)0x800300FFu)
#define STG_E_REVERTED ((HRESULT)0x80030102u)
#define STG_E_DOCFILECORRUPT ((HRESULT)0x80030109u)

// Open modes.
#define STGM_DIRECT 0x00000000u
#define STGM_READ 0x00000000u
#define STGM_WRITE 0x00000001u
#define STGM_READWRITE 0x00000002u
#define STGM_SHARE_DENY_NONE 0x00000040u
#define STGM_SHARE_DENY_READ 0x00000030u
#define STGM_SHARE_DENY_WRITE 0x00000020u
#define STGM_SHARE_EXCLUSIVE 0x00000010u
#define STGM_FAILIFTHERE 0x00000000u
#define STGM_CREATE 0x00001000u
#define STGM_TRANSACTED 0x00010000u

#define STGC_DEFAULT 0u

#define STREAM_SEEK_SET 0u
#define STREAM_SEEK_CUR 1u
#define STREAM_SEEK_END 2u

typedef OLECHAR** SNB;

// The interfaces. Every object starts with one reference; Release returns the references left.
struct IUnknown {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

struct IStream : IUnknown {
  // Reads up to `count` bytes; *read (optional) says how many (fewer at the end: still S_OK).
  virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
  // Writes at the position; writing past the end fills the gap with zeros.
  virtual HRESULT Write(const void* data, ULONG count, ULONG* written) = 0;
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
};

struct IStorage : IUnknown {
  // Streams are opened and created with STGM_SHARE_EXCLUSIVE; STGM_WRITE/READWRITE need a storage
  // opened for writing. A stream is open once at a time.
  virtual HRESULT CreateStream(LPCOLESTR name, DWORD mode, DWORD reserved1, DWORD reserved2, IStream** stream) = 0;
  virtual HRESULT OpenStream(LPCOLESTR name, void* reserved1, DWORD mode, DWORD reserved2, IStream** stream) = 0;
  virtual HRESULT CreateStorage(LPCOLESTR name, DWORD mode, DWORD reserved1, DWORD reserved2, IStorage** storage) = 0;
  virtual HRESULT OpenStorage(LPCOLESTR name, IStorage* priority, DWORD mode, SNB exclude, DWORD reserved,
                              IStorage** storage) = 0;
  virtual HRESULT DestroyElement(LPCOLESTR name) = 0;
  // Writes the file now (only the root storage of a file opened for writing).
  virtual HRESULT Commit(DWORD flags) = 0;
};

extern "C" {
// Creates a compound file (STGM_CREATE replaces an existing one, else STG_E_FILEALREADYEXISTS).
// The name is a Windows or Linux path.
PLATFORM_API HRESULT StgCreateDocfile(LPCOLESTR name, DWORD mode, DWORD reserved, IStorage** storage);
// Opens one: STG_E_FILENOTFOUND when the file is not there (and its folder is),
// STG_E_PATHNOTFOUND when the folder is not, STG_E_SHAREVIOLATION, STG_E_ACCESSDENIED,
// STG_E_INVALIDHEADER (not a compound file), STG_E_DOCFILECORRUPT.
PLATFORM_API HRESULT StgOpenStorage(LPCOLESTR name, IStorage* priority, DWORD mode, SNB exclude, DWORD reserved,
                                    IStorage** storage);
}
