// The help pane: connector table, page tables, probe refresh and the fit colours.
#include <ui/WndHelp.h>

#include <core/GlobalProps.h>
#include <core/MotortesterData.h>
#include <core/ProbeConnection.h>
#include <core/ProbeKind.h>
#include <core/TextIds.h>
#include <core/Texts.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <initializer_list>

namespace {

const char* Text(int id) { return GetGlobalProps().GetText(id); }

CString Formatted(const char* format, int id) {
  CString s;
  s.Format(format, Text(id));
  return s;
}

CMotortesterData& Data() { return *GetMotortesterDevice(); }

}  // namespace

CWndHelp::CWndHelp() : m_bEngineTester(GetMotortesterDevice()->IsReady()) {
  m_List.m_engineTester = [this] { return m_bEngineTester; };
  m_List.m_onLink = [this](int page) { SelectPage(page, FALSE); };
}

int CWndHelp::PageOfMode(int mode) {
  switch (mode) {
    case 4: return 6;
    case 5: case 18: return 7;
    case 9: case 20: return 13;
    case 10: case 21: return 2;
    case 11: case 14: return 10;
    case 12: return 11;
    case 13: return 12;
    case 15: return 8;
    case 16: return 9;
    case 17: return 15;
    case 19: return 16;
    case 22: return 3;
    case 23: return 4;
    case 24: return 5;
    case 25: return 14;
    default: break;
  }
  if (mode >= 26 && mode <= 43) return mode - 9;
  return 1;
}

int CWndHelp::ModeOfPage(int page, int coilType) {
  switch (page) {
    case 1: return 0;
    case 2: return 10;
    case 3: return 22;
    case 4: return 23;
    case 5: return 24;
    case 6: return 4;
    case 7: return 5;
    case 8: return 15;
    case 9: return 16;
    case 10: return coilType == 1 ? 14 : 11;
    case 11: return 12;
    case 12: return 13;
    case 13: return 9;
    case 14: return 25;
    case 15: return 17;
    case 16: return 19;
    default: break;
  }
  if (page >= 17 && page <= 34) return page + 9;
  return 0;
}

int CWndHelp::SpeedSensorConnector(int code) {
  switch (code) {
    case 1: return 9;
    case 4: return 5;
    case 2: case 3: return 8;
    default: return -1;
  }
}

CWndHelp::Flags CWndHelp::PageFlags(int page, BOOL et, int speedSensorCode, int probeAt4, int coilType) {
  Flags flags{};
  auto use = [&flags](std::initializer_list<int> connectors) {
    for (int c : connectors) flags[c] = 1;
  };
  auto speed = [&] {
    int c = SpeedSensorConnector(speedSensorCode);
    if (c >= 0) flags[c] = 1;
  };
  switch (page) {
    case 2: use({0, 1}); if (et) use({2, 3, 4}); break;
    case 3: case 5: case 8: case 25: case 33: use({0}); break;
    case 4: use({et ? 2 : 1}); break;
    case 6: use({6, 7, 8, 9}); break;
    case 7: use({0, 2, 3}); speed(); break;
    case 9: use({0, 6}); break;
    case 10: use({4, 9}); break;
    case 11: case 12: use({4, probeAt4 == probekind::kReferenceN4 && coilType == 1 ? 8 : 9}); break;
    case 13: use({6}); speed(); break;
    case 14: use({0, 1, 2, 3, 4}); speed(); break;
    case 15: use({5, 6, 7, 8}); break;
    case 16: use({5}); break;
    case 17: case 30: case 31:
      if (et) { use({0, 2, 3}); speed(); } else { use({0, 1}); }
      break;
    case 18: case 19: case 20: case 21: case 22: case 24: case 27: case 28: case 29: case 32:
      use({0});
      if (et) speed();
      break;
    case 23: use({0, 1}); if (et) speed(); break;
    case 26: use({0, 1}); break;
    case 34: if (et) use({2, 3}); else use({0, 1}); break;
    default: flags.fill(1); break;
  }
  return flags;
}

int CWndHelp::ListRowOfPage(int page, BOOL et) {
  if (page >= 21 && page <= 31) return et ? page - 20 : 0;
  if (page >= 32 && page <= 34) return et ? page - 20 : page - 31;
  return 0;
}

CString CWndHelp::ProbeName(int code) {
  switch (code) {
    case 0: return Text(kTextNoSensor);
    case 1: return Text(kTextProbeVoltage);
    case 2: return Formatted("%s 50A", kTextProbeCurrent);
    case 3: return Formatted("%s 500A", kTextProbeCurrent);
    case 5: return Text(kTextProbeIgnition);
    case 6: return Text(kTextProbePressure);
    case 7: return Text(kTextProbeInductive);
    case 8: return Text(kTextProbeTemperature);
    case 9: return Text(kTextProbeStroboscope);
    case 10: return Text(kTextProbeSemiconductor);
    case 11: case 16: return Text(kTextProbeHighVoltage);
    case 12: return "SYNC1";
    case 13: return Formatted("%s 2x", kTextProbeIgnition);
    case 14: return Text(kTextProbeIndication);
    case 15: return Formatted("%s 5A", kTextProbeCurrent);
    case 110: return Formatted("%s C4", kTextProbeHighVoltage);
    case 111: return Formatted("%s N", kTextProbeHighVoltage);
    case 112: return Formatted("%s N4", kTextProbeHighVoltage);
    default: return "";
  }
}

COLORREF CWndHelp::FieldColor(BOOL used, int code, BOOL fits, int connector, int helpMode, BOOL et, int coilType) {
  if (!used || code == 0) return kGreyField;
  if (!fits) return kRedField;
  ProbeConnection connection;
  FormatProbeConnection(connector, helpMode, et, coilType, connection);
  return connection.Contains(code) ? kGreenField : kRedField;
}

void CWndHelp::SelectPage(int page, BOOL focus) {
  const bool inRange = page >= 1 && page <= PAGES;
  CMotortesterData& data = Data();
  const int coil = data.GetCoilType();
  m_nPage = inRange ? page : 1;
  m_nPageFlags = PageFlags(page, m_bEngineTester, data.GetSpeedSensorType(data.GetEngineType()),
                           m_Records[4].probe.kind, coil);
  data.SetHelpMode(ModeOfPage(page, coil));
  if (focus || !inRange) {
    if (m_List.GetSafeHwnd()) {
      if (CXPCtrlHyperText* link = m_List.LinkOfPage(inRange ? page : 1)) link->SetFocus();
      m_List.ScrollToRow(inRange ? ListRowOfPage(page, m_bEngineTester) : 0);
    }
  }
  Redraw();
}

void CWndHelp::Activate(int) {
  SelectPage(PageOfMode(Data().GetHelpMode()), TRUE);
  Show(TRUE);
}

BOOL CWndHelp::Deactivate() {
  Show(FALSE);
  return TRUE;
}

void CWndHelp::Show(BOOL show) {
  if (!GetSafeHwnd()) return;
  ShowWindow(show ? SW_SHOW : SW_HIDE);
  if (show) {
    SetTimer(REFRESH_TIMER, REFRESH_MS, nullptr);
    RefreshProbes();
  } else {
    KillTimer(REFRESH_TIMER);
  }
}

void CWndHelp::OnTimer(UINT_PTR id) {
  if (id == REFRESH_TIMER) {
    RefreshProbes();
    return;
  }
  CXPWndBaseColor::OnTimer(id);
}

void CWndHelp::RefreshProbes() {
  ++m_nRefreshes;
  if (m_bEngineTester) {
    RefreshWithEngineTester();
  } else {
    RefreshBoardOnly();
  }
  Redraw();
}

void CWndHelp::RefreshWithEngineTester() {
  CMotortesterData& data = Data();
  IMotortester_6* tester = data.GetMotortester();
  if (!tester) return;
  int16_t count = 0;
  if (tester->GetInputCount(&count) != 0) return;
  const uint16_t n = static_cast<uint16_t>(std::clamp<int>(count, 0, CONNECTORS));
  uint8_t inputs[CONNECTORS];
  ProbeInputRecord read[CONNECTORS]{};
  for (uint16_t i = 0; i < n; ++i) inputs[i] = static_cast<uint8_t>(i);
  if (n == 0 || tester->ReadProbes(n, inputs, read) != 0) return;
  for (uint16_t i = 0; i < n; ++i) m_Records[i] = read[i];

  const int mode = data.GetHelpMode();
  for (uint16_t i = 0; i < n; ++i) {
    ProbeInputRecord& record = m_Records[i];
    if (record.probe.kind != probekind::kHighVoltageReference) continue;
    int32_t reference = 0;
    const int answer = tester->FindReferenceProbe(&reference);
    record.probe.kind = reference;
    if (answer != 0 && answer != 31) {
      record.valid = 0;
      return;
    }
    const BOOL ok = answer == 0;
    if (mode == 0) {
      record.valid = ok;
    } else if (mode == 11 || mode == 14) {
      m_nPageFlags[8] = 0;
      m_nPageFlags[9] = 1;
      if (reference == 110 || reference == 111) record.valid = ok;
      if (reference == 112) record.valid = 0;
    } else if (mode == 12 || mode == 13) {
      m_nPageFlags[8] = 0;
      m_nPageFlags[9] = 1;
      if (reference == 110) {
        record.valid = ok;
      } else if (reference == 111) {
        record.valid = ok && data.GetCoilType() == 0;
      } else if (reference == 112) {
        if (ok && data.GetCoilType() == 1) {
          m_nPageFlags[8] = 1;
          m_nPageFlags[9] = 0;
          record.valid = 1;
        } else {
          record.valid = 0;
        }
      }
    }
  }
  if (mode == 12 || mode == 13) m_Records[9].valid = m_Records[9].probe.kind == probekind::kIgnitionPickupDouble;
}

void CWndHelp::RefreshBoardOnly() {
  IOscilloscope_2* scope = Data().GetBoardOscilloscope();
  const int mode = Data().GetHelpMode();
  for (int i = 0; i < 2; ++i) {
    ProbeInputRecord& record = m_Records[i];
    record = ProbeInputRecord{};
    record.input = static_cast<uint8_t>(i);
    ProbeDescriptor probe{};
    if (!scope || scope->GetProbeInfo(static_cast<uint16_t>(i), &probe) != 0) continue;  // no probe shown
    record.probe = probe;
    const int code = probe.kind;
    BOOL fits = TRUE;
    if (mode == 22 || mode == 24) fits = code == 1;
    if (mode == 23 && i == 1) fits = code == 2 || code == 3 || code == 15;
    record.valid = static_cast<uint8_t>(fits);
  }
}

CString CWndHelp::ConnectorText(int connector) const {
  const ProbeInputRecord& record = m_Records[connector];
  const int code = record.probe.kind;
  if (record.valid && code != 0) return ProbeName(code);
  ProbeConnection connection;
  FormatProbeConnection(connector, Data().GetHelpMode(), m_bEngineTester, Data().GetCoilType(), connection);
  CString text;
  text.Format("%s [%s]", static_cast<LPCSTR>(ProbeName(code)), static_cast<LPCSTR>(connection.m_strText));
  return text;
}

BOOL CWndHelp::CreateChildren() {
  return m_List.Create("ListOfMeasure", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, LIST_ID);
}

void CWndHelp::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (!m_List.GetSafeHwnd()) return;
  const CRect& c = m_rcClient;
  const int d = (c.Width() - 66) / 3;
  const int left = c.right - d - 32;
  const int top = c.top + c.Height() / 20 + 37;
  m_List.MoveWindow(left, top, d, c.bottom - 32 - top, TRUE);
}

void CWndHelp::MakeFonts() {
  if (m_rcFonts == m_rcClient && m_fontTitle.GetSafeHandle()) return;
  m_rcFonts = m_rcClient;
  const BYTE charSet = GetGlobalProps().GetCharSet();
  const int h = m_rcClient.Height();
  m_fontTitle.DeleteObject();
  m_fontText.DeleteObject();
  m_fontBold.DeleteObject();
  m_fontTitle.CreateFont(-(h / 20), 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Times New Roman");
  m_fontText.CreateFont(-(h / 32), 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fontBold.CreateFont(-(h / 30), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
}

void CWndHelp::PaintContent(CDC* dc) {
  MakeFonts();
  CMotortesterData& data = Data();
  const int mode = data.GetHelpMode();
  const int coil = data.GetCoilType();

  CRect edge = m_rcClient;
  edge.DeflateRect(10, 10);
  dc->DrawEdge(&edge, BDR_RAISEDINNER, BF_RECT);
  CRect area = edge;
  area.DeflateRect(2, 2);
  dc->FillSolidRect(&area, RGB(222, 222, 222));
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(RGB(0, 0, 0));

  kvp::DcSelect font(dc, &m_fontTitle);
  CRect title(area.left, area.top + 10, area.right, area.top + 10 + area.Height() / 20 + 15);
  dc->DrawText(Text(kTextProbeConnectionHelpTitle), -1, &title, DT_CENTER | DT_SINGLELINE | DT_TOP | DT_NOPREFIX);

  const CRect table(area.left + 20, area.top + 10 + area.Height() / 20 + 15, area.right - 20, area.bottom - 20);
  const int w = table.Width();
  const int dy = table.Height() / CONNECTORS;
  const int xd = table.right - w / 3;
  const int markLeft = table.left + w / 10;
  const int markSize = dy - 14;
  const int markLine = markLeft + markSize + 10;

  CPen black(PS_SOLID, 1, RGB(0, 0, 0));
  kvp::DcSelect pen(dc, &black);
  kvp::DcSelect brush(dc->m_hDC, GetStockObject(NULL_BRUSH));
  dc->Rectangle(table.left, table.top, table.right, table.bottom);
  dc->MoveTo(xd, table.top);
  dc->LineTo(xd, table.bottom);
  for (int k = 0; k < CONNECTORS; ++k) {
    dc->MoveTo(table.left, table.top + k * dy);
    dc->LineTo(xd, table.top + k * dy);
  }
  dc->MoveTo(markLine, table.top);
  dc->LineTo(markLine, table.bottom);

  for (int k = 0; k < ShownConnectors(); ++k) {
    const int rowTop = table.top + k * dy;
    const ProbeInputRecord& record = m_Records[k];
    // The mark cell between the black lines, then the connector's mark.
    CRect cell(table.left + 1, rowTop + 1, markLine, rowTop + dy);
    dc->FillSolidRect(&cell, FieldColor(m_nPageFlags[k], record.probe.kind, record.valid, k, mode, m_bEngineTester, coil));
    CBrush mark(m_nPageFlags[k] ? kConnectorColors[k] : kUnused);
    kvp::DcSelect markBrush(dc, &mark);
    dc->Ellipse(markLeft, rowTop + 7, markLeft + markSize, rowTop + dy - 7);
  }

  // Labels right-aligned in a column two mark widths wide after the mark column; the probe texts
  // start 2.1 mark widths after the label column's start.
  const int labelRight = markLine + 2 * markSize;
  const int textLeft = markLine + markSize * 21 / 10;
  for (int k = 0; k < ShownConnectors(); ++k) {
    const int rowTop = table.top + k * dy;
    dc->SelectObject(&m_fontBold);
    CString label;
    if (m_bEngineTester) {
      label.Format("K%d", k + 1);
    } else {
      label = GetChannelName(k);
    }
    CRect labelRect(markLine, rowTop, labelRight, rowTop + dy);
    dc->DrawText(label, -1, &labelRect, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    dc->SelectObject(&m_fontText);
    // A probe list longer than its column ends in an ellipsis at the divider, so the user sees
    // that it goes on.
    CRect textRect(textLeft, rowTop, xd - 4, rowTop + dy);
    dc->DrawText(ConnectorText(k), -1, &textRect, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
}

PaneEntry HelpEntry() {
  PaneEntry entry;
  entry.tab = 7;
  entry.name = "Help";
  entry.childId = 1019;
  entry.make = [] { return std::unique_ptr<CWnd>(new CWndHelp); };
  entry.create = [](CWnd& pane, const char* name, CWnd* parent, UINT id) {
    return static_cast<CWndHelp&>(pane).Create(name, WS_CHILD | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), parent, id);
  };
  return entry;
}
