#include "framework/SysLocale.h"

TSysLocale ReadSysLocale() {
  const LCID lcid = GetUserDefaultLCID();
  const LANGID language = LANGIDFROMLCID(lcid);
  return TSysLocale{lcid, PRIMARYLANGID(language), SUBLANGID(language)};
}

TSysLocale SysLocale = ReadSysLocale();
