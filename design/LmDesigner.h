#pragma once

// The form designer's side of design-time support: the interfaces a design-time library
// codes against (IDesigner, TComponentEditor, RegisterComponents, RegisterComponentEditor)
// and what a host uses to load such a library and read back what it registered.

#include <windows.h>

#include <unknwn.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "design/LmDesignerApi.h"
#include "framework/Classes.h"

// {6E1F3B52-8C2D-4B7A-9E41-2D5C0A7F3B61}
inline constexpr IID IID_IDesigner = {0x6e1f3b52, 0x8c2d, 0x4b7a, {0x9e, 0x41, 0x2d, 0x5c, 0x0a, 0x7f, 0x3b, 0x61}};

// The designer of one form, reference counted like any COM interface.
struct IDesigner : public IUnknown {
  // Tells the designer that the edited form changed, so that it is saved and redrawn.
  virtual void STDMETHODCALLTYPE Modified() = 0;
};

// A class reference as the designer handles it: the class name, a way to make an instance
// for a form, and a test whether a component is of the class or a descendant.
struct TComponentClass {
  std::wstring ClassName;
  std::function<TComponent*(TComponent* AOwner)> Create;
  std::function<bool(const TComponent* Component)> IsInstance;
};

template <class T>
TComponentClass ComponentClassOf(std::wstring ClassName) {
  return {std::move(ClassName), [](TComponent* AOwner) -> TComponent* { return new T(AOwner); },
          [](const TComponent* Component) { return dynamic_cast<const T*>(Component) != nullptr; }};
}

// One entry of the designer's context menu, as PrepareItem may adjust it before it shows.
struct TDesignMenuItem {
  std::wstring Caption;
  bool Enabled = true;
  bool Visible = true;
};

// Base of component editors: the designer makes one for a selected component to build the
// context menu (GetVerbCount, GetVerb, PrepareItem), run a chosen entry (ExecuteVerb) and
// answer a double-click (Edit). It has no verbs of its own.
class LMDESIGNER_API TComponentEditor : public TObject {
public:
  // Holds one reference to the designer (which may be null) for the editor's life.
  TComponentEditor(TComponent* AComponent, IDesigner* ADesigner);
  ~TComponentEditor() override;

  TComponent* Component() const { return m_Component; }
  // A new counted reference to the designer.
  Microsoft::WRL::ComPtr<IDesigner> GetDesigner() const { return m_Designer; }

  // Runs the first verb, if there is one.
  virtual void Edit();
  // Does nothing: the base class has no verbs.
  virtual void ExecuteVerb(int32_t Index);
  // An empty caption.
  virtual std::wstring GetVerb(int32_t Index);
  virtual int32_t GetVerbCount();
  // Does nothing; editors that can put their component on the clipboard override it.
  virtual void Copy();
  // Leaves the menu entry as GetVerb made it.
  virtual void PrepareItem(int32_t Index, TDesignMenuItem& Item);

private:
  TComponent* m_Component;                        // not owned: the form's
  Microsoft::WRL::ComPtr<IDesigner> m_Designer;
};

// An editor class reference: its name and a way to make an editor for a component.
struct TComponentEditorClass {
  std::wstring ClassName;
  std::function<std::unique_ptr<TComponentEditor>(TComponent* AComponent, IDesigner* ADesigner)> Create;
};

template <class T>
TComponentEditorClass ComponentEditorClassOf(std::wstring ClassName) {
  return {std::move(ClassName), [](TComponent* AComponent, IDesigner* ADesigner) -> std::unique_ptr<TComponentEditor> {
            return std::make_unique<T>(AComponent, ADesigner);
          }};
}

// Registration operations, called from a design-time library's Register.
// Puts the classes on a palette page, in the order given.
LMDESIGNER_API void RegisterComponents(const std::wstring& Page, const std::vector<TComponentClass>& Classes);
// Makes EditorClass the editor of ComponentClass and its descendants.
LMDESIGNER_API void RegisterComponentEditor(const TComponentClass& ComponentClass,
                                            const TComponentEditorClass& EditorClass);

// What the palette shows: one class on one page, and the library that registered it (null
// for classes the host registered itself).
struct TPaletteEntry {
  std::wstring Page;
  TComponentClass ComponentClass;
  HMODULE Package;
};

// What the editor registrations hold.
struct TEditorEntry {
  TComponentClass ComponentClass;
  TComponentEditorClass EditorClass;
  HMODULE Package;
};

// The palette in registration order.
LMDESIGNER_API std::vector<TPaletteEntry> PaletteEntries();
// The editor registrations in registration order.
LMDESIGNER_API std::vector<TEditorEntry> EditorEntries();
// An editor for Component: of the class registered last for the component's class or one of
// its ancestors, or the plain TComponentEditor when none is registered.
LMDESIGNER_API std::unique_ptr<TComponentEditor> GetComponentEditor(TComponent* Component, IDesigner* Designer);

// A design-time library loaded as the designer loads it: LoadLibraryW, then its exported
// Register. Unloading drops what the library registered and frees it; copies of its entries
// and the editors and components made through them hold the library's code and must be gone
// by then. Raises EFrameworkError when the library cannot be loaded, exports no Register, or
// Register raises.
class LMDESIGNER_API TDesignPackage {
public:
  explicit TDesignPackage(const std::wstring& FileName);
  TDesignPackage(const TDesignPackage&) = delete;
  TDesignPackage& operator=(const TDesignPackage&) = delete;
  ~TDesignPackage();

  HMODULE Module() const { return m_Module; }

private:
  HMODULE m_Module = nullptr;  // owned: freed with FreeLibrary
};

// Name of the registration entry point that a design-time library exports.
inline constexpr char kRegisterProcName[] = "Register";
