#include <scope/pane/PanelFiles.h>

#include <scope/SavedScopeFill.h>
#include <scope/ApplySnapshot.h>
#include <scope/ScopeFiles.h>
#include <scope/SignalCapture.h>
#include <scope/pane/PanelControlIds.h>

#include "PanelTraces.h"

#include <core/GlobalProps.h>
#include <core/MeasureType.h>

#include <ui/dialogs/CustomSettingsDlg.h>
#include <ui/dialogs/SpecialFileDialog.h>

#include <platform/files.h>

namespace scope {
namespace {
constexpr notify::Sender kUser = notify::kFromControlPanel;
}  // namespace

void CPanelFiles::OpenSignals() {
  if (OccupiedSavedScopes() >= 2) return;
  CSpecialFileDialog dlg(TRUE, "osg", nullptr, OFN_FILEMUSTEXIST, kSignalOpenFilter, m_Owner.DialogParent());
  // The manual folder of the current test, when there is one.
  char manual[1024] = {};
  if (GetMeasureType().GetManualPath(manual, sizeof(manual)) && ::GetFileAttributes(manual) != INVALID_FILE_ATTRIBUTES)
    dlg.m_ofn.lpstrInitialDir = manual;
  if (dlg.DoModal() != IDOK) return;
  const CString path = dlg.GetPathName();
  SignalFile file;
  const FileOutcome read = ReadSignalFile(path, file);
  if (!read.m_bOk) {
    if (!read.m_strMessage.empty()) m_Owner.ShowMessage(read.m_strMessage.c_str(), read.m_nIcon);
    return;
  }
  if (!LoadIntoSavedScope(file, dlg.GetFileName(), dlg.GetFileTitle())) return;
  // The pane shows the strip of the filled saved scope and redraws with it.
  m_Device.Notify(kUser, notify::kSavedScopeOpened);
  if (OccupiedSavedScopes() >= 2) m_Owner.EnableControl(PanelControlIds::kBtnOpen, false);
  m_Owner.EnableControl(PanelControlIds::kBtnDelete, true);
  m_Device.Notify(kUser, notify::kSignalFileOpened);
}

void CPanelFiles::SaveSignals() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  const std::string name = SignalFileDefaultName(now);
  CSpecialFileDialog dlg(FALSE, "osg", name.c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kOsgSaveFilter,
                         m_Owner.DialogParent());
  if (dlg.DoModal() != IDOK) return;
  const CSignalData* traces[2] = {DisplayTrace(0), DisplayTrace(1)};
  const SignalFile file = CaptureSignalFile(GetGlobalProps(), traces, GetMeasureType().m_nAngleMode);
  const FileOutcome written = WriteOsgFile(dlg.GetPathName(), file);
  if (!written.m_bOk && !written.m_strMessage.empty()) m_Owner.ShowMessage(written.m_strMessage.c_str(), written.m_nIcon);
}

void CPanelFiles::CustomSettingsCommand(bool save) {
  if (measure::IsTesterSetUp(GetMeasureType().Type())) {
    m_Owner.ShowMessage(kMsgSlotRefused, MB_ICONINFORMATION | MB_TOPMOST);
    return;
  }
  FileOutcome outcome;
  if (save) {
    CCustomSaveDlg dlg(m_Owner.DialogParent());
    if (dlg.DoModal() != IDOK) return;
    if (dlg.result == CCustomSlotsDlg::kFileResult) outcome = SaveSettingsFile(dlg.path, m_Controls, m_Device);
    else if (dlg.result >= 1 && dlg.result <= 10) return SaveCustomSet(dlg.result);
    else return;
  } else {
    CCustomLoadDlg dlg(m_Owner.DialogParent());
    if (dlg.DoModal() != IDOK) return;
    if (dlg.result == CCustomSlotsDlg::kFileResult) outcome = LoadSettingsFile(dlg.path, m_Controls, m_Device);
    else if (dlg.result >= 1 && dlg.result <= 10) return LoadCustomSet(dlg.result);
    else return;
  }
  if (!outcome.m_bOk && !outcome.m_strMessage.empty()) m_Owner.ShowMessage(outcome.m_strMessage.c_str(), outcome.m_nIcon);
  if (!save && outcome.m_bOk) m_Device.Notify(kUser, notify::kRedrawAll);
}

std::string CPanelFiles::CustomSetFile() const { return m_strCustomSet.empty() ? CustomSetPath() : m_strCustomSet; }

void CPanelFiles::LoadCustomSet(int slot) {
  const std::string file = CustomSetFile();
  const FileOutcome outcome = scope::LoadCustomSet(file.c_str(), slot, m_Controls, m_Device);
  if (!outcome.m_bOk) {
    if (!outcome.m_strMessage.empty()) m_Owner.ShowMessage(outcome.m_strMessage.c_str(), outcome.m_nIcon);
    return;
  }
  m_Device.Notify(kUser, notify::kRedrawAll);
}

void CPanelFiles::SaveCustomSet(int slot) {
  const std::string file = CustomSetFile();
  const FileOutcome outcome = scope::SaveCustomSet(file.c_str(), slot, m_Controls, m_Device);
  if (!outcome.m_bOk && !outcome.m_strMessage.empty()) m_Owner.ShowMessage(outcome.m_strMessage.c_str(), outcome.m_nIcon);
}

}  // namespace scope
