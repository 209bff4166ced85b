#include <windows.h>

#include "display/Lumora.h"

void LumoraShowAbout() {
  MessageBoxW(GetActiveWindow(), L"Lumora10 image display library\r\nLumo10D25.dll, version 1.0.0.1",
              kLumoraAboutCaption, MB_OK | MB_ICONINFORMATION);
}
