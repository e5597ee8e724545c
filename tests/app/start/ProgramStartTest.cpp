// The program's start and stop, in a process of their own: no unit has run
// before the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/Unit1.h"
#include "grid/datagrid/DBGridEh.h"
#include "dataaccess/core/FIBDBLoginDlg.h"
#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/ibase.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "dataaccess/core/pFIBProps.h"
#include "framework/B_PF.h"
#include "framework/Bstdctrl.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"

namespace {

// Every unit reachable from Root through its uses.
std::set<const TUnit*> Reachable(const TUnit* Root) {
  std::set<const TUnit*> seen;
  std::function<void(const TUnit*)> visit = [&](const TUnit* unit) {
    if (!seen.insert(unit).second) return;
    for (const TUnit* used : unit->Uses()) visit(used);
  };
  visit(Root);
  return seen;
}

TEST(ProgramStart, UnitsStartAfterWhatTheyUseAndAfterTheApplicationAndStopInReverse) {
  ASSERT_TRUE(InitializedUnitNames().empty());
  InitializeUnits({&unit_Program});
  const std::vector<std::string> started = InitializedUnitNames();
  EXPECT_NE(Application, nullptr);
  EXPECT_NE(Screen, nullptr);

  std::map<std::string, size_t> position;
  for (size_t i = 0; i < started.size(); ++i) EXPECT_TRUE(position.emplace(started[i], i).second) << started[i];
  const std::set<const TUnit*> all = Reachable(&unit_Program);
  EXPECT_EQ(position.size(), all.size());  // every unit once

  // The framework's and the data-access units are linked and started, each
  // after the class library's application object.
  for (const TUnit* unit : {&unit_B_PF, &unit_BButton, &unit_Bstdctrl, &unit_ibase, &unit_fib, &unit_StrUtil,
                            &unit_pFIBProps, &unit_FIBSQLMonitor, &unit_FIBDatabase, &unit_FIBQuery,
                            &unit_pFIBCacheQueries, &unit_FIBDBLoginDlg}) {
    ASSERT_TRUE(IsUnitInitialized(*unit)) << unit->Name();
    EXPECT_LT(position.at("Forms"), position.at(unit->Name())) << unit->Name();
  }
  EXPECT_TRUE(IsUnitInitialized(unit_Unit1));
  // The grid library's units start in their fixed order.
  EXPECT_LT(position.at("PropFilerEh"), position.at("DbUtilsEh"));
  EXPECT_LT(position.at("DbUtilsEh"), position.at("DBGridEh"));
  EXPECT_LT(position.at("DBGridEh"), position.at("F_DBFind"));
  EXPECT_NE(DBGridEhDefaultStyle(), nullptr);
  EXPECT_EQ(DBGridEhIndicators()->Count(), 7);

  // A unit starts after the units it uses (units that use each other in a
  // ring start in the order they are reached).
  for (const TUnit* unit : all) {
    for (const TUnit* used : unit->Uses()) {
      if (Reachable(used).contains(unit)) continue;
      EXPECT_LT(position.at(used->Name()), position.at(unit->Name())) << unit->Name() << " uses " << used->Name();
    }
  }

  // The order is fixed: a second start gives the same.
  FinalizeUnits();
  EXPECT_EQ(Application, nullptr);
  InitializeUnits({&unit_Program});
  EXPECT_EQ(InitializedUnitNames(), started);

  std::vector<std::string> stopped = FinalizeUnits();
  std::reverse(stopped.begin(), stopped.end());
  EXPECT_EQ(stopped, started);
  EXPECT_TRUE(InitializedUnitNames().empty());
  EXPECT_EQ(DBGridEhDefaultStyle(), nullptr);
  EXPECT_EQ(DBGridEhIndicators(), nullptr);
}

}  // namespace
