// Run-time binding of the server's client library.
//
// TIBClientLibrary loads the library by name (LoadLibrary resolves the old
// Windows names to libfbclient.so.2), binds its entry points in groups, probes
// the client version and offers one wrapper per entry point through the
// reference-counted interface IIBClientLibrary. Wrappers take the entry
// point's published arguments (the status vector first where it has one) and
// return its result unchanged; checking the status is the caller's job.
//
//   IIBClientLibraryRef lib = TIBClientLibrary::Create("libfbclient.so.2");
//   lib->isc_attach_database(StatusVector(), 0, path, &db, dpbLength, dpb.data());
//
// Calling an entry point the library does not export raises
// "Can't find procedure %s in %s" instead of calling through an empty pointer.
//
// Lifetime. A binding made by TIBClientLibrary::Create is the caller's own:
// the library unloads when its last reference goes or on FreeLibrary. The
// databases use SharedClientLibrary instead: one binding per library name
// for the whole process, loaded on first use and kept, with the library,
// until this unit's finalization (when no other thread may run). So no
// thread ever unloads the library while another one calls into it, and
// connects do not reload it each time.
//
// On 32-bit x86 the library's callers set the x87 precision-control bits when
// loading it and restore the default control word after every client call.
// On x86-64 Linux arithmetic runs in SSE with every floating-point exception
// masked, and unmasking x87 exceptions would only risk crashes, so nothing
// sets or restores the control word here.
#pragma once

#include <atomic>
#include <utility>

#include "dataaccess/core/ibase.h"
#include "platform/os/Modules.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

// Number of event names isc_event_block always passes.
inline constexpr int kEventBlockNames = 15;

// The wrapped entry points, in interface order (the InterBase-only batch
// calls are not in the installed header; their parameters are InterBase's):
//   X(name, result, parameters, arguments, sets the busy flag, declared by <ibase.h> or extra)
// isc_event_block is declared by hand (its entry point is variadic).
// clang-format off
#define IB_CLIENT_ENTRY_POINTS(X)                                                                  \
  X(isc_attach_database, ISC_STATUS,                                                               \
    (ISC_STATUS* sv, short name_length, const ISC_SCHAR* name, isc_db_handle* db,                  \
     short dpb_length, const ISC_SCHAR* dpb),                                                      \
    (sv, name_length, name, db, dpb_length, dpb), true, header)                                    \
  X(isc_array_get_slice, ISC_STATUS,                                                               \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* array_id,                     \
     const ISC_ARRAY_DESC* desc, void* slice, ISC_LONG* slice_length),                             \
    (sv, db, tr, array_id, desc, slice, slice_length), false, header)                              \
  X(isc_array_lookup_bounds, ISC_STATUS,                                                           \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* relation,              \
     const ISC_SCHAR* field, ISC_ARRAY_DESC* desc),                                                \
    (sv, db, tr, relation, field, desc), false, header)                                            \
  X(isc_array_lookup_desc, ISC_STATUS,                                                             \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* relation,              \
     const ISC_SCHAR* field, ISC_ARRAY_DESC* desc),                                                \
    (sv, db, tr, relation, field, desc), false, header)                                            \
  X(isc_array_set_desc, ISC_STATUS,                                                                \
    (ISC_STATUS* sv, const ISC_SCHAR* relation, const ISC_SCHAR* field, const short* sql_dtype,    \
     const short* sql_length, const short* dimensions, ISC_ARRAY_DESC* desc),                      \
    (sv, relation, field, sql_dtype, sql_length, dimensions, desc), false, header)                 \
  X(isc_array_put_slice, ISC_STATUS,                                                               \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* array_id,                     \
     const ISC_ARRAY_DESC* desc, void* slice, ISC_LONG* slice_length),                             \
    (sv, db, tr, array_id, desc, slice, slice_length), false, header)                              \
  X(isc_blob_info, ISC_STATUS,                                                                     \
    (ISC_STATUS* sv, isc_blob_handle* blob, short items_length, const ISC_SCHAR* items,            \
     short buffer_length, ISC_SCHAR* buffer),                                                      \
    (sv, blob, items_length, items, buffer_length, buffer), true, header)                          \
  X(isc_cancel_events, ISC_STATUS, (ISC_STATUS* sv, isc_db_handle* db, ISC_LONG* event_id),        \
    (sv, db, event_id), true, header)                                                              \
  X(isc_que_events, ISC_STATUS,                                                                    \
    (ISC_STATUS* sv, isc_db_handle* db, ISC_LONG* event_id, short length,                          \
     const ISC_UCHAR* event_buffer, ISC_EVENT_CALLBACK callback, void* arg),                       \
    (sv, db, event_id, length, event_buffer, callback, arg), true, header)                         \
  X(isc_wait_for_event, ISC_STATUS,                                                                \
    (ISC_STATUS* sv, isc_db_handle* db, short length, const ISC_UCHAR* event_buffer,               \
     ISC_UCHAR* result_buffer),                                                                    \
    (sv, db, length, event_buffer, result_buffer), true, header)                                   \
  X(isc_close_blob, ISC_STATUS, (ISC_STATUS* sv, isc_blob_handle* blob), (sv, blob), true,         \
    header)                                                                                        \
  X(isc_create_blob2, ISC_STATUS,                                                                  \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,                  \
     ISC_QUAD* blob_id, short bpb_length, const ISC_SCHAR* bpb),                                   \
    (sv, db, tr, blob, blob_id, bpb_length, bpb), true, header)                                    \
  X(isc_commit_retaining, ISC_STATUS, (ISC_STATUS* sv, isc_tr_handle* tr), (sv, tr), true,         \
    header)                                                                                        \
  X(isc_commit_transaction, ISC_STATUS, (ISC_STATUS* sv, isc_tr_handle* tr), (sv, tr), true,       \
    header)                                                                                        \
  X(isc_transaction_info, ISC_STATUS,                                                              \
    (ISC_STATUS* sv, isc_tr_handle* tr, short items_length, const ISC_SCHAR* items,                \
     short buffer_length, ISC_SCHAR* buffer),                                                      \
    (sv, tr, items_length, items, buffer_length, buffer), true, header)                            \
  X(isc_database_info, ISC_STATUS,                                                                 \
    (ISC_STATUS* sv, isc_db_handle* db, short items_length, const ISC_SCHAR* items,                \
     short buffer_length, ISC_SCHAR* buffer),                                                      \
    (sv, db, items_length, items, buffer_length, buffer), true, header)                            \
  X(isc_decode_date, void, (const ISC_QUAD* date, void* tm), (date, tm), true, header)             \
  X(isc_decode_sql_date, void, (const ISC_DATE* date, void* tm), (date, tm), true, header)         \
  X(isc_decode_sql_time, void, (const ISC_TIME* time, void* tm), (time, tm), true, header)         \
  X(isc_decode_timestamp, void, (const ISC_TIMESTAMP* stamp, void* tm), (stamp, tm), true, header) \
  X(isc_detach_database, ISC_STATUS, (ISC_STATUS* sv, isc_db_handle* db), (sv, db), true,          \
    header)                                                                                        \
  X(isc_drop_database, ISC_STATUS, (ISC_STATUS* sv, isc_db_handle* db), (sv, db), true, header)    \
  X(isc_dsql_alloc_statement2, ISC_STATUS,                                                         \
    (ISC_STATUS* sv, isc_db_handle* db, isc_stmt_handle* stmt), (sv, db, stmt), true, header)      \
  X(isc_dsql_describe, ISC_STATUS,                                                                 \
    (ISC_STATUS* sv, isc_stmt_handle* stmt, unsigned short dialect, XSQLDA* sqlda),                \
    (sv, stmt, dialect, sqlda), true, header)                                                      \
  X(isc_dsql_describe_bind, ISC_STATUS,                                                            \
    (ISC_STATUS* sv, isc_stmt_handle* stmt, unsigned short dialect, XSQLDA* sqlda),                \
    (sv, stmt, dialect, sqlda), true, header)                                                      \
  X(isc_dsql_execute, ISC_STATUS,                                                                  \
    (ISC_STATUS* sv, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect,             \
     const XSQLDA* in_sqlda),                                                                      \
    (sv, tr, stmt, dialect, in_sqlda), true, header)                                               \
  X(isc_dsql_execute2, ISC_STATUS,                                                                 \
    (ISC_STATUS* sv, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect,             \
     const XSQLDA* in_sqlda, const XSQLDA* out_sqlda),                                             \
    (sv, tr, stmt, dialect, in_sqlda, out_sqlda), true, header)                                    \
  X(isc_dsql_execute_immediate, ISC_STATUS,                                                        \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, unsigned short length,                  \
     const ISC_SCHAR* statement, unsigned short dialect, const XSQLDA* sqlda),                     \
    (sv, db, tr, length, statement, dialect, sqlda), true, header)                                 \
  X(isc_dsql_exec_immed2, ISC_STATUS,                                                              \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, unsigned short length,                  \
     const ISC_SCHAR* statement, unsigned short dialect, const XSQLDA* in_sqlda,                   \
     const XSQLDA* out_sqlda),                                                                     \
    (sv, db, tr, length, statement, dialect, in_sqlda, out_sqlda), true, header)                   \
  X(isc_dsql_fetch, ISC_STATUS,                                                                    \
    (ISC_STATUS* sv, isc_stmt_handle* stmt, unsigned short dialect, const XSQLDA* sqlda),          \
    (sv, stmt, dialect, sqlda), true, header)                                                      \
  X(isc_dsql_free_statement, ISC_STATUS,                                                           \
    (ISC_STATUS* sv, isc_stmt_handle* stmt, unsigned short option), (sv, stmt, option), true,      \
    header)                                                                                        \
  X(isc_dsql_prepare, ISC_STATUS,                                                                  \
    (ISC_STATUS* sv, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short length,              \
     const ISC_SCHAR* statement, unsigned short dialect, XSQLDA* sqlda),                           \
    (sv, tr, stmt, length, statement, dialect, sqlda), true, header)                               \
  X(isc_dsql_set_cursor_name, ISC_STATUS,                                                          \
    (ISC_STATUS* sv, isc_stmt_handle* stmt, const ISC_SCHAR* cursor, unsigned short type),         \
    (sv, stmt, cursor, type), true, header)                                                        \
  X(isc_dsql_sql_info, ISC_STATUS,                                                                 \
    (ISC_STATUS* sv, isc_stmt_handle* stmt, short items_length, const ISC_SCHAR* items,            \
     short buffer_length, ISC_SCHAR* buffer),                                                      \
    (sv, stmt, items_length, items, buffer_length, buffer), true, header)                          \
  X(isc_encode_date, void, (const void* tm, ISC_QUAD* date), (tm, date), true, header)             \
  X(isc_encode_sql_date, void, (const void* tm, ISC_DATE* date), (tm, date), true, header)         \
  X(isc_encode_sql_time, void, (const void* tm, ISC_TIME* time), (tm, time), true, header)         \
  X(isc_encode_timestamp, void, (const void* tm, ISC_TIMESTAMP* stamp), (tm, stamp), true, header) \
  X(isc_event_counts, void,                                                                        \
    (ISC_ULONG* counts, short length, ISC_UCHAR* event_buffer, const ISC_UCHAR* result_buffer),    \
    (counts, length, event_buffer, result_buffer), true, header)                                   \
  X(isc_free, ISC_LONG, (ISC_SCHAR* block), (block), true, header)                                 \
  X(isc_get_segment, ISC_STATUS,                                                                   \
    (ISC_STATUS* sv, isc_blob_handle* blob, unsigned short* actual_length,                         \
     unsigned short buffer_length, ISC_SCHAR* buffer),                                             \
    (sv, blob, actual_length, buffer_length, buffer), true, header)                                \
  X(isc_put_segment, ISC_STATUS,                                                                   \
    (ISC_STATUS* sv, isc_blob_handle* blob, unsigned short length, const ISC_SCHAR* buffer),       \
    (sv, blob, length, buffer), true, header)                                                      \
  X(isc_interprete, ISC_LONG, (ISC_SCHAR* buffer, ISC_STATUS** status), (buffer, status),         \
    true, header)                                                                                  \
  X(isc_open_blob2, ISC_STATUS,                                                                    \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,                  \
     ISC_QUAD* blob_id, ISC_USHORT bpb_length, const ISC_UCHAR* bpb),                              \
    (sv, db, tr, blob, blob_id, bpb_length, bpb), true, header)                                    \
  X(isc_prepare_transaction2, ISC_STATUS,                                                          \
    (ISC_STATUS* sv, isc_tr_handle* tr, ISC_USHORT length, const ISC_UCHAR* message),              \
    (sv, tr, length, message), true, header)                                                       \
  X(isc_rollback_retaining, ISC_STATUS, (ISC_STATUS* sv, isc_tr_handle* tr), (sv, tr), true,       \
    header)                                                                                        \
  X(isc_rollback_transaction, ISC_STATUS, (ISC_STATUS* sv, isc_tr_handle* tr), (sv, tr), true,     \
    header)                                                                                        \
  X(isc_start_multiple, ISC_STATUS, (ISC_STATUS* sv, isc_tr_handle* tr, short count, void* teb),   \
    (sv, tr, count, teb), true, header)                                                            \
  X(isc_sqlcode, ISC_LONG, (const ISC_STATUS* sv), (sv), true, header)                             \
  X(isc_sql_interprete, void, (short sqlcode, ISC_SCHAR* buffer, short buffer_length),             \
    (sqlcode, buffer, buffer_length), true, header)                                                \
  X(isc_vax_integer, ISC_LONG, (const ISC_SCHAR* bytes, short length), (bytes, length), true,      \
    header)                                                                                        \
  X(isc_prepare_transaction, ISC_STATUS, (ISC_STATUS* sv, isc_tr_handle* tr), (sv, tr), true,      \
    header)                                                                                        \
  X(BLOB_put, int, (ISC_SCHAR c, FB_BLOB_STREAM stream), (c, stream), false, header)               \
  X(BLOB_get, int, (FB_BLOB_STREAM stream), (stream), false, header)                               \
  X(isc_dsql_batch_execute_immed, ISC_STATUS,                                                      \
    (ISC_STATUS* sv, isc_db_handle* db, isc_tr_handle* tr, unsigned short dialect,                 \
     ISC_ULONG count, char** statements, ISC_ULONG* rows_affected),                                \
    (sv, db, tr, dialect, count, statements, rows_affected), true, extra)                          \
  X(isc_dsql_batch_execute, ISC_STATUS,                                                            \
    (ISC_STATUS* sv, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect,             \
     XSQLDA* in_sqlda, unsigned short count, XSQLVAR** batch_vars, ISC_ULONG* rows_affected),      \
    (sv, tr, stmt, dialect, in_sqlda, count, batch_vars, rows_affected), true, extra)              \
  X(fb_cancel_operation, ISC_STATUS, (ISC_STATUS* sv, isc_db_handle* db, ISC_USHORT option),       \
    (sv, db, option), false, header)                                                               \
  X(isc_service_attach, ISC_STATUS,                                                                \
    (ISC_STATUS* sv, unsigned short name_length, const ISC_SCHAR* name, isc_svc_handle* svc,       \
     unsigned short spb_length, const ISC_SCHAR* spb),                                             \
    (sv, name_length, name, svc, spb_length, spb), true, header)                                   \
  X(isc_service_detach, ISC_STATUS, (ISC_STATUS* sv, isc_svc_handle* svc), (sv, svc), true,        \
    header)                                                                                        \
  X(isc_service_query, ISC_STATUS,                                                                 \
    (ISC_STATUS* sv, isc_svc_handle* svc, isc_resv_handle* reserved,                               \
     unsigned short send_length, const ISC_SCHAR* send_items, unsigned short request_length,       \
     const ISC_SCHAR* request_items, unsigned short buffer_length, ISC_SCHAR* buffer),             \
    (sv, svc, reserved, send_length, send_items, request_length, request_items, buffer_length,     \
     buffer),                                                                                      \
    true, header)                                                                                  \
  X(isc_service_start, ISC_STATUS,                                                                 \
    (ISC_STATUS* sv, isc_svc_handle* svc, isc_resv_handle* reserved, unsigned short spb_length,    \
     const ISC_SCHAR* spb),                                                                        \
    (sv, svc, reserved, spb_length, spb), true, header)                                            \
  X(isc_get_client_version, void, (ISC_SCHAR* buffer), (buffer), true, header)                     \
  X(isc_get_client_major_version, int, (), (), true, header)                                       \
  X(isc_get_client_minor_version, int, (), (), true, header)                                       \
  X(isc_portable_integer, ISC_INT64, (const ISC_UCHAR* bytes, short length), (bytes, length),      \
    true, header)                                                                                  \
  X(fb_interpret, ISC_LONG,                                                                        \
    (ISC_SCHAR* buffer, unsigned int buffer_length, const ISC_STATUS** status),                    \
    (buffer, buffer_length, status), true, header)
// clang-format on

// The binding as the rest of the library sees it. Reference counted: hold it
// through IIBClientLibraryRef; the last reference released frees the binding
// and unloads the library.
class IIBClientLibrary {
 public:
  // {BB362CBF-2BD0-41A8-8982-F5E3327354A6}
  static constexpr TGUID IID{
      0xBB362CBF, 0x2BD0, 0x41A8, {0x89, 0x82, 0xF5, 0xE3, 0x32, 0x73, 0x54, 0xA6}};

  virtual int AddRef() = 0;
  virtual int Release() = 0;

  virtual String LibraryName() const = 0;
  virtual Integer ClientMajorVersion() const = 0;
  virtual Integer ClientMinorVersion() const = 0;
  // 1 while a wrapped call runs (array, BLOB_get/put and cancel calls excepted).
  virtual Byte Busy() const = 0;

#define IB_DECLARE_WRAPPER(name, result, params, args, busy, origin) virtual result name params = 0;
  IB_CLIENT_ENTRY_POINTS(IB_DECLARE_WRAPPER)
#undef IB_DECLARE_WRAPPER
  // Passes all kEventBlockNames names to the variadic entry point, which
  // reads the first count of them: a count above kEventBlockNames, or a
  // nullptr among those names, raises instead of reaching the library.
  virtual ISC_LONG isc_event_block(ISC_UCHAR** event_buffer, ISC_UCHAR** result_buffer,
                                   ISC_USHORT count,
                                   const char* const (&names)[kEventBlockNames]) = 0;

  // Unloads the library; further calls raise the missing-procedure error.
  // Does nothing on a shared binding (SharedClientLibrary).
  virtual void FreeLibrary() = 0;

 protected:
  ~IIBClientLibrary() = default;
};

// One counted reference to a reference-counted interface (AddRef/Release).
template <class I>
class TInterfaceRef {
 public:
  TInterfaceRef() = default;
  TInterfaceRef(std::nullptr_t) {}
  explicit TInterfaceRef(I* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  TInterfaceRef(const TInterfaceRef& other) : TInterfaceRef(other.p_) {}
  TInterfaceRef(TInterfaceRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  TInterfaceRef& operator=(TInterfaceRef other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~TInterfaceRef() {
    if (p_) p_->Release();
  }

  I* get() const { return p_; }
  I* operator->() const { return p_; }
  I& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() { TInterfaceRef().swap(*this); }
  void swap(TInterfaceRef& other) noexcept { std::swap(p_, other.p_); }
  friend bool operator==(const TInterfaceRef& a, const TInterfaceRef& b) { return a.p_ == b.p_; }

 private:
  I* p_ = nullptr;
};

using IIBClientLibraryRef = TInterfaceRef<IIBClientLibrary>;

class TIBClientLibrary final : public TObject, public IIBClientLibrary {
 public:
  // Loads and binds the library. Raises "Can't load library %s " when it
  // cannot be loaded and EOSError when a required entry point is missing;
  // no object remains then.
  static IIBClientLibraryRef Create(const String& LibraryName);

  int AddRef() override;
  int Release() override;

  String LibraryName() const override { return library_name_; }
  Integer ClientMajorVersion() const override { return major_; }
  Integer ClientMinorVersion() const override { return minor_; }
  Byte Busy() const override { return busy_.load(std::memory_order_relaxed); }

#define IB_DECLARE_WRAPPER(name, result, params, args, busy, origin) result name params override;
  IB_CLIENT_ENTRY_POINTS(IB_DECLARE_WRAPPER)
#undef IB_DECLARE_WRAPPER
  ISC_LONG isc_event_block(ISC_UCHAR** event_buffer, ISC_UCHAR** result_buffer, ISC_USHORT count,
                           const char* const (&names)[kEventBlockNames]) override;

  void FreeLibrary() override;

 private:
  friend IIBClientLibraryRef SharedClientLibrary(const String& LibraryName);

  explicit TIBClientLibrary(const String& LibraryName);
  ~TIBClientLibrary() override;

  void LoadLibrary();
  void Unload();
  void* Bind(const char* name, bool required);
  void SetEntryPoint(const char* name, void* p);
  void ClearEntryPoints();
  [[noreturn]] void RaiseMissingProcedure(const char* name) const;

  template <class R, class... P, class... A>
  R Invoke(R (*fn)(P...), const char* name, bool busy, A... args);

  struct EntryPoints {
#define IB_DECLARE_POINTER(name, result, params, args, busy, origin) result(*name) params = nullptr;
    IB_CLIENT_ENTRY_POINTS(IB_DECLARE_POINTER)
#undef IB_DECLARE_POINTER
    ISC_LONG (*isc_event_block)(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...) = nullptr;
  };

  HMODULE handle_ = nullptr;
  String library_name_;
  Integer major_ = 0;
  Integer minor_ = 0;
  EntryPoints fn_;
  std::atomic<Byte> busy_{0};
  std::atomic<int> refs_{0};
  bool shared_ = false;  // made by SharedClientLibrary: FreeLibrary does nothing
};

// The process-wide binding of the library named LibraryName (names are
// compared as given): made by the first call for the name, the same object
// for every later one, kept until the unit's finalization. A failed load is
// raised as by Create and not kept. Thread-safe.
IIBClientLibraryRef SharedClientLibrary(const String& LibraryName);

// Its finalization releases the shared bindings.
extern const TUnit unit_IB_Intf;
