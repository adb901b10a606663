#pragma once

#include <array>

#include "data/DesignData.h"
#include "data/DesignList.h"
#include "elements/Bitmap.h"
#include "elements/Region.h"
#include "platform/Platform.h"

namespace quillane {

class OPicture;
class TGrid;
using ORegionList = ODesignList<ORegion, OPicture>;

// The image through which the user sees and paints a pattern: a machine-view and a
// design-view image of the same size, and the regions that place pattern cells in them.
class OPicture : public ODesignData {
public:
  explicit OPicture(ODesignOwner* owner);

  float AspectRatio = 1.0f;
  int32_t Height = 0;
  TView UpToDate = TView::None;
  int32_t Width = 0;
  ORegionList Regions;
  // A region was added or removed: the pattern's listeners hear it.
  void ListChanged(const ORegionList&) const;
  OBitmap24 DesignImage;
  OBitmap24 MachineImage;

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "PIC"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override;
  void ReadFromStream(OReader& stream) override;
  // The record, refused when its images would hold more than `pixelLimit` pixels: the
  // pictures of one pattern file share a single limit.
  void ReadFromStream(OReader& stream, int64_t pixelLimit);
  void WriteToStream(OWriter& stream) const override;
  void Validate() override {}
  TDesignRecordKind Kind() const override { return TDesignRecordKind::Picture; }

  void SetWidth(int32_t width);
  void SetHeight(int32_t height);
  // Makes the colours and image of `view` when they are not the ones made: a pass over
  // every cell and pixel, of which `done` hears how far it has come.
  // While a switch shows its progress it does nothing: a paint then shows what is there.
  void BringUpToDate(TView view, const TWorkDone& done = {});
  // BringUpToDate for the designer's switch of view: on a large pattern (most of a second on
  // a carpet) it shows its progress, without Cancel. A progress window lets paints through,
  // so the view goes on showing the other image until the switch is done.
  void SwitchView(TView view);

  void SetMachinePixel(int64_t x, int64_t y, uint32_t colour) {
    MachineImage.SetPixel(x, y, colour);
  }
  void SetDesignPixel(int64_t x, int64_t y, uint32_t colour) { DesignImage.SetPixel(x, y, colour); }
  uint32_t GetMachinePixel(int64_t x, int64_t y) const { return MachineImage.GetPixel(x, y); }
  uint32_t GetDesignPixel(int64_t x, int64_t y) const { return DesignImage.GetPixel(x, y); }

  // The user painted pixel (X, Y) with palette index V.
  void PaintMachinePixel(int32_t x, int32_t y, uint8_t v);
  void PaintDesignPixel(int32_t x, int32_t y, uint8_t v);

  void RenderMachineImage(const TWorkDone& done = {});
  void RenderDesignImage(const TWorkDone& done = {});
  // Rows `first` on of the image of `view` as a fresh render draws
  // them, into `band` (as wide as the picture): a picture is written out a band at a time
  // without its whole image in memory.
  void RenderRows(TView view, int64_t first, OBitmap24& band);
  // The same for a band of columns `firstColumn` on, as wide as `band`: a picture far wider
  // than the part written out is drawn no wider than that part.
  void RenderRows(TView view, int64_t firstRow, int64_t firstColumn, OBitmap24& band);

  void Assign(const OPicture& source);

  // True when no two regions put different cells on one pixel: the image then does not
  // depend on the order in which cells are drawn.
  bool RegionsDrawApart() const;

  // Largest image a picture record may announce: the pixels of the largest pattern the
  // control settings allow at production widths, with room to spare.
  static constexpr int64_t MaxPixels = int64_t{1} << 27;
  static constexpr int MaxRegions = 255;

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;

private:
  bool Switching = false; // SwitchView is under way
  void MakeView(TView view, const TWorkDone& done);
  // Into `image`, which holds the rows from `firstRow` on.
  void Render(const TGrid& grid, OBitmap24& image, int64_t firstRow = 0, int64_t firstColumn = 0,
              const TWorkDone& done = {});
};

} // namespace quillane
