// The print queue: the results the measuring panes want in the next printed report. A pane
// appends a pending item (AddItem with queued 0) and fills its data record with the setter of its
// type; the print dialog's Add queues it with a comment, its Cancel and Print drop a pending item.
// The report and the queue preview read the queue. At most one pending item exists, always the
// last. GUI thread only.
#pragma once

#include <platform/afx.h>
#include <platform/afxgdi.h>

#include <memory>
#include <vector>

// The values of one printed result. Numbers and flags are stored as doubles and read back as ints
// truncated toward zero.
class CPrintItemData {
 public:
  enum { TYPE_COUNT = 13 };

  explicit CPrintItemData(int type) : m_nType(type) {}

  int GetType() const { return m_nType; }

  // Types 0, 1 (voltmeter, ammeter): reading, minimum, maximum, the AC mark and the second mode flag.
  void SetMeterValues(double reading, double minimum, double maximum, int ac, int mode, LPCSTR comment);
  // Type 2 (ohmmeter).
  void SetValue1(double value, LPCSTR comment);
  // Type 3: six values and two numbers.
  void SetValues6(double v1, double v2, double v3, double v4, double v5, double v6, int n1, int n2, LPCSTR comment);
  // Types 4, 5, 7, 11.
  void SetValues3(double v1, double v2, double v3, LPCSTR comment);
  // Types 6, 8, 9, 10.
  void SetValues2(double v1, double v2, LPCSTR comment);
  // Type 12: a count and six values.
  void SetCountValues6(int count, double v1, double v2, double v3, double v4, double v5, double v6, LPCSTR comment);
  void SetComment(LPCSTR comment) { m_strComment = comment ? comment : ""; }
  // The state a kV panel showed instead of its bars ("Error", "no sensor", ...): printed in place
  // of the values. Kept apart from the comment, which the user writes when the item is added.
  void SetState(LPCSTR state) { m_strState = state ? state : ""; }
  CString GetState() const { return m_strState; }

  void GetMeterValues(double& reading, double& minimum, double& maximum, int& ac, int& mode, CString& comment) const;
  void GetValues6(double& v1, double& v2, double& v3, double& v4, double& v5, double& v6, int& n1, int& n2,
                  CString& comment) const;
  void GetValues5(double& v1, double& v2, double& v3, double& v4, double& v5, CString& comment) const;
  void GetValues3(double& v1, double& v2, double& v3, CString& comment) const;
  void GetValues2(double& v1, double& v2, CString& comment) const;
  void GetCountValues6(int& count, double& v1, double& v2, double& v3, double& v4, double& v5, double& v6,
                       CString& comment) const;
  CString GetComment() const { return m_strComment; }

  // Slot access for drawing: values 1..6 and numbers 1..2 (0 outside).
  double Value(int n) const { return n >= 1 && n <= 6 ? m_dValues[n - 1] : 0.0; }
  int Number(int n) const;

 private:
  int m_nType;
  double m_dValues[6] = {0, 0, 0, 0, 0, 0};
  double m_dNumbers[2] = {0, 0};
  CString m_strComment;
  CString m_strState;
};

class CPrintQueue {
 public:
  class CPrintQueueItem {
   public:
    // Whether the item has data with a non-empty comment.
    bool HasComment() const { return data && !data->GetComment().IsEmpty(); }

    std::unique_ptr<CPrintItemData> data;  // null when making it failed
    int include = 1;  // only included items are printed; the preview's include box toggles it
    int queued = 0;   // 0: pending (the print dialog has not added it yet)
  };

  CPrintQueue() = default;
  ~CPrintQueue();
  CPrintQueue(const CPrintQueue&) = delete;
  CPrintQueue& operator=(const CPrintQueue&) = delete;

  // Appends an item of the type with the queued flag; writes its index and returns its record.
  // A type outside 0..12: index -1, null, nothing appended.
  CPrintItemData* AddItem(int type, int* index, int queued = 0);
  // Null for an index outside the queue.
  CPrintQueueItem* GetItem(int index);
  CPrintQueueItem* GetLastItem();
  int GetCount() const { return static_cast<int>(m_Items.size()); }
  // Items whose queued flag is set.
  int CountFilled() const;
  // 1 when removed, 0 for an index outside the queue (nothing changes).
  int RemoveAt(int index);
  void RemoveLast();
  // Removes every queued item, keeping the order of the rest; 1 when the queue is then empty.
  int RemoveQueued();
  // Every item and both header texts.
  void Clear();

  // The item's height on the page at width w with item font height f (0 without data). The DC
  // may be a printer's (negative heights measure as their magnitude).
  int GetItemHeight(CDC* dc, CPrintQueueItem* item, int w, int f);

  // Draws the item with its top edge at y between page.left and page.right (page.top and
  // page.bottom are not used): the title, one or two value lines, the comment and, for type 12,
  // the notice. Works in the printer's metric mapping (y up, f negative) and on screen.
  void DrawItem(CDC* dc, CPrintQueueItem* item, int y, RECT page, int f);

  // Prints every queued and included item as one report on the default printer, without a
  // printer dialog. Asks for the header texts first when both are empty; without a default
  // printer shows a message box and prints nothing.
  void PrintReport();

  // The title and value lines DrawItem writes for a record (an empty second line for the types
  // with one); false for a type outside the table.
  static bool ItemTexts(const CPrintItemData& data, CString& title, CString& line1, CString& line2);
  // A reading of types 0 to 3: below 1 in magnitude with a sub-unit prefix and no decimals, else
  // with an engineering prefix and up to `decimals` decimals; the unit follows.
  static CString ReadingText(double value, LPCSTR unit, int decimals);

  CString m_strVehicle;       // the report's header texts
  CString m_strLicencePlate;

 private:
  std::vector<std::unique_ptr<CPrintQueueItem>> m_Items;
};

// The program's one queue.
CPrintQueue* GetPrintQueue();
