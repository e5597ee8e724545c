#include "app/Unit1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/wtsapi32.h"
#include "platform/os/ProcessInfo.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/UnitInit.h"

// Generated from resources/ (cmake/Resources.cmake).
void RegisterUnit1Resources();

TForm1* Form1 = nullptr;
TProcessQuery ProcessQuery = NtQuerySystemInformation;

namespace {

constexpr uint32_t kThreadRecordSize = ThreadRecord::Size;    // 64
constexpr uint32_t kProcessRecordSize = ProcessRecord::Size;  // 184

String Hex8(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

void AppendCaption(TLabel* label, const String& text) { label->SetCaption(label->Caption() + text); }

}  // namespace

void TForm1::FormCreate(TObject*) {
  auto list = std::make_unique<TStringList>();
  GetTerminalProcessList(list.get());
  Memo1->SetText(list->Text());
  list.reset();
  RefreshProcesses();
}

void TForm1::Button1Click(TObject*) { RefreshProcesses(); }
void TForm1::CB_TreeClick(TObject*) { RefreshProcesses(); }
void TForm1::Timer1Timer(TObject*) { RefreshProcesses(); }
void TForm1::CB_AvroRefreshClick(TObject*) { Timer1->SetEnabled(CB_AvroRefresh->Checked()); }

void TForm1::AddProcessNode(uint32_t ProcessId, uint32_t ParentProcessId, const String& Text) {
  TTreeNodes* items = tvProcess->Items();
  TTreeNode* parent = nullptr;
  if (CB_Tree->Checked()) {
    for (int i = 0; i < items->Count(); ++i) {
      TTreeNode* node = items->Item(i);
      if (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(node->Data())) == ParentProcessId) {
        parent = node;
        break;
      }
    }
  }
  TTreeNode* node = items->AddChild(parent, Text);
  node->SetData(reinterpret_cast<void*>(static_cast<uintptr_t>(ProcessId)));
}

void TForm1::RefreshProcesses() {
  TTreeNodes* items = tvProcess->Items();
  items->BeginUpdate();
  struct EndUpdate {
    TTreeNodes* items;
    ~EndUpdate() { items->EndUpdate(); }
  } endUpdate{items};

  items->Clear();
  LInfo->SetCaption("Info ???");
  LSize->SetCaption("Size ???");

  uint32_t length = 0;
  uint32_t status = ProcessQuery(SystemProcessInformation, nullptr, 0, &length);
  LInfo->SetCaption("Status calc Length:$" + Hex8(status));
  if (status != STATUS_INFO_LENGTH_MISMATCH) return;

  LSize->SetCaption("Buffer size:" + std::to_string(length));
  if (length == 0) return;
  const uint32_t allocated = length;
  std::vector<uint8_t> buffer(allocated);  // freed on every path

  status = ProcessQuery(SystemProcessInformation, buffer.data(), allocated, &length);
  AppendCaption(LInfo, "\rStatus get buffer:$" + Hex8(status));

  int64_t totalSize = 0;
  int64_t processCount = 0;
  int64_t threadCount = 0;
  if (status == STATUS_SUCCESS) {
    // Every record is checked against the returned length (and the buffer):
    // the walk stops at the first record that does not lie wholly inside.
    const uint64_t limit = std::min<uint64_t>(length, allocated);
    uint64_t offset = 0;
    for (;;) {
      if (offset + kProcessRecordSize > limit) break;
      const uint8_t* rec = buffer.data() + offset;
      uint32_t next = ReadRecordField<uint32_t>(rec, ProcessRecord::NextEntryOffset);
      uint32_t threads = ReadRecordField<uint32_t>(rec, ProcessRecord::NumberOfThreads);
      uint16_t nameLength = ReadRecordField<uint16_t>(rec, ProcessRecord::ImageNameLength);
      uint16_t nameMaxLength = ReadRecordField<uint16_t>(rec, ProcessRecord::ImageNameMaximumLength);
      uint32_t namePtr = ReadRecordField<uint32_t>(rec, ProcessRecord::ImageNameBuffer);
      uint32_t pid = ReadRecordField<uint32_t>(rec, ProcessRecord::UniqueProcessId);
      uint32_t ppid = ReadRecordField<uint32_t>(rec, ProcessRecord::InheritedFromUniqueProcessId);

      String name;
      if (namePtr == 0) {
        name = "System Idle Process";
      } else {
        if (nameLength % 2 != 0 || uint64_t{namePtr} + nameLength > limit) break;
        WideString wide(nameLength / 2, u'\0');
        std::memcpy(wide.data(), buffer.data() + namePtr, nameLength);
        name = WideToUtf8(wide);
      }
      int64_t size = int64_t{threads} * kThreadRecordSize + kProcessRecordSize + nameMaxLength;
      String line = name + " SizeFull=" + std::to_string(size) + " ThreadCount=" + std::to_string(threads) +
                    " ModuleNameMaxLength=" + std::to_string(nameMaxLength) +
                    " ModuleNameLength=" + std::to_string(nameLength);
      AddProcessNode(pid, ppid, line);
      if (!name.empty() && name[0] == '1') SetCaption(name);
      totalSize += size;
      processCount += 1;
      threadCount += threads;

      if (next == 0) break;
      offset += next;
    }
  }

  AppendCaption(LSize, "\rReturn size:" + std::to_string(length));
  AppendCaption(LSize, "\rsize ???:" + std::to_string(int64_t{allocated} - int64_t{length}));
  AppendCaption(LSize, "\rmy calc size:" + std::to_string(totalSize));
  AppendCaption(LInfo, "\rProcesCount:" + std::to_string(processCount));
  AppendCaption(LInfo, "\rThreadCount:" + std::to_string(threadCount));
}

namespace {

void InitUnit1() {
  RegisterUnit1Resources();
  RegisterClass<TForm1, TForm>("TForm1")
      .Field("tvProcess", &TForm1::tvProcess)
      .Field("Memo1", &TForm1::Memo1)
      .Field("Button1", &TForm1::Button1)
      .Field("CB_Tree", &TForm1::CB_Tree)
      .Field("CB_AvroRefresh", &TForm1::CB_AvroRefresh)
      .Field("Timer1", &TForm1::Timer1)
      .Field("LSize", &TForm1::LSize)
      .Field("LInfo", &TForm1::LInfo)
      .Method("FormCreate", &TForm1::FormCreate)
      .Method("Button1Click", &TForm1::Button1Click)
      .Method("CB_TreeClick", &TForm1::CB_TreeClick)
      .Method("CB_AvroRefreshClick", &TForm1::CB_AvroRefreshClick)
      .Method("Timer1Timer", &TForm1::Timer1Timer);
}

constexpr const TUnit* kUses[] = {&unit_Forms, &unit_StdCtrls, &unit_ComCtrls, &unit_ExtCtrls, &unit_wtsapi32};

}  // namespace

constinit const TUnit unit_Unit1("Unit1", kUses, InitUnit1, nullptr);
