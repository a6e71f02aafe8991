// Drawing the queue's items and printing the report.
#include <ui/print/PrintHeaderDlg.h>
#include <ui/print/PrintItemType.h>
#include <ui/print/PrintQueue.h>

#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/afxfile.h>
#include <platform/afxwin.h>
#include <platform/dcscope.h>
#include <platform/print.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const char* T(int id) { return GetGlobalProps().GetText(id); }

int Whole(double v) { return static_cast<int>(std::trunc(v)); }

// Temperature in whole degrees Celsius and Fahrenheit.
void Temperatures(double celsius, int& t, int& tf) {
  t = Whole(celsius);
  tf = t * 9 / 5 + 32;
}

// The voltage of types 6 to 9: engineering prefix, one decimal, no unit.
CString HighVoltage(double v) {
  CString s;
  FormatScaledValue(s, v, GetEngineeringExponent(v), 1, FALSE);
  return s;
}

// "U = ..." or "I = ..." with the mark, optionally with the minimum and maximum.
CString MeterLine(LPCSTR symbol, double reading, double minimum, double maximum, bool ac, bool minMax, LPCSTR unit,
                  int decimals) {
  const char* mark = ac ? "~" : "";
  CString line;
  const CString r = CPrintQueue::ReadingText(reading, unit, decimals);
  if (minMax) {
    line.Format("%s = %s%s  ( min %s%s  max %s%s )", symbol, r.GetString(), mark,
                CPrintQueue::ReadingText(minimum, unit, decimals).GetString(), mark,
                CPrintQueue::ReadingText(maximum, unit, decimals).GetString(), mark);
  } else {
    line.Format("%s = %s%s", symbol, r.GetString(), mark);
  }
  return line;
}

CFont* MakeFont(CFont& font, int height, int weight, LPCSTR face) {
  font.CreateFont(height, 0, 0, 0, weight, 0, 0, 0, GetGlobalProps().GetCharSet(), OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
  return &font;
}

}  // namespace

CString CPrintQueue::ReadingText(double value, LPCSTR unit, int decimals) {
  CString out;
  if (std::fabs(value) < 1.0) {
    FormatValue(out, value, unit, 0, TRUE);
  } else {
    FormatScaledValue(out, value, GetEngineeringExponent(value), decimals, FALSE);
    out += unit;
  }
  return out;
}

bool CPrintQueue::ItemTexts(const CPrintItemData& d, CString& title, CString& line1, CString& line2) {
  title.Empty();
  line1.Empty();
  line2.Empty();
  int t = 0, tf = 0;
  switch (d.GetType()) {
    case kPrintItemVoltage:
    case kPrintItemCurrent: {
      const bool volts = d.GetType() == kPrintItemVoltage;
      title = T(volts ? kTextVoltageMeasure : kTextCurrentMeasure);
      line1 = MeterLine(volts ? "U" : "I", d.Value(1), d.Value(2), d.Value(3), d.Value(4) != 0.0, d.Value(5) != 0.0,
                        volts ? "V" : "A", 3);
      return true;
    }
    case kPrintItemResistance:
      title = T(kTextResistanceMeasure);
      line1.Format("R = %s", ReadingText(d.Value(1), "", 1).GetString());
      return true;
    case kPrintItemVoltCurrent: {
      title = T(kTextVoltageCurrentMeasure);
      const bool ac = d.Number(1) != 0, minMax = d.Number(2) != 0;
      line1 = MeterLine("U", d.Value(1), d.Value(2), d.Value(3), ac, minMax, "V", 1);
      line2 = MeterLine("I", d.Value(4), d.Value(5), d.Value(6), ac, minMax, "A", 1);
      return true;
    }
    case kPrintItemAdvance:
    case kPrintItemPreinjection:
      title = T(d.GetType() == kPrintItemAdvance ? kTextAdvanceMeasure : kTextPreinjectionMeasure);
      Temperatures(d.Value(2), t, tf);
      line1.Format(
          "%s = %.1f%s     T = %d \xB0"
          "C (%d \xB0"
          "F)     %s = %d %s",
          T(d.GetType() == kPrintItemAdvance ? kTextAdvance : kTextPreinjection), d.Value(1), T(kTextCrankDegrees), t,
          tf, T(kTextSpeed), Whole(d.Value(3)), T(kTextRpm));
      return true;
    case kPrintItemDwell:
      title = T(kTextDwellAngleMeasure);
      Temperatures(d.Value(2), t, tf);
      line1.Format(
          "%s = %.1f%%     T = %d \xB0"
          "C (%d \xB0"
          "F)     %s = %d %s",
          T(kTextDwellAngleReading), d.Value(1), t, tf, T(kTextSpeed), Whole(d.Value(3)), T(kTextRpm));
      return true;
    case kPrintItemOneCylinder:
    case kPrintItemSelectedCylinder:
      title = T(d.GetType() == kPrintItemOneCylinder ? kTextHighVoltageOneCylinderMeasure
                                                     : kTextHighVoltageSelectedCylinderMeasure);
      if (!d.GetState().IsEmpty()) {
        line1 = d.GetState();
        return true;
      }
      line1.Format("U = %sV     %s = %d %s", HighVoltage(d.Value(1)).GetString(), T(kTextSpeed), Whole(d.Value(2)),
                   T(kTextRpm));
      return true;
    case kPrintItemDoubleCoil:
      title = T(kTextHighVoltageDoubleCoilMeasure);
      if (!d.GetState().IsEmpty()) {
        line1 = d.GetState();
        return true;
      }
      line1.Format("U1 = %sV    U2 = %sV    %s = %d %s", HighVoltage(d.Value(1)).GetString(),
                   HighVoltage(d.Value(2)).GetString(), T(kTextSpeed), Whole(d.Value(3)), T(kTextRpm));
      return true;
    case kPrintItemAllCylinders:
      title = T(kTextHighVoltageAllCylindersMeasure);
      if (!d.GetState().IsEmpty()) {
        line1 = d.GetState();
        return true;
      }
      line1.Format("%s = %sV    %s = %sV    %s = %sV    %s = %sV   %s = %d %s", T(kTextOrdinalFirst),
                   HighVoltage(d.Value(1)).GetString(), T(kTextOrdinalFirst + 1), HighVoltage(d.Value(2)).GetString(),
                   T(kTextOrdinalFirst + 2), HighVoltage(d.Value(3)).GetString(), T(kTextOrdinalFirst + 3),
                   HighVoltage(d.Value(4)).GetString(), T(kTextSpeed), Whole(d.Value(5)), T(kTextRpm));
      return true;
    case kPrintItemThermometer:
      title = T(kTextTemperatureMeasure);
      Temperatures(d.Value(1), t, tf);
      line1.Format(
          "T = %d \xB0"
          "C (%d \xB0"
          "F)     %s = %d %s",
          t, tf, T(kTextSpeed), Whole(d.Value(2)), T(kTextRpm));
      return true;
    case kPrintItemLeakCheck: {
      title = T(kTextLeakCylindersMeasure);
      const int count = d.Number(1);
      if (count >= 3 && count <= 6) {
        for (int i = 1; i <= count; ++i) {
          CString part;
          part.Format(i == 1 ? "%d = %.1f%%" : "    %d = %.1f%%", i, d.Value(i));
          line1 += part;
        }
      }
      return true;
    }
    default:
      return false;
  }
}

void CPrintQueue::DrawItem(CDC* dc, CPrintQueueItem* item, int y, RECT page, int f) {
  if (!item || !item->data) return;
  CString title, line1, line2;
  if (!ItemTexts(*item->data, title, line1, line2)) return;
  const int type = item->data->GetType();
  CFont arial, symbol;
  kvp::DcSelect selectFont(dc, MakeFont(arial, f, FW_NORMAL, "Arial"));
  MakeFont(symbol, f, FW_NORMAL, "Symbol");
  const int lh = static_cast<int>(f * 1.6);
  const int gap = f * 64 / 60;

  CRect r(page.left, y, page.right, y + lh);
  dc->DrawText(title, &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
  r.OffsetRect(0, lh);
  if (type == kPrintItemResistance) {
    // The text and the ohm sign (the Symbol face's "W") stand centred together as one line.
    dc->SelectObject(&symbol);
    const int wO = dc->GetTextExtent("W", 1).cx;
    dc->SelectObject(&arial);
    const int wR = dc->GetTextExtent(line1).cx;
    CRect text(page.left, r.top, page.right - wO, r.top + lh);
    dc->DrawText(line1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
    dc->SelectObject(&symbol);
    CRect ohm(page.left + wR, r.top, page.right, r.top + lh);
    dc->DrawText("W", &ohm, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
    dc->SelectObject(&arial);
  } else {
    dc->DrawText(line1, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
  }
  if (type == kPrintItemVoltCurrent) {
    r.OffsetRect(0, lh);
    dc->DrawText(line2, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
  }
  const CString comment = item->data->GetComment();
  if (!comment.IsEmpty()) {
    r.OffsetRect(0, lh);
    const int fifth = (page.right - page.left) / 5;
    CRect label(page.left, r.top, fifth, r.bottom);
    dc->DrawText(T(kTextComment), &label, DT_RIGHT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
    r.left = fifth + (page.right - page.left) / 60;
    r.right = page.right;
    dc->DrawText(comment, &r, DT_CALCRECT | DT_WORDBREAK);
    r.right = page.right;
    dc->DrawText(comment, &r, DT_WORDBREAK | DT_NOCLIP);
  }
  if (type == kPrintItemLeakCheck) {
    CString notice;
    notice.Format("%s %s", T(kTextNotice), T(kTextDifferentialOnlyNotice));
    CRect n(page.left, r.bottom + gap, page.right, r.bottom + gap + lh);
    dc->DrawText(notice, &n, DT_CALCRECT | DT_WORDBREAK);
    n.right = page.right;
    dc->DrawText(notice, &n, DT_WORDBREAK | DT_NOCLIP);
  }
}

void CPrintQueue::PrintReport() {
  if (m_strVehicle.IsEmpty() && m_strLicencePlate.IsEmpty()) {
    CPrintHeaderDlg header;
    header.DoModal();
    m_strVehicle = header.GetVehicle();
    m_strLicencePlate = header.GetLicencePlate();
  }

  CPrintDialog printer(FALSE, PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_NOSELECTION);
  if (!printer.GetDefaults()) {
    CWnd* main = AfxGetMainWnd();
    ::MessageBox(main ? main->GetSafeHwnd() : 0, "You no default printer has been found!", "", MB_OK);
    return;
  }
  CDC dc;
  dc.Attach(printer.GetPrinterDC());
  dc.SetMapMode(MM_LOMETRIC);
  CRect box;
  dc.GetClipBox(&box);
  const int L = box.left + 50, T0 = box.top, R = box.right - 50, B = box.bottom;
  const int H = B - T0;  // negative: y grows upwards
  const int c = H / 40;
  const int f = H / 64;

  if (dc.StartDoc("Dravix Scope") <= 0) {
    dc.DeleteDC();
    return;
  }
  dc.StartPage();
  CFont titleFont, labelFont, valueFont;
  MakeFont(titleFont, H / 45, FW_NORMAL, "Arial");
  MakeFont(labelFont, H / 62, FW_NORMAL, "Arial");
  MakeFont(valueFont, H / 62, FW_BOLD, "Arial");
  CFont* oldFont = dc.SelectObject(&titleFont);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(0, 0, 0));

  const char* kTitle = "Dravix Scope Report";
  const int cy = dc.GetTextExtent(kTitle, static_cast<int>(std::strlen(kTitle))).cy;
  CRect title(L, T0, R, T0 - cy);
  dc.DrawText(kTitle, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  // The header box: three rows, labels left of the divider, values right of it.
  const int y0 = T0 - cy - 50;
  const int xs = (R - L) / 3;
  CGdiObject* oldBrush = dc.SelectStockObject(NULL_BRUSH);
  for (int k = 0; k < 3; ++k) dc.Rectangle(L, y0 + k * c, R, y0 + (k + 1) * c);
  dc.MoveTo(xs, y0);
  dc.LineTo(xs, y0 + 3 * c);
  const int labels[3] = {kTextVehicle, kTextLicencePlate, kTextDateAndTime};
  const CString date = CTime::GetCurrentTime().Format("%#d.%m.%Y  %#H:%M");
  const CString values[3] = {m_strVehicle, m_strLicencePlate, date};
  for (int k = 0; k < 3; ++k) {
    dc.SelectObject(&labelFont);
    CRect label(L, y0 + k * c, xs - 20, y0 + (k + 1) * c);
    dc.DrawText(T(labels[k]), &label, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    dc.SelectObject(&valueFont);
    CRect value(xs + 20, y0 + k * c, R, y0 + (k + 1) * c);
    dc.DrawText(values[k], &value, DT_LEFT | DT_VCENTER | DT_SINGLELINE | (k < 2 ? DT_WORD_ELLIPSIS : 0u));
  }

  CPen dashed(PS_DASH, 1, RGB(0, 0, 0));
  CPen* oldPen = dc.SelectObject(&dashed);
  int y = y0 + 4 * c;
  if (CountFilled() > 0) {
    dc.MoveTo(L, y);
    dc.LineTo(R, y);
  }
  int pageNumber = 1;
  y -= 20;
  auto footer = [&] {
    dc.SelectObject(&labelFont);
    CString number;
    number.Format("%d", pageNumber);
    CRect band(L, B - c, R, B);
    dc.DrawText(number, &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  };
  const CRect page(L, T0, R, B);
  const int count = CountFilled();
  for (int i = 0; i < count; ++i) {
    CPrintQueueItem* item = GetItem(i);
    if (!item || !item->data || !item->include || !item->queued) continue;
    const int h = GetItemHeight(&dc, item, R - L, f);
    if (std::abs(y) + h > std::abs(B) - std::abs(c)) {
      footer();
      ++pageNumber;
      dc.EndPage();
      dc.StartPage();
      dc.SelectObject(&dashed);
      dc.MoveTo(L, T0);
      dc.LineTo(R, T0);
      DrawItem(&dc, item, T0 - 20, page, f);
      y = T0 - 20 - h - 30;
    } else {
      DrawItem(&dc, item, y, page, f);
      y = y - h - 30;
    }
    dc.MoveTo(L, y + 15);
    dc.LineTo(R, y + 15);
  }
  footer();
  dc.SelectObject(oldPen);
  dc.SelectObject(oldBrush);
  dc.SelectObject(oldFont);
  dc.EndPage();
  dc.EndDoc();
  dc.DeleteDC();
}
