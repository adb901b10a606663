// `wizard`: the five pattern wizards, their fields as options.
#include <iostream>

#include "Cli.h"
#include "app/Exceptions.h"
#include "model/Pattern.h"
#include "wizards/Wizards.h"

namespace quillane {

namespace {

// The dialogs' limits, so that the command takes what the dialog's boxes take.
CLI::Range RangeOf(TWizardRange range) {
  return CLI::Range(range.Minimum, range.Maximum);
}
const CLI::Range ControlRange = RangeOf(ControlsRange), PLineRange = RangeOf(PLinesRange),
                 RepeatRange = RangeOf(RepeatsRange), OffsetLimits = RangeOf(OffsetRange);

void AddLayoutOption(CLI::App* cmd, std::string& layout) {
  cmd->add_option("--layout", layout, "1, 2h, 2v or 4 sections (default 1)")
      ->check(CLI::IsMember({"1", "2h", "2v", "4"}));
}

TWizardLayout LayoutOf(const std::string& text) {
  if (text == "2h")
    return TWizardLayout::Sections2h;
  if (text == "2v")
    return TWizardLayout::Sections2v;
  if (text == "4")
    return TWizardLayout::Sections4;
  return TWizardLayout::Section1;
}

// Validates as OK does, builds the pattern and writes it. A layout that does not fit
// still makes the pattern, as the dialogs do, but is worth a word. A layout whose sections
// would leave the pattern is refused by the generator with the message, printed here once;
// nothing is written.
template <class TWizard> int RunWizard(const TWizard& w, const std::string& out, bool warnIfEmpty) {
  CheckOutput(out, {});
  const std::string refused = ValidateWizard(w);
  if (!refused.empty())
    throw TCliFailure(refused);
  std::unique_ptr<OPattern> pattern;
  try {
    pattern = GenerateWizard(w);
  } catch (const Exception& e) {
    throw TCliFailure(e.what());
  }
  if (warnIfEmpty && pattern->Sections->Count() == 0)
    std::cerr << "Warning: the layout does not fit the pattern; no design region and no "
                 "section were added\n";
  SavePattern(*pattern, out);
  return 0;
}

CLI::App* AddWizard(CLI::App* wizard, const char* name, const char* help, std::string& out) {
  CLI::App* cmd = wizard->add_subcommand(name, help);
  cmd->add_option("-o,--output", out, "The pattern file to write")->required();
  return cmd;
}

void AddPatternSize(CLI::App* cmd, uint16_t& controls, uint16_t& pLines) {
  cmd->add_option("--pattern-controls", controls, "Pattern Size, No. Controls")
      ->required()
      ->check(ControlRange);
  cmd->add_option("--pattern-plines", pLines, "Pattern Size, No. Pattern Lines")
      ->required()
      ->check(PLineRange);
}

// The carpet and half-drop wizards: a strip repeated across the machine, centred or from a
// needle, shown several times along the PLines.
template <class TWizard>
void AddStripWizard(CLI::App* wizard, TCommands& commands, const char* name, const char* help,
                    const char* areaOption, const char* areaLabel, uint16_t TWizard::*areaControls,
                    void (TWizard::*derive)()) {
  struct TArgs {
    TWizard W;
    std::string Out;
  };
  auto a = std::make_shared<TArgs>();
  CLI::App* cmd = AddWizard(wizard, name, help, a->Out);
  AddPatternSize(cmd, a->W.PatternControls, a->W.PatternPLines);
  cmd->add_option(areaOption, a->W.*areaControls, areaLabel)->required()->check(ControlRange);
  cmd->add_flag("--center", a->W.Center, "Center Pattern On Machine");
  cmd->add_option("--offset", a->W.PatternOffset, "Start Pattern at Specified Needle (default 1)")
      ->check(ControlRange);
  cmd->add_option("--repeats", a->W.NoRepeats, "No. Repeats in Picture (default 1)")
      ->check(RepeatRange);
  commands.push_back({cmd, [a, derive] {
                        (a->W.*derive)();
                        return RunWizard(a->W, a->Out, true);
                      }});
}

} // namespace

void AddWizardCommands(CLI::App& app, TCommands& commands) {
  CLI::App* wizard = app.add_subcommand("wizard", "Make a new pattern with one of the wizards");
  wizard->require_subcommand(1);
  {
    struct TArgs {
      TPlainWizard W;
      std::string Layout = "1", Out;
    };
    auto a = std::make_shared<TArgs>();
    CLI::App* cmd = AddWizard(wizard, "plain", "New Pattern", a->Out);
    cmd->add_option("--controls", a->W.NoControls, "No. Controls")->required()->check(ControlRange);
    cmd->add_option("--plines", a->W.NoPLines, "No. Pattern Lines")->required()->check(PLineRange);
    AddLayoutOption(cmd, a->Layout);
    commands.push_back({cmd, [a] {
                          a->W.Layout = LayoutOf(a->Layout);
                          return RunWizard(a->W, a->Out, false);
                        }});
  }
  {
    struct TArgs {
      TRugWizard W;
      std::string Layout = "1", Out;
    };
    auto a = std::make_shared<TArgs>();
    CLI::App* cmd = AddWizard(wizard, "rug", "New Rug Pattern", a->Out);
    AddPatternSize(cmd, a->W.PatternControls, a->W.PatternPLines);
    cmd->add_option("--rug-controls", a->W.RugControls, "Rug Size, No. Controls")
        ->required()
        ->check(ControlRange);
    cmd->add_option("--rug-plines", a->W.RugPLines, "Rug Size, No. Pattern Lines")
        ->required()
        ->check(PLineRange);
    cmd->add_option("--cut-controls", a->W.CutControls, "Cut Mark Size, No. Controls (default 1)")
        ->check(RangeOf(CutControlsRange));
    cmd->add_flag("--mirror", a->W.Mirror, "Mirror Generated Sections");
    cmd->add_option("--control-offset", a->W.ControlOffset,
                    "Start Pattern at Specified Control (default 1)")
        ->check(OffsetLimits);
    cmd->add_option("--pline-offset", a->W.PLineOffset,
                    "Start Pattern at Specified PLine (default 1)")
        ->check(OffsetLimits);
    AddLayoutOption(cmd, a->Layout);
    commands.push_back({cmd, [a] {
                          // The dialog sets the offset to 1 when the mirror box is checked
                          // and unchecks the box for any other offset.
                          if (a->W.Mirror && a->W.ControlOffset != 1)
                            throw CLI::ValidationError("--control-offset",
                                                       "the mirrored layouts start at control 1");
                          a->W.Layout = LayoutOf(a->Layout);
                          a->W.DeriveCutPLines();
                          return RunWizard(a->W, a->Out, true);
                        }});
  }
  AddStripWizard<TCarpetWizard>(wizard, commands, "carpet", "New Carpet Pattern",
                                "--section-controls", "Section Size, No. Controls",
                                &TCarpetWizard::SectionControls,
                                &TCarpetWizard::DeriveSectionPLines);
  AddStripWizard<THalfDropWizard>(wizard, commands, "halfdrop", "New Half Drop Pattern",
                                  "--region-controls", "Region Size, No. Controls",
                                  &THalfDropWizard::RegionControls,
                                  &THalfDropWizard::DeriveRegionPLines);
  {
    struct TArgs {
      TRepeatsWizard W;
      std::string Out;
    };
    auto a = std::make_shared<TArgs>();
    CLI::App* cmd = AddWizard(wizard, "repeats", "New Pattern With Repeats", a->Out);
    AddPatternSize(cmd, a->W.PatternControls, a->W.PatternPLines);
    cmd->add_option("--section-controls", a->W.SectionControls, "Section Size, No. Controls")
        ->required()
        ->check(ControlRange);
    cmd->add_option("--section-plines", a->W.SectionPLines, "Section Size, No. Pattern Lines")
        ->required()
        ->check(PLineRange);
    cmd->add_option("--repeats", a->W.NoRepeats, "No. Repeats in Picture (default 1)")
        ->check(RepeatRange);
    commands.push_back({cmd, [a] { return RunWizard(a->W, a->Out, false); }});
  }
}

} // namespace quillane
