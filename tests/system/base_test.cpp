#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/base.h"

namespace {

using KvSystem::KvBase;
using KvSystem::KvBaseData;
using KvSystem::KvBaseDataT;
using KvSystem::KvCollect;
using KvSystem::KvGetTag;
using KvSystem::KvTag;

std::vector<int> IntsUnder(const KvBase& holder, KvTag tag) {
  std::vector<int> values;
  for (KvBaseData* item : KvCollect(holder.GetData(tag)))
    values.push_back(static_cast<KvBaseDataT<int>*>(item)->GetData());
  return values;
}

TEST(Tags, ConcurrentInterningGivesOneTagPerName) {
  EXPECT_EQ(KvGetTag(std::string()), 0u);
  EXPECT_EQ(KvGetTag(KvTag{0}), "");
  constexpr int kThreads = 8, kNames = 200;
  std::vector<std::vector<KvTag>> seen(kThreads, std::vector<KvTag>(kNames));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kNames; ++i) {
        const int n = (i * 7 + t * 13) % kNames;  // each thread in its own order
        seen[t][n] = KvGetTag("BaseTest.thread." + std::to_string(n));
      }
    });
  for (auto& thread : threads) thread.join();
  std::set<KvTag> distinct;
  for (int n = 0; n < kNames; ++n) {
    for (int t = 1; t < kThreads; ++t) ASSERT_EQ(seen[t][n], seen[0][n]) << n;
    EXPECT_EQ(KvGetTag(seen[0][n]), "BaseTest.thread." + std::to_string(n));
    distinct.insert(seen[0][n]);
  }
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kNames));
}

TEST(Base, AddFindSetDeleteAndOwnOnce) {
  const KvTag t1 = KvGetTag("BaseTest.one"), t2 = KvGetTag("BaseTest.two");
  KvBase holder;
  EXPECT_EQ(holder.FindData(t1), nullptr);
  holder.AddData(new KvBaseDataT<int>(t1, 1));
  holder.AddData(new KvBaseDataT<int>(t2, 20));
  holder.AddData(new KvBaseDataT<int>(t1, 2));
  EXPECT_EQ(IntsUnder(holder, t1), (std::vector<int>{1, 2}));
  EXPECT_EQ(holder.FindDataT<double>(t2), nullptr) << "wrong type is not found";

  holder.SetData(new KvBaseDataT<int>(t1, 3));
  EXPECT_EQ(IntsUnder(holder, t1), (std::vector<int>{3}));
  EXPECT_EQ(IntsUnder(holder, t2), (std::vector<int>{20}));

  holder.AddData(new KvBaseDataT<int>(t1, 4));
  EXPECT_TRUE(holder.DeleteData(holder.FindData(t1)));
  EXPECT_EQ(IntsUnder(holder, t1), (std::vector<int>{4}));
  KvBaseDataT<int> stranger(t1, 9);
  EXPECT_FALSE(holder.DeleteData(&stranger));
  EXPECT_FALSE(holder.DeleteData(static_cast<const KvBaseData*>(nullptr)));
  EXPECT_EQ(holder.DeleteData(t2), 1u);
  EXPECT_EQ(holder.DeleteData(t2), 0u);

  // An item the holder owns, added or set again, is not owned twice (ASan
  // would catch the double delete); null items are refused.
  KvBaseData* owned = holder.FindData(t1);
  holder.AddData(owned);
  holder.AddData(new KvBaseDataT<int>(t1, 5));
  EXPECT_EQ(IntsUnder(holder, t1), (std::vector<int>{4, 5}));
  holder.SetData(owned);
  EXPECT_EQ(IntsUnder(holder, t1), (std::vector<int>{4}));
  VarnexTest::CaptureSink sink;
  holder.AddData(nullptr);
  holder.SetData(nullptr);
  EXPECT_EQ(sink.Count(), 2u);
  EXPECT_TRUE(sink.Contains("KvBase::AddData() null data item"));
}

TEST(Base, CopiesAreDeep) {
  const KvTag tag = KvGetTag("BaseTest.copy");
  KvBase original;
  original.AddData(new KvBaseDataT<std::vector<int>>(tag, {1, 2, 3}));
  KvBase copy(original);
  copy.FindDataT<std::vector<int>>(tag)->GetData().push_back(4);
  EXPECT_EQ(original.FindDataT<std::vector<int>>(tag)->GetData().size(), 3u);

  KvBase assigned;
  assigned.AddData(new KvBaseDataT<int>(tag, 5));
  assigned = original;
  EXPECT_EQ(assigned.GetAllData().size(), 1u);
  original.ClearData();
  EXPECT_EQ(assigned.FindDataT<std::vector<int>>(tag)->GetData().size(), 3u);
  EXPECT_EQ(copy.GetAllData().size(), 1u);
}

TEST(Base, TypeMismatchNamesTheTagAndBothIds) {
  VarnexTest::CaptureSink sink;
  const KvTag tag = KvGetTag("BaseTest.typed");
  EXPECT_TRUE(KvSystem::KvCheckTypeMismatch(tag, 0x12, 0x12));
  EXPECT_FALSE(KvSystem::KvCheckTypeMismatch(tag, 0x1234, 0xABCDEF0123456789ull));
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvCheckTypeMismatch() data under tag BaseTest.typed has type id "
                                                   "0x0000000000001234, expected 0xABCDEF0123456789"});
}

}  // namespace
