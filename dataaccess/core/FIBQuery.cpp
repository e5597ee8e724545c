// Descriptor areas and the statement state they read.
#include "dataaccess/core/FIBQuery.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/Locale.h"

namespace {

constexpr size_t kNameSize = sizeof(XSQLVAR::aliasname);

// The key of the case-insensitive name index: ASCII names are upper-cased
// quickly, others under the user's locale.
String FoldName(const String& S) {
  for (char c : S) {
    if (static_cast<unsigned char>(c) >= 0x80) return AnsiUpperCase(S);
  }
  return UpperCase(S);
}

// The first Max bytes of S, not cutting a UTF-8 character.
String CutToBytes(const String& S, size_t Max) {
  if (S.size() <= Max) return S;
  size_t n = Max;
  while (n > 0 && (static_cast<unsigned char>(S[n]) & 0xC0) == 0x80) --n;
  return S.substr(0, n);
}

bool IsNumberType(int Type) {
  return Type == SQL_SHORT || Type == SQL_LONG || Type == SQL_INT64 || Type == SQL_DOUBLE || Type == SQL_FLOAT ||
         Type == SQL_D_FLOAT;
}

// Bytes of the data buffer of a described entry; -1 for a type the areas do
// not know.
int DataSizeOfType(int Type, int Length) {
  switch (Type) {
    case SQL_VARYING:
      return Length + 2;
    case SQL_TEXT:
      return Length == 0 ? 1 : Length;
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_LONG:
    case SQL_SHORT:
    case SQL_TIMESTAMP:
    case SQL_BLOB:
    case SQL_D_FLOAT:
    case SQL_ARRAY:
    case SQL_QUAD:
    case SQL_TYPE_TIME:
    case SQL_TYPE_DATE:
    case SQL_INT64:
    case SQL_BOOLEAN16:
    case SQL_BOOLEAN:
      return Length;
    case SQL_NULL:  // carries only its indicator
      return 0;
    default:
      return -1;
  }
}

}  // namespace

// ===========================================================================
// TFIBXSQLDA

TFIBXSQLDA::TFIBXSQLDA(TFIBQuery* Statement, bool IsParameterArea)
    : statement_(Statement), is_parameter_area_(IsParameterArea) {}

TFIBXSQLDA::~TFIBXSQLDA() {
  vars_.clear();
  std::free(descriptor_);
}

void TFIBXSQLDA::SetCount(Integer N) {
  if (N < 0 || N > INT16_MAX) RaiseClientError(fceXSQLDAIndexOutOfRange);
  names_.clear();
  folded_names_.clear();
  duplicates_.clear();
  lookup_cache_.clear();
  count_ = N;
  if (N <= allocated_) {
    if (descriptor_ != nullptr) descriptor_->sqln = descriptor_->sqld = static_cast<ISC_SHORT>(N);
    return;
  }
  void* block = descriptor_;
  const size_t size = DescriptorAreaSize(N);
  ReallocZeroed(block, descriptor_ != nullptr ? DescriptorAreaSize(allocated_) : 0, size);
  descriptor_ = static_cast<XSQLDA*>(block);
  descriptor_->version = SQLDA_VERSION1;
  descriptor_->sqldabc = static_cast<ISC_LONG>(size);
  vars_.reserve(static_cast<size_t>(N));
  while (static_cast<Integer>(vars_.size()) < N) vars_.push_back(std::make_unique<TFIBXSQLVAR>(this, statement_));
  XSQLVAR* records = &descriptor_->sqlvar[0];
  for (Integer i = 0; i < N; ++i) vars_[static_cast<size_t>(i)]->SetRecord(records + i);
  allocated_ = N;
  descriptor_->sqln = descriptor_->sqld = static_cast<ISC_SHORT>(N);
}

TFIBXSQLVAR* TFIBXSQLDA::Vars(Integer Index) const {
  if (Index < 0 || Index >= count_) RaiseClientError(fceXSQLDAIndexOutOfRange);
  return vars_[static_cast<size_t>(Index)].get();
}

void TFIBXSQLDA::AddName(const String& Name, Integer Index, bool Normalized) {
  Vars(Index);  // client error 23 outside the entries
  const String name = Normalized ? Name : UpperCase(Name);
  if (is_parameter_area_) {
    if (duplicates_.count(name) != 0) {
      duplicates_.emplace(name, Index);
    } else if (auto earlier = names_.find(name); earlier != names_.end()) {
      duplicates_.emplace(name, Index);
      duplicates_.emplace(name, earlier->second);
    }
  }
  names_.emplace(name, Index);
  folded_names_.emplace(FoldName(name), Index);
  lookup_cache_.clear();
  Vars(Index)->SetNameAndIndex(name, Index);
}

String TFIBXSQLDA::NormalizeName(const String& Name) const {
  if (!Name.empty() && Name[0] == '"') return Name.size() >= 2 ? Name.substr(1, Name.size() - 2) : String();
  TFIBDatabase* db = statement_ != nullptr ? statement_->Database() : nullptr;
  if (db == nullptr || db->SQLDialect() == 1) return UpperCase(Name);
  if (db->UpperOldNames() && !NeedQuoteCI(Name)) return UpperCase(Name);
  return Name;
}

int TFIBXSQLDA::FindName(const String& Normalized) const {
  // Equal names keep their order of entry: the first entered is found.
  if (auto it = names_.lower_bound(Normalized); it != names_.end() && it->first == Normalized) return it->second;
  const String folded = FoldName(Normalized);
  if (auto it = folded_names_.lower_bound(folded); it != folded_names_.end() && it->first == folded) return it->second;
  return -1;
}

TFIBXSQLVAR* TFIBXSQLDA::ByName(const String& Name) {
  if (auto hit = lookup_cache_.find(Name); hit != lookup_cache_.end()) return hit->second;
  const int index = FindName(NormalizeName(Name));
  if (index >= 0 && index < count_) {
    TFIBXSQLVAR* var = vars_[static_cast<size_t>(index)].get();
    lookup_cache_.emplace(Name, var);
    return var;
  }
  if (statement_ != nullptr && statement_->user_params_.get() == this) {
    if (statement_->literal_values_changed_) statement_->RebuildLiteralText();
    TFIBXSQLDA* server = statement_->server_params_.get();
    if (server != nullptr && server != this) return server->ByName(Name);
  }
  return nullptr;
}

void TFIBXSQLDA::BuildNameIndex() {
  const bool build_names = names_.empty();
  int unnamed = 0;
  for (Integer i = 0; i < count_; ++i) {
    TFIBXSQLVAR* var = vars_[static_cast<size_t>(i)].get();
    XSQLVAR* rec = var->record_;
    const int type = rec->sqltype & ~1;
    var->SetDeclared(type, rec->sqlsubtype, rec->sqlscale);
    var->has_value_ = true;
    if (build_names) {
      // Aliases arrive as UTF-8 on a Unicode attachment, the system's own
      // code page; they are cut by bytes, never inside a character.
      const size_t length =
          std::min<size_t>(static_cast<size_t>(std::max<ISC_SHORT>(rec->aliasname_length, 0)), kNameSize);
      const String alias(rec->aliasname, length);
      String name;
      if (alias.empty()) {
        name = "F_" + IntToStr(++unnamed);
      } else {
        name = alias;
        for (int n = 1; ByName(name) != nullptr; ++n) {
          const String suffix = IntToStr(n);
          name = CutToBytes(alias, kNameSize - std::min(suffix.size(), kNameSize)) + suffix;
        }
      }
      std::memset(rec->aliasname, 0, kNameSize);
      std::memcpy(rec->aliasname, name.data(), std::min(name.size(), kNameSize));
      rec->aliasname_length = static_cast<ISC_SHORT>(std::min(name.size(), kNameSize));
      AddName(name, i, true);
    }
    const int size = DataSizeOfType(type, rec->sqllen);
    if (size < 0) {
      if (type != 0 || statement_ == nullptr || statement_->user_params_.get() != this)
        RaiseClientError(fceUnknownSQLDataType, {type});
    } else {
      var->SetDataSize(size);
    }
    var->WriteNullable((rec->sqltype & 1) != 0);
  }
}

void TFIBXSQLDA::AssignValues(TFIBXSQLDA* Source) {
  for (Integer i = 0; i < Source->Count(); ++i) {
    TFIBXSQLVAR* src = Source->Vars(i);
    TFIBXSQLVAR* dst = ByName(src->Name());
    if (dst == nullptr) continue;
    const Integer st = src->SQLType(), dt = dst->SQLType();
    const auto blobOrArray = [](Integer t) { return t == SQL_BLOB || t == SQL_ARRAY; };
    const Integer declared = dst->DeclaredType();
    const bool dateDeclared = declared == SQL_TIMESTAMP || declared == SQL_TYPE_DATE || declared == SQL_TYPE_TIME;
    if (src->IsNull()) {
      dst->SetIsNull(true);
    } else if (blobOrArray(st) && blobOrArray(dt)) {
      dst->SetAsQuad(src->AsQuad());
    } else if (IsNumberType(st) && dateDeclared) {
      // A number for a date, time or time stamp is a date-time value, as
      // when the parameters go to the server as they are.
      dst->AssignDeclaredDateTime(src->AsDouble());
    } else if (st == SQL_INT64 || st == SQL_TIMESTAMP || st == SQL_TYPE_DATE || st == SQL_TYPE_TIME) {
      // Exact encodings are copied as they are: through a Variant a scaled
      // INT64 would become a double and a time lose its 1/10000 seconds.
      if (blobOrArray(dt)) dst->SetAsInt64(0);
      dst->AssignBlob(src);
    } else {
      dst->SetAsVariant(src->AsVariant());
    }
  }
}

void TFIBXSQLDA::ClearValues() {
  for (Integer i = 0; i < count_; ++i) {
    TFIBXSQLVAR* var = vars_[static_cast<size_t>(i)].get();
    const bool nullable = (var->record_->sqltype & 1) != 0;
    var->WriteNull(true);
    if (!nullable) var->WriteNullable(false);
  }
}

void TFIBXSQLDA::ResetModified() {
  for (Integer i = 0; i < count_; ++i) vars_[static_cast<size_t>(i)]->modified_ = false;
}

void TFIBXSQLDA::ApplyDeclaredTypes() {
  for (Integer i = 0; i < count_; ++i) {
    TFIBXSQLVAR* var = vars_[static_cast<size_t>(i)].get();
    if (!var->type_unknown_) continue;
    var->type_unknown_ = false;
    var->ReassignByDeclaredType();
  }
  types_pending_ = false;
}
