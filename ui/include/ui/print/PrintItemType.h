// The print queue's item types: which pane made an item, which setter filled it (CPrintItemData)
// and which lines the report draws for it. The meter panes make types 0 to 2, the engine tester
// the others.
#pragma once

enum PrintItemType : int {
  kPrintItemVoltage = 0,           // SetMeterValues: a voltmeter reading, its min and max
  kPrintItemCurrent = 1,           // SetMeterValues: an ammeter reading, its min and max
  kPrintItemResistance = 2,        // SetValue1: a resistance
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
