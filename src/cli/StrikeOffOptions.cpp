// The preview's strike-off on the command line: carpet tiles or broadloom widths over a room,
// written as an image or printed at true size, and the repeat fit of a broadloom width.
#include <QGuiApplication>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "Cli.h"
#include "PreviewImage.h"
#include "TrueSizePdf.h"
#include "app/Exceptions.h"
#include "model/Pattern.h"
#include "preview/StrikeOff.h"

namespace quillane {

namespace {

// What a size on the command line must stay within to mean carpet, in mm.
struct TLengthRange {
  double Low, High;
  const char* Text;
};
constexpr TLengthRange TileRange{10, 5000, "from 10 mm to 5 m"};
constexpr TLengthRange WidthRange{100, 10000, "from 100 mm to 10 m"};
constexpr TLengthRange ToleranceRange{0, 1000, "from 0 to 1 m"};
constexpr TLengthRange RoomRange{1, 100000, "from 1 mm to 100 m"};

// A bow or skew of nothing: 0 in any unit, so it needs none.
bool Nothing(const std::string& text) {
  std::string number = text, unit;
  while (!number.empty() && std::isalpha(static_cast<unsigned char>(number.back()))) {
    unit.insert(unit.begin(), static_cast<char>(std::tolower(number.back())));
    number.pop_back();
  }
  while (!number.empty() && number.back() == ' ')
    number.pop_back();
  double value = 1;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  return !number.empty() && error == std::errc() && end == number.data() + number.size() &&
         value == 0 &&
         (unit.empty() || unit == "mm" || unit == "m" || unit == "in" || unit == "ft");
}

double Length(const std::string& text, const std::string& option, const TLengthRange& range) {
  if (range.Low == 0 && Nothing(text))
    return 0;
  std::string problem;
  const std::optional<double> mm = ReadLength(text, problem);
  if (!mm)
    throw CLI::ValidationError(option, problem);
  if (!(*mm >= range.Low && *mm <= range.High))
    throw CLI::ValidationError(option, text + " is out of range: a length " + range.Text);
  return *mm;
}

std::pair<double, double> Area(const std::string& text, const std::string& option) {
  std::string problem;
  const auto area = ReadArea(text, problem);
  if (!area)
    throw CLI::ValidationError(option, problem);
  for (const double side : {area->first, area->second})
    if (!(side >= RoomRange.Low && side <= RoomRange.High))
      throw CLI::ValidationError(option, text + " is out of range: each side " + RoomRange.Text);
  return *area;
}

// A check at parse time, so that a length without its unit is refused before any file is
// opened (the range is checked again when the value is used).
CLI::Validator LengthCheck(const TLengthRange& range) {
  return CLI::Validator(
      [range](std::string& text) -> std::string {
        try {
          Length(text, "", range);
        } catch (const CLI::ValidationError& e) {
          const std::string what = e.what();
          return what.rfind(": ", 0) == 0 ? what.substr(2) : what;
        }
        return {};
      },
      "LENGTH");
}
CLI::Validator AreaCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        try {
          Area(text, "");
        } catch (const CLI::ValidationError& e) {
          const std::string what = e.what();
          return what.rfind(": ", 0) == 0 ? what.substr(2) : what;
        }
        return {};
      },
      "WxL");
}

// Every value in [from, to] that lies a whole number of steps from `at`, at most a few
// thousand of them.
std::vector<double> Steps(double at, double step, double from, double to) {
  std::vector<double> out;
  if (!(step > 0))
    return out;
  for (double k = std::ceil((from - at) / step - 1e-9); out.size() < 4000; ++k) {
    const double v = at + k * step;
    if (v > to + 1e-9)
      break;
    out.push_back(v);
  }
  return out;
}

std::string FileTitle(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void AddStrikeOffOptions(CLI::App& cmd, TStrikeOffArgs& a, CLI::Option* preview,
                         const std::vector<CLI::Option*>& notWithStrikeOff,
                         const std::vector<CLI::Option*>& notWithTrueSize) {
  CLI::Option* tiles =
      cmd.add_option("--tiles", a.Tiles,
                     "With --preview: the goods cut into square carpet tiles of this size "
                     "(500mm, 18in, 24in, 36in), laid as --install says")
          ->check(LengthCheck(TileRange))
          ->needs(preview);
  cmd.add_option("--install", a.Install,
                 "With --tiles: how the tiles are laid (default monolithic)")
      ->check(CLI::IsMember({"monolithic", "quarter-turn", "ashlar", "half-drop"}))
      ->needs(tiles);
  CLI::Option* broadloom =
      cmd.add_option("--broadloom", a.Broadloom,
                     "With --preview: broadloom widths of this width (12ft, 4m, 5m) seamed side "
                     "by side")
          ->check(LengthCheck(WidthRange))
          ->needs(preview)
          ->excludes(tiles);
  cmd.add_option("--match", a.Match, "With --broadloom: set or drop match (default set)")
      ->check(CLI::IsMember({"set", "drop"}))
      ->needs(broadloom);
  cmd.add_option("--bow", a.Bow, "With --broadloom: the bow across a width (default 1in over 12ft)")
      ->check(LengthCheck(ToleranceRange))
      ->needs(broadloom);
  cmd.add_option("--skew", a.Skew, "With --broadloom: the skew across a width (default 2in)")
      ->check(LengthCheck(ToleranceRange))
      ->needs(broadloom);
  cmd.add_option("--room", a.Room,
                 "With --tiles or --broadloom: the room they cover, WxL (9x13m, 30ftx40ft)")
      ->check(AreaCheck());
  cmd.add_flag("--no-joins", a.NoJoins,
               "With --tiles or --broadloom: no lines along the joins and seams");
  CLI::Option* trueSize =
      cmd.add_flag("--true-size", a.TrueSize,
                   "With --preview: a PDF (-o OUT.pdf) at 1:1 with scale bars and the repeat "
                   "marked, over several pages with crop marks when it is larger than the paper")
          ->needs(preview);
  cmd.add_option("--area", a.Area,
                 "With --true-size: the area printed, WxL (default one repeat, or one tile)")
      ->check(AreaCheck())
      ->needs(trueSize);
  cmd.add_option("--paper", a.Paper, "With --true-size: a4 or letter (default a4)")
      ->check(CLI::IsMember({"a4", "letter"}))
      ->needs(trueSize);
  for (CLI::Option* other : notWithStrikeOff) {
    tiles->excludes(other);
    broadloom->excludes(other);
  }
  for (CLI::Option* other : notWithTrueSize)
    trueSize->excludes(other);
}

bool StrikeOffAsked(const TStrikeOffArgs& a) {
  return !a.Tiles.empty() || !a.Broadloom.empty() || a.TrueSize;
}

void CheckStrikeOffArgs(const TStrikeOffArgs& a, const std::string& out, int dpi) {
  const bool laid = !a.Tiles.empty() || !a.Broadloom.empty();
  if (!a.Room.empty() && !laid)
    throw CLI::ValidationError("--room", "needs --tiles or --broadloom");
  if (a.NoJoins && !laid)
    throw CLI::ValidationError("--no-joins", "needs --tiles or --broadloom");
  const bool pdf = LowerExtension(out) == ".pdf";
  if (a.TrueSize && !pdf)
    throw CLI::ValidationError("--output", "a print at true size is written as .pdf: " + out);
  if (!a.TrueSize && pdf)
    throw CLI::ValidationError("--output", "a PDF is written with --true-size: " + out);
  if (a.TrueSize && dpi != 0 && (dpi < TrueSizeDpiLowest || dpi > TrueSizeDpiHighest))
    throw CLI::ValidationError("--dpi", "a print is drawn at " + std::to_string(TrueSizeDpiLowest) +
                                            " to " + std::to_string(TrueSizeDpiHighest) + " dpi");
}

void RenderStrikeOff(OPreview& carpet, const OPattern& pattern, const TStrikeOffArgs& a,
                     const std::string& in, const std::string& out, int size, int dpi) {
  const TCellSize cell = carpet.CellSize();
  const TPatternRepeat repeat = PatternRepeat(pattern);
  const double repeatAcross = repeat.Controls * cell.Across;
  const double repeatAlong = repeat.PLines * cell.Along;
  std::string title = FileTitle(in);

  std::optional<OStrikeOff> strike;
  TTrueSizeOptions print;
  if (!a.Tiles.empty() || !a.Broadloom.empty()) {
    TStrikeOffSettings s;
    if (!a.Tiles.empty()) {
      s.Kind = TStrikeOffSettings::TKind::Tiles;
      s.TileMm = Length(a.Tiles, "--tiles", TileRange);
      s.Install =
          ReadInstall(a.Install.empty() ? "monolithic" : a.Install).value_or(TInstall::Monolithic);
      title += ", " + std::string(InstallName(s.Install)) + ", tiles of " +
               LengthText(s.TileMm, TypedImperial(a.Tiles));
    } else {
      s.Kind = TStrikeOffSettings::TKind::Broadloom;
      s.WidthMm = Length(a.Broadloom, "--broadloom", WidthRange);
      s.Match = ReadMatch(a.Match.empty() ? "set" : a.Match).value_or(TMatch::Set);
      s.BowMm = a.Bow.empty() ? DefaultBow(s.WidthMm) : Length(a.Bow, "--bow", ToleranceRange);
      s.SkewMm = a.Skew.empty() ? DefaultSkewMm : Length(a.Skew, "--skew", ToleranceRange);
      title += ", broadloom " + LengthText(s.WidthMm, TypedImperial(a.Broadloom)) + ", " +
               std::string(MatchKey(s.Match)) + " match";
    }
    if (!a.Room.empty())
      std::tie(s.RoomWidthMm, s.RoomLengthMm) = Area(a.Room, "--room");
    s.Joins = !a.NoJoins;
    strike.emplace(carpet, s);
    // A whole tile or width from the room's top left, and every edge where they meet.
    print.Width = s.Kind == TStrikeOffSettings::TKind::Tiles ? s.TileMm : repeatAcross;
    print.Length = s.Kind == TStrikeOffSettings::TKind::Tiles ? s.TileMm : repeatAlong;
    bool cornered = false;
    for (const TStrikePiece& piece : strike->Pieces()) {
      if (!cornered && piece.X >= 0 && piece.Y >= 0) {
        print.Left = piece.X;
        print.Top = piece.Y;
        cornered = true;
      }
      print.EdgesAcross.insert(print.EdgesAcross.end(), {piece.X, piece.X + piece.Width});
      print.EdgesAlong.insert(print.EdgesAlong.end(), {piece.Y, piece.Y + piece.Length});
    }
    for (std::vector<double>* edges : {&print.EdgesAcross, &print.EdgesAlong}) {
      std::sort(edges->begin(), edges->end());
      edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
    }
  } else {
    // The goods start a repeat at their left and at PLine 1, at the bottom: the area starts
    // at the repeat's corner nearest the top left.
    const double goodsAcross = carpet.Goods().Controls * cell.Across;
    const double goodsAlong = carpet.Goods().PLines * cell.Along;
    print.Top = repeatAlong > 0 ? std::fmod(goodsAlong, repeatAlong) : 0;
    print.Width = repeatAcross;
    print.Length = repeatAlong;
    print.EdgesAcross = Steps(0, repeatAcross, 0, goodsAcross);
    print.EdgesAlong = Steps(goodsAlong, repeatAlong, 0, goodsAlong);
  }
  const OCarpetPicture& picture = strike ? static_cast<const OCarpetPicture&>(*strike) : carpet;

  if (!a.TrueSize) {
    const double scale = PreviewExportScale(picture, size);
    const auto progress =
        ProgressFor("render", picture.GoodsWidth(scale) * picture.GoodsHeight(scale));
    if (strike) {
      const std::unique_ptr<QGuiApplication> application = TextApplication();
      SaveRoomImage(picture, scale, out, dpi, progress);
    } else {
      SavePreviewImage(picture, scale, out, dpi, progress);
    }
    return;
  }
  if (!a.Area.empty())
    std::tie(print.Width, print.Length) = Area(a.Area, "--area");
  print.Paper = a.Paper == "letter" ? TPaper::Letter : TPaper::A4;
  if (dpi != 0)
    print.Dpi = dpi;
  print.Title = title;
  const std::unique_ptr<QGuiApplication> application = TextApplication();
  try {
    SaveTrueSizePdf(out, picture, print);
  } catch (const Exception& e) {
    throw TCliFailure(Named(e, out));
  }
}

std::optional<double> FitWidth(const std::string& text) {
  if (text.empty())
    return std::nullopt;
  return Length(text, "--fit", WidthRange);
}

void AddFitCheck(CLI::Option* fit) {
  fit->check(LengthCheck(WidthRange));
}

} // namespace quillane
