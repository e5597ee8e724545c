#include "dataaccess/core/IB_Intf.h"

#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <type_traits>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SysUtils.h"

// The wrappers' parameter lists are the installed header's prototypes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define IB_CHECK_header(name, result, params) \
  static_assert(std::is_same_v<decltype(&::name), result(*) params>, #name);
#define IB_CHECK_extra(name, result, params)
#define IB_CHECK_PROTOTYPE(name, result, params, args, busy, origin) \
  IB_CHECK_##origin(name, result, params)
IB_CLIENT_ENTRY_POINTS(IB_CHECK_PROTOTYPE)
#undef IB_CHECK_PROTOTYPE
#undef IB_CHECK_header
#undef IB_CHECK_extra
#pragma GCC diagnostic pop

namespace {

// Groups bound at load time, in binding order.
constexpr const char* kBaseGroup[] = {"BLOB_get",
                                      "BLOB_put",
                                      "isc_sqlcode",
                                      "isc_sql_interprete",
                                      "isc_interprete",
                                      "isc_vax_integer",
                                      "isc_blob_info",
                                      "isc_open_blob2",
                                      "isc_close_blob",
                                      "isc_get_segment",
                                      "isc_put_segment",
                                      "isc_create_blob2",
                                      "isc_decode_date",
                                      "isc_encode_date",
                                      "isc_dsql_free_statement",
                                      "isc_dsql_execute2",
                                      "isc_dsql_execute",
                                      "isc_dsql_set_cursor_name",
                                      "isc_dsql_fetch",
                                      "isc_dsql_sql_info",
                                      "isc_dsql_alloc_statement2",
                                      "isc_dsql_prepare",
                                      "isc_dsql_describe_bind",
                                      "isc_dsql_describe",
                                      "isc_dsql_execute_immediate",
                                      "isc_dsql_exec_immed2",
                                      "isc_drop_database",
                                      "isc_detach_database",
                                      "isc_attach_database",
                                      "isc_database_info",
                                      "isc_start_multiple",
                                      "isc_commit_transaction",
                                      "isc_commit_retaining",
                                      "isc_rollback_transaction",
                                      "isc_cancel_events",
                                      "isc_que_events",
                                      "isc_event_counts",
                                      "isc_event_block",
                                      "isc_free",
                                      "isc_array_lookup_bounds",
                                      "isc_array_get_slice",
                                      "isc_array_put_slice",
                                      "isc_wait_for_event",
                                      "isc_transaction_info",
                                      "isc_prepare_transaction",
                                      "isc_prepare_transaction2"};
static_assert(std::size(kBaseGroup) == 46);

constexpr const char* kVersion6Group[] = {
    "isc_service_attach",  "isc_service_detach",   "isc_service_query",    "isc_service_start",
    "isc_decode_sql_date", "isc_decode_sql_time",  "isc_decode_timestamp", "isc_encode_sql_date",
    "isc_encode_sql_time", "isc_encode_timestamp", "isc_portable_integer"};
static_assert(std::size(kVersion6Group) == 11);

}  // namespace

IIBClientLibraryRef TIBClientLibrary::Create(const String& LibraryName) {
  return IIBClientLibraryRef(new TIBClientLibrary(LibraryName));
}

TIBClientLibrary::TIBClientLibrary(const String& LibraryName) : library_name_(LibraryName) {
  LoadLibrary();
}

TIBClientLibrary::~TIBClientLibrary() { Unload(); }

int TIBClientLibrary::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

int TIBClientLibrary::Release() {
  int left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

void* TIBClientLibrary::Bind(const char* name, bool required) {
  void* p = GetProcAddress(handle_, name);
  if (p == nullptr && required) throw EOSError(LastModuleError());
  return p;
}

void TIBClientLibrary::SetEntryPoint(const char* name, void* p) {
#define IB_SET_POINTER(entry, result, params, args, busy, origin) \
  if (std::strcmp(name, #entry) == 0) {                           \
    fn_.entry = reinterpret_cast<result(*) params>(p);            \
    return;                                                       \
  }
  IB_CLIENT_ENTRY_POINTS(IB_SET_POINTER)
#undef IB_SET_POINTER
  if (std::strcmp(name, "isc_event_block") == 0) {
    fn_.isc_event_block = reinterpret_cast<decltype(fn_.isc_event_block)>(p);
  }
}

void TIBClientLibrary::LoadLibrary() {
  handle_ = ::LoadLibrary(library_name_);
  if (handle_ == nullptr) throw Exception("Can't load library %s ", {library_name_});
  try {
    auto bind = [&](const char* name, bool required) {
      void* p = Bind(name, required);
      SetEntryPoint(name, p);
      return p != nullptr;
    };

    for (const char* name : kBaseGroup) bind(name, true);
    // Not one of the design's groups: the bounded message interpreter, used
    // for error texts in place of isc_interprete where the library has it.
    bind("fb_interpret", false);

    if (bind("isc_rollback_retaining", false)) {
      major_ = 6;
      minor_ = 0;
      for (const char* name : kVersion6Group) bind(name, true);
    } else {
      major_ = 5;
      minor_ = 0;
    }

    if (bind("isc_get_client_version", false)) {
      bind("isc_get_client_major_version", true);
      bind("isc_get_client_minor_version", true);
      major_ = fn_.isc_get_client_major_version();
      minor_ = fn_.isc_get_client_minor_version();
      bind("isc_dsql_batch_execute_immed", false);
      bind("isc_dsql_batch_execute", false);
      bind("fb_cancel_operation", false);
    } else {
      minor_ = 0;
    }
  } catch (...) {
    Unload();
    throw;
  }
}

void TIBClientLibrary::ClearEntryPoints() { fn_ = EntryPoints(); }

void TIBClientLibrary::FreeLibrary() {
  if (!shared_) Unload();
}

void TIBClientLibrary::Unload() {
  if (handle_ == nullptr) return;
  ClearEntryPoints();
  ::FreeLibrary(handle_);
  handle_ = nullptr;
}

void TIBClientLibrary::RaiseMissingProcedure(const char* name) const {
  throw Exception("Can't find procedure %s in %s", {name, library_name_});
}

template <class R, class... P, class... A>
R TIBClientLibrary::Invoke(R (*fn)(P...), const char* name, bool busy, A... args) {
  if (fn == nullptr) RaiseMissingProcedure(name);
  if (!busy) return fn(args...);
  struct BusyScope {
    std::atomic<Byte>& flag;
    explicit BusyScope(std::atomic<Byte>& f) : flag(f) { flag.store(1, std::memory_order_relaxed); }
    ~BusyScope() { flag.store(0, std::memory_order_relaxed); }
  } scope(busy_);
  return fn(args...);
}

#define IB_MORE_ARGS(...) __VA_OPT__(, ) __VA_ARGS__
#define IB_DEFINE_WRAPPER(name, result, params, args, busy, origin) \
  result TIBClientLibrary::name params { return Invoke(fn_.name, #name, busy IB_MORE_ARGS args); }
IB_CLIENT_ENTRY_POINTS(IB_DEFINE_WRAPPER)
#undef IB_DEFINE_WRAPPER
#undef IB_MORE_ARGS

ISC_LONG TIBClientLibrary::isc_event_block(ISC_UCHAR** event_buffer, ISC_UCHAR** result_buffer,
                                           ISC_USHORT count,
                                           const char* const (&names)[kEventBlockNames]) {
  auto fn = fn_.isc_event_block;
  if (fn == nullptr) RaiseMissingProcedure("isc_event_block");
  // The entry point reads count names from its variadic arguments: never
  // more than are passed, and never a missing one.
  if (count > kEventBlockNames)
    throw Exception("isc_event_block: %d event names, at most %d", {count, kEventBlockNames});
  for (int i = 0; i < count; ++i) {
    if (names[i] == nullptr) throw Exception("isc_event_block: event name %d is missing", {i + 1});
  }
  busy_.store(1, std::memory_order_relaxed);
  ISC_LONG result = fn(event_buffer, result_buffer, count, names[0], names[1], names[2], names[3],
                       names[4], names[5], names[6], names[7], names[8], names[9], names[10],
                       names[11], names[12], names[13], names[14]);
  busy_.store(0, std::memory_order_relaxed);
  return result;
}

// ---------------------------------------------------------------------------
// Shared bindings

namespace {

struct TSharedLibraries {
  std::mutex lock;
  std::map<String, IIBClientLibraryRef> bindings;
};

// Never destroyed: no static destructor unloads anything at exit; the
// unit's finalization empties it.
TSharedLibraries& SharedLibraries() {
  static auto* shared = new TSharedLibraries;
  return *shared;
}

void FinalIB_Intf() {
  std::map<String, IIBClientLibraryRef> bindings;
  {
    std::lock_guard guard(SharedLibraries().lock);
    bindings.swap(SharedLibraries().bindings);
  }
  // The references go here, outside the lock: the last one unloads.
}

constexpr const TUnit* kUses[] = {&unit_SysUtils};

}  // namespace

IIBClientLibraryRef SharedClientLibrary(const String& LibraryName) {
  TSharedLibraries& shared = SharedLibraries();
  std::lock_guard guard(shared.lock);
  auto found = shared.bindings.find(LibraryName);
  if (found != shared.bindings.end()) return found->second;
  auto* library = new TIBClientLibrary(LibraryName);  // raises: nothing kept
  library->shared_ = true;
  IIBClientLibraryRef binding(library);
  shared.bindings.emplace(LibraryName, binding);
  return binding;
}

constinit const TUnit unit_IB_Intf("IB_Intf", kUses, nullptr, FinalIB_Intf);
