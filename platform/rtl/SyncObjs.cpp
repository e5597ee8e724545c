#include "platform/rtl/SyncObjs.h"

#include <chrono>

// ---------------------------------------------------------------------------
// TCriticalSection

void TCriticalSection::Enter() {
  const auto self = std::this_thread::get_id();
  if (owner_.load(std::memory_order_relaxed) == self) {
    ++depth_;
    return;
  }
  mutex_.lock();
  owner_.store(self, std::memory_order_relaxed);
  depth_ = 1;
}

bool TCriticalSection::TryEnter() {
  const auto self = std::this_thread::get_id();
  if (owner_.load(std::memory_order_relaxed) == self) {
    ++depth_;
    return true;
  }
  if (!mutex_.try_lock()) return false;
  owner_.store(self, std::memory_order_relaxed);
  depth_ = 1;
  return true;
}

void TCriticalSection::Leave() {
  if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id())
    throw ESyncObjectException("Critical section is not held by the calling thread");
  if (--depth_ == 0) {
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }
}

// ---------------------------------------------------------------------------
// TMultiReadExclusiveWriteSynchronizer

void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  auto it = reads_.find(self);
  if (it != reads_.end()) {
    ++it->second;  // nested read: never waits, or a waiting writer would deadlock it
    return;
  }
  if (writer_ == self) {
    reads_.emplace(self, 1);
    return;
  }
  const uint64_t seen_ends = write_ends_;
  auto may_enter = [&] {
    // No writer inside; and no writer waiting, unless a write ended while this
    // reader waited (such readers go before the next writer).
    return writer_ == std::thread::id() && (next_ticket_ == serving_ || seen_ends != write_ends_);
  };
  if (!may_enter()) {
    ++waiting_readers_;
    readers_cv_.wait(lock, may_enter);
    --waiting_readers_;
  }
  if (seen_ends != write_ends_ && readers_pass_ > 0 && --readers_pass_ == 0) writers_cv_.notify_all();
  reads_.emplace(self, 1);
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
  const auto self = std::this_thread::get_id();
  std::lock_guard lock(mutex_);
  auto it = reads_.find(self);
  if (it == reads_.end()) throw ESyncObjectException("EndRead without BeginRead");
  if (--it->second == 0) {
    reads_.erase(it);
    if (reads_.empty()) writers_cv_.notify_all();
  }
}

bool TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  if (writer_ == self) {
    ++write_depth_;
    return true;
  }
  // A promoting reader gives up its reads for the wait.
  unsigned held_reads = 0;
  if (auto it = reads_.find(self); it != reads_.end()) {
    held_reads = it->second;
    reads_.erase(it);
    if (reads_.empty()) writers_cv_.notify_all();
  }
  const uint64_t start_revision = revision_;
  const uint64_t ticket = next_ticket_++;
  writers_cv_.wait(lock, [&] {
    return ticket == serving_ && writer_ == std::thread::id() && reads_.empty() && readers_pass_ == 0;
  });
  ++serving_;
  writer_ = self;
  write_depth_ = 1;
  if (held_reads > 0) reads_.emplace(self, held_reads);
  ++revision_;
  return revision_ - 1 == start_revision;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
  std::lock_guard lock(mutex_);
  if (writer_ != std::this_thread::get_id()) throw ESyncObjectException("EndWrite without BeginWrite");
  if (--write_depth_ > 0) return;
  writer_ = std::thread::id();
  ++write_ends_;
  readers_pass_ = waiting_readers_;
  readers_cv_.notify_all();
  writers_cv_.notify_all();
}

// ---------------------------------------------------------------------------
// TEvent

void TEvent::SetEvent() {
  std::lock_guard lock(mutex_);
  signaled_ = true;
  if (manual_) cv_.notify_all();
  else cv_.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard lock(mutex_);
  signaled_ = false;
}

TWaitResult TEvent::WaitFor(Cardinal Timeout) {
  std::unique_lock lock(mutex_);
  auto signaled = [this] { return signaled_; };
  if (Timeout == INFINITE) {
    cv_.wait(lock, signaled);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(Timeout), signaled)) {
    return wrTimeout;
  }
  if (!manual_) signaled_ = false;
  return wrSignaled;
}
