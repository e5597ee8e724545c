// Dataset option objects and the BLOB disk-cache settings (pFIBProps.h).
#include <algorithm>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/pFIBProps.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Formats a TFormatFields starts from and compares with when no process-wide
// formats are in force, in property order.
constexpr const char* kFixedFormats[5] = {"dd.mm.yyyy hh:mm AMPM", "#,##0.", "0.", "dd.mm.yyyy", "hh:mm AMPM"};

constexpr const char* kAppPathMacro = "{APP_PATH}";

void GlobalFormats(String (&Formats)[5]) {
  const TFIBPropsDefaults& d = FIBPropsDefaults();
  Formats[0] = d.GlobalDateFormat + " " + d.GlobalTimeFormat;
  Formats[1] = d.GlobalNumericDisplayFormat;
  Formats[2] = d.GlobalNumericEditFormat;
  Formats[3] = d.GlobalDateFormat;
  Formats[4] = d.GlobalTimeFormat;
}

// True when the component or one of its owners is being read.
bool ChainLoading(const TComponent* Component) {
  for (const TComponent* c = Component; c != nullptr; c = c->Owner()) {
    if (c->IsLoading()) return true;
  }
  return false;
}

}  // namespace

TFIBPropsDefaults& FIBPropsDefaults() {
  static TFIBPropsDefaults defaults;
  return defaults;
}

// ---------------------------------------------------------------------------
// TFormatFields

TFormatFields::TFormatFields(TComponent* Owner) : owner_(Owner) {
  const TFIBPropsDefaults& d = FIBPropsDefaults();
  if (d.UseGlobalFormats) {
    GlobalFormats(formats_);
  } else if (owner_ != nullptr && owner_->IsDesigning() && !ChainLoading(owner_)) {
    formats_[0] = d.DesignDateTimeDisplayFormat;
    formats_[1] = d.DesignNumericDisplayFormat;
    formats_[2] = d.DesignNumericEditFormat;
    formats_[3] = d.DesignDisplayFormatDate;
    formats_[4] = d.DesignDisplayFormatTime;
  } else {
    std::copy(std::begin(kFixedFormats), std::end(kFixedFormats), std::begin(formats_));
  }
}

void TFormatFields::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TFormatFields*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  std::copy(std::begin(source->formats_), std::end(source->formats_), std::begin(formats_));
}

bool TFormatFields::IsStored(int Index) const {
  if (!FIBPropsDefaults().UseGlobalFormats) return formats_[Index] != kFixedFormats[Index];
  String global[5];
  GlobalFormats(global);
  return formats_[Index] != global[Index];
}

// ---------------------------------------------------------------------------
// TAutoUpdateOptions

TAutoUpdateOptions::TAutoUpdateOptions(TComponent* Owner)
    : owner_(Owner),
      params_to_fields_links_(std::make_unique<TStringList>()),
      key_fields_list_(std::make_unique<TStringList>()) {}

TAutoUpdateOptions::~TAutoUpdateOptions() = default;

void TAutoUpdateOptions::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TAutoUpdateOptions*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  // Fields rather than setters: the copy must not name a generator or drop
  // a flag that the source holds.
  update_table_name_ = source->update_table_name_;
  has_alias_ = source->has_alias_;
  names_computed_ = false;
  key_condition_.clear();
  SetKeyFields(source->key_fields_);
  auto_rewrite_sqls_ = source->auto_rewrite_sqls_;
  can_change_sqls_ = source->can_change_sqls_;
  generator_name_ = source->generator_name_;
  update_only_modified_fields_ = source->update_only_modified_fields_;
  when_get_gen_id_ = source->when_get_gen_id_;
  generator_step_ = source->generator_step_;
  params_to_fields_links_->Assign(source->params_to_fields_links_.get());
  auto_params_to_fields_ = source->auto_params_to_fields_;
  separate_blob_update_ = source->separate_blob_update_;
  use_execute_block_ = source->use_execute_block_;
  select_gen_id_read_ = source->select_gen_id_read_;
  gen_before_post_read_ = source->gen_before_post_read_;
}

void TAutoUpdateOptions::SetUpdateTableName(const String& Value) {
  key_condition_.clear();
  update_table_name_ = Value;
  names_computed_ = false;
  table_name_for_sql_.clear();
  table_alias_.clear();
  has_alias_ = PosAliasDelimiter(Value) > 0;
  if (!generator_name_.empty() || when_get_gen_id_ == wgNever) return;
  const TFIBPropsDefaults& d = FIBPropsDefaults();
  const String table = TableNameForSQL();
  if (table.empty()) return;  // no "GEN__ID" for a cleared table
  if (table[0] == '"') {
    const String inner = table.size() >= 2 && table.back() == '"' ? table.substr(1, table.size() - 2) : table.substr(1);
    generator_name_ = "\"" + d.GeneratorPrefix + inner + d.GeneratorSuffix + "\"";
  } else {
    generator_name_ = d.GeneratorPrefix + table + d.GeneratorSuffix;
  }
}

void TAutoUpdateOptions::SetKeyFields(const String& Value) {
  key_condition_.clear();
  key_fields_list_->Clear();
  size_t start = 0;
  while (start <= Value.size()) {
    size_t end = Value.find(';', start);
    if (end == String::npos) end = Value.size();
    const String name = Trim(Value.substr(start, end - start));
    if (!name.empty()) key_fields_list_->Add(name);
    start = end + 1;
  }
  key_fields_ = Value;
}

void TAutoUpdateOptions::SetUpdateOnlyModifiedFields(bool Value) {
  update_only_modified_fields_ = Value && auto_rewrite_sqls_ && can_change_sqls_;
}

void TAutoUpdateOptions::SetParamsToFieldsLinks(TStrings* Value) {
  params_to_fields_links_->Assign(Value);
  for (int i = params_to_fields_links_->Count() - 1; i >= 0; --i) {
    if (params_to_fields_links_->Strings(i).empty()) params_to_fields_links_->Delete(i);
  }
}

void TAutoUpdateOptions::SetSelectGenID(bool Value) {
  if (!Value) when_get_gen_id_ = wgNever;
  else if (when_get_gen_id_ == wgNever) when_get_gen_id_ = wgBeforePost;
}

void TAutoUpdateOptions::ClearCachedTexts() {
  key_condition_.clear();
  condition_select_text_.clear();
}

void TAutoUpdateOptions::ReadSelectGenID(TReader& Reader) {
  select_gen_id_read_ = Reader.ReadBoolean();
  when_get_gen_id_ = select_gen_id_read_ ? wgBeforePost : wgNever;
}

void TAutoUpdateOptions::ReadGenBeforePost(TReader& Reader) {
  gen_before_post_read_ = Reader.ReadBoolean();
  if (select_gen_id_read_) when_get_gen_id_ = gen_before_post_read_ ? wgBeforePost : wgOnNewRecord;
}

String TAutoUpdateOptions::TableNameForSQL() {
  ComputeTableNames();
  return table_name_for_sql_;
}

String TAutoUpdateOptions::TableAlias() {
  ComputeTableNames();
  return table_alias_;
}

void TAutoUpdateOptions::ComputeTableNames() {
  if (names_computed_) return;
  auto* dataset = dynamic_cast<IFIBDataSetSQLs*>(owner_);
  String name, alias;
  if (has_alias_) {
    name = CutAlias(update_table_name_);
    alias = ExtractAlias(update_table_name_);
  } else {
    name = update_table_name_;
    alias = dataset != nullptr && dataset->SelectSQL() != nullptr
                ? AliasForTable(dataset->SelectSQL()->Text(), name)
                : name;
  }
  if (TFIBDatabase* db = dataset != nullptr ? dataset->Database() : nullptr) {
    name = IdentifierForm(name, db->SQLDialect(), db->UseUpperNames());
    alias = IdentifierForm(alias, db->SQLDialect(), db->UseUpperNames());
  }
  table_name_for_sql_ = name;
  table_alias_ = alias;
  names_computed_ = true;
}

// ---------------------------------------------------------------------------
// TBlobSwapSupport

void TBlobSwapSupport::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TBlobSwapSupport*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  active_ = source->active_;
  swap_dir_ = source->swap_dir_;
  min_blob_size_to_swap_ = source->min_blob_size_to_swap_;
}

bool TBlobSwapSupport::IsSwapDirStored() const { return swap_dir_ != kAppPathMacro; }

String TBlobSwapSupport::GetSwapDir() const {
  if (!active_) return String();
  const size_t macro = std::char_traits<char>::length(kAppPathMacro);
  String dir = swap_dir_;
  if (UpperCase(dir.substr(0, macro)) == kAppPathMacro)
    dir = IncludeTrailingPathDelimiter(ExtractFilePath(ApplicationExeName())) + dir.substr(macro);
  // Directories stored by older forms are written with "\".
  std::replace(dir.begin(), dir.end(), '\\', PathDelim);
  if (!dir.empty() && dir.back() != PathDelim) dir += PathDelim;
  return dir;
}
