#include "design/LmDesigner.h"

#include <algorithm>

namespace {

// What design-time libraries registered, in registration order. The designer runs on one
// GUI thread, so there is no lock.
struct TRegistry {
  std::vector<TPaletteEntry> Palette;
  std::vector<TEditorEntry> Editors;
  HMODULE Loading = nullptr;  // the library whose Register is running, if any
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

void DropPackage(HMODULE Package) {
  TRegistry& registry = Registry();
  std::erase_if(registry.Palette, [Package](const TPaletteEntry& entry) { return entry.Package == Package; });
  std::erase_if(registry.Editors, [Package](const TEditorEntry& entry) { return entry.Package == Package; });
}

}  // namespace

TComponentEditor::TComponentEditor(TComponent* AComponent, IDesigner* ADesigner)
    : m_Component(AComponent), m_Designer(ADesigner) {}

TComponentEditor::~TComponentEditor() = default;

void TComponentEditor::Edit() {
  if (GetVerbCount() > 0) ExecuteVerb(0);
}

void TComponentEditor::ExecuteVerb(int32_t /*Index*/) {}

std::wstring TComponentEditor::GetVerb(int32_t /*Index*/) { return std::wstring(); }

int32_t TComponentEditor::GetVerbCount() { return 0; }

void TComponentEditor::Copy() {}

void TComponentEditor::PrepareItem(int32_t /*Index*/, TDesignMenuItem& /*Item*/) {}

void RegisterComponents(const std::wstring& Page, const std::vector<TComponentClass>& Classes) {
  TRegistry& registry = Registry();
  for (const TComponentClass& componentClass : Classes)
    registry.Palette.push_back(TPaletteEntry{Page, componentClass, registry.Loading});
}

void RegisterComponentEditor(const TComponentClass& ComponentClass, const TComponentEditorClass& EditorClass) {
  TRegistry& registry = Registry();
  registry.Editors.push_back(TEditorEntry{ComponentClass, EditorClass, registry.Loading});
}

std::vector<TPaletteEntry> PaletteEntries() { return Registry().Palette; }

std::vector<TEditorEntry> EditorEntries() { return Registry().Editors; }

std::unique_ptr<TComponentEditor> GetComponentEditor(TComponent* Component, IDesigner* Designer) {
  const std::vector<TEditorEntry>& editors = Registry().Editors;
  const auto found = std::find_if(editors.rbegin(), editors.rend(), [Component](const TEditorEntry& entry) {
    return entry.ComponentClass.IsInstance(Component);
  });
  if (found != editors.rend()) return found->EditorClass.Create(Component, Designer);
  return std::make_unique<TComponentEditor>(Component, Designer);
}

TDesignPackage::TDesignPackage(const std::wstring& FileName) {
  m_Module = LoadLibraryW(FileName.c_str());
  if (!m_Module) throw EFrameworkError("cannot load the design-time library");
  using TRegisterProc = void (*)();
  // void (*)() is the generic function type: the cast from FARPROC needs no detour.
  const auto registerProc = reinterpret_cast<TRegisterProc>(GetProcAddress(m_Module, kRegisterProcName));
  if (!registerProc) {
    FreeLibrary(m_Module);
    throw EFrameworkError("the design-time library exports no Register");
  }
  TRegistry& registry = Registry();
  registry.Loading = m_Module;
  try {
    registerProc();
  } catch (...) {
    registry.Loading = nullptr;
    DropPackage(m_Module);
    FreeLibrary(m_Module);
    throw EFrameworkError("the design-time library's Register failed");
  }
  registry.Loading = nullptr;
}

TDesignPackage::~TDesignPackage() {
  DropPackage(m_Module);
  FreeLibrary(m_Module);
}
