// The check command: a pattern's findings against the machine that will tuft it, as text,
// JSON or CSV.

#include "Cli.h"
#include "app/App.h"
#include "app/FileIO.h"
#include "model/Pattern.h"
#include "production/CheckReport.h"
#include "production/MachineCheck.h"
#include "production/ProductionFile.h"
#include "shell/PatternCheck.h"

namespace quillane {

namespace {

std::string RuleNames() {
  std::string names;
  for (int r = 0; r < RuleCount; ++r)
    names += (r ? ", " : "") + std::string(RuleName(static_cast<TRule>(r)));
  return names;
}

// "float,short-run": the rules named, the others left out; a name no rule has is a mistake
// of the command line, never a rule quietly not run.
TRuleSet RulesNamed(const std::string& list) {
  TRuleSet rules(RuleCount, false);
  for (size_t at = 0, end; at <= list.size(); at = end + 1) {
    end = std::min(list.find(',', at), list.size());
    const std::string name = list.substr(at, end - at);
    const std::optional<TRule> rule = RuleNamed(name);
    if (!rule)
      throw CLI::ValidationError("--rules", "no rule is named \"" + PrintableLine(name) +
                                                "\"; the rules are " + RuleNames());
    rules[static_cast<size_t>(*rule)] = true;
  }
  return rules;
}

} // namespace

void AddCheckCommand(CLI::App& app, TCommands& commands) {
  struct TArgs {
    std::string In, Out = StandardOutputName, Machine, Rules;
  };
  auto a = std::make_shared<TArgs>();
  CLI::App* cmd = app.add_subcommand(
      "check", "Check a pattern against the machine that will tuft it; exit 1 when the check "
               "finds errors (the findings are written all the same)");
  cmd->add_option("PAT", a->In, "The pattern file")->required();
  cmd->add_option("--machine", a->Machine,
                  "The machine profile (default: the one NAME.production.json beside the "
                  "pattern names, else \"Any machine\", which limits nothing)");
  cmd->add_option("--rules", a->Rules, "Only these rules, separated by commas: " + RuleNames());
  cmd->add_option("-o,--output", a->Out,
                  "OUT.json, OUT.csv, OUT.txt, or - (the default) for the text on standard "
                  "output: one finding a line, rule, severity, needles, PLines, message");
  commands.push_back(
      {cmd, [a] {
         const std::string ext = LowerExtension(a->Out);
         if (a->Out != StandardOutputName && ext != ".json" && ext != ".csv" && ext != ".txt")
           throw CLI::ValidationError("--output",
                                      "a check is written as .json, .csv or .txt: " + a->Out);
         const TRuleSet rules = a->Rules.empty() ? AllRules() : RulesNamed(a->Rules);
         std::vector<std::string> inputs{a->In, ProductionFileName(a->In)};
         if (!a->Machine.empty())
           inputs.push_back(a->Machine);
         CheckOutput(a->Out, inputs);
         if (!a->Machine.empty() && NoSuchFile(a->Machine))
           throw TCliFailure("Error, machine profile file not found: " + a->Machine);

         std::unique_ptr<OPattern> pattern = OpenPattern(a->In);
         TPatternCheckSetup setup;
         std::vector<TFinding> findings;
         try {
           setup = PatternCheckSetup(*pattern, a->In, a->Machine);
           findings = CheckPattern(*pattern, setup.Profile, setup.Parameters, rules);
         } catch (const EProduction& e) {
           throw TCliFailure(e.what());
         }
         const std::string text = ext == ".json"  ? FindingsJson(findings, setup.Profile.Name)
                                  : ext == ".csv" ? FindingsCsv(findings)
                                                  : FindingsText(findings);
         TBytes bytes;
         bytes.assign(text.begin(), text.end());
         try {
           WriteFileAtomic(a->Out, bytes);
         } catch (const EStreamError& e) {
           throw TCliFailure(Named(e, a->Out));
         }
         int64_t errors = 0, warnings = 0;
         for (const TFinding& f : findings)
           ++(f.Severity == TSeverity::Error ? errors : warnings);
         if (errors == 0)
           return 0;
         // Exit 1 says why on stderr, as every failure does; the findings are in the output.
         g.UI().ShowMessage(CheckStatus(errors, warnings, setup.Profile.Name));
         return 1;
       }});
}

} // namespace quillane
