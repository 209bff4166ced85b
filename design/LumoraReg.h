#pragma once

#include <cstdint>
#include <string>

#include "design/DclLmApi.h"
#include "design/LmDesigner.h"

// Component editor of TVLumora: five context-menu entries (product line, copyright line, a
// separator, the image library's about box, the display-property dialog), and the property
// dialog on a double-click.
class DCLLM_API TVLmUiEditor : public TComponentEditor {
public:
  using TComponentEditor::TComponentEditor;

  // Shows the display-property dialog, then tells the designer that the form was modified,
  // whether the user confirmed or not. An error of the dialog passes on, and the designer is
  // then not told.
  void Edit() override;
  void ExecuteVerb(int32_t Index) override;
  std::wstring GetVerb(int32_t Index) override;
  int32_t GetVerbCount() override;
};

// The entry point the designer calls when it loads the library: TVLumora on the palette page
// "Lumora", with TVLmUiEditor as its editor.
extern "C" DCLLM_API void Register();
