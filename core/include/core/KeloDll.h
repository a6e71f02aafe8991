// CKelo_DLL: the program's binding of the measurement library "Kv310.dll": loads it at run time,
// asks its export "QueryInterface" for the sixteen instrument interfaces and unloads it again
// (stopping and closing the link first).
#pragma once

#include <kv310/Kv310.h>

#include <platform/afx.h>

class CKelo_DLL {
 public:
  CKelo_DLL();
  virtual ~CKelo_DLL();
  CKelo_DLL(const CKelo_DLL&) = delete;
  CKelo_DLL& operator=(const CKelo_DLL&) = delete;

  // 1 loaded with ids 0-6 and 11-15 present (7-10 may be missing); 0 failed, nothing loaded.
  int Load();
  // Stop the link, Close it only when Stop returned 0, zero the pointers, free the module.
  // Returns the result of freeing; 0 when nothing was loaded.
  BOOL Unload();
  // Lets go of the module without stopping the link or freeing it (a thread that never ended may
  // still be inside the library).
  void Forget();

  bool IsLoaded() const { return m_hModule != 0; }
  HMODULE GetModule() const { return m_hModule; }
  void* GetInterface(unsigned id) const { return id < kv310::kInterfaceCount ? m_pInterfaces[id] : nullptr; }

  IInfo_0* Info() const { return static_cast<IInfo_0*>(m_pInterfaces[kv310::kInfo]); }
  ICommunication_1* Communication() const { return static_cast<ICommunication_1*>(m_pInterfaces[kv310::kCommunication]); }
  IOscilloscope_2* Oscilloscope() const { return static_cast<IOscilloscope_2*>(m_pInterfaces[kv310::kOscilloscope]); }
  IVoltmeter_3* Voltmeter() const { return static_cast<IVoltmeter_3*>(m_pInterfaces[kv310::kVoltmeter]); }
  IOhmmeter_4* Ohmmeter() const { return static_cast<IOhmmeter_4*>(m_pInterfaces[kv310::kOhmmeter]); }
  IDiodeTest_5* DiodeTest() const { return static_cast<IDiodeTest_5*>(m_pInterfaces[kv310::kDiodeTest]); }
  IMotortester_6* Motortester() const { return static_cast<IMotortester_6*>(m_pInterfaces[kv310::kMotortester]); }
  IMTOscilloscope_7* MTOscilloscope() const { return static_cast<IMTOscilloscope_7*>(m_pInterfaces[kv310::kMTOscilloscope]); }
  IMTVoltmeter_8* MTVoltmeter() const { return static_cast<IMTVoltmeter_8*>(m_pInterfaces[kv310::kMTVoltmeter]); }
  IMTOhmmeter_9* MTOhmmeter() const { return static_cast<IMTOhmmeter_9*>(m_pInterfaces[kv310::kMTOhmmeter]); }
  IMTDiodeTest_10* MTDiodeTest() const { return static_cast<IMTDiodeTest_10*>(m_pInterfaces[kv310::kMTDiodeTest]); }
  IMTAdvancemeter_11* MTAdvancemeter() const { return static_cast<IMTAdvancemeter_11*>(m_pInterfaces[kv310::kMTAdvancemeter]); }
  IMTTemperaturemeter_12* MTTemperaturemeter() const {
    return static_cast<IMTTemperaturemeter_12*>(m_pInterfaces[kv310::kMTTemperaturemeter]);
  }
  IMTDwellanglemeter_13* MTDwellanglemeter() const {
    return static_cast<IMTDwellanglemeter_13*>(m_pInterfaces[kv310::kMTDwellanglemeter]);
  }
  IMTHiVoltage_14* MTHiVoltage() const { return static_cast<IMTHiVoltage_14*>(m_pInterfaces[kv310::kMTHiVoltage]); }
  IMTLeakTest_15* MTLeakTest() const { return static_cast<IMTLeakTest_15*>(m_pInterfaces[kv310::kMTLeakTest]); }

  // The library's file name, loaded by bare name ("Kv310.dll"); tests name a stand-in.
  CString m_strModuleName;

 private:
  HMODULE m_hModule = 0;
  void* m_pInterfaces[kv310::kInterfaceCount] = {};
};

// The engine's binding: the process-wide interface pointers of the measurement library.
const CKelo_DLL& GetKeloDll();
