#include <core/Texts.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The texts as written in the program's documentation (UTF-8); the program holds them as
// Windows-1252 bytes.
const char* const kDocumented[] = {
    "Injector",
    "Fuel Tank Vent Valve",
    "Hall Sensor",
    "Inductive Sensor",
    "Hall + Inductive Sensor",
    "Ignition Excitacion",
    "Oxygen Sensor",
    "Throttle Actuator",
    "Throttle Pot - 1 track",
    "Throttle Pot - 2 tracks",
    "Intake Manifold Pressure Sensor",
    "Air Volume Sensor",
    "Signal of Generator Ignition",
    "Primary Winding Voltage",
    "Primary Winding Current and Voltage",
    "Charging Current and Voltage",
    "Starting Current and Voltage",
    "Alternator Ripple",
    "Measure of high-voltage one cylinder",
    "Measure of high-voltage one cylinder - double coil",
    "Removing",
    "Are you sure to remove this record?",
    "Spark Ignition Engine",
    "Diesel Engine",
    "Advance Meter",
    "Voltage, Current",
    "Coil - Primary Winding",
    "Coil - Secondary Winding",
    "Test of ignition System",
    "Thermometer",
    "Oscilloscope",
    "Preinjection Meter",
    "Signal of Pressure Sensor",
    "Single cylinder",
    "All cylinders",
    "Selected cylinder",
    "Primary Winding Voltage",
    "Dwell Angle",
    "Back",
    "Params",
    "Reset",
    "Set",
    "Number of cylinders",
    "Number of marks",
    "Mark Offset",
    "2 Stroke/4 Stroke",
    "Sensitivity",
    "Comparative Level",
    "Speed sensor type",
    "Pressure sensor type",
    "Motortester Setup",
    "Engine Speed",
    "RPM",
    "Advance",
    "°CS",
    "Dwell Angle",
    "Oil Temperature",
    "Preinjection",
    "Hardware is not connected or  communication port is not free.\n\n\nIf you have not purchased Dravix Scope,\nplease contact your Dravix representative.",
    "Cannot load KELO oscilloscope dll. (Kv310.dll)",
    "Bad engine type",
    "Motortester is not connect",
    "Params were successfully setting.",
    "[sensor]",
    "Probe",
    "Error",
    "Bad probe",
    "No response",
    "no probe",
    "Osciloscope with turn",
    "Measure VN secondary - One cylinder",
    "Speed sensor is not connect",
    "no sensor",
    "Measure voltage on primary winding",
    "Measure signal of pressure sensor",
    "Measure VN of all cylinders",
    "Measure VN of single cylinder",
    "Measure VN of selected cylinder",
    "first",
    "second",
    "third",
    "fourth",
    "Graph",
    "Help - Connect of probes",
    "Measure of leak cylinders",
    "Speed",
    "Measure of resistance",
    "Cancel",
    "View",
    "Clear",
    "Print Queue",
    "Print",
    "OK",
    "Comment to this printed item",
    "Print queue - preview",
    "Print queue is empty.",
    "count of items in queue",
    "Bad params of engine!",
    "Recording cannot be started.\nOscilloscope must be running. (Stoped)",
    "Record cannot be started.\nTrigger must be setting on NoTrig!",
    "Record cannot be started.\nTrigger must be setting on AUTO!",
    "Cannot stop record because any error was occured!\nRecord is lost.",
    "Do you want view record?\n\nWarning: If you chose NO, record will be lost.",
    "Cannot start record, because any error occured.\nPlease, tray it again.",
    "Error reading record data from oscilloscope.",
    "Data transfering...",
    "Recording",
    "Signal unavailable - record in process",
    "RPM Sensor Test",
    "Needle Stroke Sensor",
    "Special Tests",
    "Next",
    "Prev.",
    "Setup of HV sensors",
    "Repeat",
    "POLARITY OF HV PROBES",
    "Taking polarity…",
    "Configuration failed!",
    "- check connection of HV sensors",
    "- check connection of  ignition sensors",
    "- check whether the car engine is running",
    "Autosetup cannot be use!",
    "- will be used manual configuration!",
    "Cannot start measure",
    "- Desired probes not connected!",
    "- If you don't know, visit flag (?) help.",
    "- Please, connect desire probes.",
    "averaging",
    "Current record(s) wasn't saved. Saved it now?",
    "Please, first stop playing record before printing.",
    "No data for print",
    "No probe connected to trigger source channel.\n\nChange trigger channel or connect the probe.",
    "Record Analyzer",
    "indication",
    "Leak Check Of Cylinders",
    "Starting Up",
    "Don´t show this dialog next time.",
    "NOTICE\nThe engine muss not start up.\nYou should disable fuel supply etc..",
    "Start Test",
    "Abort Test",
    "Leak check was not successfully.\nPlease, check connecting of current probe.",
    "Measurement cannot be execute.\n\nCount of cylinder is out of range <3,6>.\nPlease, setup right params of engine.",
    "Print header - car identification",
    "Licence plate",
    "Vehicle",
    "Date and time",
    "This measure is only differential bettwen cylindres. Labeling of cylinders needn't to be correct.",
    "Notice:",
    "Comment:",
    "Measure of temperature",
    "Measure of voltage",
    "Measure of current",
    "Measure of voltage and current",
    "Measure of advance",
    "Measure of preinjection",
    "Measure of high-voltage all cylinders",
    "Measure of high-voltage selected cylinder",
    "Measure of dwell angle",
    "Ampermeter",
    "Voltmeter",
    "Ohmmeter",
    "… All connectors …",
    "voltage",
    "current",
    "high-voltage",
    "pressure",
    "tempereture",
    "stroboscope",
    "inductive",
    "ignition",
    "semiconduct",
    "No application for change-over.",
    "Type of HV coil",
    "Count of HV sensors",
    "Polarity of HV sensors",
    "Do you really want to quit the application?",};

// UTF-8 to Windows-1252 for the few characters the texts use.
std::string To1252(const std::string& utf8) {
  struct Map {
    const char* from;
    const char* to;
  } const maps[] = {{"\xE2\x80\xA6", "\x85"}, {"\xC2\xB4", "\xB4"}, {"\xC2\xB0", "\xB0"}};
  std::string out = utf8;
  for (const Map& m : maps)
    for (size_t pos; (pos = out.find(m.from)) != std::string::npos;) out.replace(pos, std::strlen(m.from), m.to);
  // The documentation writes a line break as backslash-n.
  for (size_t pos; (pos = out.find("\\n")) != std::string::npos;) out.replace(pos, 2, "\n");
  return out;
}

}  // namespace

TEST(BuiltinTexts, EveryTextByteForByte) {
  static_assert(sizeof(kDocumented) / sizeof(kDocumented[0]) == 176);
  for (int i = 0; i < 176; ++i) EXPECT_EQ(std::string(GetDefaultLanguageText(10000 + i)), To1252(kDocumented[i])) << 10000 + i;
}

TEST(BuiltinTexts, BytesThatMatter) {
  struct Case {
    int id;
    const char* bytes;
  } cases[] = {
      {10054, "\xB0" "CS"},
      {10116, "Taking polarity\x85"},
      {10136, "Don\xB4t show this dialog next time."},
      {10161, "\x85 All connectors \x85"},
      {10119, "- check connection of  ignition sensors"},
      {10013, "Primary Winding Voltage"},
      {10036, "Primary Winding Voltage"},
      {10037, "Dwell Angle"},
      {10055, "Dwell Angle"},
      {10175, "Do you really want to quit the application?"},
  };
  for (const Case& c : cases) EXPECT_STREQ(GetDefaultLanguageText(c.id), c.bytes) << c.id;
  for (int id : {9999, 10176, 0, -1}) EXPECT_STREQ(GetDefaultLanguageText(id), "") << id;
  EXPECT_EQ(GetDefaultCharSet(), 0);
}

TEST(ShortTexts, TableAndUnknownIds) {
  struct Case {
    int id;
    const char* text;
  } cases[] = {
      {1, "ERR"},
      {18, "No probe"},
      {33, "Hardware communication driver:"},
      {37, "Autoset in progress. Please wait..."},
      {38, "Reset\nMin/Max"},
      {47, "Oscilloscope files (*.osc)|*.osc|All files (*.*)|*.*||"},
      {56, "Dravix Scope - Current view of record chart"},
      {114, "Motortester reload FLASH failed"},
      {1001, "Internal error: no interface"},
      {48, "UnkText"},
      {51, "UnkText"},
      {0, "UnkText"},
      {115, "UnkText"},
  };
  for (const Case& c : cases) EXPECT_STREQ(GetDefaultText(c.id), c.text) << c.id;
}

TEST(EnumerationNames, ListsAndOutOfRange) {
  struct Case {
    const char* got;
    const char* want;
  } cases[] = {
      {GetChannelName(1), "Ch B"},         {GetChannelName(2), "ERR"},
      {GetChannelModeText(3), "Ch B-A"},   {GetChannelText(0), "A"},
      {GetMeasureText(4), "Duty-Cycle"},   {GetMeasureText(5), "ERR"},
      {GetChannelLetter(3), "D"},          {GetChannelLetter(4), "ERR"},
      {GetTriggerModeText(2), "Single"},   {GetTriggerModeText(3), ""},
      {GetTriggerModeText(-1), ""},        {GetRangeModeText(0), "Full"},
      {GetRangeModeText(7), "Noise"},      {GetUnitSymbol(1), "A"},
      {GetUnitSymbol(2), ""},              {GetCylinderPairText('0'), "C + D"},
      {GetCylinderPairText('3'), "Back"},  {GetCylinderPairText(0), "ERR"},
      {GetStrokeText(4), "4"},             {GetStrokeText(3), "ERR"},
      {GetPercentLevelText(15), "15%"},    {GetCoilTypeText(1), "Double"},
      {GetAutoManualText(0), "Auto"},      {GetSpeedSensorText(4), "PIE"},
      {GetSpeedSensorText(0), "ERR"},      {GetPressureSensorText(2), "CAP"},
      {GetInvertShortText(3), "NoInv"},    {GetInvertText(3), "Invert ChA,ChB"},
      {GetInvertText(4), ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.got, c.want);
}
