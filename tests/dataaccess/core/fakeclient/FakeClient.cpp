// A stand-in client library for the binding tests, built in several variants
// that export different groups of entry points:
//   FAKE_V6         the version-6 group and isc_rollback_retaining
//   FAKE_MAJOR/MINOR isc_get_client_version and its two version entry points,
//                   with fb_cancel_operation
//   FAKE_INTERPRET  fb_interpret
//   FAKE_OMIT_FREE  leaves out isc_free, a required entry point
// Entry points the tests only bind are empty; the message entry points read
// the texts that the test puts into the status vector as isc_arg_string
// clusters, and the SQL code and text that fake_configure sets.
#include <cstdint>
#include <cstring>

#define EXPORT extern "C" __attribute__((visibility("default")))
#define EMPTY(name) \
  EXPORT intptr_t name(...) { return 0; }

namespace {
int g_sqlcode = 0;
const char* g_sql_text = "";
int g_calls = 0;

constexpr intptr_t kArgString = 2;

// The next text of the vector's string clusters; other clusters are skipped.
long NextMessage(char* buffer, unsigned size, const intptr_t** status) {
  const intptr_t* p = *status;
  while (p[0] != 0 && p[0] != kArgString) p += 2;
  if (p[0] == 0) return 0;
  const char* text = reinterpret_cast<const char*>(p[1]);
  std::strncpy(buffer, text, size - 1);
  buffer[size - 1] = 0;
  *status = p + 2;
  return static_cast<long>(std::strlen(buffer));
}
}  // namespace

EXPORT void fake_configure(int sqlcode, const char* sql_text) {
  g_sqlcode = sqlcode;
  g_sql_text = sql_text;
}
// Number of calls of isc_dsql_fetch and isc_encode_timestamp so far.
EXPORT int fake_calls() { return g_calls; }

EXPORT long isc_sqlcode(const intptr_t*) { return g_sqlcode; }
EXPORT void isc_sql_interprete(short, char* buffer, short length) {
  std::strncpy(buffer, g_sql_text, static_cast<size_t>(length) - 1);
  buffer[length - 1] = 0;
}
EXPORT long isc_interprete(char* buffer, const intptr_t** status) {
  return NextMessage(buffer, 20480, status);
}
#ifdef FAKE_INTERPRET
EXPORT long fb_interpret(char* buffer, unsigned size, const intptr_t** status) {
  return NextMessage(buffer, size, status);
}
#endif
EXPORT intptr_t isc_dsql_fetch(intptr_t*, void*, unsigned short, const void*) {
  ++g_calls;
  return 100;
}

EMPTY(BLOB_get)
EMPTY(BLOB_put)
EMPTY(isc_vax_integer)
EMPTY(isc_blob_info)
EMPTY(isc_open_blob2)
EMPTY(isc_close_blob)
EMPTY(isc_get_segment)
EMPTY(isc_put_segment)
EMPTY(isc_create_blob2)
EMPTY(isc_decode_date)
EMPTY(isc_encode_date)
EMPTY(isc_dsql_free_statement)
EMPTY(isc_dsql_execute2)
EMPTY(isc_dsql_execute)
EMPTY(isc_dsql_set_cursor_name)
EMPTY(isc_dsql_sql_info)
EMPTY(isc_dsql_alloc_statement2)
EMPTY(isc_dsql_prepare)
EMPTY(isc_dsql_describe_bind)
EMPTY(isc_dsql_describe)
EMPTY(isc_dsql_execute_immediate)
EMPTY(isc_dsql_exec_immed2)
EMPTY(isc_drop_database)
EMPTY(isc_detach_database)
EMPTY(isc_attach_database)
EMPTY(isc_database_info)
EMPTY(isc_start_multiple)
EMPTY(isc_commit_transaction)
EMPTY(isc_commit_retaining)
EMPTY(isc_rollback_transaction)
EMPTY(isc_cancel_events)
EMPTY(isc_que_events)
EMPTY(isc_event_counts)
EMPTY(isc_event_block)
#ifndef FAKE_OMIT_FREE
EMPTY(isc_free)
#endif
EMPTY(isc_array_lookup_bounds)
EMPTY(isc_array_get_slice)
EMPTY(isc_array_put_slice)
EMPTY(isc_wait_for_event)
EMPTY(isc_transaction_info)
EMPTY(isc_prepare_transaction)
EMPTY(isc_prepare_transaction2)

#ifdef FAKE_V6
EMPTY(isc_rollback_retaining)
EMPTY(isc_service_attach)
EMPTY(isc_service_detach)
EMPTY(isc_service_query)
EMPTY(isc_service_start)
EMPTY(isc_decode_sql_date)
EMPTY(isc_decode_sql_time)
EMPTY(isc_decode_timestamp)
EMPTY(isc_encode_sql_date)
EMPTY(isc_encode_sql_time)
EXPORT void isc_encode_timestamp(const void*, void*) { ++g_calls; }
EMPTY(isc_portable_integer)
#endif

#ifdef FAKE_MAJOR
EXPORT void isc_get_client_version(char* buffer) { std::strcpy(buffer, "fake"); }
EXPORT int isc_get_client_major_version() { return FAKE_MAJOR; }
EXPORT int isc_get_client_minor_version() { return FAKE_MINOR; }
EMPTY(fb_cancel_operation)
#endif
