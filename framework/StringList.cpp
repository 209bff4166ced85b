#include "framework/StringList.h"

const std::wstring& TStringList::operator[](int Index) const {
  CheckIndex(Index, Count() - 1);
  return m_Lines[static_cast<size_t>(Index)];
}

int TStringList::Add(const std::wstring& Line) {
  m_Lines.push_back(Line);
  Changed();
  return Count() - 1;
}

void TStringList::Clear() {
  if (m_Lines.empty()) return;
  m_Lines.clear();
  Changed();
}

void TStringList::Insert(int Index, const std::wstring& Line) {
  CheckIndex(Index, Count());
  m_Lines.insert(m_Lines.begin() + Index, Line);
  Changed();
}

void TStringList::SetStrings(int Index, const std::wstring& Line) {
  CheckIndex(Index, Count() - 1);
  m_Lines[static_cast<size_t>(Index)] = Line;
  Changed();
}

void TStringList::Delete(int Index) {
  CheckIndex(Index, Count() - 1);
  m_Lines.erase(m_Lines.begin() + Index);
  Changed();
}

int TStringList::IndexOf(const std::wstring& Line) const {
  for (int i = 0; i < Count(); ++i)
    if (m_Lines[static_cast<size_t>(i)] == Line) return i;
  return -1;
}

std::wstring TStringList::Text() const {
  std::wstring text;
  for (const auto& line : m_Lines) text += line + L"\r\n";
  return text;
}

void TStringList::Changed() {
  if (OnChange) OnChange(this);
}

void TStringList::CheckIndex(int Index, int Limit) const {
  if (Index < 0 || Index > Limit) throw EFrameworkError("list index out of bounds");
}
