#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/FrameworkApi.h"
#include "framework/Sets.h"

// Root of the framework's class tree; every object is destroyed through its virtual destructor.
class FRAMEWORK_API TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject();
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Errors the framework raises; components catch them at their own boundary.
class FRAMEWORK_API EFrameworkError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum TComponentStateElement : uint8_t {
  csLoading = 0,
  csReading = 1,
  csWriting = 2,
  csDestroying = 3,
  csDesigning = 4,
};
using TComponentState = TSet<TComponentStateElement, uint16_t>;

// A component may own other components: destroying the owner destroys them, the most
// recently inserted first. Destroying an owned component removes it from its owner.
class FRAMEWORK_API TComponent : public TObject {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return m_Owner; }
  int ComponentCount() const { return static_cast<int>(m_Components.size()); }
  TComponent* Components(int Index) const;

  TComponentState ComponentState() const { return m_ComponentState; }
  // A designer host marks the components it edits; they then behave as at design time.
  void SetDesigning(bool Designing);

  const std::wstring& Name() const { return m_Name; }
  void SetName(const std::wstring& Name) { m_Name = Name; }

private:
  void InsertComponent(TComponent* Component);
  void RemoveComponent(TComponent* Component);

  TComponent* m_Owner = nullptr;             // not owned: the owner outlives this component
  std::vector<TComponent*> m_Components;     // owned
  TComponentState m_ComponentState;
  std::wstring m_Name;
};
