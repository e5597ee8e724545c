// JPEG pictures through libjpeg (the IJG 6b interface): TJPEGImage reads
// baseline and progressive JPEG data (grey, colour and CMYK) and writes
// baseline colour JPEG at CompressionQuality. The unit registers it with
// TPicture under "jpg" and "jpeg". Data libjpeg cannot read raises
// EInvalidGraphic "JPEG error #n" (libjpeg's message number) and leaves
// the image as it was; pictures above 16384 pixels on a side or 64 million
// pixels in all are refused the same way.
#pragma once

#include <memory>

#include "platform/gui/Graphics.h"

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;
  void Assign(TPersistent* Source) override;

  int Width() const override;
  int Height() const override;
  // The size is that of the decoded picture: setting it raises
  // EInvalidGraphicOperation "Cannot change the size of a JPEG image".
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Grayscale() const { return grayscale_; }
  // 1 to 100 (default 90), used when saving.
  int CompressionQuality() const { return quality_; }
  void SetCompressionQuality(int Value);

  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool grayscale_ = false;
  int quality_ = 90;
};

class TUnit;
extern const TUnit unit_Jpeg;
