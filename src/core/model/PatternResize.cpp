#include <algorithm>

#include "data/Mapping.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Creel.h"

namespace quillane {

namespace {

int32_t& Low(TRect& r, int axis) {
  return axis == 0 ? r.Left : r.Top;
}
int32_t& High(TRect& r, int axis) {
  return axis == 0 ? r.Right : r.Bottom;
}

bool Spans(TRect r, int axis, int32_t size) {
  return Low(r, axis) == 1 && High(r, axis) == size;
}

// Every corner inside `bounds`, which is all the section check asks.
bool Inside(const TRect& r, const TRect& b) {
  return InArea(b, r.Left, r.Top) && InArea(b, r.Right, r.Bottom);
}

bool Proper(const TRect& r) {
  return r.Left <= r.Right && r.Top <= r.Bottom;
}

TRect Intersection(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

int32_t Narrow(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Where the part of `from` lands in `to` or, going back, the part of `to` in `from`. The
// mapping keeps rows and columns whole, so two opposite corners give the whole rectangle.
TRect MappedPart(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip, uint8_t rotation,
                 const TRect& part, bool back) {
  const auto map = back ? MapBackUnchecked : MapUnchecked;
  const TPoint64 a = map(from, to, hFlip, vFlip, rotation, part.Left, part.Top);
  const TPoint64 b = map(from, to, hFlip, vFlip, rotation, part.Right, part.Bottom);
  return {Narrow(std::min(a.X, b.X)), Narrow(std::min(a.Y, b.Y)), Narrow(std::max(a.X, b.X)),
          Narrow(std::max(a.Y, b.Y))};
}

// Cuts a pair of mapped areas to their bounds so that what is left maps as before: the
// first area is cut, the second follows it, is cut in turn, and the first follows back.
// The mapping runs from `first` to `second`, or from `second` to `first` when `reversed`.
// False when nothing is left.
bool CutPair(TRect& first, const TRect& firstBounds, TRect& second, const TRect& secondBounds,
             uint8_t hFlip, uint8_t vFlip, uint8_t rotation, bool reversed) {
  if (!Proper(first) || !Proper(second))
    return false;
  const TRect a = Intersection(first, firstBounds);
  if (!Proper(a))
    return false;
  const TRect& from = reversed ? second : first;
  const TRect& to = reversed ? first : second;
  const TRect b =
      Intersection(MappedPart(from, to, hFlip, vFlip, rotation, a, reversed), secondBounds);
  if (!Proper(b))
    return false;
  const TRect back =
      Intersection(MappedPart(from, to, hFlip, vFlip, rotation, b, !reversed), firstBounds);
  if (!Proper(back))
    return false;
  first = back;
  second = b;
  return true;
}

} // namespace

TResizeReport OPattern::FollowResize(int oldControls, int oldPLines) {
  TResizeReport report;
  const int32_t before[2] = {oldControls, oldPLines}, after[2] = {NoControls, NoPLines};
  const TRect cells{1, 1, NoControls, NoPLines};

  int pictureNumber = 0;
  for (const auto& picture : *Pictures) {
    ++pictureNumber;
    const int32_t side[2] = {picture->Width, picture->Height};
    bool follows[2];
    int32_t newSide[2];
    for (int a = 0; a < 2; ++a) {
      follows[a] = before[a] > 0 && side[a] > 0 && side[a] % before[a] == 0;
      newSide[a] = follows[a] ? side[a] / before[a] * after[a] : side[a];
    }
    if (int64_t{newSide[0]} * newSide[1] > OPicture::MaxPixels)
      follows[0] = follows[1] = false; // too large to follow: its regions are cut instead
    if (follows[0] && newSide[0] != side[0])
      picture->SetWidth(newSide[0]);
    if (follows[1] && newSide[1] != side[1])
      picture->SetHeight(newSide[1]);
    const TRect pixels{1, 1, picture->Width, picture->Height};

    std::vector<int> gone;
    for (int i = 0; i < picture->Regions.Count(); ++i) {
      ORegion& r = *picture->Regions.Get(i);
      TRect pattern = r.PatternArea, image = r.PictureArea;
      // A region showing the whole pattern on a side, in one of the picture's repeats of
      // it, goes on showing all of it in the same repeat.
      if (r.Rotation == 0 || r.Rotation == 2)
        for (int a = 0; a < 2; ++a) {
          const int32_t b = before[a];
          if (follows[a] && Spans(pattern, a, b) && High(image, a) - Low(image, a) + 1 == b &&
              (Low(image, a) - 1) % b == 0) {
            const int32_t repeat = (Low(image, a) - 1) / b;
            Low(pattern, a) = 1;
            High(pattern, a) = after[a];
            Low(image, a) = repeat * after[a] + 1;
            High(image, a) = (repeat + 1) * after[a];
          }
        }
      const std::string name =
          "Region #" + std::to_string(i + 1) + " of Picture #" + std::to_string(pictureNumber);
      if (!Inside(pattern, cells) || !Inside(image, pixels)) {
        if (!CutPair(pattern, cells, image, pixels, r.HFlip, r.VFlip, r.Rotation, false)) {
          gone.push_back(i);
          report.Removed.push_back(name);
          continue;
        }
        report.Clipped.push_back(name);
      }
      r.SetPatternArea(pattern);
      r.SetPictureArea(image);
    }
    for (auto i = gone.rbegin(); i != gone.rend(); ++i)
      if (auto taken = History.Take(picture->Regions, *i))
        report.Taken.push_back(std::move(taken));
  }

  std::vector<int> gone;
  for (int i = 0; i < Sections->Count(); ++i) {
    OSection& s = *Sections->Get(i);
    TRect source = s.SourceArea, target = s.TargetArea;
    if (s.Rotation == 0 || s.Rotation == 2)
      for (int a = 0; a < 2; ++a)
        if (Spans(source, a, before[a]) && Spans(target, a, before[a])) {
          High(source, a) = after[a];
          High(target, a) = after[a];
        }
    const std::string name = "Section #" + std::to_string(i + 1);
    if (!Inside(source, cells) || !Inside(target, cells)) {
      // Cut from the target's side: the cells it still receives keep their source. A drawn
      // area (target and source one area) copies nothing, whatever its flips, and is simply cut.
      const bool drawn = source == target;
      if (drawn)
        source = target = Proper(target) ? Intersection(target, cells) : target;
      if (drawn ? !Proper(target)
                : !CutPair(target, cells, source, cells, s.HFlip, s.VFlip, s.Rotation, true)) {
        gone.push_back(i);
        report.Removed.push_back(name);
        continue;
      }
      report.Clipped.push_back(name);
    }
    s.SetSourceArea(source);
    s.TargetArea = target;
  }
  for (auto i = gone.rbegin(); i != gone.rend(); ++i)
    if (auto taken = History.Take(*Sections, *i))
      report.Taken.push_back(std::move(taken));

  // New controls continue the creel's repeat, or the whole old creel when it has none.
  const int repeat =
      Creel->RepeatSize >= 1 && Creel->RepeatSize <= oldControls ? Creel->RepeatSize : oldControls;
  if (repeat >= 1)
    for (int c = oldControls + 1; c <= NoControls; ++c)
      Creel->SetYarnType(c, Creel->YarnTypeEntry((c - 1) % repeat + 1));

  return report;
}

std::string TResizeReport::Message(int controls, int pLines) const {
  std::string text = "The pattern is now " + std::to_string(controls) + " \xC3\x97 " +
                     std::to_string(pLines) + ".";
  auto list = [&text](const char* heading, const std::vector<std::string>& names) {
    if (names.empty())
      return;
    text += std::string(" ") + heading;
    for (size_t i = 0; i < names.size(); ++i)
      text += (i == 0 ? " " : ", ") + names[i];
    text += ".";
  };
  list("Cut to fit:", Clipped);
  list("Removed:", Removed);
  return text;
}

} // namespace quillane
