// A test suite on one temporary database: the library's units and the file
// are made once for the suite, with the tables of Derived::Tables()
// (std::vector<std::string>); the file goes and the units are finalised when
// the suite ends.
//
//   class MyTest : public fbtest::TFIBSuiteTest<MyTest> {
//    public:
//     static std::vector<std::string> Tables() { return {"create table T (ID integer)"}; }
//   };
#pragma once

#include <gtest/gtest.h>

#include "tests/support/fb/FIBTestSupport.h"

namespace fbtest {

template <class Derived>
class TFIBSuiteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitFIBUnits();
    file_ = new TTempDatabase("UTF8");
    file_->Exec(Derived::Tables());
  }
  static void TearDownTestSuite() {
    delete file_;
    file_ = nullptr;
    FinishFIBUnits();
  }

  static inline TTempDatabase* file_ = nullptr;
};

}  // namespace fbtest
