#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "dataaccess/core/pFIBEventLists.h"

// GCC 12 takes the inlined destructor of a class with TObject's destroying
// delete for a mismatched new/delete pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// A component with handlers that count their calls.
class TListener : public TComponent {
 public:
  using TComponent::TComponent;
  void Connected(TObject*) { ++connected; }
  void Closed(TObject*) { ++closed; }
  int connected = 0, closed = 0;
};

struct THandler {
  void Fire(TObject*) { ++calls; }
  int calls = 0;
};

void FireAll(const TCallBackList& list, TObject* sender) {
  for (int i = 0; i < list.Count(); ++i) list.GetCallBack(i).As<void(TObject*)>()(sender);
}

}  // namespace

TEST(CallBackList, AddsEachMethodOnceAndRemovesByMethodOrObject) {
  std::unique_ptr<TNotifyEventList> list(new TNotifyEventList(nullptr));
  std::unique_ptr<TListener> a(new TListener(nullptr)), b(new TListener(nullptr));
  EXPECT_EQ(list->Add({a.get(), &TListener::Connected}), 0);
  EXPECT_EQ(list->Add({a.get(), &TListener::Closed}), 1);
  EXPECT_EQ(list->Add({b.get(), &TListener::Connected}), 2);
  EXPECT_EQ(list->Add({a.get(), &TListener::Connected}), 0);  // the same method again
  EXPECT_EQ(list->Count(), 3);

  FireAll(*list, nullptr);
  EXPECT_EQ(a->connected, 1);
  EXPECT_EQ(a->closed, 1);
  EXPECT_EQ(b->connected, 1);

  list->Remove({a.get(), &TListener::Closed});
  EXPECT_EQ(list->Count(), 2);
  list->RemoveObjectCallBacks(a.get());
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->GetCallBack(0), TMethod(TNotifyEvent(b.get(), &TListener::Connected)));

  // A callable bound to an object equals only its own copies.
  TNotifyEvent lambda(b.get(), [](TObject*) {});
  EXPECT_EQ(list->Add(lambda), 1);
  EXPECT_EQ(list->Add(lambda), 1);
  EXPECT_EQ(list->Add(TNotifyEvent(b.get(), [](TObject*) {})), 2);
}

TEST(CallBackList, OutsideIndexGivesEmptyMethod) {
  std::unique_ptr<TNotifyEventList> list(new TNotifyEventList(nullptr));
  THandler h;
  list->Add({&h, &THandler::Fire});
  for (int index : {-1, 1, 100}) {
    EXPECT_FALSE(list->GetCallBack(index).Assigned());
    EXPECT_EQ(list->GetItem(index), nullptr);
  }
  ASSERT_NE(list->GetItem(0), nullptr);
  EXPECT_EQ(list->GetItem(0)->Data(), &h);
  // A method of another signature is no notify event.
  EXPECT_FALSE(list->GetCallBack(0).As<void()>().Assigned());
}

TEST(CallBackList, FreedComponentLeavesEveryList) {
  std::unique_ptr<TNotifyEventList> first(new TNotifyEventList(nullptr));
  std::unique_ptr<TNotifyEventList> second(new TNotifyEventList(nullptr));
  auto* listener = new TListener(nullptr);
  std::unique_ptr<TListener> other(new TListener(nullptr));
  first->Add({listener, &TListener::Connected});
  first->Add({other.get(), &TListener::Connected});
  second->Add({listener, &TListener::Closed});
  second->Add({listener, [](TObject*) {}});
  delete listener;
  EXPECT_EQ(first->Count(), 1);
  EXPECT_EQ(second->Count(), 0);
  FireAll(*first, nullptr);
  EXPECT_EQ(other->connected, 1);

  // A list freed first is forgotten by the component it watched.
  first.reset();
  other.reset();
}

TEST(CallBackList, ConcurrentRegistration) {
  std::unique_ptr<TNotifyEventList> list(new TNotifyEventList(nullptr));
  constexpr int kThreads = 4, kEach = 200;
  std::vector<std::unique_ptr<THandler>> handlers;
  for (int i = 0; i < kThreads * kEach; ++i) handlers.push_back(std::make_unique<THandler>());
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        THandler* h = handlers[static_cast<size_t>(t * kEach + i)].get();
        list->Add({h, &THandler::Fire});
        list->Add({h, &THandler::Fire});
        if (i % 2) list->Remove({h, &THandler::Fire});
        (void)list->GetCallBack(i);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(list->Count(), kThreads * kEach / 2);
}

namespace {
int g_reads = 0;
void Upper(void*& buffer, Integer& size) {
  ++g_reads;
  for (Integer i = 0; i < size; ++i) {
    char& c = static_cast<char*>(buffer)[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
}
// Replaces the data by a longer block.
void Doubled(void*& buffer, Integer& size) {
  void* p = std::malloc(static_cast<size_t>(size) * 2);
  std::memcpy(p, buffer, static_cast<size_t>(size));
  std::memcpy(static_cast<char*>(p) + size, buffer, static_cast<size_t>(size));
  std::free(buffer);
  buffer = p;
  size *= 2;
}
}  // namespace

TEST(BlobFilterList, AppliesFiltersOfNegativeSubtypesToData) {
  TBlobFilterList filters;
  filters.AddFilter(-1, Upper, nullptr);
  filters.AddFilter(-10, nullptr, Doubled);
  filters.AddFilter(-5, Upper, Doubled);
  filters.AddFilter(1, Upper, Upper);

  int position = -1;
  EXPECT_TRUE(filters.Find(-5, position));
  EXPECT_EQ(position, 1);
  EXPECT_FALSE(filters.Find(-7, position));
  EXPECT_EQ(position, 1);
  EXPECT_EQ(filters.GetFilter(-10, true), nullptr);
  EXPECT_EQ(filters.GetFilter(-10, false), &Doubled);
  EXPECT_EQ(filters.GetFilter(-2, true), nullptr);

  void* data = std::malloc(3);
  std::memcpy(data, "abc", 3);
  Integer size = 3;
  g_reads = 0;
  filters.ApplyFilter(data, size, true, 1);   // subtype not negative
  filters.ApplyFilter(data, size, true, -2);  // no filter
  EXPECT_EQ(std::string(static_cast<char*>(data), 3), "abc");
  filters.ApplyFilter(data, size, true, -5);
  EXPECT_EQ(std::string(static_cast<char*>(data), 3), "ABC");
  filters.ApplyFilter(data, size, false, -5);
  EXPECT_EQ(std::string(static_cast<char*>(data), static_cast<size_t>(size)), "ABCABC");
  Integer empty = 0;
  filters.ApplyFilter(data, empty, true, -5);  // no data
  EXPECT_EQ(g_reads, 1);

  filters.AddFilter(-5, nullptr, nullptr);  // replaced, not added
  EXPECT_EQ(filters.Count(), 4);
  EXPECT_EQ(filters.GetFilter(-5, true), nullptr);
  filters.RemoveFilter(-5);
  EXPECT_FALSE(filters.Find(-5, position));
  std::free(data);
}
