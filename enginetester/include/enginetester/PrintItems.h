// The print queue's item types the engine tester makes: one for each page of the tester pane that
// prints (a polled meter, voltage and current, a kV panel) and the special tests' leak check. The
// type picks the setter the item is filled with and the lines the report draws for it (ui/print);
// the meter panes make types 0 to 2 (<meters/MeterPrint.h>).
#pragma once

namespace et {

enum PrintItem : int {
  kPrintItemVoltCurrent = 3,       // SetValues6: voltage, its min and max, current, its min and max; AC, min/max
  kPrintItemAdvance = 4,           // SetValues3: advance, temperature, speed
  kPrintItemDwell = 5,             // SetValues3: dwell angle, temperature, speed
  kPrintItemOneCylinder = 6,       // SetValues2: volts, speed; or the panel's state
  kPrintItemDoubleCoil = 7,        // SetValues3: the two voltages, speed; or the panel's state
  kPrintItemAllCylinders = 8,      // SetValues6: volts of four cylinders, speed; or the panel's state
  kPrintItemSelectedCylinder = 9,  // SetValues2: volts, speed; or the panel's state
  kPrintItemThermometer = 10,      // SetValues2: temperature, speed
  kPrintItemPreinjection = 11,     // SetValues3: injection advance, temperature, speed
  kPrintItemLeakCheck = 12,        // SetCountValues6: cylinder count, the six results
};

}  // namespace et
