#include <ui/print/PrintQueue.h>

#include <core/GlobalProps.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

#include <cmath>
#include <cstdlib>

namespace {
CString Text(LPCSTR s) { return CString(s ? s : ""); }
}  // namespace

// ---- CPrintItemData ------------------------------------------------------------------------------

int CPrintItemData::Number(int n) const {
  return n >= 1 && n <= 2 ? static_cast<int>(std::trunc(m_dNumbers[n - 1])) : 0;
}

void CPrintItemData::SetMeterValues(double reading, double minimum, double maximum, int ac, int mode, LPCSTR comment) {
  m_dValues[0] = reading;
  m_dValues[1] = minimum;
  m_dValues[2] = maximum;
  m_dValues[3] = ac;
  m_dValues[4] = mode;
  m_strComment = Text(comment);
}

void CPrintItemData::SetValue1(double value, LPCSTR comment) {
  m_dValues[0] = value;
  m_strComment = Text(comment);
}

void CPrintItemData::SetValues6(double v1, double v2, double v3, double v4, double v5, double v6, int n1, int n2,
                                LPCSTR comment) {
  const double v[6] = {v1, v2, v3, v4, v5, v6};
  for (int i = 0; i < 6; ++i) m_dValues[i] = v[i];
  m_dNumbers[0] = n1;
  m_dNumbers[1] = n2;
  m_strComment = Text(comment);
}

void CPrintItemData::SetValues3(double v1, double v2, double v3, LPCSTR comment) {
  m_dValues[0] = v1;
  m_dValues[1] = v2;
  m_dValues[2] = v3;
  m_strComment = Text(comment);
}

void CPrintItemData::SetValues2(double v1, double v2, LPCSTR comment) {
  m_dValues[0] = v1;
  m_dValues[1] = v2;
  m_strComment = Text(comment);
}

void CPrintItemData::SetCountValues6(int count, double v1, double v2, double v3, double v4, double v5, double v6,
                                     LPCSTR comment) {
  m_dNumbers[0] = count;
  const double v[6] = {v1, v2, v3, v4, v5, v6};
  for (int i = 0; i < 6; ++i) m_dValues[i] = v[i];
  m_strComment = Text(comment);
}

void CPrintItemData::GetMeterValues(double& reading, double& minimum, double& maximum, int& ac, int& mode,
                                    CString& comment) const {
  reading = m_dValues[0];
  minimum = m_dValues[1];
  maximum = m_dValues[2];
  ac = static_cast<int>(std::trunc(m_dValues[3]));
  mode = static_cast<int>(std::trunc(m_dValues[4]));
  comment = m_strComment;
}

void CPrintItemData::GetValues6(double& v1, double& v2, double& v3, double& v4, double& v5, double& v6, int& n1,
                                int& n2, CString& comment) const {
  v1 = m_dValues[0];
  v2 = m_dValues[1];
  v3 = m_dValues[2];
  v4 = m_dValues[3];
  v5 = m_dValues[4];
  v6 = m_dValues[5];
  n1 = Number(1);
  n2 = Number(2);
  comment = m_strComment;
}

void CPrintItemData::GetValues5(double& v1, double& v2, double& v3, double& v4, double& v5, CString& comment) const {
  v1 = m_dValues[0];
  v2 = m_dValues[1];
  v3 = m_dValues[2];
  v4 = m_dValues[3];
  v5 = m_dValues[4];
  comment = m_strComment;
}

void CPrintItemData::GetValues3(double& v1, double& v2, double& v3, CString& comment) const {
  v1 = m_dValues[0];
  v2 = m_dValues[1];
  v3 = m_dValues[2];
  comment = m_strComment;
}

void CPrintItemData::GetValues2(double& v1, double& v2, CString& comment) const {
  v1 = m_dValues[0];
  v2 = m_dValues[1];
  comment = m_strComment;
}

void CPrintItemData::GetCountValues6(int& count, double& v1, double& v2, double& v3, double& v4, double& v5,
                                     double& v6, CString& comment) const {
  count = Number(1);
  v1 = m_dValues[0];
  v2 = m_dValues[1];
  v3 = m_dValues[2];
  v4 = m_dValues[3];
  v5 = m_dValues[4];
  v6 = m_dValues[5];
  comment = m_strComment;
}

// ---- CPrintQueue ---------------------------------------------------------------------------------

CPrintQueue::~CPrintQueue() { Clear(); }

void CPrintQueue::Clear() {
  m_Items.clear();
  m_Items.shrink_to_fit();
  m_strVehicle.Empty();
  m_strLicencePlate.Empty();
}

CPrintItemData* CPrintQueue::AddItem(int type, int* index, int queued) {
  if (type < 0 || type >= CPrintItemData::TYPE_COUNT) {
    if (index) *index = -1;
    return nullptr;
  }
  auto item = std::make_unique<CPrintQueueItem>();
  item->data = std::make_unique<CPrintItemData>(type);
  item->queued = queued;
  CPrintItemData* data = item->data.get();
  m_Items.push_back(std::move(item));
  if (index) *index = GetCount() - 1;
  return data;
}

CPrintQueue::CPrintQueueItem* CPrintQueue::GetItem(int index) {
  return index >= 0 && index < GetCount() ? m_Items[static_cast<size_t>(index)].get() : nullptr;
}

CPrintQueue::CPrintQueueItem* CPrintQueue::GetLastItem() { return m_Items.empty() ? nullptr : m_Items.back().get(); }

int CPrintQueue::CountFilled() const {
  int n = 0;
  for (const auto& item : m_Items) n += item->queued ? 1 : 0;
  return n;
}

int CPrintQueue::RemoveAt(int index) {
  if (index < 0 || index >= GetCount()) return 0;
  m_Items.erase(m_Items.begin() + index);
  m_Items.shrink_to_fit();
  return 1;
}

void CPrintQueue::RemoveLast() {
  if (m_Items.empty()) return;
  m_Items.pop_back();
  m_Items.shrink_to_fit();
}

int CPrintQueue::RemoveQueued() {
  std::erase_if(m_Items, [](const std::unique_ptr<CPrintQueueItem>& item) { return item->queued != 0; });
  m_Items.shrink_to_fit();
  return m_Items.empty() ? 1 : 0;
}

int CPrintQueue::GetItemHeight(CDC* dc, CPrintQueueItem* item, int w, int f) {
  if (!item || !item->data) return 0;
  CFont font;
  font.CreateFont(f, 0, 0, 0, FW_NORMAL, 0, 0, 0, GetGlobalProps().GetCharSet(), OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
  kvp::DcSelect selectFont(dc, &font);
  const int line = static_cast<int>(std::fabs(f * 1.6));
  int comment = 0;
  if (item->HasComment()) {
    CRect box(w / 60 + w / 5, 0, w, 1);
    dc->DrawText(item->data->GetComment(), &box, DT_CALCRECT | DT_WORDBREAK);
    comment = std::abs(box.Height());
  }
  int height = 0;
  const int type = item->data->GetType();
  if (type == 3) {
    height = comment + 3 * line;
  } else if (type == 12) {
    CString notice;
    notice.Format("%s %s", GetGlobalProps().GetText(kTextNotice), GetGlobalProps().GetText(kTextDifferentialOnlyNotice));
    CRect box(0, 0, w, 1);
    dc->DrawText(notice, &box, DT_CALCRECT | DT_WORDBREAK);
    height = comment + 3 * line + std::abs(box.Height());
  } else if (type >= 0 && type <= 11) {
    height = comment + 2 * line;
  }
  return height;
}

CPrintQueue* GetPrintQueue() {
  static CPrintQueue queue;
  return &queue;
}
