#include <core/Reg.h>

#include <platform/window.h>

#include <vector>

namespace {

const char kWorkFailed[] = "Chyba pri praci s registry.";
const char kValueFailed[] = "Chyba pri cteni z registru.";
const char kCreateFailed[] = "Does not create registry key.";

void Show(const char* text, UINT icon) { MessageBox(0, text, nullptr, MB_OK | icon); }

// Opens for reading; 0 or ERR_OPEN.
int OpenForRead(HKEY root, LPCSTR key, HKEY& out) {
  return GetRegistryCalls().open(root, key, 0, KEY_READ, &out) == ERROR_SUCCESS ? CReg::OK : CReg::ERR_OPEN;
}

// Closes a key opened for reading; a failure is the one read failure the user is told about.
int CloseAfterRead(HKEY key, int code) {
  if (GetRegistryCalls().close(key) != ERROR_SUCCESS) {
    Show(kWorkFailed, MB_ICONWARNING);
    return CReg::ERR_CLOSE;
  }
  return code;
}

int OpenForWrite(HKEY root, LPCSTR key, HKEY& out) {
  RegistryCalls& reg = GetRegistryCalls();
  if (reg.open(root, key, 0, KEY_ALL_ACCESS, &out) == ERROR_SUCCESS) return CReg::OK;
  DWORD disposition = 0;
  if (reg.create(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &out, &disposition) ==
      ERROR_SUCCESS)
    return CReg::OK;
  return CReg::ERR_CREATE;
}

int Write(HKEY root, LPCSTR key, LPCSTR name, DWORD type, const BYTE* data, DWORD size, UINT icon) {
  HKEY handle = 0;
  if (OpenForWrite(root, key, handle) != CReg::OK) {
    Show(kCreateFailed, icon);
    return CReg::ERR_CREATE;
  }
  RegistryCalls& reg = GetRegistryCalls();
  int code = CReg::OK;
  if (reg.set(handle, name, 0, type, data, size) != ERROR_SUCCESS) {
    Show(kValueFailed, icon);
    code = CReg::ERR_VALUE;
  }
  if (reg.close(handle) != ERROR_SUCCESS && code == CReg::OK) {
    Show(kWorkFailed, icon);
    code = CReg::ERR_CLOSE;
  }
  return code;
}

}  // namespace

RegistryCalls& GetRegistryCalls() {
  static RegistryCalls calls;
  return calls;
}

int CReg::ReadDword(HKEY root, LPCSTR key, LPCSTR name, DWORD& out) {
  HKEY handle = 0;
  if (OpenForRead(root, key, handle) != OK) return ERR_OPEN;
  DWORD type = 0, value = 0, size = sizeof(value);
  const LONG rc = GetRegistryCalls().query(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  const bool good = rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value);
  const int code = CloseAfterRead(handle, good ? OK : ERR_VALUE);
  if (code == OK) out = value;
  return code;
}

int CReg::ReadString(HKEY root, LPCSTR key, LPCSTR name, CString& out) {
  HKEY handle = 0;
  if (OpenForRead(root, key, handle) != OK) return ERR_OPEN;
  RegistryCalls& reg = GetRegistryCalls();
  DWORD type = 0, size = 0;
  LONG rc = reg.query(handle, name, nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return CloseAfterRead(handle, ERR_VALUE);
  // One byte more than the data, so a value stored without its terminator still ends here.
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
  DWORD got = size;
  rc = reg.query(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return CloseAfterRead(handle, ERR_VALUE);
  buffer[got < size ? got : size] = '\0';
  const int code = CloseAfterRead(handle, OK);
  if (code == OK) out = buffer.data();
  return code;
}

int CReg::WriteDword(HKEY root, LPCSTR key, LPCSTR name, DWORD value) {
  return Write(root, key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value), MB_ICONWARNING);
}

int CReg::WriteString(HKEY root, LPCSTR key, LPCSTR name, LPCSTR text) {
  const char* t = text ? text : "";
  return Write(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(t), static_cast<DWORD>(std::strlen(t)),
               MB_ICONERROR);
}
