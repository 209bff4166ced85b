#include "framework/SysLocale.h"

TSysLocale ReadSysLocale() {
  const LCID lcid = GetUserDefaultLCID();
  const LANGID language = LANGIDFROMLCID(lcid);
  // The macros mask and shift in int; the parts fit a LANGID.
  return TSysLocale{lcid, static_cast<LANGID>(PRIMARYLANGID(language)), static_cast<LANGID>(SUBLANGID(language))};
}

TSysLocale SysLocale = ReadSysLocale();
