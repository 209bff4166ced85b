#pragma once

// Drives the display-property dialog while ShowDispEditor (or the editor) shows it modally.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "design/LmEdit.h"
#include "display/Lumora.h"
#include "support/ModalSteps.h"

namespace design {

// The property dialog's form on screen, or null.
TLumoraEditor* ShownPropertyDialog();
// A step that acts on the property dialog once it shows and no other dialog is over it.
modal::Step OnPropertyDialog(std::function<void(TLumoraEditor&)> Act);
// A step that acts on the colour chooser once it shows.
modal::Step OnColorChooser(std::function<void(HWND)> Act);

// Clicks a button as the user does, through the message queue.
void Click(TWinControl* Button);
// Closes a form through its close box's system command.
void CloseBox(TWinControl* Form);
// Types Text into Control: focus, then one WM_CHAR per character.
void Type(TWinControl* Control, const std::wstring& Text);
// Puts Text into an edit box where the caret is, as pasting does, with no key messages.
void Paste(TWinControl* Edit, const std::wstring& Text);
// Presses a mouse button on a control, through the message queue.
void MouseDownOn(TWinControl* Control, UINT DownMessage);

// A component whose 25 settings all differ from the defaults and from each other's kind.
void PrepareComponent(TVLumora& Lumora);
// The setter calls that OK without changes makes on a PrepareComponent component.
std::vector<std::wstring> PreparedSetterLog();

}  // namespace design
