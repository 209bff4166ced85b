#pragma once

// The camera library's version-information box: product name, copyright line, web address,
// and the product version, file version and file name read from the library's own version
// resource. Every component's About shows it through LmShowWebCameraAbout.

#include <string>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "webcam/LmWebCamApi.h"

class LMWEBCAM_API TLmWebCameraAboutForm : public TForm {
public:
  explicit TLmWebCameraAboutForm(TComponent* AOwner);

  // The controls, owned by the form, in the order the form declares them.
  TLabel* LabelProduct;
  TLabel* LabelCopy;
  TButton* ButtonOK;
  TGroupBox* GroupBox1;
  TLabel* LabelProductVer;
  TPanel* PanelProductVer;
  TLabel* LabelFileVer;
  TLabel* LabelPack;
  TPanel* PanelPackVer;
  TLabel* LabelURL;

  // OnShow: fills in the versions and the file name of the library.
  void FormShow(TObject* Sender);
  // One version string (FileVersion when FileVersion is true, ProductVersion otherwise) from
  // the first translation of a module's version resource; empty on any failure. The module
  // is loaded for the query and released again before the result returns.
  std::wstring GetDllVer(const std::wstring& FileName, bool FileVersion);
  // Opens LabelURL's current text with the shell.
  void LabelURLClick(TObject* Sender);
  void ButtonOKClick(TObject* Sender);
};

// Creates the box, adapts it to a Japanese locale, shows it modally and destroys it. Nothing
// escapes: an error while adapting or showing ends the box quietly.
LMWEBCAM_API void LmShowWebCameraAbout();
