#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <pthread.h>

#include "common/ChainedList.h"

namespace {

int CodeOf(const ChainedList<int>& list, int index) {
  try {
    list.At(index);
  } catch (const ChainedListExeption& e) {
    return e.code;
  }
  return 0;
}

TEST(ChainedList, BadIndicesThrowTheirCodes) {
  ChainedList<int> list;
  EXPECT_EQ(CodeOf(list, 0), -2);
  EXPECT_EQ(CodeOf(list, 1), -1);
  list.Append(new int(10));
  list.Append(new int(20));
  list.Append(new int(30));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(*list.At(2), 30);
  EXPECT_EQ(CodeOf(list, list.Count()), -2);
  EXPECT_EQ(CodeOf(list, list.Count() + 1), -1);
  EXPECT_EQ(CodeOf(list, -1), -1);
}

TEST(ChainedList, ClearEmptiesAndTheListTakesNewValues) {
  ChainedList<std::string> list;
  for (int i = 0; i < 3; ++i) list.Append(new std::string(20, 'a' + i));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Append(new std::string("again"));
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(*list.At(0), "again");
}

// A walk sees what At sees, in order, and stops where Count does: at the end, or at a
// node left without a value.
TEST(ChainedList, AWalkSeesTheValuesAtSees) {
  ChainedList<int> list;
  const auto walked = [&list] { return std::vector<int>(list.begin(), list.end()); };
  EXPECT_TRUE(walked().empty());
  for (int value : {10, 20, 30}) list.Append(new int(value));
  EXPECT_EQ(walked(), (std::vector<int>{10, 20, 30}));
  list.Append(nullptr);
  list.Append(new int(50));
  EXPECT_EQ(walked(), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(static_cast<int>(walked().size()), list.Count());
}

struct Counted {
  static int alive;
  Counted() { ++alive; }
  ~Counted() { --alive; }
};
int Counted::alive = 0;

TEST(ChainedList, ReleasesEveryValueExactlyOnce) {
  {
    ChainedList<Counted> list;
    for (int i = 0; i < 5; ++i) list.Append(new Counted);
    EXPECT_EQ(Counted::alive, 5);
    list.Clear();
    EXPECT_EQ(Counted::alive, 0);
    list.Append(new Counted);
  }
  EXPECT_EQ(Counted::alive, 0);
}

// A list is destroyed without one stack frame per node: 100,000 values on a thread
// with a 256 KiB stack.
TEST(ChainedList, DestroyingALongListNeedsLittleStack) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  auto body = [](void*) -> void* {
    auto* list = new ChainedList<std::string>;
    for (int i = 0; i < 100000; ++i) list->Append(new std::string("value"));
    delete list;
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, body, nullptr), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

}  // namespace
