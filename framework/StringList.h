#pragma once

#include <string>
#include <vector>

#include "framework/Classes.h"

// An ordered list of lines. Add and Clear are virtual so that a list can observe or refuse
// changes (a refusal is an exception).
class FRAMEWORK_API TStringList : public TObject {
public:
  TStringList() = default;

  int Count() const { return static_cast<int>(m_Lines.size()); }
  // Raises EFrameworkError for an index outside 0 .. Count() - 1.
  const std::wstring& operator[](int Index) const;
  const std::wstring& Strings(int Index) const { return (*this)[Index]; }
  // Replaces the line at Index in place.
  void SetStrings(int Index, const std::wstring& Line);

  // Appends a line and returns its index.
  virtual int Add(const std::wstring& Line);
  virtual void Clear();
  void Insert(int Index, const std::wstring& Line);
  void Delete(int Index);
  // Index of the first line equal to Line, or -1.
  int IndexOf(const std::wstring& Line) const;
  // The lines, each followed by CR LF.
  std::wstring Text() const;

  TNotifyEvent OnChange;

protected:
  void Changed();

private:
  void CheckIndex(int Index, int Limit) const;

  std::vector<std::wstring> m_Lines;
};
