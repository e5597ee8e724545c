#include "dataaccess/core/fib.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string_view>

#include "dataaccess/core/StdFuncs.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/SysUtils.h"

namespace {

// ---------------------------------------------------------------------------
// Status vector and composition flags

thread_local ISC_STATUS_ARRAY g_status = {};

std::mutex g_lock;
Byte g_flags = 0;

// ---------------------------------------------------------------------------
// Client error table

constexpr const char* kClientErrors[kClientErrorCount] = {
    "Unknown error.",
    "Unsupported feature.",
    "Not permitted.",
    "Temporary file access error.",
    "Database connection timed out.",
    "Cannot set database.",
    "Cannot set transaction.",
    "Operation cancelled at user's request.",
    "DPB Constant (isc_dpb_%s) is unsupported.",
    "DPB Constant (%s) is unknown.",
    "TPB Constant (isc_tpb_%s) is unsupported.",
    "TPB Constant (%s) is unknown.",
    "%s: Cannot perform operation -- DB is not open.",
    "Cannot perform operation -- DB is currently open.",
    "Database name is missing.",
    "%s :Transaction is not active.",
    "%s :Transaction is active.",
    "Timeout values cannot be negative.",
    "%s :No databases are listed in transaction component.",
    "%s :Updating wrong database.",
    "%s :Updating wrong transaction.",
    "Database not assigned for %s.",
    "Transaction not assigned for %s.",
    "XSQLDA index out of range.",
    "XSQLDA name does not exist (%s).",
    "End of file.",
    "Beginning of file.",
    "%s:Invalid statement handle.",
    "Can't %s because %s dataset open.",
    "Can't %s because %s dataset closed.",
    "Unknown SQL Data type (%d).",
    "Invalid column index (index exceeds permitted range).",
    "Invalid parameter index (index exceeds permitted range).",
    "Invalid data conversion.",
    "Column cannot be set to null (%s)",
    "Blob stream cannot be read.",
    "Blob stream cannot be written.",
    "Can't %s , because  query is empty",
    "Can't \"open\" a non-select statement. Use ExecQuery.",
    "No access to field \"%s\".",
    "Field \"%s\" is read-only.",
    "Field \"%s\" not found.",
    "DataSet not in Edit or Insert mode.(%s)",
    "Not editing.",
    "Can't insert into dataset. (%s)",
    "Can't post. (%s) ",
    "Can't update. (%s)",
    "Can't delete from dataset. (%s)",
    "Can't refresh row. (%s)",
    "Buffer not set.",
    "Circular references not permitted.(%s)",
    "SQL Parse Error in :%s \r\n\r\n%s",
    "User abort.",
    "Data set is uni-directional.",
    "Cannot create shared resource. (Windows error %d)",
    "Windows API error. (Windows error %d [$%.8x])",
    "Column lists do not match.",
    "Column types don't match. (From index: %d, To index: %d)",
    "Can't end a shared transaction unless it is forced and equal to the transaction's "
    "TimeoutAction.",
    "Column types \"%s\" is not array field",
    "Dimension %d don't exist in \"%s\" ",
    "SQL Dialect invalid",
    "InterBase library gds32.dll not found in the path. Please install InterBase to use this "
    "functionality",
    "%s is an InterBase6 function. Please upgrade to InterBase6 to use this functonality",
    "InterBase Install DLL ibinstall.dll not found in the path. Please install InterBase 6 to use "
    "this functionality",
    "Cannot perform operation -- service is not attached",
    "Cannot perform operation -- service is attached",
    "Server Name Missing",
    "Query Parameters missing or incorrect",
    "Start Parameters missing or incorrect",
    "Unexpected Output buffer value",
    "Generic ServiceStart not applicable: Use Specific Procedures to set configuration params",
    "SPB Constant Not supported",
    "SPB Constant Unknown",
    "Field Size too small. Field %s.%s",
    "%s. Can't use limited cache. \r\nCachedUpdates must be False,\r\nSelect must have \"Order "
    "by\" clause ,\r\nAll order fields must exist in fields section\r\nSelect can't use params "
    "with prefix \"NEW_\"\r\nUpdateTransaction must be equel Transaction or AutoCommit=True ",
    "Error in %s. FieldList is empty.",
    "%s can't use field \"%s\"",
    "%s is an Firebird 2 function. Please upgrade to Firebird 2 to use this functonality",
};

// ---------------------------------------------------------------------------
// Parameter names. Each list keeps its items in their fixed order (position
// 1 first); an item's code is the byte the installed client defines for it,
// or 0 when the client does not know the item.

struct TParamItem {
  const char* Name;
  int Code;
};

#ifdef isc_dpb_gbak_ods_version
#define FIB_DPB_GBAK_ODS_VERSION isc_dpb_gbak_ods_version
#else
#define FIB_DPB_GBAK_ODS_VERSION 0
#endif
#ifdef isc_dpb_gbak_ods_minor_version
#define FIB_DPB_GBAK_ODS_MINOR_VERSION isc_dpb_gbak_ods_minor_version
#else
#define FIB_DPB_GBAK_ODS_MINOR_VERSION 0
#endif
#ifdef isc_dpb_set_group_commit
#define FIB_DPB_SET_GROUP_COMMIT isc_dpb_set_group_commit
#else
#define FIB_DPB_SET_GROUP_COMMIT 0
#endif
#ifdef isc_dpb_gbak_validate
#define FIB_DPB_GBAK_VALIDATE isc_dpb_gbak_validate
#else
#define FIB_DPB_GBAK_VALIDATE 0
#endif
#ifdef isc_dpb_client_interbase_var
#define FIB_DPB_CLIENT_INTERBASE_VAR isc_dpb_client_interbase_var
#else
#define FIB_DPB_CLIENT_INTERBASE_VAR 0
#endif
#ifdef isc_dpb_admin_option
#define FIB_DPB_ADMIN_OPTION isc_dpb_admin_option
#else
#define FIB_DPB_ADMIN_OPTION 0
#endif
#ifdef isc_dpb_flush_interval
#define FIB_DPB_FLUSH_INTERVAL isc_dpb_flush_interval
#else
#define FIB_DPB_FLUSH_INTERVAL 0
#endif
#ifdef isc_dpb_instance_name
#define FIB_DPB_INSTANCE_NAME isc_dpb_instance_name
#else
#define FIB_DPB_INSTANCE_NAME 0
#endif
#ifdef isc_dpb_old_overwrite
#define FIB_DPB_OLD_OVERWRITE isc_dpb_old_overwrite
#else
#define FIB_DPB_OLD_OVERWRITE 0
#endif
#ifdef isc_dpb_archive_database
#define FIB_DPB_ARCHIVE_DATABASE isc_dpb_archive_database
#else
#define FIB_DPB_ARCHIVE_DATABASE 0
#endif
#ifdef isc_dpb_archive_journals
#define FIB_DPB_ARCHIVE_JOURNALS isc_dpb_archive_journals
#else
#define FIB_DPB_ARCHIVE_JOURNALS 0
#endif
#ifdef isc_dpb_archive_sweep
#define FIB_DPB_ARCHIVE_SWEEP isc_dpb_archive_sweep
#else
#define FIB_DPB_ARCHIVE_SWEEP 0
#endif
#ifdef isc_dpb_archive_dumps
#define FIB_DPB_ARCHIVE_DUMPS isc_dpb_archive_dumps
#else
#define FIB_DPB_ARCHIVE_DUMPS 0
#endif
#ifdef isc_dpb_archive_recover
#define FIB_DPB_ARCHIVE_RECOVER isc_dpb_archive_recover
#else
#define FIB_DPB_ARCHIVE_RECOVER 0
#endif
#ifdef isc_dpb_recover_until
#define FIB_DPB_RECOVER_UNTIL isc_dpb_recover_until
#else
#define FIB_DPB_RECOVER_UNTIL 0
#endif
#ifdef isc_dpb_force
#define FIB_DPB_FORCE isc_dpb_force
#else
#define FIB_DPB_FORCE 0
#endif
#ifdef isc_tpb_no_savepoint
#define FIB_TPB_NO_SAVEPOINT isc_tpb_no_savepoint
#else
#define FIB_TPB_NO_SAVEPOINT 0
#endif

constexpr TParamItem kDPBItems[] = {
    {"cdd_pathname", isc_dpb_cdd_pathname},
    {"allocation", isc_dpb_allocation},
    {"journal", isc_dpb_journal},
    {"page_size", isc_dpb_page_size},
    {"num_buffers", isc_dpb_num_buffers},
    {"buffer_length", isc_dpb_buffer_length},
    {"debug", isc_dpb_debug},
    {"garbage_collect", isc_dpb_garbage_collect},
    {"verify", isc_dpb_verify},
    {"sweep", isc_dpb_sweep},
    {"enable_journal", isc_dpb_enable_journal},
    {"disable_journal", isc_dpb_disable_journal},
    {"dbkey_scope", isc_dpb_dbkey_scope},
    {"number_of_users", isc_dpb_number_of_users},
    {"trace", isc_dpb_trace},
    {"no_garbage_collect", isc_dpb_no_garbage_collect},
    {"damaged", isc_dpb_damaged},
    {"license", isc_dpb_license},
    {"sys_user_name", isc_dpb_sys_user_name},
    {"encrypt_key", isc_dpb_encrypt_key},
    {"activate_shadow", isc_dpb_activate_shadow},
    {"sweep_interval", isc_dpb_sweep_interval},
    {"delete_shadow", isc_dpb_delete_shadow},
    {"force_write", isc_dpb_force_write},
    {"begin_log", isc_dpb_begin_log},
    {"quit_log", isc_dpb_quit_log},
    {"no_reserve", isc_dpb_no_reserve},
    {"user_name", isc_dpb_user_name},
    {"password", isc_dpb_password},
    {"password_enc", isc_dpb_password_enc},
    {"sys_user_name_enc", isc_dpb_sys_user_name_enc},
    {"interp", isc_dpb_interp},
    {"online_dump", isc_dpb_online_dump},
    {"old_file_size", isc_dpb_old_file_size},
    {"old_num_files", isc_dpb_old_num_files},
    {"old_file", isc_dpb_old_file},
    {"old_start_page", isc_dpb_old_start_page},
    {"old_start_seqno", isc_dpb_old_start_seqno},
    {"old_start_file", isc_dpb_old_start_file},
    {"drop_walfile", isc_dpb_drop_walfile},
    {"old_dump_id", isc_dpb_old_dump_id},
    {"wal_backup_dir", isc_dpb_wal_backup_dir},
    {"wal_chkptlen", isc_dpb_wal_chkptlen},
    {"wal_numbufs", isc_dpb_wal_numbufs},
    {"wal_bufsize", isc_dpb_wal_bufsize},
    {"wal_grp_cmt_wait", isc_dpb_wal_grp_cmt_wait},
    {"lc_messages", isc_dpb_lc_messages},
    {"lc_ctype", isc_dpb_lc_ctype},
    {"cache_manager", isc_dpb_cache_manager},
    {"shutdown", isc_dpb_shutdown},
    {"online", isc_dpb_online},
    {"shutdown_delay", isc_dpb_shutdown_delay},
    {"reserved", isc_dpb_reserved},
    {"overwrite", isc_dpb_overwrite},
    {"sec_attach", isc_dpb_sec_attach},
    {"disable_wal", isc_dpb_disable_wal},
    {"connect_timeout", isc_dpb_connect_timeout},
    {"dummy_packet_interval", isc_dpb_dummy_packet_interval},
    {"gbak_attach", isc_dpb_gbak_attach},
    {"sql_role_name", isc_dpb_sql_role_name},
    {"set_page_buffers", isc_dpb_set_page_buffers},
    {"working_directory", isc_dpb_working_directory},
    {"sql_dialect", isc_dpb_sql_dialect},
    {"set_db_readonly", isc_dpb_set_db_readonly},
    {"set_db_sql_dialect", isc_dpb_set_db_sql_dialect},
    {"gfix_attach", isc_dpb_gfix_attach},
    {"gstat_attach", isc_dpb_gstat_attach},
    {"gbak_ods_version", FIB_DPB_GBAK_ODS_VERSION},
    {"gbak_ods_minor_version", FIB_DPB_GBAK_ODS_MINOR_VERSION},
    {"set_group_commit", FIB_DPB_SET_GROUP_COMMIT},
    {"gbak_validate", FIB_DPB_GBAK_VALIDATE},
    {"client_interbase_var", FIB_DPB_CLIENT_INTERBASE_VAR},
    {"admin_option", FIB_DPB_ADMIN_OPTION},
    {"flush_interval", FIB_DPB_FLUSH_INTERVAL},
    {"instance_name", FIB_DPB_INSTANCE_NAME},
    {"old_overwrite", FIB_DPB_OLD_OVERWRITE},
    {"archive_database", FIB_DPB_ARCHIVE_DATABASE},
    {"archive_journals", FIB_DPB_ARCHIVE_JOURNALS},
    {"archive_sweep", FIB_DPB_ARCHIVE_SWEEP},
    {"archive_dumps", FIB_DPB_ARCHIVE_DUMPS},
    {"archive_recover", FIB_DPB_ARCHIVE_RECOVER},
    {"recover_until", FIB_DPB_RECOVER_UNTIL},
    {"force", FIB_DPB_FORCE},
};
static_assert(std::size(kDPBItems) == 83);

constexpr TParamItem kTPBItems[] = {
    {"consistency", isc_tpb_consistency},
    {"concurrency", isc_tpb_concurrency},
    {"shared", isc_tpb_shared},
    {"protected", isc_tpb_protected},
    {"exclusive", isc_tpb_exclusive},
    {"wait", isc_tpb_wait},
    {"nowait", isc_tpb_nowait},
    {"read", isc_tpb_read},
    {"write", isc_tpb_write},
    {"lock_read", isc_tpb_lock_read},
    {"lock_write", isc_tpb_lock_write},
    {"verb_time", isc_tpb_verb_time},
    {"commit_time", isc_tpb_commit_time},
    {"ignore_limbo", isc_tpb_ignore_limbo},
    {"read_committed", isc_tpb_read_committed},
    {"autocommit", isc_tpb_autocommit},
    {"rec_version", isc_tpb_rec_version},
    {"no_rec_version", isc_tpb_no_rec_version},
    {"restart_requests", isc_tpb_restart_requests},
    {"no_auto_undo", isc_tpb_no_auto_undo},
    {"no_savepoint", FIB_TPB_NO_SAVEPOINT},
};
static_assert(std::size(kTPBItems) == 21);

// Sorted name index of one list: name -> position (1-based) in the list.
using TNameIndex = std::vector<std::pair<std::string_view, int>>;
TNameIndex g_dpb_names;
TNameIndex g_tpb_names;

TNameIndex BuildIndex(std::span<const TParamItem> items) {
  TNameIndex index;
  index.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i)
    index.emplace_back(items[i].Name, static_cast<int>(i + 1));
  std::sort(index.begin(), index.end());
  return index;
}

// Position of a (lower-case) name in the list, 0 when it is not there.
int FindPosition(const TNameIndex& index, const String& name) {
  auto it =
      std::lower_bound(index.begin(), index.end(), std::string_view(name),
                       [](const auto& entry, std::string_view key) { return entry.first < key; });
  return it != index.end() && it->first == name ? it->second : 0;
}

// DPB item positions by the form of their value.
enum class TDPBForm { Unsupported, Numeric, Flag, Sweep, SweepInterval, Text };

TDPBForm DPBForm(int position) {
  switch (position) {
    case 5:
    case 9:
    case 13:
    case 17:
    case 24:
    case 27:
    case 33:
    case 34:
    case 54:
    case 57:
    case 58:
      return TDPBForm::Numeric;
    case 8:
    case 16:
    case 21:
    case 23:
    case 25:
    case 26:
      return TDPBForm::Flag;
    case 10:
      return TDPBForm::Sweep;
    case 22:
      return TDPBForm::SweepInterval;
    case 18:
    case 19:
    case 20:
    case 28:
    case 29:
    case 30:
    case 36:
    case 47:
    case 48:
    case 60:
    case 63:
    case 75:
      return TDPBForm::Text;
    default:
      return TDPBForm::Unsupported;
  }
}

constexpr int kDPBSqlDialect = 63;
constexpr int kMaxItemText = 255;
constexpr size_t kMaxBlockLength = 32767;  // the client takes a block's length as a short




void AppendInt32(String& block, Integer v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) block += static_cast<char>((u >> (8 * i)) & 0xFF);
}

// One parameter line: trimmed in place, then split into a lower-case name
// without the prefix and the value. False for an empty line.
bool ReadLine(TStrings* lines, int i, const char* prefix, String& name, String& value) {
  String original = lines->Get(i);
  String line = Trim(original);
  if (line != original) lines->Put(i, line);
  if (line.empty()) return false;
  size_t eq = line.find('=');
  name = LowerCase(line.substr(0, eq));
  value = eq == String::npos ? String() : line.substr(eq + 1);
  if (name.compare(0, 8, prefix) == 0) name.erase(0, 8);
  return true;
}

// Appends code, length byte and text; a text over 255 bytes is refused rather
// than cut.
void AppendTextItem(String& block, const char* kind, const char* prefix, const String& name,
                    int code, const String& value) {
  if (value.size() > kMaxItemText)
    RaiseClientErrorMsg("%s Constant (%s%s) value is too long: %d bytes, at most 255.",
                        {kind, prefix, name, static_cast<Integer>(value.size())});
  block += static_cast<char>(code);
  block += static_cast<char>(value.size());
  block += value;
}

void CheckBlockLength(const char* kind, const String& block) {
  if (block.size() > kMaxBlockLength)
    RaiseClientErrorMsg("%s is too long: %d bytes, at most 32767.",
                        {kind, static_cast<Integer>(block.size())});
}

String UpperFirst(String s) {
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

void Init() {
  std::lock_guard guard(g_lock);
  g_flags = kShowIBMessage | kShowSQLMessage | kShowRaiserName;
  g_tpb_names = BuildIndex(kTPBItems);
  g_dpb_names = BuildIndex(kDPBItems);
}

void Final() {
  std::lock_guard guard(g_lock);
  TNameIndex().swap(g_tpb_names);
  TNameIndex().swap(g_dpb_names);
}

constexpr const TUnit* kUses[] = {&unit_ibase};

}  // namespace

constinit const TUnit unit_fib("fib", kUses, Init, Final);

// ---------------------------------------------------------------------------

ISC_STATUS* StatusVector() { return g_status; }

bool StatusVectorHasCode(std::span<const ISC_STATUS> Codes) {
  const ISC_STATUS* sv = StatusVector();
  int i = 0;
  while (i < ISC_STATUS_LENGTH && sv[i] != isc_arg_end) {
    switch (sv[i]) {
      case isc_arg_gds:
      case isc_arg_number:
        if (i + 1 < ISC_STATUS_LENGTH &&
            std::find(Codes.begin(), Codes.end(), sv[i + 1]) != Codes.end())
          return true;
        i += 2;
        break;
      case isc_arg_cstring:
        i += 3;
        break;
      default:
        i += 2;
        break;
    }
  }
  return false;
}

Byte GetErrorMessageFlags() {
  std::lock_guard guard(g_lock);
  return g_flags;
}

// ---------------------------------------------------------------------------

EFIBError::EFIBError(Integer SQLCode, TObject* Raiser, const String& Text)
    : EFIBError(SQLCode, Raiser, String(), String(), String(), Text) {}

EFIBError::EFIBError(Integer SQLCode, TObject* Raiser, String SQLMessage, String IBMessage,
                     String CustomMessage, const String& Text)
    : EDatabaseError(String()),
      sql_code_(SQLCode),
      ib_error_code_(StatusVector()[1]),
      sql_message_(std::move(SQLMessage)),
      ib_message_(std::move(IBMessage)),
      custom_message_(std::move(CustomMessage)),
      text_(Text),
      raiser_(Raiser) {
  if (auto* component = dynamic_cast<TComponent*>(Raiser)) raiser_name_ = CmpFullName(component);
  SetMessage(Compose());
}

String EFIBError::Compose() const {
  Byte flags = GetErrorMessageFlags();
  String m;
  if ((flags & kShowRaiserName) && raiser_name_.size() >= 2) m += raiser_name_ + ":\r\n";
  if (flags & kShowSQLMessage) m += sql_message_;
  if (flags & kShowIBMessage) m += ib_message_;
  m += custom_message_;
  m += text_;
  return m;
}

void RaiseStatusError(IIBClientLibrary* ClientLibrary, TObject* Raiser) {
  ISC_STATUS* sv = StatusVector();
  Byte flags = GetErrorMessageFlags();
  Integer sql_code = ClientLibrary->isc_sqlcode(sv);
  std::vector<char> buffer(20480);
  auto text = [&buffer] { return String(buffer.data(), strnlen(buffer.data(), buffer.size())); };

  String sql_message;
  if (flags & kShowSQLMessage) {
    buffer[0] = 0;
    ClientLibrary->isc_sql_interprete(static_cast<short>(sql_code), buffer.data(), 1024);
    String s = text();
    for (size_t at; (at = s.find("\\n")) != String::npos;) s.erase(at, 2);
    if (!s.empty()) {
      // A text that ends in a point keeps its line break too: the engine
      // messages start on a line of their own.
      s = UpperFirst(s);
      if (s.back() != '.') s += '.';
      s += "\r\n";
    }
    sql_message = s;
  }

  String ib_message;
  if (flags & kShowIBMessage) {
    auto add = [&] {
      String s = text();
      if (s.empty()) return;
      ib_message += UpperFirst(s);
      if (s.back() != '.') ib_message += '.';
      ib_message += "\r\n";
    };
    const ISC_STATUS* p = sv;
    bool bounded = true;
    ISC_LONG n = 0;
    buffer[0] = 0;
    try {
      n = ClientLibrary->fb_interpret(buffer.data(), static_cast<unsigned>(buffer.size()), &p);
    } catch (const Exception&) {
      bounded = false;  // a library without the bounded interpreter
    }
    if (bounded) {
      while (n > 0) {
        add();
        buffer[0] = 0;
        n = ClientLibrary->fb_interpret(buffer.data(), static_cast<unsigned>(buffer.size()), &p);
      }
    } else {
      ISC_STATUS* q = sv;
      for (;;) {
        buffer[0] = 0;
        if (ClientLibrary->isc_interprete(buffer.data(), &q) <= 0) break;
        add();
      }
    }
  }
  throw EFIBInterBaseError(sql_code, Raiser, sql_message, ib_message, String(), String());
}

// ---------------------------------------------------------------------------

const char* ClientErrorText(Integer Number) {
  Integer n = Number & 127;
  return n < kClientErrorCount ? kClientErrors[n] : kClientErrors[fceUnknownError];
}

void RaiseClientError(Integer Number, TVarRecs Args) {
  throw EFIBClientError(Number & 127, nullptr, Format(ClientErrorText(Number), Args));
}

void RaiseClientErrorMsg(const String& Fmt, TVarRecs Args) {
  throw EFIBClientError(-1, nullptr, Format(Fmt, Args));
}

// ---------------------------------------------------------------------------

void ReallocZeroed(void*& Buffer, size_t OldSize, size_t NewSize) {
  if (NewSize == 0) {
    std::free(Buffer);
    Buffer = nullptr;
    return;
  }
  if (Buffer == nullptr) OldSize = 0;  // a new buffer has no old bytes to keep
  void* p = std::realloc(Buffer, NewSize);
  if (p == nullptr) throw EOutOfMemory("Out of memory");
  Buffer = p;
  if (NewSize > OldSize) std::memset(static_cast<char*>(p) + OldSize, 0, NewSize - OldSize);
}

// ---------------------------------------------------------------------------

void BuildDPB(TStrings* Lines, String& DPB, SmallInt& DPBLength) {
  DPB.assign(1, static_cast<char>(isc_dpb_version1));
  DPBLength = 1;
  int count = Lines->Count();
  for (int i = 0; i < count; ++i) {
    String name, value;
    if (!ReadLine(Lines, i, "isc_dpb_", name, value)) continue;
    int position = FindPosition(g_dpb_names, name);
    int code = position > 0 ? kDPBItems[position - 1].Code : 0;
    if (code == 0) RaiseClientError(fceDPBConstantUnknown, {name});
    switch (DPBForm(position)) {
      case TDPBForm::Numeric: {
        Integer v = StrToInt(value);
        DPB += static_cast<char>(code);
        if (v >= -128 && v <= 127) {
          DPB += '\1';
          DPB += static_cast<char>(v);
        } else {
          DPB += '\4';
          AppendInt32(DPB, v);
        }
        break;
      }
      case TDPBForm::Flag:
        DPB += static_cast<char>(code);
        DPB += '\1';
        DPB += '\0';
        break;
      case TDPBForm::Sweep:
        DPB += static_cast<char>(code);
        DPB += '\1';
        DPB += '\2';
        break;
      case TDPBForm::SweepInterval:
        DPB += static_cast<char>(code);
        DPB += '\4';
        AppendInt32(DPB, StrToInt(value));
        break;
      case TDPBForm::Text:
        if (position == kDPBSqlDialect && !value.empty())
          value[0] = static_cast<char>(value[0] - '0');
        AppendTextItem(DPB, "DPB", "isc_dpb_", name, code, value);
        break;
      case TDPBForm::Unsupported:
        RaiseClientError(fceDPBConstantUnsupported, {kDPBItems[position - 1].Name});
    }
    CheckBlockLength("DPB", DPB);
  }
  DPBLength = static_cast<SmallInt>(DPB.size());
}

const char* DPBParamName(Integer Item) {
  return Item >= 1 && Item <= static_cast<Integer>(std::size(kDPBItems)) ? kDPBItems[Item - 1].Name : nullptr;
}

void BuildTPB(TStrings* Lines, String& TPB, SmallInt& TPBLength) {
  TPB.clear();
  TPBLength = 0;
  int count = Lines->Count();
  if (count == 0) return;
  TPB.assign(1, static_cast<char>(isc_tpb_version3));
  for (int i = 0; i < count; ++i) {
    String name, value;
    if (!ReadLine(Lines, i, "isc_tpb_", name, value)) continue;
    int position = FindPosition(g_tpb_names, name);
    int code = position > 0 ? kTPBItems[position - 1].Code : 0;
    if (code == 0) RaiseClientError(fceTPBConstantUnknown, {name});
    switch (position) {
      case 10:  // lock_read, lock_write: the table name follows
      case 11:
        AppendTextItem(TPB, "TPB", "isc_tpb_", name, code, value);
        break;
      case 12:  // verb_time, commit_time, autocommit, restart_requests
      case 13:
      case 16:
      case 19:
        RaiseClientError(fceTPBConstantUnsupported, {kTPBItems[position - 1].Name});
      default:
        TPB += static_cast<char>(code);
        break;
    }
    CheckBlockLength("TPB", TPB);
  }
  TPBLength = static_cast<SmallInt>(TPB.size());
}
