// The library's timer component, full component names for messages, and the
// BCD, scaled-integer and time-stamp helpers of statement values and fields.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/db/DB.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/FMTBcd.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

class TTimeThread;

// Its initialization registers TFIBTimer and its published properties
// (Enabled, Interval, KeepAlive, OnTimer) for form resources.
extern const TUnit unit_StdFuncs;

// A timer whose ticks come from a thread of its own and run on the main
// thread (through the main-thread call queue). It runs while Enabled, with
// OnTimer assigned and Interval above 0.
//
// Switching it off and on again (as the database does after every client
// call) keeps its one thread and only moves the next tick a full interval
// ahead: no tick comes from before the restart, and no threads pile up. A
// disabled timer's thread ends by itself at its next due time, or stays
// parked with KeepAlive. Freeing the timer (also from its own OnTimer) or
// changing KeepAlive ends its thread and waits for it; a tick still queued
// for the main thread is dropped then.
//
// Tests drive the timers by a clock of their own: while a TTimerService is
// installed with SetFIBTimerService (a TManualTimerService), a timer that
// starts or restarts ticks from that service, on the thread that advances
// it, and uses no thread.
class TTimerService;
// Installs the service (nullptr: the timers' own threads) on the main
// thread; returns the previous one. Running timers move to the new one at
// once, so the old one may go right after.
TTimerService* SetFIBTimerService(TTimerService* Service);

class TFIBTimer : public TComponent {
 public:
  explicit TFIBTimer(TComponent* AOwner);
  ~TFIBTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  Cardinal Interval() const { return interval_; }  // milliseconds
  void SetInterval(Cardinal Value);
  bool KeepAlive() const { return keep_alive_; }
  void SetKeepAlive(bool Value);
  const TNotifyEvent& OnTimer() const { return on_timer_; }
  void SetOnTimer(const TNotifyEvent& Value);

  void Loaded() override;

 protected:
  // Calls OnTimer unless the timer is being destroyed.
  virtual void DoOnTimer();

 private:
  friend class TTimeThread;
  friend TTimerService* SetFIBTimerService(TTimerService* Service);
  void UpdateTimer();
  void StopThreads();

  bool enabled_ = false;
  bool loaded_enabled_ = false;  // Enabled as read while loading
  Cardinal interval_ = 1000;
  bool keep_alive_ = false;
  TNotifyEvent on_timer_;
  TTimeThread* thread_ = nullptr;   // the ticking (or, with KeepAlive, parked) thread
  TTimeThread* retired_ = nullptr;  // a stopped thread that a restart may take up again
  TTimerService* service_ = nullptr;  // the test clock ticking it, or none
  uintptr_t service_id_ = 0;
};

// The thread of one TFIBTimer. It sleeps until its due time and then queues
// one tick for the main thread; a tick still waiting there is not repeated.
class TTimeThread : public TThread {
 public:
  TTimeThread(TFIBTimer* Timer, Cardinal Interval, bool KeepAlive);

  // Ticks from a fresh due time, one interval from now; false when the
  // thread has already ended (it cannot be taken up again).
  bool Activate(Cardinal Interval);
  // No ticks until the next Activate. Without KeepAlive the thread then ends
  // at its due time; with it, it waits.
  void Deactivate();
  // The interval of the next due times.
  void SetInterval(Cardinal Interval);
  // Ends the thread soon (the caller then deletes it, which waits).
  void Quit();

 protected:
  void Execute() override;

 private:
  using Clock = std::chrono::steady_clock;
  void DeliverTick(uint64_t Generation);

  TFIBTimer* const timer_;
  const bool keep_alive_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::chrono::milliseconds interval_;
  Clock::time_point due_;
  uint64_t generation_ = 0;  // counts activations; ticks of older ones are dropped
  bool active_ = true;
  bool tick_pending_ = false;
  bool quit_ = false;
  bool ended_ = false;
};

// Name of the component prefixed by its owners' names, outermost first,
// joined by "."; owners without a name are skipped ("Form1.Query1").
String CmpFullName(const TComponent* Component);

// Int(Value) plus the fraction rounded to Digits decimals, a tie going to the
// even last digit (2.5 -> 2, 3.5 -> 4); Digits is taken within 0..18.
double RoundExtended(double Value, int Digits);

// Decimal text of Value / 10^Scale with the given separator and the
// fraction's trailing zeros removed: (2, '.', 12345) -> "123.45".
String ScaledInt64ToStr(int Scale, char Separator, Int64 Value);

// The BCD's digits as one integer (sign from the sign bit) and its decimal
// places as Scale. A BCD without digits, or marked special, gives 0 and scale
// 0. False (Value 0) when the digits do not fit 64 bits.
bool BcdToInt64(const TBcd& Bcd, Int64& Value, int& Scale);
// The BCD as decimal text with "." as separator ("-123.45"), without leading
// zeros of the whole part or trailing zeros of the fraction.
String BcdToStrDot(const TBcd& Bcd);
// BcdToInt64 scaled to a float.
bool BcdToExtended(const TBcd& Bcd, double& Value);

// True for a non-empty text of only "0" and the locale's decimal separator.
bool IsZeroText(const String& Text);
// A decimal text ("-1234.5", the locale's separator) formatted by a display
// format as FormatFloat formats the same value: sections
// "positive;negative;zero", placeholders "#", "0", "," and ".". Texts of at
// most 14 whole and 4 decimal digits are formatted exactly; longer ones with
// the precision of a double.
String FormatScaledText(const String& Format, const String& Text);

// A time stamp of a date (days since 0001-01-01, plus one) and a time of day
// in milliseconds.
TTimeStamp MakeTimeStamp(Integer Date, Integer MSecs);
// The date-time of a time stamp; a date of 0 gives the time of day alone.
TDateTime TimeStampToDateTimeSafe(const TTimeStamp& TimeStamp);
// The time-of-day value of a number of milliseconds.
TDateTime MSecsToTime(Integer MSecs);

// Writes the elements of a one-dimensional array of fixed-size elements
// (bytes, numbers) to the stream from position 0, sized to them; returns the
// stream's size. 0, and the stream untouched, for any other value or no stream.
Int64 VarArrayToStream(const Variant& Value, TStream* Stream);

// The field's raw (native) data read through its dataset into Buffer; with
// OldValue the dataset is in its old-value state for the call. False for null.
bool GetFieldDataEx(TField* Field, bool OldValue, void* Buffer);
// A BCD field's current or old value as a text variant, with "." as the
// separator when DotSeparator is set, else the locale's; Null when null.
Variant BcdFieldAsVariant(TField* Field, bool OldValue, bool DotSeparator);
inline Variant BcdFieldAsVariantDefault(TField* Field, bool OldValue) {
  return BcdFieldAsVariant(Field, OldValue, false);
}

// Low + a random number 0 .. High - Low - 1 (Low when High <= Low).
Integer RandomRange(Integer Low, Integer High);
// Count random decimal digits.
String RandomDigits(int Count);

// The byte with bit 0..7 set or cleared.
Byte SetBit(Byte Value, int Bit, bool On);
