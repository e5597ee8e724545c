// Unit Unit1: the main window, which lists the machine's processes flat or as
// a parent/child tree, with the query's diagnostic counters in two labels.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* AOwner) : TForm(AOwner) {}

  // Components of the form resource, bound by name.
  TTreeView* tvProcess = nullptr;
  TMemo* Memo1 = nullptr;
  TButton* Button1 = nullptr;
  TCheckBox* CB_Tree = nullptr;
  TCheckBox* CB_AvroRefresh = nullptr;
  TTimer* Timer1 = nullptr;
  TLabel* LSize = nullptr;
  TLabel* LInfo = nullptr;

  // Event handlers named by the form resource.
  void FormCreate(TObject* Sender);
  void Button1Click(TObject* Sender);
  void CB_TreeClick(TObject* Sender);
  void CB_AvroRefreshClick(TObject* Sender);
  void Timer1Timer(TObject* Sender);

  // Rebuilds the tree and the two labels from a fresh process query.
  void RefreshProcesses();
  // Adds a node for the process: in tree mode under the first node (in tree
  // order) whose data is ParentProcessId, else at the end of the top level.
  void AddProcessNode(uint32_t ProcessId, uint32_t ParentProcessId, const String& Text);
};

extern TForm1* Form1;

// The process-information query RefreshProcesses calls (by default
// NtQuerySystemInformation); tests put a wrapper in its place.
using TProcessQuery = std::function<uint32_t(uint32_t InformationClass, void* Buffer, uint32_t Length,
                                             uint32_t* ReturnLength)>;
extern TProcessQuery ProcessQuery;

class TUnit;
extern const TUnit unit_Unit1;
