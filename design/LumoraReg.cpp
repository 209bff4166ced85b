#include "design/LumoraReg.h"

#include "design/LmEdit.h"
#include "display/Lumora.h"
#include "framework/SysLocale.h"

namespace {

// Entries the editor adds to the base class's (which has none).
constexpr int32_t kVerbCount = 5;

// Menu captions follow the user's locale each time they are asked for.
bool JapaneseLocale() { return SysLocale.PriLangID == LANG_JAPANESE; }

}  // namespace

int32_t TVLmUiEditor::GetVerbCount() { return TComponentEditor::GetVerbCount() + kVerbCount; }

std::wstring TVLmUiEditor::GetVerb(int32_t Index) {
  switch (Index) {
    case 0:
      return L"Lumora10 VCL Lumora Component";
    case 1:
      return L"Copyright (C) 2026 Lumora Project";
    case 2:
      return L"-";  // the designer draws a separator line
    case 3:
      return JapaneseLocale() ? L"バージョン情報..." : L"Version Information...";
    case 4:
      return JapaneseLocale() ? L"編集..." : L"Edit...";
    default:
      return TComponentEditor::GetVerb(Index);
  }
}

void TVLmUiEditor::ExecuteVerb(int32_t Index) {
  // Unsigned, so that a negative index counts as a large one and goes to the base class.
  const uint32_t verb = static_cast<uint32_t>(Index);
  if (verb <= 3)
    LumoraShowAbout();  // the product and copyright lines lead to the about box as well
  else if (verb == 4)
    Edit();
  else
    TComponentEditor::ExecuteVerb(Index);
}

void TVLmUiEditor::Edit() {
  // One reference for the length of the dialog; it goes whether the dialog returns or raises.
  const Microsoft::WRL::ComPtr<IDesigner> designer = GetDesigner();
  auto* lumora = dynamic_cast<TVLumora*>(Component());
  if (!lumora) throw EFrameworkError("the edited component is not a TVLumora");
  ShowDispEditor(lumora);
  if (designer) designer->Modified();
}

extern "C" void Register() {
  const TComponentClass lumora = ComponentClassOf<TVLumora>(L"TVLumora");
  RegisterComponents(L"Lumora", {lumora});
  RegisterComponentEditor(lumora, ComponentEditorClassOf<TVLmUiEditor>(L"TVLmUiEditor"));
}
