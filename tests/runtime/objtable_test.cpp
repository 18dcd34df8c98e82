#include <gtest/gtest.h>

#include <vector>

#include "objtable.h"

namespace {

struct Thing {
  int handle = 0;
  int payload = 0;
  bool InUse() const { return handle != 0; }
};

std::vector<ObjectNumber> g_released;
ObjectTable<Thing>* g_table = nullptr;

void ReleaseThing(ObjectNumber number) {
  if (!g_table->Lookup(number)) return;
  g_released.push_back(number);
  g_table->Free(number);
}

class ObjectTableTest : public ::testing::Test {
 protected:
  ObjectTableTest() : table(16, ReleaseThing) {
    g_table = &table;
    g_released.clear();
  }
  Thing* Make(ObjectNumber number, int handle) {
    Thing* t = table.Slot(number);
    if (t) t->handle = handle;
    return t;
  }
  ObjectTable<Thing> table;
};

TEST_F(ObjectTableTest, GrowsToNumberPlusStepAndKeepsOthersFree) {
  EXPECT_EQ(table.Capacity(), 16u);
  Make(3, 33);
  Make(40, 77);
  EXPECT_EQ(table.Capacity(), 56u);
  EXPECT_EQ(table.Lookup(3)->handle, 33);
  EXPECT_EQ(table.Lookup(40)->handle, 77);
  for (ObjectNumber n = 0; n < 40; ++n) {
    if (n == 3) continue;
    EXPECT_EQ(table.Lookup(n), nullptr) << n;
  }
}

TEST_F(ObjectTableTest, ReusingANumberReleasesTheOldObjectFirst) {
  Thing* first = Make(1, 11);
  ASSERT_NE(first, nullptr);
  Thing* second = table.Slot(1);
  EXPECT_EQ(g_released, std::vector<ObjectNumber>{1});
  // The new object failed to come up: the number is free.
  EXPECT_EQ(second->handle, 0);
  EXPECT_EQ(table.Lookup(1), nullptr);
}

TEST_F(ObjectTableTest, AnyNumberRecordsAreDistinctAndNotSlotNumbers) {
  Thing* a = Make(ANY_NUMBER, 1);
  Thing* b = Make(ANY_NUMBER, 2);
  ObjectNumber na = table.NumberOf(a), nb = table.NumberOf(b);
  EXPECT_NE(na, nb);
  EXPECT_GE(na, static_cast<ObjectNumber>(table.Capacity()));
  EXPECT_GE(nb, static_cast<ObjectNumber>(table.Capacity()));
  EXPECT_EQ(table.Lookup(na), a);
  EXPECT_EQ(table.Lookup(nb), b);
  table.Free(na);
  EXPECT_EQ(table.Lookup(na), nullptr);
  EXPECT_EQ(table.Lookup(nb), b);
}

TEST_F(ObjectTableTest, InvalidNumbersNameNothing) {
  EXPECT_EQ(table.Slot(-2), nullptr);
  EXPECT_EQ(table.Slot(OBJECT_NUMBER_LIMIT), nullptr);
  EXPECT_EQ(table.Capacity(), 16u);
  EXPECT_EQ(table.Lookup(-5), nullptr);
  EXPECT_EQ(table.Lookup(123456789), nullptr);
  table.Free(999);  // harmless
}

TEST_F(ObjectTableTest, ReleaseAllGoesSlotsFirstThenOldestDynamic) {
  Thing* d1 = Make(ANY_NUMBER, 5);
  Make(7, 7);
  Thing* d2 = Make(ANY_NUMBER, 6);
  Make(2, 2);
  ObjectNumber n1 = table.NumberOf(d1), n2 = table.NumberOf(d2);
  table.ReleaseAll();
  EXPECT_EQ(g_released, (std::vector<ObjectNumber>{2, 7, n1, n2}));
  EXPECT_EQ(table.Lookup(2), nullptr);
  EXPECT_EQ(table.Lookup(n2), nullptr);
}

TEST_F(ObjectTableTest, RecordsKeepTheirAddressWhenTheTableGrows) {
  Thing* t = Make(1, 9);
  Make(500, 1);
  EXPECT_EQ(table.Lookup(1), t);
  EXPECT_EQ(t->handle, 9);
}

}  // namespace
