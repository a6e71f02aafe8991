// Fuzz target: the "Colors.ini" reader on any bytes.
#include <core/ColorScheme.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ColorScheme scheme;
  scheme.Parse(std::string(reinterpret_cast<const char*>(data), size));
  for (int i = -1; i <= ColorScheme::COUNT; ++i) (void)scheme.GetColor(i);
  return 0;
}

// Seeds for the replay test.
extern const char* const kFuzzSeeds[] = {
    "<Color_ChA>0,0,255</Color_ChA>",
    "<Color_Btn_BkgrndHot>1,2,3</Color_Btn_BkgrndHot><Color_Btn_Bkgrnd>4,5,6</Color_Btn_Bkgrnd>",
    "Color_ChA</Color_ChA>",
    "<Color_ChA>,,</Color_ChA><Color_ChB>99999999999999999999,-5,+7</Color_ChB>",
    "</Color_Record1><Color_Record1",
    nullptr,
};
