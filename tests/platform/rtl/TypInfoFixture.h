// Small classes published through the registry, shared by the registry and
// form-stream tests.
#pragma once

#include <span>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

RTL_ENUM(TTiMode, tmNone, tmLight, tmDark);
using TTiModes = Set<TTiMode>;

enum TTiColor : int32_t { tcBlack = 0, tcWhite = 0xFFFFFF };
inline std::span<const TIdentMapEntry> TiColorIdents() {
  static const TIdentMapEntry map[] = {{0, "tcBlack"}, {0xFFFFFF, "tcWhite"}};
  return map;
}
RTL_INT_CONSTS(TTiColor, TiColorIdents)

class TTiFont : public TPersistent {
 public:
  const String& Name() const { return name_; }
  void SetName(const String& v) { name_ = v; }
  int Size() const { return size_; }
  void SetSize(int v) { size_ = v; }

 private:
  String name_ = "Sans";
  int size_ = 8;
};

class TTiWheel : public TPersistent {
 public:
  int Spokes() const { return spokes_; }
  void SetSpokes(int v) { spokes_ = v; }
  TComponent* Link() const { return link_; }
  void SetLink(TComponent* v) { link_ = v; }

 private:
  int spokes_ = 0;
  TComponent* link_ = nullptr;
};

// Meets the collection shape the registry detects.
class TTiWheels : public TPersistent {
 public:
  ~TTiWheels() override { Clear(); }
  TTiWheel* Add() {
    items_.push_back(new TTiWheel);
    return items_.back();
  }
  void Clear() {
    for (TTiWheel* w : items_) delete w;
    items_.clear();
  }
  int Count() const { return static_cast<int>(items_.size()); }
  TTiWheel* Items(int i) const { return items_.at(static_cast<size_t>(i)); }
  void BeginUpdate() { ++updates; }
  void EndUpdate() {}
  int updates = 0;

 private:
  std::vector<TTiWheel*> items_;
};

class TTiGadget : public TComponent {
 public:
  explicit TTiGadget(TComponent* owner) : TComponent(owner) {}
  ~TTiGadget() override = default;

  int Width() const { return width_; }
  void SetWidth(int v) { width_ = v; }
  Int64 Big() const { return big_; }
  void SetBig(Int64 v) { big_ = v; }
  bool Flag() const { return flag_; }
  void SetFlag(bool v) { flag_ = v; }
  TTiMode Mode() const { return mode_; }
  void SetMode(TTiMode v) { mode_ = v; }
  TTiModes Modes() const { return modes_; }
  void SetModes(TTiModes v) { modes_ = v; }
  double Ratio() const { return ratio_; }
  void SetRatio(double v) { ratio_ = v; }
  Currency Price() const { return price_; }
  void SetPrice(Currency v) { price_ = v; }
  const String& Caption() const { return caption_; }
  void SetCaption(const String& v) { caption_ = v; }
  const WideString& Wide() const { return wide_; }
  void SetWide(const WideString& v) { wide_ = v; }
  TTiColor Color() const { return color_; }
  void SetColor(TTiColor v) { color_ = v; }
  TTiFont* Font() const { return font_.get(); }
  TTiWheels* Wheels() const { return wheels_.get(); }
  TTiGadget* Buddy() const { return buddy_; }
  void SetBuddy(TTiGadget* v) { buddy_ = v; }
  const TNotifyEvent& OnPing() const { return on_ping_; }
  void SetOnPing(TNotifyEvent v) { on_ping_ = std::move(v); }
  const Event<void(TObject*, int)>& OnCount() const { return on_count_; }
  void SetOnCount(Event<void(TObject*, int)> v) { on_count_ = std::move(v); }
  bool IsCaptionStored() const { return !hide_caption; }

  // Defined property "Items": a list of texts.
  std::vector<String> items;
  void ReadItems(TReader& r) {
    items.clear();
    r.ReadListBegin();
    while (!r.EndOfList()) items.push_back(r.ReadString());
    r.ReadListEnd();
  }
  void WriteItems(TWriter& w) {
    w.WriteListBegin();
    for (const String& s : items) w.WriteString(s);
    w.WriteListEnd();
  }
  bool HasItems() const { return !items.empty(); }

  // Parent chain and loading record.
  void SetParentComponent(TComponent* v) override { parent = v; }
  TComponent* GetParentComponent() const override { return parent; }
  bool HasParent() const override { return true; }
  void Loaded() override {
    loading_seen = IsLoading();
    ++loaded_count;
    TComponent::Loaded();
  }

  TComponent* parent = nullptr;
  bool hide_caption = false;
  bool loading_seen = false;
  int loaded_count = 0;

 private:
  int width_ = 10;
  Int64 big_ = 0;
  bool flag_ = false;
  TTiMode mode_ = tmNone;
  TTiModes modes_;
  double ratio_ = 0;
  Currency price_;
  String caption_;
  WideString wide_;
  TTiColor color_ = tcBlack;
  std::unique_ptr<TTiFont> font_ = std::make_unique<TTiFont>();
  std::unique_ptr<TTiWheels> wheels_ = std::make_unique<TTiWheels>();
  TTiGadget* buddy_ = nullptr;
  TNotifyEvent on_ping_;
  Event<void(TObject*, int)> on_count_;
};

// A component with no factory-free constructor: cannot be created by name.
class TTiAbstract : public TComponent {
 public:
  explicit TTiAbstract(TComponent* owner) : TComponent(owner) {}
  virtual void Must() = 0;
};

class TTiBox : public TComponent {
 public:
  explicit TTiBox(TComponent* owner) : TComponent(owner) {}
  void Ping(TObject*) { ++pings; }
  void Count(TObject*, int n) { counted += n; }
  void Loaded() override {
    ++loaded_count;
    TComponent::Loaded();
  }
  TTiGadget* G1 = nullptr;
  TTiGadget* G2 = nullptr;
  int pings = 0;
  int counted = 0;
  int loaded_count = 0;
};

// A gadget subclass that is not registered: resolves to TTiGadget.
class TTiUnregistered : public TTiGadget {
 public:
  using TTiGadget::TTiGadget;
};

// A special-row-like persistent with a Variant value (default Null) and a
// component that publishes it beside a Variant without default.
class TTiSpec : public TPersistent {
 public:
  const Variant& Value() const { return value_; }
  void SetValue(const Variant& v) { value_ = v; }

 private:
  Variant value_ = Null();
};

class TTiVariantBox : public TComponent {
 public:
  explicit TTiVariantBox(TComponent* owner) : TComponent(owner) {}
  const Variant& Data() const { return data_; }
  void SetData(const Variant& v) { data_ = v; }
  TTiSpec* Spec() const { return spec_.get(); }

 private:
  Variant data_;
  std::unique_ptr<TTiSpec> spec_ = std::make_unique<TTiSpec>();
};

inline void RegisterTiClasses() {
  InitializeUnits({&unit_TypInfo});
  if (FindClassInfo("TTiGadget") != nullptr) return;
  RegisterClass<TTiFont, TPersistent>("TTiFont")
      .Prop("Name", &TTiFont::Name, &TTiFont::SetName, String("Sans"))
      .Prop("Size", &TTiFont::Size, &TTiFont::SetSize, 8);
  RegisterClass<TTiWheel, TPersistent>("TTiWheel")
      .Prop("Spokes", &TTiWheel::Spokes, &TTiWheel::SetSpokes, 0)
      .Prop("Link", &TTiWheel::Link, &TTiWheel::SetLink);
  RegisterClass<TTiWheels, TPersistent>("TTiWheels");
  RegisterClass<TTiGadget, TComponent>("TTiGadget")
      .Prop("Width", &TTiGadget::Width, &TTiGadget::SetWidth, 10)
      .Prop("Big", &TTiGadget::Big, &TTiGadget::SetBig)
      .Prop("Flag", &TTiGadget::Flag, &TTiGadget::SetFlag, false)
      .Prop("Mode", &TTiGadget::Mode, &TTiGadget::SetMode, tmNone)
      .Prop("Modes", &TTiGadget::Modes, &TTiGadget::SetModes, TTiModes{})
      .Prop("Ratio", &TTiGadget::Ratio, &TTiGadget::SetRatio)
      .Prop("Price", &TTiGadget::Price, &TTiGadget::SetPrice)
      .Prop("Caption", &TTiGadget::Caption, &TTiGadget::SetCaption)
      .Stored(&TTiGadget::IsCaptionStored)
      .Prop("Wide", &TTiGadget::Wide, &TTiGadget::SetWide)
      .Prop("Color", &TTiGadget::Color, &TTiGadget::SetColor, tcBlack)
      .Object("Font", &TTiGadget::Font)
      .Object("Wheels", &TTiGadget::Wheels)
      .Prop("Buddy", &TTiGadget::Buddy, &TTiGadget::SetBuddy)
      .Event("OnPing", &TTiGadget::OnPing, &TTiGadget::SetOnPing)
      .Event("OnCount", &TTiGadget::OnCount, &TTiGadget::SetOnCount)
      .Defined("Items", &TTiGadget::ReadItems, &TTiGadget::WriteItems, &TTiGadget::HasItems);
  RegisterClass<TTiAbstract, TComponent>("TTiAbstract");
  RegisterClass<TTiBox, TComponent>("TTiBox")
      .Method("Ping", &TTiBox::Ping)
      .Method("Count", &TTiBox::Count)
      .Field("G1", &TTiBox::G1)
      .Field("G2", &TTiBox::G2);
  RegisterClass<TTiSpec, TPersistent>("TTiSpec").Prop("Value", &TTiSpec::Value, &TTiSpec::SetValue, Null());
  RegisterClass<TTiVariantBox, TComponent>("TTiVariantBox")
      .Prop("Data", &TTiVariantBox::Data, &TTiVariantBox::SetData)
      .Object("Spec", &TTiVariantBox::Spec);
}
