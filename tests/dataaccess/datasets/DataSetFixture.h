// The database suites of the dataset tests: one temporary database per test
// program (made by the shared suite fixture), a database component
// connected with a given character set, its transaction, and datasets over
// the record cache (CacheDataSet.h).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "platform/rtl/UnitInit.h"
#include "tests/dataaccess/datasets/CacheDataSet.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace dstest {

template <class Derived>
class TDataSetSuite : public fbtest::TFIBSuiteTest<Derived> {
 protected:
  void SetUp() override {
    InitializeUnits({&unit_FIBDataSet});
    form_ = new TComponent(nullptr);
    db_ = Connect("UTF8");
  }
  void TearDown() override { delete form_; }

  // A connected database with its own default transaction.
  TFIBDatabase* Connect(const std::string& CharSet) {
    TFIBDatabase* db = fbtest::NewFIBDatabase(form_, this->file_->Path(), CharSet);
    auto* tr = new TFIBTransaction(form_);
    tr->SetDefaultDatabase(db);
    db->SetDefaultTransaction(tr);
    db->Connect();
    return db;
  }

  // A dataset over SQL on Database (the suite's UTF8 one by default).
  TCacheDataSet* NewDataSet(const String& SQL, TFIBDatabase* Database = nullptr) {
    auto* ds = new TCacheDataSet(form_);
    ds->SetDatabase(Database != nullptr ? Database : db_);
    ds->SelectSQL()->SetText(SQL);
    return ds;
  }

  // Persistent fields for a dataset not yet open: its columns' and the
  // calculated integer field Name, computed by Calc.
  void AddCalculatedField(TFIBCustomDataSet* DataSet, const String& Name, std::function<void(TDataSet*)> Calc) {
    auto* calc = new TIntegerField(DataSet);
    calc->SetFieldName(Name);
    calc->SetFieldKind(fkCalculated);
    calc->SetDataSet(DataSet);
    DataSet->Prepare();
    for (int i = 0; i < DataSet->FieldDefs()->Count(); ++i) DataSet->FieldDefs()->Items(i)->CreateField(DataSet);
    DataSet->SetOnCalcFields({form_, std::move(Calc)});
  }
  // The calculated field MINUS_ID (-ID).
  void AddMinusId(TFIBCustomDataSet* DataSet) {
    AddCalculatedField(DataSet, "MINUS_ID", [](TDataSet* D) {
      D->FieldByName("MINUS_ID")->SetAsInteger(-D->FieldByName("ID")->AsInteger());
    });
  }

  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
};

// The client error number of what Call raises (-1: none), and its text.
inline int ClientError(const std::function<void()>& Call, String* Text = nullptr) {
  try {
    Call();
  } catch (const EFIBClientError& e) {
    if (Text != nullptr) *Text = e.what();
    return e.SQLCode();
  }
  return -1;
}

// The message of what Call raises ("" when nothing does).
inline String ErrorText(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const Exception& e) {
    return e.Message();
  }
  return String();
}

// A record buffer of a dataset, freed with it.
class TBuffer {
 public:
  explicit TBuffer(TCacheDataSet* DataSet) : ds_(DataSet), buffer_(DataSet->NewBuffer()) {}
  ~TBuffer() { ds_->FreeBuffer(buffer_); }
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;

  TRecordBuffer Get() const { return buffer_; }
  // Column values by the dataset's descriptors.
  bool IsNull(int Column) const { return buffer_[kNullFlagsOffset + Column] != 0; }
  template <class T>
  T Value(int Column) const {
    T v;
    std::memcpy(&v, buffer_ + Descr(Column)->Offset, sizeof v);
    return v;
  }
  // A stored-apart string: its length word and bytes.
  std::string Apart(int Column) const {
    const Integer n = Value<Integer>(Column);
    return std::string(reinterpret_cast<const char*>(buffer_) + Descr(Column)->Offset + 4, static_cast<size_t>(n));
  }
  // A string kept in the record, up to its zero byte.
  std::string Inside(int Column) const {
    const char* p = reinterpret_cast<const char*>(buffer_) + Descr(Column)->Offset;
    return std::string(p, strnlen(p, Descr(Column)->DataSize));
  }
  std::string Bytes(int Column, size_t Count) const {
    return std::string(reinterpret_cast<const char*>(buffer_) + Descr(Column)->Offset, Count);
  }

 private:
  const TFIBFieldDescr* Descr(int Column) const { return ds_->FieldDescrList()->Items(Column); }
  TCacheDataSet* ds_;
  TRecordBuffer buffer_;
};

}  // namespace dstest
