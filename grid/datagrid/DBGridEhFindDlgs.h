// The grid's "Find text" dialog: one form for all grids, modal or modeless,
// stepping from match to match through a grid's dataset over one column or
// all of them. The unit installs it as the grid's find-dialog hook.
#pragma once

#include <memory>

#include "grid/datagrid/DBGridEh.h"
#include "grid/toolkit/DBCtrlsEh.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/UnitInit.h"

extern const TUnit unit_DBGridEhFindDlgs;

class TDBGridEhFindDlg : public TForm {
 public:
  explicit TDBGridEhFindDlg(TComponent* AOwner);
  ~TDBGridEhFindDlg() override;

  // Components of the form resource, bound by name.
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* cbMatchType = nullptr;
  TLabel* Label3 = nullptr;
  TDBComboBoxEh* cbText = nullptr;
  TDBComboBoxEh* cbFindIn = nullptr;
  TDBComboBoxEh* cbMatchinType = nullptr;
  TDBComboBoxEh* cbFindDirection = nullptr;
  TDBCheckBoxEh* cbCharCase = nullptr;
  TDBCheckBoxEh* cbUseFormat = nullptr;
  TButton* bFind = nullptr;
  TButton* bCancel = nullptr;

  void bFindClick(TObject* Sender);
  void bCancelClick(TObject* Sender);
  void cbFindInChange(TObject* Sender);
  void cbTextChange(TObject* Sender);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);

  // Shows the dialog for the grid (the body of ExecuteDBGridEhFindDialog).
  void Execute(TCustomDBGridEh* Grid, const String& Text, const TColumnFieldsArrEh& Columns, bool Modal);

  TCustomDBGridEh* Grid() const { return grid_; }
  bool FirstSearch() const { return first_search_; }
  TColumnsEhList* FindColumns() const { return columns_.get(); }
  int CurColumnIndex() const { return cur_column_; }
  bool IsModal() const { return modal_; }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  String CellText(TColumnEh* Column) const;
  bool Matches(const String& Cell, const String& Text) const;
  TCustomDBGridEh* grid_ = nullptr;
  bool first_search_ = true;
  std::unique_ptr<TColumnsEhList> columns_;
  int cur_column_ = -1;
  TColumnFieldsArrEh columns_arr_;
  bool modal_ = false;
};

// Creates the dialog once (owned by the application) and shows it for Grid;
// FieldName is not used.
void ExecuteDBGridEhFindDialog(TCustomDBGridEh* Grid, const String& Text, const String& FieldName,
                               const TColumnFieldsArrEh& Columns, bool Modal);
// The dialog once it exists (nullptr before the first call).
TDBGridEhFindDlg* DBGridEhFindDlg();
