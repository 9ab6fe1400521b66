// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/containers.h"
#include "runtime/text.h"

TEST(Text, RoundsHalvesToEven) {
  const struct { double in; int64_t out; } cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {17.6, 18}, {632.6, 633}, {-49.5, -50},
  };
  for (auto c : cases) EXPECT_EQ(RoundEven(c.in), c.out) << "RoundEven(" << c.in << ")";
}

TEST(Text, DecimalAndFixed) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-1234), "-1234");
  EXPECT_EQ(DecimalText(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(FixedText(0.0, 1), "0.0");
  EXPECT_EQ(FixedText(1.2000000476837158, 2), "1.20");
  EXPECT_EQ(FixedText(0.49999991059303284, 2), "0.50");
  EXPECT_EQ(FixedText(std::numeric_limits<double>::infinity(), 1), "+Infinity");
  EXPECT_EQ(FixedText(-std::numeric_limits<double>::infinity(), 1), "-Infinity");
  EXPECT_EQ(FixedText(std::nan(""), 1), "NaN");
}

TEST(Containers, MapWalkWithDeletion) {
  KeyedMap<int> map;
  MapCreate(map);
  for (int k = 0; k < 100; ++k) MapAddOrFind(map, std::to_string(k)) = k;
  EXPECT_EQ(MapCount(map), 100u);
  EXPECT_EQ(MapAddOrFind(map, "new"), 0);  // a new value starts zeroed
  MapRemove(map, "new");

  int visited = 0;
  MapReset(map);
  while (int* v = MapNext(map)) {
    ++visited;
    if (*v % 2) MapDeleteCurrent(map);
  }
  EXPECT_EQ(visited, 100);
  EXPECT_EQ(MapCount(map), 50u);
  EXPECT_EQ(MapFind(map, "3"), nullptr);
  ASSERT_NE(MapFind(map, "4"), nullptr);
  MapClear(map);
  EXPECT_EQ(MapCount(map), 0u);
}

TEST(Containers, ListDeleteCurrentKeepsForwardWalk) {
  OrderedList<int> list;
  ListCreate(list);
  for (int k = 1; k <= 5; ++k) ListAddAfterCurrent(list) = k;  // 1 2 3 4 5
  std::vector<int> seen;
  for (int* v = ListFirst(list); v; v = ListNext(list)) {
    seen.push_back(*v);
    if (*v == 1 || *v == 3) ListDeleteCurrent(list);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
  std::vector<int> left;
  for (int* v = ListFirst(list); v; v = ListNext(list)) left.push_back(*v);
  EXPECT_EQ(left, (std::vector<int>{2, 4, 5}));

  ListFirst(list);
  ListAddAfterCurrent(list) = 9;  // after the current element, and current
  EXPECT_EQ(*ListCurrent(list), 9);
  left.clear();
  for (int* v = ListFirst(list); v; v = ListNext(list)) left.push_back(*v);
  EXPECT_EQ(left, (std::vector<int>{2, 9, 4, 5}));
  EXPECT_EQ(ListCount(list), 4u);
}
