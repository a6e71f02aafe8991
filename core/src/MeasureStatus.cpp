#include <core/MeasureStatus.h>

#include <core/Texts.h>

const char* GetMeasureStatusText(int status) {
  struct Row {
    int status;
    int text;
  };
  // Statuses 3 and 2 name the probe ("Bad probe on channel", "No probe on channel").
  static constexpr Row kTexts[] = {{-1, 1001}, {0, 102}, {1, 101}, {2, 105}, {3, 104}, {4, 106},
                                   {5, 107},   {6, 108}, {7, 109}, {8, 110}, {9, 111}};
  for (const Row& row : kTexts)
    if (row.status == status) return GetDefaultText(row.text);
  return "Unknown";
}
