#include <gtest/gtest.h>

#include <vector>

#include "framework/Classes.h"

namespace {

class TracedComponent : public TComponent {
public:
  TracedComponent(TComponent* owner, int id, std::vector<int>& destroyed)
      : TComponent(owner), m_Id(id), m_Destroyed(destroyed) {}
  ~TracedComponent() override { m_Destroyed.push_back(m_Id); }

private:
  int m_Id;
  std::vector<int>& m_Destroyed;
};

}  // namespace

TEST(Component, OwnerDestroysOwnedComponentsLastInsertedFirst) {
  std::vector<int> destroyed;
  auto* owner = new TracedComponent(nullptr, 0, destroyed);
  auto* first = new TracedComponent(owner, 1, destroyed);
  new TracedComponent(owner, 2, destroyed);
  new TracedComponent(first, 11, destroyed);
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(0), first);
  EXPECT_EQ(first->Owner(), owner);
  delete owner;
  // The owner's own destructor body runs first; the owned components go as its base part is
  // destroyed, each taking its own owned components with it.
  EXPECT_EQ(destroyed, (std::vector<int>{0, 2, 1, 11}));
}

TEST(Component, DestroyingAnOwnedComponentRemovesItFromItsOwner) {
  std::vector<int> destroyed;
  TracedComponent owner(nullptr, 0, destroyed);
  auto* child = new TracedComponent(&owner, 1, destroyed);
  delete child;
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_THROW(owner.Components(0), EFrameworkError);
}

TEST(Component, DesigningFlag) {
  TComponent component(nullptr);
  EXPECT_FALSE(component.ComponentState().Contains(csDesigning));
  component.SetDesigning(true);
  EXPECT_TRUE(component.ComponentState().Contains(csDesigning));
  component.SetDesigning(false);
  EXPECT_FALSE(component.ComponentState().Contains(csDesigning));
}
