// Local filtering: the Filter, FilterOptions and Filtered writers, the
// filter parser and the visible-record index.
#include <algorithm>
#include <cstring>
#include <memory>

#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/DBParsers.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "platform/rtl/SysUtils.h"

using fibdataset_internal::WithValue;

// ===========================================================================
// Writers

void TFIBCustomDataSet::SetFiltered(bool Value) {
  if (Active() && !IsDestroying()) CheckBrowseMode();
  const bool active = Active() && !IsDestroying();
  const int countBefore = active ? RecordCount() : 0;
  ResetVisibleRecords();
  if (filter_parser_ && filter_parser_text_ != Filter()) SetFilterText(Filter());
  TWideDataSet::SetFiltered(Value);
  if (active) RefreshVisibleRecords(countBefore);
}

void TFIBCustomDataSet::SetFilterOptions(TFilterOptions Value) { SetFilterData(Filter(), Value); }

void TFIBCustomDataSet::SetFilterText(const String& Value) { SetFilterData(Value, FilterOptions()); }

void TFIBCustomDataSet::SetFilterData(const String& Text, TFilterOptions Options) {
  if (Active()) {
    CheckBrowseMode();
    if (!filter_parser_ || filter_parser_text_ != Text || filter_parser_options_ != Options)
      BuildFilterParser(Text, Options);
  } else {
    filter_parser_.reset();
  }
  ResetVisibleRecords();
  TWideDataSet::SetFilterText(Text);
  TWideDataSet::SetFilterOptions(Options);
  if (Active() && Filtered()) First();
}

void TFIBCustomDataSet::BuildFilterParser(const String& Text, TFilterOptions Options) {
  // The parser refuses calculated fields; as internal calculated fields it
  // reads them (their kind comes back afterwards).
  std::vector<TField*> calculated;
  for (int i = 0; i < TDataSet::FieldCount(); ++i)
    if (Fields()->Fields(i)->FieldKind() == fkCalculated) calculated.push_back(Fields()->Fields(i));
  auto setKinds = [&](TFieldKind Kind) {
    const Word flags = internal_flags_;
    internal_flags_ |= kSkipInactiveCheck;
    for (TField* f : calculated) f->SetFieldKind(Kind);
    internal_flags_ = flags;
  };
  std::unique_ptr<TExpressionParser> parser;
  WithValue(filter_building_, true, [&] {
    setKinds(fkInternalCalc);
    try {
      const String trimmed = Trim(Text);
      if (!trimmed.empty())
        parser = std::make_unique<TExpressionParser>(this, trimmed, Options, TParserOptions{poExtSyntax}, String(),
                                                     nullptr, DataSetFieldMap(), StrToDateFmt, SQLMaskCompareStr);
    } catch (...) {
      setKinds(fkCalculated);
      throw;
    }
    setKinds(fkCalculated);
  });
  filter_parser_ = std::move(parser);
  filter_parser_text_ = Text;
  filter_parser_options_ = Options;
}

// ===========================================================================
// The visible-record index

void TFIBCustomDataSet::ResetVisibleRecords() {
  sorted_list_->Clear();
  visibility_.clear();
}

void TFIBCustomDataSet::NoteRecordVisibility(Integer Number, bool Visible) {
  // Window numbers of the limited model grow past the rows held and come
  // back after refills: nothing is kept for them.
  if (Number < 0 || cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) return;
  const auto at = static_cast<size_t>(Number);
  if (visibility_.size() <= at) visibility_.resize(std::max(at + 1, visibility_.size() * 2), 0);
  visibility_[at] = Visible ? 1 : 2;
  if (Visible) sorted_list_->Remove(Number + 1);
  else sorted_list_->Add(Number + 1);
}

void TFIBCustomDataSet::ForgetRecordVisibility(Integer Number) {
  if (Number < 0 || static_cast<size_t>(Number) >= visibility_.size()) return;
  visibility_[static_cast<size_t>(Number)] = 0;
  sorted_list_->Remove(Number + 1);
}

int TFIBCustomDataSet::RecordVisibility(Integer Number) const {
  if (Number < 0 || static_cast<size_t>(Number) >= visibility_.size()) return -1;
  const Byte v = visibility_[static_cast<size_t>(Number)];
  return v == 0 ? -1 : v == 1 ? 1 : 0;
}

bool TFIBCustomDataSet::TestRecordVisible(TRecordBuffer Buffer) {
  bool visible = false;
  WithValue(current_record_index_, RecordNumberOf(Buffer), [&] { visible = IsVisible(Buffer); });
  return visible;
}

bool TFIBCustomDataSet::RecordVisibleAt(Integer Number) {
  std::unique_ptr<Byte[]> buffer(AllocRecordBuffer());
  ReadRecordFromCache(Number, buffer.get(), false);
  buffer[kBookmarkFlagOffset] = bfCurrent;
  return TestRecordVisible(buffer.get());
}

void TFIBCustomDataSet::ReadInFilterState(TRecordBuffer Buffer, const std::function<void()>& F) {
  const TDataSetState saved = SetTempState(dsFilter);
  TRecordBuffer savedBuffer = filter_buffer_;
  filter_buffer_ = Buffer;
  auto restore = [&] {
    filter_buffer_ = savedBuffer;
    RestoreState(saved);
  };
  try {
    WithValue(filter_testing_, true, [&] {
      WithValue(current_record_index_, RecordNumberOf(Buffer), F);
    });
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void TFIBCustomDataSet::RefreshVisibleRecords(int CountBefore) {
  if (!Active()) return;
  if (RecordCount() != CountBefore) {
    First();
    return;
  }
  UpdateCursorPos();
  Resync({});
}
