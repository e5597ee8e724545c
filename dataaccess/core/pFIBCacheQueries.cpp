#include "dataaccess/core/pFIBCacheQueries.h"

#include <algorithm>
#include <atomic>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/pFIBLists.h"

namespace {

std::atomic<TCacheList*> g_cache_list{nullptr};

// Sets Flag for the lifetime of the guard and restores it after.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& Flag) : flag_(Flag), saved_(Flag) { flag_ = true; }
  ~TFlagGuard() { flag_ = saved_; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

// ===========================================================================
// TCacheQueries

TCacheQueries::TCacheQueries(TCacheList* List, TFIBDatabase* Database)
    : TComponent(nullptr), list_(List), database_(Database), free_(std::make_unique<TObjStringList>(this, true)) {
  // The callback list drops the handler when this cache is freed.
  database_->BeforeDisconnectEvents()->Add({this, &TCacheQueries::DatabaseDisconnecting});
}

TCacheQueries::~TCacheQueries() {
  TFlagGuard guard(destroying_);
  std::vector<TFIBQuery*> inUse;
  inUse.swap(in_use_);
  for (TFIBQuery* query : inUse) delete query;
  free_->Clear();
}

void TCacheQueries::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || destroying_) return;
  auto* query = dynamic_cast<TFIBQuery*>(AComponent);
  if (query == nullptr) return;
  TCriticalSectionGuard lock(list_->Lock());
  std::erase(in_use_, query);
  // Only the entry of this statement: another free one may hold its text.
  for (int i = free_->Count() - 1; i >= 0; --i) {
    if (free_->Objects(i) == query) free_->DeleteAt(i);
  }
}

TFIBQuery* TCacheQueries::GetQuery(TFIBTransaction* Transaction, const String& SQL) {
  int index;
  if (free_->Find(FastTrim(SQL), index)) {
    auto* query = static_cast<TFIBQuery*>(free_->Objects(index));
    if (query->Transaction() != Transaction) query->SetTransaction(Transaction);
    free_->DeleteAt(index);
    in_use_.push_back(query);
    return query;
  }
  auto query = std::make_unique<TFIBQuery>(nullptr);
  query->SetDatabase(database_);
  query->SetTransaction(Transaction);
  query->SQL()->SetText(SQL);
  FreeNotification(query.get());
  in_use_.push_back(query.get());
  return query.release();
}

void TCacheQueries::ReleaseQuery(TFIBQuery* Query) {
  auto it = std::find(in_use_.begin(), in_use_.end(), Query);
  if (it == in_use_.end()) return;
  in_use_.erase(it);
  const String key = FastTrim(Query->SQL()->Text());
  int index;
  if (free_->Find(key, index)) {
    delete Query;  // in neither list now: nothing else would free it
    return;
  }
  free_->AddObject(key, Query);
}

TFIBQuery* TCacheQueries::FindFree(const String& SQL) const {
  int index;
  return free_->Find(FastTrim(SQL), index) ? static_cast<TFIBQuery*>(free_->Objects(index)) : nullptr;
}

void TCacheQueries::ClearFree() {
  TFlagGuard guard(destroying_);
  free_->Clear();
}

int TCacheQueries::FreeCount() const { return free_->Count(); }

void TCacheQueries::DatabaseDisconnecting(TObject* /*Sender*/) {
  TCriticalSectionGuard lock(list_->Lock());
  ClearFree();
}

// ===========================================================================
// TCacheList

TCacheList::TCacheList() : TComponent(nullptr) {}

TCacheList::~TCacheList() {
  TCriticalSectionGuard lock(lock_);
  std::vector<TCacheQueries*> caches;
  caches.swap(caches_);
  for (TCacheQueries* cache : caches) delete cache;
}

TCacheQueries* TCacheList::FindCache(TFIBDatabase* Database) const {
  for (TCacheQueries* cache : caches_) {
    if (cache->Database() == Database) return cache;
  }
  return nullptr;
}

TCacheQueries* TCacheList::CacheOfDatabase(TFIBDatabase* Database) {
  if (TCacheQueries* cache = FindCache(Database)) return cache;
  auto cache = std::make_unique<TCacheQueries>(this, Database);
  caches_.push_back(cache.get());
  return cache.release();
}

TFIBQuery* TCacheList::GetQuery(TFIBTransaction* Transaction, const String& SQL) {
  if (Transaction == nullptr || Transaction->DefaultDatabase() == nullptr) return nullptr;
  TCriticalSectionGuard lock(lock_);
  return CacheOfDatabase(Transaction->DefaultDatabase())->GetQuery(Transaction, SQL);
}

void TCacheList::ReleaseQuery(TFIBQuery* Query) {
  if (Query == nullptr || Query->Database() == nullptr) return;
  TCriticalSectionGuard lock(lock_);
  if (TCacheQueries* cache = FindCache(Query->Database())) cache->ReleaseQuery(Query);
}

void TCacheList::FreeQuery(TFIBQuery* Query) {
  TCriticalSectionGuard lock(lock_);
  delete Query;  // its cache hears of it
}

void TCacheList::FreeQueryHandle(TFIBDatabase* Database, const String& SQL) {
  if (Database == nullptr) return;
  TCriticalSectionGuard lock(lock_);
  if (TCacheQueries* cache = FindCache(Database)) {
    if (TFIBQuery* query = cache->FindFree(SQL)) query->FreeHandle();
  }
}

void TCacheList::RemoveDatabase(TFIBDatabase* Database) {
  TCriticalSectionGuard lock(lock_);
  for (size_t i = caches_.size(); i-- > 0;) {
    TCacheQueries* cache = caches_[i];
    if (cache->Database() != Database) continue;
    caches_.erase(caches_.begin() + static_cast<std::ptrdiff_t>(i));
    delete cache;
  }
}

// ===========================================================================
// Routines

TCacheList* CacheList() { return g_cache_list.load(std::memory_order_acquire); }

TFIBQuery* GetQueryForUse(TFIBTransaction* Transaction, const String& SQL) {
  TCacheList* list = CacheList();
  if (list == nullptr) return nullptr;
  TFIBQuery* query = list->GetQuery(Transaction, SQL);
  if (query != nullptr && query->Open()) {
    try {
      query->Close();
    } catch (...) {
      list->FreeQuery(query);
      throw;
    }
  }
  return query;
}

void FreeQueryForUse(TFIBQuery* Query) {
  if (TCacheList* list = CacheList()) list->ReleaseQuery(Query);
}

void FreeCachedQueryHandle(TFIBDatabase* Database, const String& SQL) {
  if (TCacheList* list = CacheList()) list->FreeQueryHandle(Database, SQL);
}

// ===========================================================================
// Unit

namespace {

void InitpFIBCacheQueries() { g_cache_list.store(new TCacheList(), std::memory_order_release); }

void FinalpFIBCacheQueries() { delete g_cache_list.exchange(nullptr, std::memory_order_acq_rel); }

constexpr const TUnit* kUses[] = {&unit_FIBQuery, &unit_StrUtil};

}  // namespace

constinit const TUnit unit_pFIBCacheQueries("pFIBCacheQueries", kUses, InitpFIBCacheQueries,
                                            FinalpFIBCacheQueries);
