// Every number box of the program, read as it is left: a value past either limit, letters,
// an empty box and digits past any integer are refused with one message naming the box and
// its limits, never cut or reverted; the limits themselves are taken.
#include "editors/NumberField.h"
#include "PatternSupport.h"
#include <cmath>

#include "editors/ControlSetupEditor.h"
#include "editors/ElementEditor.h"
#include "shell/Preferences.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

struct NumberField : TFlowTest {};

TEST_F(NumberField, EveryBoxRefusesWhatItCannotHoldAndTakesItsLimits) {
  std::unique_ptr<OPattern> pattern = BarePattern(30, 20);
  OPicture& picture = AddPicture(*pattern, 30, 20);
  ORegion& region = AddRegion(picture, {1, 1, 30, 20}, {1, 1, 30, 20});
  OSection& section = AddSection(*pattern, {1, 1, 30, 20}, {1, 1, 30, 20});
  OPictureEditor pictureEditor(*pattern, picture);
  ORegionEditor regionEditor(*pattern, region);
  OSectionEditor sectionEditor(*pattern, section);

  std::vector<TNumberField> fields;
  for (const TSettingsFieldInfo& info : OControlSetupEditor::Fields())
    if (info.Kind == TFieldKind::Number)
      fields.push_back(NumberFieldOf(info));
  fields.insert(fields.end(), {NoColoursField, NoYarnTypesField, RepeatSizeField});
  for (const OElementEditor* e :
       std::initializer_list<const OElementEditor*>{&pictureEditor, &regionEditor, &sectionEditor})
    for (const TElementFieldInfo& info : e->Fields())
      fields.push_back(e->NumberField(info.Field));
  for (auto [name, range] : {std::pair{"No. Controls", ControlsRange},
                             {"No. Pattern Lines", PLinesRange},
                             {"No. Controls", CutControlsRange},
                             {"No. Pattern Lines", CutPLinesRange},
                             {"Start Pattern at Specified Control", OffsetRange},
                             {"No. Repeats in Picture", RepeatsRange}})
    fields.push_back({name, double(range.Minimum), double(range.Maximum)});
  // As the preferences dialog makes them.
  fields.push_back({"Undo memory per pattern", TPreferences::MinUndoMiB, TPreferences::MaxUndoMiB});
  fields.push_back({"Recovery copies every", 0, TPreferences::MaxRecoveryMinutes});
  ASSERT_EQ(fields.size(), 35u);

  for (const TNumberField& f : fields) {
    SCOPED_TRACE(f.Name);
    const double step = f.Decimals ? 0.00001 : 1;
    const std::vector<std::string> refused = {
        f.Text(f.Maximum + step),  f.Text(f.Minimum - step), "12a", "", " ", "--1",
        "1" + std::string(30, '0')};
    for (const std::string& text : refused) {
      UI.Shown.clear();
      EXPECT_FALSE(f.Read(text)) << '"' << text << '"';
      EXPECT_EQ(UI.Errors(), std::vector{f.RangeMessage()});
    }
    if (!f.Decimals) {
      EXPECT_FALSE(f.Parse("1.5"));
    }
    EXPECT_EQ(f.Parse(f.Text(f.Minimum)), f.Minimum);
    if (f.Minimum <= 0) {
      EXPECT_FALSE(std::signbit(f.Parse("-0.0000001").value_or(1)));
    }
    EXPECT_EQ(f.Parse(" +" + f.Text(f.Maximum) + " "), f.Maximum);
    // The arrows stop at the limits; 0.5 past one still steps back inside.
    const double inside = std::min(f.Minimum + 1, f.Maximum);
    EXPECT_EQ(std::vector({f.Stepped(f.Maximum, 3), f.Stepped(f.Minimum, -1),
                           f.Stepped(f.Minimum, 1), f.Stepped(f.Maximum + 0.5, -1)}),
              std::vector({f.Maximum, f.Minimum, inside, f.Maximum - 0.5}));
    EXPECT_EQ(std::vector({f.StepsUp(f.Maximum), f.StepsDown(f.Minimum), f.StepsUp(f.Minimum),
                           f.StepsDown(f.Maximum)}),
              std::vector({false, false, f.Minimum < f.Maximum, f.Minimum < f.Maximum}));
    const std::string message = f.RangeMessage();
    EXPECT_NE(message.find(f.Name + " must be"), std::string::npos) << message;
    EXPECT_NE(message.find(f.Text(f.Minimum) + " and " + f.Text(f.Maximum)), std::string::npos);
  }
  EXPECT_EQ(fields[0].RangeMessage(),
            "Range check error: No. Controls must be a whole number between 1 and 9999");
}

} // namespace
} // namespace quillane::test
