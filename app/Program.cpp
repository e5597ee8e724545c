#include "app/Program.h"

#include "app/Unit1.h"
#include "dataaccess/core/FIBDBLoginDlg.h"
#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/IB_Intf.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/ibase.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "dataaccess/core/pFIBProps.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "datalayer/F_DBFind.h"
#include "framework/BF_Msg.h"
#include "framework/B_Dlg.h"
#include "framework/B_PF.h"
#include "framework/B_Time.h"
#include "framework/Bstdctrl.h"
#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DBGridEhFindDlgs.h"
#include "grid/datagrid/DBGridEhImpExp.h"
#include "grid/datagrid/DbUtilsEh.h"
#include "grid/toolkit/PropFilerEh.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"

namespace {

// The program's units, started in this order; a unit's own uses start
// before it, and each unit starts once however often it is reached.
//
// A subsystem joins by listing its units in its place below (every unit
// that has an initialization or a finalization, the order among them given
// by their uses or, where none, by their place here) and by linking its
// library into the program (app/CMakeLists.txt).
constexpr const TUnit* kUses[] = {
    // The class library first: its application and screen objects exist
    // before any unit of the framework starts.
    &unit_Forms,
    // In-house UI framework.
    &unit_B_PF,
    &unit_B_Time,
    &unit_Bstdctrl,
    &unit_BF_Msg,
    &unit_B_Dlg,
    // Firebird connection and statements.
    &unit_ibase,
    &unit_IB_Intf,
    &unit_fib,
    &unit_StrUtil,
    &unit_StdFuncs,
    &unit_pFIBProps,
    &unit_FIBSQLMonitor,
    &unit_FIBDatabase,
    &unit_FIBQuery,
    &unit_pFIBCacheQueries,
    &unit_FIBDBLoginDlg,
    // Firebird datasets.
    &unit_FIBDataSet,
    &unit_pFIBDataInfo,
    &unit_pFIBDataSet,
    // Grid toolkit and data grid, then the in-house data layer; their
    // initializations run in this order (their uses must agree):
    // ToolCtrlsEh, DBCtrlsEh, PropFilerEh, DBGridEhImpExp, DbUtilsEh,
    // DBGridEhFindDlgs, DBGridEh, F_DBFind.
    &unit_PropFilerEh,
    &unit_DBGridEhImpExp,
    &unit_DbUtilsEh,
    &unit_DBGridEhFindDlgs,
    &unit_DBGridEh,
    // The process viewer's main window.
    &unit_Unit1,
    // The in-house data layer's search frames.
    &unit_F_DBFind,
};

}  // namespace

constinit const TUnit unit_Program("Program", kUses, nullptr, nullptr);
