// Transactional delete and save, and the database error texts.
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "datalayer/B_DBproc.h"
#include "framework/B_Dlg.h"
#include "platform/db/DBTables.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UnitInit.h"

namespace {

constexpr char SKeyViolation[] = "Нарушение значения ключа.";
constexpr char SValueRequired[] =
    "Возможно в поле требуется значение или\rэтому полю нельзя присвоить значение не совподающее по типу.";
constexpr char SDataInUse[] =
    "Возможно данные используются в другом месте.\rЕсли Вы хотите удалить эти данные, то удалите все записи в тех "
    "местах\rкоторые ссылаются или зависят то этих данных.";
constexpr char SGeneralSQLError[] = "Общая SQL ошибка.";
constexpr char SColumnCheck[] = "Ошибка в момент проверки значения при присвоении к колонке.";
constexpr char SUniqueViolation[] =
    "Нарушение ПЕРВИЧНОГО или УНИКАЛЬНОГО, ключевого поля возможно такое значение уже существует.";
constexpr char SDeleteQuestion[] = "Вы уверены, что хотите удалить данные?";
constexpr char SDeleteButtons[] = "1;2;Да|IM_OK;Нет|IM_CANCEL";
constexpr char SCommandFailed[] = "Команда не отработала нормально.";
constexpr char SNewValuesCancelled[] = "Новые значения будут отменены.";
constexpr char SConnectionLost[] = "Потеряна связь с SQL сервером.\rПрограмма будет занрыта.";

constexpr Byte kModePost = 1;
constexpr Byte kModePostCommit = 2;
constexpr Byte kModeCancel = 3;
constexpr int kLostConnectionExitCode = 4;

// The text of a server SQL code that has one ("" otherwise).
String SQLCodeText(Integer SQLCode) {
  switch (SQLCode) {
    case -803:
    case -625:
    case -530:
      return DBErrorText(0, SQLCode);
    default:
      return String();
  }
}

bool IsEditing(TDataSet* DataSet) { return DataSet->State() == dsEdit || DataSet->State() == dsInsert; }

// A delete or a light save that also applies and commits.
bool IsFullSave(Byte Mode) { return Mode == kModePostCommit || (Mode == kModePost && PostWithCommit == 1); }

TFIBTransaction* UpdateTransactionOf(TpFIBDataSet* DataSet) {
  return DataSet->UpdateTransaction() != nullptr ? DataSet->UpdateTransaction() : DataSet->Transaction();
}

// The dataset's active buffer index (protected in TDataSet).
struct TBufferWindow : TDataSet {
  static int ActiveRecordOf(TDataSet* DataSet) { return (DataSet->*(&TBufferWindow::ActiveRecord))(); }
};

// Required switched off on the fields that are not read-only while a save
// runs (the server decides); the flags come back when it ends. Fields are
// found again by name, as a save may have freed them.
class TRequiredOff {
 public:
  explicit TRequiredOff(TDataSet* DataSet) : data_set_(DataSet) {
    for (int i = 0; i < DataSet->FieldCount(); ++i) {
      TField* field = DataSet->Fields()->Fields(i);
      if (field->ReadOnly() || !field->Required()) continue;
      field->SetRequired(false);
      names_.push_back(field->FieldName());
    }
  }
  ~TRequiredOff() {
    for (const String& name : names_)
      if (TField* field = data_set_->FindField(name)) field->SetRequired(true);
  }
  TRequiredOff(const TRequiredOff&) = delete;
  TRequiredOff& operator=(const TRequiredOff&) = delete;

 private:
  TDataSet* data_set_;
  std::vector<String> names_;
};

// A Firebird dataset's server connection is gone (an open attachment whose
// information request fails). A database the program closed is not lost.
bool ConnectionLost(TDataSet* DataSet) {
  auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet);
  TFIBDatabase* db = fib != nullptr ? fib->Database() : nullptr;
  if (db == nullptr || !db->Connected()) return false;
  try {
    return !db->IsConnectionAlive();
  } catch (...) {
    return true;
  }
}

[[noreturn]] void EndProgramForLostConnection() {
  try {
    MsgBox(SConnectionLost, "", "", b_mtError);
  } catch (...) {
    // The program ends whether or not the message could be shown.
  }
  if (Application != nullptr) Application->Terminate();
  Halt(kLostConnectionExitCode);
}

// Shows the failure of a save of DataSet being handled (call inside a catch
// block); ends the program when the server connection is lost.
void ReportSaveError(TDataSet* DataSet, bool ShowErrors) {
  String text;
  try {
    throw;
  } catch (const EDBEngineError& e) {
    text = e.Message() + "\r" + SCommandFailed;
    for (int i = 0; i < e.ErrorCount(); ++i)
      text += "\r" + DBErrorText(e.Errors(i).ErrorCode(), e.Errors(i).NativeError());
  } catch (const EFIBError& e) {
    if (ConnectionLost(DataSet)) EndProgramForLostConnection();
    text = e.Message() + "\r" + SCommandFailed;
    if (const String known = SQLCodeText(e.SQLCode()); !known.empty()) text += "\r" + known;
    text += "\rSQLCode=" + IntToStr(e.SQLCode()) + " IBErrorCode=" + IntToStr(static_cast<Int64>(e.IBErrorCode()));
  } catch (const EAbort&) {
    return;
  } catch (const std::exception& e) {
    text = String(e.what()) + "\r" + SCommandFailed + "\r" + SNewValuesCancelled;
  } catch (...) {
    return;
  }
  if (ShowErrors) MsgBox(text, "", "", b_mtError);
}

// Cancels the edit, or every cached update of a dataset that keeps them.
void CancelChanges(TDataSet* DataSet) {
  if (auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet); fib != nullptr && fib->CachedUpdates())
    fib->CancelUpdates();
  else if (auto* engine = dynamic_cast<TDBDataSet*>(DataSet); engine != nullptr && engine->CachedUpdates())
    engine->CancelUpdates();
  else DataSet->Cancel();
}

// After a save moved the active record to another row of the window: moved
// away and back, so that it shows where it was.
void RestoreRowPlace(TDataSet* DataSet, int Remembered) {
  if (!DataSet->Active()) return;
  const int current = TBufferWindow::ActiveRecordOf(DataSet);
  if (current == Remembered) return;
  const int moved = DataSet->MoveBy(current < Remembered ? -Remembered : 2 * current - Remembered);
  DataSet->MoveBy(-moved);
}

// Post, apply and commit: mode 1 of PostDataSet.
bool PostAndCommit(TDataSet* DataSet, bool ShowErrors) {
  const bool wasEditing = IsEditing(DataSet);
  int remembered = 0;
  if (wasEditing) {
    DataSet->DisableControls();
    remembered = TBufferWindow::ActiveRecordOf(DataSet);
  }
  auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet);
  auto* engine = dynamic_cast<TDBDataSet*>(DataSet);
  bool result = false;
  try {
    TRequiredOff required(DataSet);
    bool saved = false;
    if (IsEditing(DataSet)) {
      try {
        DataSet->Post();
      } catch (...) {
        DataSet->Cancel();
        throw;
      }
      DataSet->Cancel();
      saved = true;
    }
    if (engine != nullptr && engine->CachedUpdates() && engine->UpdatesPending()) {
      engine->ApplyUpdates();
      engine->CommitUpdates();
      saved = true;
    }
    if (fib != nullptr && fib->CachedUpdates() && fib->UpdatesPending()) {
      fib->ApplyUpdates();
      saved = true;
    }
    if (saved && fib != nullptr) {
      TFIBTransaction* tr = UpdateTransactionOf(fib);
      if (tr != nullptr && tr->Active()) tr->CommitRetaining();
    }
    if (saved && engine != nullptr) {
      TDatabase* db = engine->Database();
      if (db != nullptr && db->Connected() && db->InTransaction()) db->Commit();
    }
    result = true;
  } catch (...) {
    ReportSaveError(DataSet, ShowErrors);
  }
  if (wasEditing) {
    try {
      RestoreRowPlace(DataSet, remembered);
    } catch (...) {
      // Only the row's place in the window is lost; the next move shows the
      // error again.
    }
    DataSet->EnableControls();
  }
  if (!result) {
    try {
      CancelChanges(DataSet);
    } catch (...) {
      // The save failed and was reported; nothing more is raised.
    }
  }
  return result;
}

// The transaction a delete runs in: started when it is not open, ended only
// when this delete started it. A Firebird update transaction of its own ends
// for good, so that the next delete starts it again; the dataset's read
// transaction ends retaining, so that the dataset stays open.
class TDeleteTransaction {
 public:
  explicit TDeleteTransaction(TDataSet* DataSet)
      : fib_(dynamic_cast<TpFIBDataSet*>(DataSet)), engine_(dynamic_cast<TDBDataSet*>(DataSet)) {}

  void Start() {
    if (fib_ != nullptr) {
      tr_ = UpdateTransactionOf(fib_);
      if (tr_ != nullptr && !tr_->Active()) {
        tr_->StartTransaction();
        started_ = true;
      }
    } else if (engine_ != nullptr) {
      db_ = engine_->Database();
      if (db_ != nullptr && !db_->InTransaction() && db_->IsSQLBased()) {
        db_->StartTransaction();
        started_ = true;
      }
    }
  }
  void Commit() {
    if (!started_) return;
    if (tr_ != nullptr && tr_->Active()) {
      if (Retaining()) tr_->CommitRetaining();
      else tr_->Commit();
    }
    if (EngineOpen()) db_->Commit();
  }
  // True when the transaction this delete started was rolled back.
  bool Rollback() {
    if (!started_) return false;
    if (tr_ != nullptr && tr_->Active()) {
      if (Retaining()) tr_->RollbackRetaining();
      else tr_->Rollback();
      return true;
    }
    if (EngineOpen()) {
      db_->Rollback();
      return true;
    }
    return false;
  }

 private:
  bool Retaining() const { return tr_ == fib_->Transaction(); }
  bool EngineOpen() const { return db_ != nullptr && db_->Connected() && db_->InTransaction() && db_->IsSQLBased(); }

  TpFIBDataSet* fib_;
  TDBDataSet* engine_;
  TFIBTransaction* tr_ = nullptr;
  TDatabase* db_ = nullptr;
  bool started_ = false;
};

bool KeepsCachedUpdates(TDataSet* DataSet) {
  if (auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet)) return fib->CachedUpdates();
  if (auto* engine = dynamic_cast<TDBDataSet*>(DataSet)) return engine->CachedUpdates();
  return false;
}

// The full save after a delete: the cached updates applied with their
// statuses kept until the transaction (when the delete started it) is
// committed, so that a failure leaves every change pending. False after a
// failure, which is reported.
bool SaveDeletion(TDataSet* DataSet, TDeleteTransaction& Transaction) {
  try {
    auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet);
    auto* engine = dynamic_cast<TDBDataSet*>(DataSet);
    const bool applyFib = fib != nullptr && fib->CachedUpdates() && fib->UpdatesPending();
    const bool applyEngine = engine != nullptr && engine->CachedUpdates() && engine->UpdatesPending();
    if (applyFib) fib->InternalApplyUpdates(true);
    if (applyEngine) engine->ApplyUpdates();
    Transaction.Commit();
    if (applyFib) fib->CommitUpdates();
    if (applyEngine) engine->CommitUpdates();
    return true;
  } catch (...) {
    ReportSaveError(DataSet, true);
    return false;
  }
}

// Undoes a delete that failed: an edit cancelled, the transaction the delete
// started rolled back, and the deleted record brought back when its deletion
// no longer holds (kept only in the cache, or rolled back).
void UndoDeletion(TDataSet* DataSet, TDeleteTransaction& Transaction, bool Deleted, const TBookmark& Bookmark) {
  try {
    if (IsEditing(DataSet)) DataSet->Cancel();
    const bool rolledBack = Transaction.Rollback();
    if (!Deleted || !(rolledBack || KeepsCachedUpdates(DataSet))) return;
    bool restored = false;
    if (auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet)) restored = fib->UndoDelete();
    else if (auto* engine = dynamic_cast<TDBDataSet*>(DataSet)) restored = engine->UndoDelete();
    if (restored && DataSet->BookmarkValid(Bookmark)) DataSet->GotoBookmark(Bookmark);
  } catch (...) {
    // The delete's own failure is the one reported.
  }
}

}  // namespace

String DBErrorText(Word ErrorCode, Integer NativeError) {
  if (NativeError == 0) {
    switch (ErrorCode) {
      case 0x2601:
        return SKeyViolation;
      case 0x2604:
        return SValueRequired;
      case 0x2606:
        return SDataInUse;
      case 0x3303:
        return SGeneralSQLError;
      default:
        break;
    }
  } else {
    switch (NativeError) {
      case -803:
        return SUniqueViolation;
      case -625:
        return SColumnCheck;
      case -530:
        return SDataInUse;
      default:
        break;
    }
  }
  return "Native:" + IntToStr(NativeError) + "  Code:" + IntToStr(ErrorCode);
}

bool DeleteRecordConfirmed(TDataSet* DataSet, bool Confirm, Byte Mode) {
  if (DataSet == nullptr || !DataSet->Active() || DataSet->IsEmpty()) return false;
  if (dynamic_cast<TpFIBDataSet*>(DataSet) == nullptr && dynamic_cast<TDBDataSet*>(DataSet) == nullptr) return false;
  if (Confirm && MsgBox(SDeleteQuestion, "", SDeleteButtons, b_mtError) != 1) return false;
  TDeleteTransaction transaction(DataSet);
  const TBookmark bookmark = DataSet->GetBookmark();
  bool deleted = false;
  try {
    transaction.Start();
    DataSet->Delete();
    deleted = true;
    if (IsFullSave(Mode)) {
      if (SaveDeletion(DataSet, transaction)) return true;
      UndoDeletion(DataSet, transaction, deleted, bookmark);
      return false;
    }
    // The deletion reached the server, or waits among the cached updates.
    transaction.Commit();
    return true;
  } catch (const EDBEngineError& e) {
    UndoDeletion(DataSet, transaction, deleted, bookmark);
    if (e.ErrorCount() == 0) return false;
    String text = e.Message() + "\r";
    for (int i = 0; i < e.ErrorCount(); ++i)
      text += " " + DBErrorText(e.Errors(i).ErrorCode(), e.Errors(i).NativeError());
    MsgBox(text, "", "", b_mtError);
  } catch (const EFIBError& e) {
    UndoDeletion(DataSet, transaction, deleted, bookmark);
    String text = e.Message();
    if (const String known = SQLCodeText(e.SQLCode()); !known.empty()) text += "\r " + known;
    MsgBox(text, "", "", b_mtError);
  } catch (const EAbort&) {
    UndoDeletion(DataSet, transaction, deleted, bookmark);
  } catch (const std::exception& e) {
    UndoDeletion(DataSet, transaction, deleted, bookmark);
    MsgBox(e.what(), "", "", b_mtError);
  } catch (...) {
    UndoDeletion(DataSet, transaction, deleted, bookmark);
  }
  return false;
}

bool PostDataSet(TDataSet* DataSet, Byte Mode, bool ShowErrors) {
  if (DataSet == nullptr) return false;
  if (Mode == kModeCancel) {
    CancelChanges(DataSet);
    return true;
  }
  if (Mode == kModePost) return PostAndCommit(DataSet, ShowErrors);
  return false;
}

bool ApplyDataSet(TDataSet* DataSet, Byte Mode) {
  if (DataSet == nullptr) return false;
  if (IsFullSave(Mode)) return PostDataSet(DataSet, kModePost, true);
  if (!IsEditing(DataSet)) return false;
  DataSet->UpdateRecord();
  return true;
}
