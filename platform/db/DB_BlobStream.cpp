#include "platform/db/DB.h"
#include "platform/rtl/Streams.h"

namespace {

class TFieldBlobStream : public TMemoryStream {
 public:
  TFieldBlobStream(TField* Field, TBlobStreamMode Mode, const String& Value,
                   std::function<void(const String&)> Store)
      : field_(Field), store_(std::move(Store)), written_(Mode == bmWrite) {
    if (Mode != bmWrite && !Value.empty()) {
      TMemoryStream::Write(Value.data(), static_cast<Int64>(Value.size()));
      SetPosition(0);
    }
  }

  Int64 Write(const void* Buffer, Int64 Count) override {
    written_ = true;
    return TMemoryStream::Write(Buffer, Count);
  }

  void SetSize(Int64 NewSize) override {
    written_ = true;
    TMemoryStream::SetSize(NewSize);
  }

  void BeforeDestruction() override {
    if (written_ && store_) {
      store_(String(static_cast<const char*>(Memory()), static_cast<size_t>(Size())));
      if (auto* blob = dynamic_cast<TBlobField*>(field_)) blob->SetModified(true);
      try {
        field_->DataSet()->DataEvent(deFieldChange, reinterpret_cast<NativeInt>(field_));
      } catch (...) {
        // A stream going away cannot report a failing handler.
      }
    }
    TMemoryStream::BeforeDestruction();
  }

 private:
  TField* field_;
  std::function<void(const String&)> store_;
  bool written_;
};

}  // namespace

TStream* CreateFieldBlobStream(TField* Field, TBlobStreamMode Mode, const String& Value,
                               std::function<void(const String& Value)> Store) {
  return new TFieldBlobStream(Field, Mode, Value, std::move(Store));
}
