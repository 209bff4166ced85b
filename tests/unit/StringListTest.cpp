#include <gtest/gtest.h>

#include "framework/StringList.h"

TEST(StringList, KeepsLinesInOrder) {
  TStringList list;
  EXPECT_EQ(list.Add(L"one"), 0);
  EXPECT_EQ(list.Add(L"two"), 1);
  list.Insert(1, L"between");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], L"one");
  EXPECT_EQ(list[1], L"between");
  EXPECT_EQ(list.Strings(2), L"two");
  EXPECT_EQ(list.IndexOf(L"two"), 2);
  EXPECT_EQ(list.IndexOf(L"three"), -1);
  EXPECT_EQ(list.Text(), L"one\r\nbetween\r\ntwo\r\n");
  list.Delete(0);
  EXPECT_EQ(list[0], L"between");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, IndexOutOfBoundsRaises) {
  TStringList list;
  list.Add(L"only");
  EXPECT_THROW(list[1], EFrameworkError);
  EXPECT_THROW(list[-1], EFrameworkError);
  EXPECT_THROW(list.Delete(1), EFrameworkError);
  EXPECT_THROW(list.Insert(2, L"x"), EFrameworkError);
  EXPECT_NO_THROW(list.Insert(1, L"end"));
}

TEST(StringList, ChangesAreNotified) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changes;
  };
  list.Add(L"a");
  list.Clear();
  list.Clear();  // already empty: no change
  EXPECT_EQ(changes, 2);
}

TEST(StringList, SetStringsReplacesInPlaceAndNotifies) {
  TStringList list;
  list.Add(L"a");
  list.Add(L"b");
  int changes = 0;
  list.OnChange = [&changes](TObject*) { ++changes; };
  list.SetStrings(1, L"B");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], L"B");
  EXPECT_EQ(changes, 1);
  EXPECT_THROW(list.SetStrings(2, L"x"), EFrameworkError);
  EXPECT_THROW(list.SetStrings(-1, L"x"), EFrameworkError);
}
