#include "dataaccess/core/StdFuncs.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/Messages.h"
#include "platform/rtl/TypInfo.h"

namespace {

// 10^-18 .. 10^18, indexed by exponent + 18.
constexpr double kPowers10[37] = {
    1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6,
    1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,  1e5,  1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17, 1e18};

double Power10(int exponent) { return kPowers10[std::clamp(exponent, -18, 18) + 18]; }

// Decimal text of the digits with Scale of them after Separator; leading
// zeros of the whole part and trailing zeros of the fraction dropped.
String ScaledDigitsToStr(bool negative, String digits, int scale, char separator) {
  size_t first = digits.find_first_not_of('0');
  if (first == String::npos) return "0";
  digits.erase(0, first);
  if (scale < 1) return (negative ? "-" : "") + digits;
  auto places = static_cast<size_t>(scale);
  if (digits.size() <= places) digits.insert(0, places - digits.size() + 1, '0');
  String result = (negative ? "-" : "") + digits.substr(0, digits.size() - places) + separator +
                  digits.substr(digits.size() - places);
  while (result.back() == '0') result.pop_back();
  if (result.back() == separator) result.pop_back();
  return result;
}

int BcdDigit(const TBcd& bcd, int i) {
  Byte b = bcd.Fraction[i / 2];
  return i % 2 == 0 ? b >> 4 : b & 0x0F;
}

int DigitCount(const TBcd& bcd) { return std::min<int>(BcdPrecision(bcd), 64); }
bool BcdNegative(const TBcd& bcd) { return (bcd.SignSpecialPlaces & 0x80) != 0; }
bool BcdSpecial(const TBcd& bcd) { return (bcd.SignSpecialPlaces & 0x40) != 0; }

std::mt19937& RandomEngine() {
  thread_local std::mt19937 engine{std::random_device{}()};
  return engine;
}

}  // namespace

// ---------------------------------------------------------------------------
// TFIBTimer

namespace {
// The installed service and the timers ticking from it, under one lock
// (timers of other threads' connections restart too).
std::mutex& ServiceLock() {
  static std::mutex lock;
  return lock;
}
TTimerService* fib_timer_service = nullptr;
std::vector<TFIBTimer*>& ServiceTimers() {
  static std::vector<TFIBTimer*> timers;
  return timers;
}
}  // namespace

TTimerService* SetFIBTimerService(TTimerService* Service) {
  TTimerService* previous;
  std::vector<TFIBTimer*> timers;
  {
    std::lock_guard<std::mutex> guard(ServiceLock());
    previous = std::exchange(fib_timer_service, Service);
    timers = std::exchange(ServiceTimers(), {});
  }
  // Timers leave the old service while it still exists, and go on with the
  // new one (or their threads).
  for (TFIBTimer* timer : timers) timer->UpdateTimer();
  return previous;
}

TFIBTimer::TFIBTimer(TComponent* AOwner) : TComponent(AOwner) {}

TFIBTimer::~TFIBTimer() {
  {
    std::lock_guard<std::mutex> guard(ServiceLock());
    if (service_ != nullptr) {
      service_->Stop(service_id_);
      std::erase(ServiceTimers(), this);
    }
  }
  StopThreads();
}

void TFIBTimer::SetEnabled(bool Value) {
  if (IsLoading()) {
    loaded_enabled_ = Value;
    return;
  }
  if (Value == enabled_) return;
  enabled_ = Value;
  UpdateTimer();
}

void TFIBTimer::SetInterval(Cardinal Value) {
  if (Value == interval_) return;
  interval_ = Value;
  UpdateTimer();
}

void TFIBTimer::SetOnTimer(const TNotifyEvent& Value) {
  if (Value == on_timer_) return;
  on_timer_ = Value;
  UpdateTimer();
}

void TFIBTimer::SetKeepAlive(bool Value) {
  if (Value == keep_alive_) return;
  StopThreads();
  keep_alive_ = Value;
  UpdateTimer();
}

void TFIBTimer::Loaded() {
  TComponent::Loaded();
  SetEnabled(loaded_enabled_);
}

void TFIBTimer::DoOnTimer() {
  if (!IsDestroying() && on_timer_) on_timer_(this);
}

void TFIBTimer::UpdateTimer() {
  if (IsLoading() || IsDesigning()) return;
  const bool run = enabled_ && on_timer_.Assigned() && interval_ > 0;
  bool onService;
  {
    std::lock_guard<std::mutex> guard(ServiceLock());
    if (service_ != nullptr) {
      service_->Stop(std::exchange(service_id_, 0));
      service_ = nullptr;
      std::erase(ServiceTimers(), this);
    }
    onService = fib_timer_service != nullptr;
    if (onService && run) {
      service_ = fib_timer_service;
      service_id_ = service_->Start(interval_, [this] { DoOnTimer(); });
      ServiceTimers().push_back(this);
    }
  }
  if (onService) {
    StopThreads();
    return;
  }
  if (!keep_alive_ && thread_ != nullptr) {
    // Stopped: no more ticks; kept for a restart to take up again.
    thread_->Deactivate();
    if (retired_ != nullptr) {
      retired_->Quit();
      delete retired_;
    }
    retired_ = std::exchange(thread_, nullptr);
  }
  if (run) {
    if (thread_ == nullptr && retired_ != nullptr) {
      if (retired_->Activate(interval_)) {
        thread_ = std::exchange(retired_, nullptr);
      } else {
        delete std::exchange(retired_, nullptr);  // already ended
      }
    }
    if (thread_ == nullptr) {
      thread_ = new TTimeThread(this, interval_, keep_alive_);
      thread_->Start();
    } else {
      thread_->SetInterval(interval_);
      thread_->Activate(interval_);
    }
  } else if (thread_ != nullptr) {  // KeepAlive: park the thread
    thread_->Deactivate();
    thread_->SetInterval(interval_);
  }
}

void TFIBTimer::StopThreads() {
  for (TTimeThread** t : {&thread_, &retired_}) {
    if (*t == nullptr) continue;
    (*t)->Quit();
    delete std::exchange(*t, nullptr);  // waits for it; drops its queued tick
  }
}

// ---------------------------------------------------------------------------
// TTimeThread

TTimeThread::TTimeThread(TFIBTimer* Timer, Cardinal Interval, bool KeepAlive)
    : TThread(true),
      timer_(Timer),
      keep_alive_(KeepAlive),
      interval_(Interval),
      due_(Clock::now() + interval_) {}

bool TTimeThread::Activate(Cardinal Interval) {
  std::lock_guard guard(mutex_);
  if (ended_ || quit_) return false;
  if (active_) return true;
  active_ = true;
  ++generation_;
  interval_ = std::chrono::milliseconds(Interval);
  due_ = Clock::now() + interval_;
  wake_.notify_all();  // a parked thread waits for this
  return true;
}

void TTimeThread::Deactivate() {
  // No wake-up: the thread looks again at its due time, so a restart before
  // then finds it still there.
  std::lock_guard guard(mutex_);
  active_ = false;
}

void TTimeThread::SetInterval(Cardinal Interval) {
  std::lock_guard guard(mutex_);
  interval_ = std::chrono::milliseconds(Interval);
}

void TTimeThread::Quit() {
  {
    std::lock_guard guard(mutex_);
    quit_ = true;
    wake_.notify_all();
  }
  Terminate();
}

void TTimeThread::Execute() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (Clock::now() < due_) {
      wake_.wait_until(lock, due_);
      continue;
    }
    if (!active_) {
      if (!keep_alive_) break;
      wake_.wait(lock, [this] { return quit_ || active_; });
      continue;
    }
    if (!tick_pending_) {
      tick_pending_ = true;
      const uint64_t generation = generation_;
      lock.unlock();
      Queue([this, generation] { DeliverTick(generation); });
      lock.lock();
    }
    due_ = Clock::now() + interval_;
  }
  ended_ = true;
}

void TTimeThread::DeliverTick(uint64_t Generation) {
  {
    std::lock_guard guard(mutex_);
    tick_pending_ = false;
    if (quit_ || !active_ || Generation != generation_) return;
  }
  // The handler may free the timer and with it this thread: nothing of this
  // object is touched after the call.
  timer_->DoOnTimer();
}

// ---------------------------------------------------------------------------

String CmpFullName(const TComponent* Component) {
  String result;
  for (const TComponent* c = Component; c != nullptr; c = c->Owner()) {
    if (c->Name().empty()) continue;
    result = result.empty() ? c->Name() : c->Name() + "." + result;
  }
  return result;
}

double RoundExtended(double Value, int Digits) {
  Digits = std::clamp(Digits, 0, 18);
  // A tie goes to the even last digit of the result: with 0 digits that is the
  // whole number's parity, with more the scaled fraction's own.
  if (Digits == 0) return std::nearbyint(Value);
  double whole = std::trunc(Value);
  return whole + std::nearbyint((Value - whole) * Power10(Digits)) / Power10(Digits);
}

String ScaledInt64ToStr(int Scale, char Separator, Int64 Value) {
  String digits = std::to_string(Value);
  bool negative = digits[0] == '-';
  if (negative) digits.erase(0, 1);
  return ScaledDigitsToStr(negative, digits, Scale, Separator);
}

bool BcdToInt64(const TBcd& Bcd, Int64& Value, int& Scale) {
  Value = 0;
  Scale = 0;
  if (Bcd.Precision == 0 || BcdSpecial(Bcd)) return true;
  // Accumulated negatively: the range of -2^63 is one larger.
  Int64 v = 0;
  for (int i = 0; i < DigitCount(Bcd); ++i) {
    int d = BcdDigit(Bcd, i);
    if (v < (INT64_MIN + d) / 10) return false;
    v = v * 10 - d;
  }
  if (!BcdNegative(Bcd)) {
    if (v == INT64_MIN) return false;
    v = -v;
  }
  Value = v;
  Scale = BcdScale(Bcd);
  return true;
}

String BcdToStrDot(const TBcd& Bcd) {
  if (Bcd.Precision == 0 || BcdSpecial(Bcd)) return "0";
  String digits;
  for (int i = 0; i < DigitCount(Bcd); ++i) digits += static_cast<char>('0' + BcdDigit(Bcd, i));
  return ScaledDigitsToStr(BcdNegative(Bcd), digits, BcdScale(Bcd), '.');
}

bool BcdToExtended(const TBcd& Bcd, double& Value) {
  Int64 v = 0;
  int scale = 0;
  bool ok = BcdToInt64(Bcd, v, scale);
  Value = static_cast<double>(v);
  for (; scale > 18; scale -= 18) Value *= Power10(-18);
  Value *= Power10(-scale);
  return ok;
}

bool IsZeroText(const String& Text) {
  if (Text.empty()) return false;
  for (char c : Text) {
    if (c != '0' && c != FormatSettings.DecimalSeparator) return false;
  }
  return true;
}

String FormatScaledText(const String& Format, const String& Text) {
  // Exactly through Currency when the text fits its four decimals.
  String t = Trim(Text);
  size_t digits_start = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
  size_t sep = t.find(FormatSettings.DecimalSeparator);
  size_t whole = (sep == String::npos ? t.size() : sep) - digits_start;
  size_t fraction = sep == String::npos ? 0 : t.size() - sep - 1;
  Currency exact;
  if (whole <= 14 && fraction <= 4 && TryStrToCurr(t, exact)) return FormatCurr(Format, exact);
  return FormatFloat(Format, StrToFloat(t));
}

TTimeStamp MakeTimeStamp(Integer Date, Integer MSecs) {
  TTimeStamp stamp;
  stamp.Time = MSecs;
  stamp.Date = Date;
  return stamp;
}

TDateTime TimeStampToDateTimeSafe(const TTimeStamp& TimeStamp) {
  if (TimeStamp.Date == 0) return MSecsToTime(TimeStamp.Time);
  return TimeStampToDateTime(TimeStamp);
}

TDateTime MSecsToTime(Integer MSecs) { return static_cast<double>(MSecs) / MSecsPerDay; }

Int64 VarArrayToStream(const Variant& Value, TStream* Stream) {
  if (Stream == nullptr || !VarIsArray(Value) || VarArrayDimCount(Value) != 1) return 0;
  TVarType type = VarArrayElementType(Value);
  if (type == varVariant || type == varString || type == varOleStr) return 0;
  Variant array = Value;
  Int64 count = Int64{VarArrayHighBound(array, 1)} - VarArrayLowBound(array, 1) + 1;
  Int64 size = count * VarArrayElementSize(type);
  Stream->SetSize(size);
  Stream->SetPosition(0);
  if (size > 0) Stream->WriteBuffer(VarArrayLock(array), size);
  VarArrayUnlock(array);
  return Stream->Size();
}

Integer RandomRange(Integer Low, Integer High) {
  if (High <= Low) return Low;
  std::uniform_int_distribution<Int64> d(0, static_cast<Int64>(High) - Low - 1);
  return static_cast<Integer>(Low + d(RandomEngine()));
}

String RandomDigits(int Count) {
  String result;
  std::uniform_int_distribution<Integer> d(0, 2147483647);
  while (static_cast<int>(result.size()) < Count) result += std::to_string(d(RandomEngine()));
  if (Count < static_cast<int>(result.size()))
    result.resize(static_cast<size_t>(std::max(Count, 0)));
  return result;
}

Byte SetBit(Byte Value, int Bit, bool On) {
  static constexpr Byte kMasks[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  if (Bit < 0 || Bit > 7) return Value;
  Byte mask = kMasks[Bit];
  return On ? static_cast<Byte>(Value | mask) : static_cast<Byte>(Value & ~mask);
}

bool GetFieldDataEx(TField* Field, bool OldValue, void* Buffer) {
  TDataSet* dataSet = Field->DataSet();
  if (!OldValue) return dataSet->GetFieldData(Field, Buffer);
  TDataSetState saved = dataSet->SetTempState(dsOldValue);
  try {
    bool result = dataSet->GetFieldData(Field, Buffer);
    dataSet->RestoreState(saved);
    return result;
  } catch (...) {
    dataSet->RestoreState(saved);
    throw;
  }
}

Variant BcdFieldAsVariant(TField* Field, bool OldValue, bool DotSeparator) {
  TBcd bcd;
  if (!GetFieldDataEx(Field, OldValue, &bcd)) return Null();
  return Variant(DotSeparator ? BcdToStrDot(bcd) : BcdToStr(bcd));
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitStdFuncs() {
  RegisterClass<TFIBTimer, TComponent>("TFIBTimer")
      .Prop("Enabled", &TFIBTimer::Enabled, &TFIBTimer::SetEnabled, false)
      .Prop("Interval", &TFIBTimer::Interval, &TFIBTimer::SetInterval, Cardinal{1000})
      .Prop("KeepAlive", &TFIBTimer::KeepAlive, &TFIBTimer::SetKeepAlive, false)
      .Event("OnTimer", &TFIBTimer::OnTimer, &TFIBTimer::SetOnTimer);
}

constexpr const TUnit* kUses[] = {&unit_TypInfo};

}  // namespace

constinit const TUnit unit_StdFuncs("StdFuncs", kUses, InitStdFuncs, nullptr);
