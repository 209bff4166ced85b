#include "framework/Classes.h"

#include <algorithm>

TObject::~TObject() = default;

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  m_ComponentState.Include(csDestroying);
  while (!m_Components.empty()) {
    TComponent* child = m_Components.back();
    m_Components.pop_back();
    child->m_Owner = nullptr;
    delete child;
  }
  if (m_Owner) m_Owner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount()) throw EFrameworkError("component index out of bounds");
  return m_Components[static_cast<size_t>(Index)];
}

void TComponent::SetDesigning(bool Designing) {
  if (Designing)
    m_ComponentState.Include(csDesigning);
  else
    m_ComponentState.Exclude(csDesigning);
}

void TComponent::InsertComponent(TComponent* Component) {
  m_Components.push_back(Component);
  Component->m_Owner = this;
}

void TComponent::RemoveComponent(TComponent* Component) {
  auto found = std::find(m_Components.begin(), m_Components.end(), Component);
  if (found != m_Components.end()) m_Components.erase(found);
  Component->m_Owner = nullptr;
}
