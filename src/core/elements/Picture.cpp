#include "elements/Picture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <vector>

#include "app/Exceptions.h"
#include "app/ScopedFlag.h"
#include "data/DesignOwner.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

namespace {
// From this many cells and pixels on (about a tenth of a second), a switch of view reports
// its progress; the platform shows only a report that lasts half a second.
constexpr int64_t LargeViewWork = 16'000'000;
} // namespace

OPicture::OPicture(ODesignOwner* owner) : ODesignData(owner), Regions(this) {
  OPicture::Clear();
}

void OPicture::ListChanged(const ORegionList&) const {
  if (Owner)
    Owner->ElementsChanged(TDesignRecordKind::Region, this);
}

std::unique_ptr<ODesignData> OPicture::NewEmpty() const {
  return std::make_unique<OPicture>(Owner);
}

void OPicture::SetWidth(int32_t width) {
  Width = width;
  MachineImage.SetSize(Width, Height);
  DesignImage.SetSize(Width, Height);
}

void OPicture::SetHeight(int32_t height) {
  Height = height;
  MachineImage.SetSize(Width, Height);
  DesignImage.SetSize(Width, Height);
}

void OPicture::Clear() {
  while (Regions.Count() > 0)
    Regions.Delete(Regions.Count() - 1);
  AspectRatio = 1.0f;
  SetHeight(0);
  SetWidth(0);
  BringUpToDate(TView::None);
}

void OPicture::SetDefaults() {
  AspectRatio = 1.0f;
  SetWidth(Owner ? Owner->NoControls : 0);
  SetHeight(Owner ? Owner->NoPLines : 0);
  ORegion* region = Regions.Add(std::make_unique<ORegion>(Owner, this));
  region->SetDefaults();
}

void OPicture::Update() {
  AspectRatio = 1.0f;
  if (Owner) {
    // A zero or missing spacing gives 1.0: the view divides by the ratio.
    const float ratio = Owner->GetSettings().PLineSpacing / Owner->GetSettings().NeedleSpacing;
    if (std::isfinite(ratio) && ratio > 0)
      AspectRatio = ratio;
  }
  for (const auto& region : Regions)
    region->Update();
  UpToDate = TView::None;
}

void OPicture::BringUpToDate(TView view, const TWorkDone& done) {
  if (!Switching)
    MakeView(view, done);
}

void OPicture::MakeView(TView view, const TWorkDone& done) {
  // The colours, a fresh image's memory and the drawing are the shares of the work, each by
  // its size: the memory is most of the first switch to a view.
  const bool draw = Owner && view != UpToDate && view != TView::None;
  OBitmap24& image = view == TView::Design ? DesignImage : MachineImage;
  const int64_t cells = Owner ? int64_t{Owner->NoControls} * Owner->NoPLines : 0;
  const int64_t pixels = int64_t{Width} * Height, fresh = draw && !image.Allocated() ? pixels : 0;
  const int64_t total = cells + fresh + pixels;
  auto share = [&](int64_t from, int64_t size) -> TWorkDone {
    if (!done)
      return {};
    return [&done, from, size, total](int64_t part, int64_t of) {
      done(from + (of > 0 ? size * part / of : size), total);
    };
  };
  if (Owner)
    Owner->BringUpToDate(view, share(0, cells));
  if (draw) {
    image.Allocate(share(cells, fresh));
    if (view == TView::Machine)
      RenderMachineImage(share(cells + fresh, pixels));
    else
      RenderDesignImage(share(cells + fresh, pixels));
  }
  UpToDate = view;
  if (done)
    done(total, total);
}

void OPicture::SwitchView(TView view) {
  if (Switching)
    return;
  if (view == UpToDate || view == TView::None || !Owner ||
      int64_t{Owner->NoControls} * Owner->NoPLines + int64_t{Width} * Height < LargeViewWork) {
    MakeView(view, {});
    return;
  }
  // Cells and pixels change as it goes, so there is no Cancel to leave half of them.
  OProgress progress(view == TView::Design ? "Drawing the design view" : "Drawing the machine view",
                     1000);
  progress.CannotCancel();
  const TScopedFlag underWay(Switching);
  int64_t next = 0;
  MakeView(view, [&](int64_t done, int64_t of) {
    const int64_t at = of > 0 ? done * 1000 / of : 1000;
    if (at >= next) {
      progress.Step(at);
      next = at + 5; // at most 200 steps: the report is slow next to a row of cells
    }
  });
  progress.Step(1000);
}

void OPicture::PaintMachinePixel(int32_t x, int32_t y, uint8_t v) {
  if (!Owner)
    return;
  OPatternEvents::TGroup oneReport(Owner->Events);
  for (const auto& region : Regions) {
    int32_t c = x + 1, p = y + 1;
    if (region->MapPixelToCell(c, p))
      Owner->PaintMachineColour(c, p, v);
  }
}

void OPicture::PaintDesignPixel(int32_t x, int32_t y, uint8_t v) {
  if (!Owner)
    return;
  OPatternEvents::TGroup oneReport(Owner->Events);
  for (const auto& region : Regions) {
    int32_t c = x + 1, p = y + 1;
    if (region->MapPixelToCell(c, p))
      Owner->PaintDesignColour(c, p, v);
  }
}

void OPicture::RenderMachineImage(const TWorkDone& done) {
  if (!Owner)
    return;
  Render(Owner->MachineColours, MachineImage, 0, 0, done);
  Owner->Events.PixelsChanged(this, false,
                              {0, 0, MachineImage.Width() - 1, MachineImage.Height() - 1});
}

void OPicture::RenderDesignImage(const TWorkDone& done) {
  if (!Owner)
    return;
  Render(Owner->DesignColours, DesignImage, 0, 0, done);
  Owner->Events.PixelsChanged(this, true,
                              {0, 0, DesignImage.Width() - 1, DesignImage.Height() - 1});
}

namespace {
// Where a region's cells inside the grid land: the cell rectangle, the pixel rectangle
// (from 0) it maps onto, and the map itself as pixel = origin + C * stepC + P * stepP.
struct TFootprint {
  int64_t C0, C1, P0, P1;
  int64_t X0, X1, Y0, Y1;
  bool Empty;
  TPoint64 Origin, StepC, StepP;
};

TFootprint FootprintOf(const ORegion& r, const TGrid& grid) {
  TFootprint f{};
  f.C0 = std::max<int64_t>(r.PatternArea.Left, 1);
  f.C1 = std::min<int64_t>(r.PatternArea.Right, grid.Controls());
  f.P0 = std::max<int64_t>(r.PatternArea.Top, 1);
  f.P1 = std::min<int64_t>(r.PatternArea.Bottom, grid.PLines());
  f.Empty = f.C0 > f.C1 || f.P0 > f.P1;
  if (f.Empty)
    return f;
  f.Origin = MapUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, 0, 0);
  const TPoint64 c1 =
      MapUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, 1, 0);
  const TPoint64 p1 =
      MapUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, 0, 1);
  f.StepC = {c1.X - f.Origin.X, c1.Y - f.Origin.Y};
  f.StepP = {p1.X - f.Origin.X, p1.Y - f.Origin.Y};
  const TPoint64 a =
      MapUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, f.C0, f.P0);
  const TPoint64 b =
      MapUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, f.C1, f.P1);
  f.X0 = std::min(a.X, b.X) - 1;
  f.X1 = std::max(a.X, b.X) - 1;
  f.Y0 = std::min(a.Y, b.Y) - 1;
  f.Y1 = std::max(a.Y, b.Y) - 1;
  return f;
}

// Two regions conflict when they share pixels and map a shared pixel from different
// cells. Regions with the same map (a design region inside the whole-pattern region) put
// the same cell on a shared pixel, so their order does not matter.
bool Conflict(const TFootprint& a, const TFootprint& b) {
  const bool overlap =
      !a.Empty && !b.Empty && a.X0 <= b.X1 && b.X0 <= a.X1 && a.Y0 <= b.Y1 && b.Y0 <= a.Y1;
  const bool sameMap = a.Origin.X == b.Origin.X && a.Origin.Y == b.Origin.Y &&
                       a.StepC.X == b.StepC.X && a.StepC.Y == b.StepC.Y && a.StepP.X == b.StepP.X &&
                       a.StepP.Y == b.StepP.Y;
  return overlap && !sameMap;
}
} // namespace

bool OPicture::RegionsDrawApart() const {
  if (!Owner)
    return true;
  std::vector<TFootprint> footprints;
  for (const auto& region : Regions) {
    footprints.push_back(FootprintOf(*region, Owner->States));
    for (size_t i = 0; i + 1 < footprints.size(); ++i)
      if (Conflict(footprints[i], footprints.back()))
        return false;
  }
  return true;
}

void OPicture::RenderRows(TView view, int64_t first, OBitmap24& band) {
  RenderRows(view, first, 0, band);
}

void OPicture::RenderRows(TView view, int64_t firstRow, int64_t firstColumn, OBitmap24& band) {
  if (!Owner || band.Width() <= 0 || band.Height() <= 0)
    return;
  Owner->BringUpToDate(view);
  band.Fill(OBitmap24::DefaultColour);
  Render(view == TView::Design ? Owner->DesignColours : Owner->MachineColours, band, firstRow,
         firstColumn);
}

namespace {
// The values of t in [from, to] for which origin + step * t lies in [low, high]; a step of
// 0 leaves them all. Empty when from > to.
std::pair<int64_t, int64_t> Within(int64_t origin, int64_t step, int64_t from, int64_t to,
                                   int64_t low, int64_t high) {
  if (step > 0)
    return {std::max(from, low - origin), std::min(to, high - origin)};
  if (step < 0)
    return {std::max(from, origin - high), std::min(to, origin - low)};
  return {from, to};
}
} // namespace

void OPicture::Render(const TGrid& grid, OBitmap24& image, int64_t firstRow, int64_t firstColumn,
                      const TWorkDone& done) {
  const std::array<uint32_t, 256> colours = Owner->GetPalette().PixelColours(); // as SetPixel

  std::vector<TFootprint> footprints;
  footprints.reserve(static_cast<size_t>(Regions.Count()));
  bool overlapping = false, covered = false;
  for (const auto& region : Regions) {
    footprints.push_back(FootprintOf(*region, grid));
    const TFootprint& f = footprints.back();
    covered = covered ||
              (!f.Empty && f.X0 <= firstColumn && f.Y0 <= firstRow &&
               f.X1 >= firstColumn + image.Width() - 1 && f.Y1 >= firstRow + image.Height() - 1);
    for (size_t i = 0; i + 1 < footprints.size() && !overlapping; ++i)
      overlapping = Conflict(footprints[i], footprints.back());
  }
  // Pixels no region draws show what a picture opened afresh shows, not what regions moved
  // or turned since left there. Only the gaps between the regions' rectangles are blanked:
  // regions side by side usually leave none.
  if (!covered) {
    const int64_t width = image.Width(), rows = image.Height();
    // Rows between two footprint edges share their gaps, so the gaps are worked out once a
    // stretch, not once a row: a tall picture with many regions stays cheap. Footprints are
    // in the whole picture's rows; the image may be one band of them.
    std::vector<int64_t> edges{0, rows};
    for (const TFootprint& f : footprints)
      if (!f.Empty)
        for (const int64_t edge : {f.Y0 - firstRow, f.Y1 + 1 - firstRow})
          if (edge > 0 && edge < rows)
            edges.push_back(edge);
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<std::pair<int64_t, int64_t>> spans, gaps;
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
      const int64_t pictureRow = firstRow + edges[i];
      spans.clear();
      for (const TFootprint& f : footprints) {
        // A footprint may reach past either side of the picture, or of the band.
        const int64_t from = std::max<int64_t>(f.X0 - firstColumn, 0),
                      to = std::min(f.X1 - firstColumn, width - 1);
        if (!f.Empty && pictureRow >= f.Y0 && pictureRow <= f.Y1 && from <= to)
          spans.emplace_back(from, to);
      }
      std::sort(spans.begin(), spans.end());
      gaps.clear();
      int64_t next = 0;
      for (const auto& [from, to] : spans) {
        if (from > next)
          gaps.emplace_back(next, from);
        next = std::max(next, to + 1);
      }
      if (next < width)
        gaps.emplace_back(next, width);
      for (int64_t y = edges[i]; y < edges[i + 1] && !gaps.empty(); ++y) {
        uint32_t* row = image.Row(static_cast<int>(y));
        for (const auto& [from, to] : gaps)
          std::fill(row + from, row + to, OBitmap24::DefaultColour);
      }
    }
  }

  if (overlapping) {
    // Where regions share pixels the last cell in control-then-PLine order wins, as the
    // cell-by-cell definition says; this path keeps that order exactly. Only the cells some
    // region puts in this band are visited: leaving out cells that draw nothing here keeps
    // the order of those that do, and a picture written a band at a time goes over its cells
    // about once, not once a band.
    int64_t c0 = INT64_MAX, c1 = INT64_MIN, p0 = INT64_MAX, p1 = INT64_MIN;
    for (const TFootprint& f : footprints) {
      if (f.Empty)
        continue;
      // Pixel (from 1) = origin + C * stepC + P * stepP; a region's map takes each of C and
      // P to one of the axes.
      const int64_t left = firstColumn + 1, right = firstColumn + image.Width(), top = firstRow + 1,
                    bottom = firstRow + image.Height();
      auto [fc0, fc1] = Within(f.Origin.X, f.StepC.X, f.C0, f.C1, left, right);
      std::tie(fc0, fc1) = Within(f.Origin.Y, f.StepC.Y, fc0, fc1, top, bottom);
      auto [fp0, fp1] = Within(f.Origin.X, f.StepP.X, f.P0, f.P1, left, right);
      std::tie(fp0, fp1) = Within(f.Origin.Y, f.StepP.Y, fp0, fp1, top, bottom);
      if (fc0 > fc1 || fp0 > fp1)
        continue;
      c0 = std::min(c0, fc0);
      c1 = std::max(c1, fc1);
      p0 = std::min(p0, fp0);
      p1 = std::max(p1, fp1);
    }
    for (int64_t c = c0; c <= c1; ++c) {
      if (done)
        done(c - c0, c1 - c0 + 1);
      for (int64_t p = p0; p <= p1; ++p) {
        const uint32_t colour = colours[grid.Get(static_cast<int>(c), static_cast<int>(p))];
        for (const auto& region : Regions) {
          int32_t x = static_cast<int32_t>(c), y = static_cast<int32_t>(p);
          if (region->MapCellToPixel(x, y))
            image.SetPixel(int64_t{x} - 1 - firstColumn, int64_t{y} - 1 - firstRow, colour);
        }
      }
    }
    return;
  }

  // Regions that do not conflict can be drawn one after another, a PLine at a time.
  int64_t pLines = 0, drawn = 0;
  for (const TFootprint& f : footprints)
    pLines += f.Empty ? 0 : f.P1 - f.P0 + 1;
  for (const TFootprint& f : footprints) {
    if (f.Empty)
      continue;
    const TPoint64 origin = f.Origin;
    const int64_t dxC = f.StepC.X, dyC = f.StepC.Y, dxP = f.StepP.X, dyP = f.StepP.Y;
    for (int64_t p = f.P0; p <= f.P1; ++p) {
      if (done)
        done(drawn++, pLines);
      const uint8_t* row = grid.Row(static_cast<int>(p));
      int64_t x = origin.X + dxC * f.C0 + dxP * p - 1 - firstColumn;
      int64_t y = origin.Y + dyC * f.C0 + dyP * p - 1 - firstRow;
      if (dyC == 0 && (y < 0 || y >= image.Height()))
        continue; // a PLine of another band
      if (dyC == 0 && dxC == 1 && y >= 0 && y < image.Height() && x >= 0 &&
          x + (f.C1 - f.C0) < image.Width()) {
        // The common case: a PLine lands on one image row, left to right.
        uint32_t* out = image.Row(static_cast<int>(y)) + x;
        for (int64_t c = f.C0; c <= f.C1; ++c)
          *out++ = colours[row[c]];
        continue;
      }
      // Only the controls of a PLine that land in this band are drawn: a turned PLine runs
      // down the image, one that is not may run past the band's sides.
      if (dyC != 0 && (x < 0 || x >= image.Width()))
        continue;
      const auto [c0, c1] = dyC != 0
                                ? Within(y - dyC * f.C0, dyC, f.C0, f.C1, 0, image.Height() - 1)
                                : Within(x - dxC * f.C0, dxC, f.C0, f.C1, 0, image.Width() - 1);
      x += dxC * (c0 - f.C0);
      y += dyC * (c0 - f.C0);
      for (int64_t c = c0; c <= c1; ++c, x += dxC, y += dyC)
        image.SetPixel(x, y, colours[row[c]]);
    }
  }
}

void OPicture::Assign(const OPicture& source) {
  AspectRatio = source.AspectRatio;
  SetHeight(source.Height);
  BringUpToDate(source.UpToDate);
  SetWidth(source.Width);
  MachineImage = source.MachineImage;
  DesignImage = source.DesignImage;
  Regions.Clear();
  for (const auto& region : source.Regions) {
    auto copy = std::make_unique<ORegion>(Owner, this);
    copy->Assign(*region);
    Regions.Add(std::move(copy));
  }
}

void OPicture::ReadFromStream(OReader& stream) {
  ReadFromStream(stream, MaxPixels);
}

void OPicture::ReadFromStream(OReader& stream, int64_t pixelLimit) {
  const TKindTexts& texts = KindTexts(TDesignRecordKind::Picture);
  ReadHeader(stream, 1, 1);
  const float aspect = stream.ReadSingle();
  const int32_t height = stream.ReadInteger();
  stream.Skip(1);
  const int32_t width = stream.ReadInteger();
  // Images are allocated from these sizes, so a forged record must not reach them. An
  // image with no columns but rows (or the other way round) is no image: the bands that
  // write it out are sized by its width.
  if (height < 0 || width < 0 || (width == 0) != (height == 0) ||
      int64_t{width} * height > std::min(pixelLimit, MaxPixels))
    throw EDesignData(texts.HeaderError);
  const uint8_t count = stream.ReadByte();
  std::vector<std::unique_ptr<ORegion>> read;
  for (int i = 0; i < count; ++i) {
    auto region = std::make_unique<ORegion>(Owner, this);
    region->ReadFromStream(stream);
    read.push_back(std::move(region));
  }
  AspectRatio = aspect;
  SetHeight(height);
  SetWidth(width);
  for (auto& region : read)
    Regions.Add(std::move(region));
  UpToDate = TView::None;
}

void OPicture::WriteToStream(OWriter& s) const {
  if (Regions.Count() > MaxRegions)
    throw Exception("A picture can hold at most 255 regions; this one has " +
                    std::to_string(Regions.Count()) + ".");
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Picture));
  s.WriteByte(1);
  s.WriteSingle(AspectRatio);
  s.WriteInteger(Height);
  s.WriteByte(0);
  s.WriteInteger(Width);
  s.WriteByte(static_cast<uint8_t>(Regions.Count()));
  for (const auto& region : Regions)
    region->WriteToStream(s);
}

void OPicture::Export() {
  ExportFlow();
}

void OPicture::Import() {
  ImportFlow([this](OReader& stream) {
    OPicture temp(Owner);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    Assign(temp);
  });
}

} // namespace quillane
