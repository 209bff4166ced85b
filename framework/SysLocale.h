#pragma once

#include <windows.h>

#include "framework/FrameworkApi.h"

// The user's locale as recorded once when the framework loads. Code that adapts texts to the
// language tests PriLangID; a test may overwrite the record.
struct TSysLocale {
  LCID DefaultLCID;
  LANGID PriLangID;  // low 10 bits of DefaultLCID
  LANGID SubLangID;  // the bits above them
};

extern FRAMEWORK_API TSysLocale SysLocale;

// Reads the user's locale into a record.
FRAMEWORK_API TSysLocale ReadSysLocale();
