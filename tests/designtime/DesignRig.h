#pragma once

// What the design-time tests share: a fake designer with a real reference count, the locale
// record set for a while, and the texts of the editor's menu.

#include <windows.h>

#include "design/LmDesigner.h"
#include "framework/SysLocale.h"
#include "support/FakeCom.h"

__CRT_UUID_DECL(IDesigner, 0x6e1f3b52, 0x8c2d, 0x4b7a, 0x9e, 0x41, 0x2d, 0x5c, 0x0a, 0x7f, 0x3b, 0x61)

namespace design {

// The designer of a form: counts the modified notices it gets.
class FakeDesigner : public fakes::FakeComObject<IDesigner> {
public:
  void STDMETHODCALLTYPE Modified() override { ++ModifiedCalls; }
  int ModifiedCalls = 0;
};

// Sets the locale record's primary language for the life of the object.
class ScopedLanguage {
public:
  explicit ScopedLanguage(LANGID Primary) : m_Saved(SysLocale) {
    SysLocale.PriLangID = Primary;
    SysLocale.DefaultLCID = MAKELCID(MAKELANGID(Primary, SUBLANG_DEFAULT), SORT_DEFAULT);
  }
  ScopedLanguage(const ScopedLanguage&) = delete;
  ScopedLanguage& operator=(const ScopedLanguage&) = delete;
  ~ScopedLanguage() { SysLocale = m_Saved; }

private:
  TSysLocale m_Saved;
};

// The primary language the process was started with, as the test command expects it
// (LM_EXPECT_PRIMARY_LANGUAGE; English when unset).
LANGID ExpectedPrimaryLanguage();

}  // namespace design
