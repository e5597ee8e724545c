// Prepared statements reused per database by their SQL text.
//
// Short internal statements (generator values, server time, repository
// reads) are taken from the process-wide cache, used by one caller and handed
// back, so the next request for the same text gets the same statement,
// already prepared:
//
//   TFIBQuery* q = GetQueryForUse(tr, "select gen_id(G, 1) from RDB$DATABASE");
//   q->ExecQuery();
//   Int64 id = q->Fields(0)->AsInt64();
//   FreeQueryForUse(q);
//
// The key of a statement is its text without leading and trailing characters
// below 33; letter case counts. A free statement is in its cache's free list
// only, a statement handed out in the in-use list only; two callers that ask
// for one text at the same time get two statements. A statement handed back
// while another free statement holds its text is freed at once.
//
// A database's free statements are freed when it disconnects; all of its
// statements, handed out or not, when it is freed. There is no other limit
// or eviction.
//
// One critical section of the process-wide list guards the list and every
// cache in it; a statement handed out is used without it.
//
// The list is shared by every thread, while each database belongs to the
// thread that uses it. So the list takes no part in component free
// notification, whose bookkeeping is unguarded in both partners: a database
// removes its cache itself when it is freed (RemoveDatabase, under the
// lock), and a cache's own statements are those of its database's thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

class TCacheList;
class TFIBDatabase;
class TFIBQuery;
class TFIBTransaction;
class TObjStringList;

extern const TUnit unit_pFIBCacheQueries;

// The statements of one database.
class TCacheQueries : public TComponent {
 public:
  TCacheQueries(TCacheList* List, TFIBDatabase* Database);
  ~TCacheQueries() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The free statement of the text moved to the in-use list (its transaction
  // set to Transaction), or a new statement on the database and Transaction
  // with the text as given.
  TFIBQuery* GetQuery(TFIBTransaction* Transaction, const String& SQL);
  // A statement of the in-use list becomes the free statement of its current
  // text, or is freed when another one holds that text. Other statements
  // are left alone.
  void ReleaseQuery(TFIBQuery* Query);
  // The free statement of the text, or nullptr.
  TFIBQuery* FindFree(const String& SQL) const;
  // Frees every free statement.
  void ClearFree();

  TFIBDatabase* Database() const { return database_; }
  int FreeCount() const;
  int InUseCount() const { return static_cast<int>(in_use_.size()); }

 private:
  void DatabaseDisconnecting(TObject* Sender);

  TCacheList* list_;
  TFIBDatabase* database_;
  std::unique_ptr<TObjStringList> free_;  // hashed, owns the statements
  std::vector<TFIBQuery*> in_use_;
  bool destroying_ = false;  // statements freed here: no list upkeep
};

// The caches of all databases, at most one per database.
class TCacheList : public TComponent {
 public:
  TCacheList();
  ~TCacheList() override;

  // nullptr when the transaction is nullptr or has no default database. An
  // open statement is not closed here (GetQueryForUse does that).
  TFIBQuery* GetQuery(TFIBTransaction* Transaction, const String& SQL);
  void ReleaseQuery(TFIBQuery* Query);
  // Frees a statement taken from the cache instead of handing it back.
  void FreeQuery(TFIBQuery* Query);
  // Frees the server handle of the free statement of the text, if any.
  void FreeQueryHandle(TFIBDatabase* Database, const String& SQL);
  // Frees the database's cache with all its statements. A database calls it
  // while it is being freed.
  void RemoveDatabase(TFIBDatabase* Database);

  // The database's cache, made on first use. Call under Lock().
  TCacheQueries* CacheOfDatabase(TFIBDatabase* Database);
  // The database's cache, or nullptr. Call under Lock().
  TCacheQueries* FindCache(TFIBDatabase* Database) const;
  int Count() const { return static_cast<int>(caches_.size()); }
  TCriticalSection& Lock() const { return lock_; }

 private:
  mutable TCriticalSection lock_;
  std::vector<TCacheQueries*> caches_;
};

// The process-wide list: made by the unit's initialization, freed by its
// finalization; nullptr outside that time.
TCacheList* CacheList();

// A statement for the text from the cache of the transaction's default
// database, closed when it was left open; nullptr when the transaction is
// nullptr, has no default database or the cache is not initialised.
TFIBQuery* GetQueryForUse(TFIBTransaction* Transaction, const String& SQL);
// Hands a statement back (nothing for nullptr or one without database).
void FreeQueryForUse(TFIBQuery* Query);
// Frees the server handle of the database's free statement of the text; the
// statement stays cached and is prepared again when next used.
void FreeCachedQueryHandle(TFIBDatabase* Database, const String& SQL);
