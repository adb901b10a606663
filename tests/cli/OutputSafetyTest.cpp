#include "CliSupport.h"

#include <filesystem>
#include <map>

namespace quillane::test {
namespace {
namespace fs = std::filesystem;

// Every regular file of the folder (links not followed) and its bytes.
std::map<std::string, Bytes> Snapshot(const std::string& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && !entry.is_symlink())
      files[entry.path().filename().string()] = FileBytes(entry.path().string());
  return files;
}

class OutputSafety : public TFlowTest {
protected:
  void Prepare() {
    for (const char* line :
         {"wizard plain --controls 6 --plines 4 -o in.pat",
          "paint in.pat --picture 1 --view machine 0,0,1 -o painted.pat",
          "export-bitmap painted.pat --picture 1 --region 1 --view machine -o img.bmp"})
      ASSERT_EQ(RunLine(Current.Path, line).Status, 0) << line;
  }
};

TEST_F(OutputSafety, EveryWritingCommandRefusesBeforeTouchingAFileAndWritesThroughLinks) {
  auto run = [&](const std::string& line) { return RunLine(Current.Path, line); };
  Prepare();
  ASSERT_EQ(run("export in.pat X.TUF").Status, 0);
  const std::string region = " --picture 1 --region 1 --view machine -o ";
  // Each command with OUT standing for its output; the input it must never write over.
  const struct {
    std::string Line, Ext, Input;
  } commands[] = {
      {"new -o OUT", "pat", ""},
      {"wizard plain --controls 6 --plines 4 -o OUT", "pat", ""},
      {"extract in.pat --kind PAL -o OUT", "PAL", "in.pat"},
      {"render in.pat --picture 1 --view machine -o OUT", "bmp", "in.pat"},
      {"paint in.pat --picture 1 --view machine 1,1,1 -o OUT", "pat", "in.pat"},
      {"import-bitmap in.pat img.bmp" + region + "OUT", "pat", "img.bmp"},
      {"export-bitmap painted.pat" + region + "OUT", "png", "painted.pat"},
      {"import-tuf X.TUF -o OUT", "pat", "X.DAT"},
      {"export in.pat OUT", "TUF", "in.pat"},
  };
  const bool full = fs::is_character_file("/dev/full");
  for (const auto& c : commands) {
    const bool single = c.Ext != "TUF";
    for (const std::string name : {"old", "target", "full"}) {
      WriteBytes(Current.File(name + "." + c.Ext), {'o', 'l', 'd'});
      fs::remove(Current.File("link." + c.Ext));
    }
    fs::remove(Current.File("full." + c.Ext));
    fs::create_symlink("target." + c.Ext, Current.File("link." + c.Ext));
    if (full)
      fs::create_symlink("/dev/full", Current.File("full." + c.Ext));
    // The output, the exit status, and the file that may change.
    const struct {
      std::string Out;
      int Status;
      std::string Changes;
    } cases[] = {
        {"old." + c.Ext, 0, "old."},
        {c.Input, 2, ""},
        {"in.pat/sub." + c.Ext, 1, ""},
        {"link." + c.Ext, 0, "target."},
        {"full." + c.Ext, full ? 1 : -1, ""},
        {"-", single ? 0 : 2, ""},
        {"out.gif", c.Ext == "bmp" || c.Ext == "png" ? 2 : -1, ""},
    };
    for (const auto& k : cases) {
      if (k.Status < 0 || k.Out.empty())
        continue;
      std::string line = c.Line;
      line.replace(line.find("OUT"), 3, k.Out);
      const auto before = Snapshot(Current.Path);
      const TCliResult r = run(line);
      const std::string what = line + "\n" + r.Err;
      EXPECT_EQ(r.Status, k.Status) << what;
      if (k.Status == 0) {
        EXPECT_EQ(r.Err, "") << what;
        EXPECT_EQ(r.Out.empty(), k.Out != "-") << what;
      } else {
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << what;
        EXPECT_NE(r.Err.find(k.Out == "-" ? "standard output" : k.Out), std::string::npos) << what;
      }
      // The export's companions take the name given, not the link's target.
      auto mayChange = [&](const std::string& file) {
        return !k.Changes.empty() && (file.rfind(k.Changes, 0) == 0 ||
                                      (k.Changes == "target." && file.rfind("link.", 0) == 0));
      };
      const auto after = Snapshot(Current.Path);
      for (const auto& [file, bytes] : before)
        if (!mayChange(file)) {
          EXPECT_EQ(after.at(file), bytes) << what << file;
        }
      for (const auto& [file, bytes] : after)
        EXPECT_TRUE(before.count(file) || mayChange(file)) << what << "left " << file;
      EXPECT_TRUE(fs::is_symlink(Current.File("link." + c.Ext)));
      if (!k.Changes.empty()) {
        EXPECT_NE(after.at(k.Changes + c.Ext), Bytes({'o', 'l', 'd'})) << what;
      }
    }
  }
}

TEST_F(OutputSafety, MistakesAndNoOpsAreReportedOnOneLine) {
  auto run = [&](const std::string& line) { return RunLine(Current.Path, line); };
  Prepare();
  const struct {
    std::string Line;
    int Status;
    std::string Says;
  } rows[] = {
      {"paint in.pat --picture 1 --view machine 6,0,1 -o x.pat", 2, "6,0,1"},
      {"import-bitmap painted.pat img.bmp --picture 1 --region 1 --view machine -o x.pat", 0,
       "0 cells changed"},
      {"--dir nowhere new -o x.pat", 2, "nowhere"},
      {"frobnicate", 2, "unknown command frobnicate"},
      {"dump bad\x1b[2J.SET", 1, "bad\\x1b[2J.SET"},
  };
  for (const auto& row : rows) {
    fs::remove(Current.File("x.pat"));
    const TCliResult r = run(row.Line);
    EXPECT_EQ(r.Status, row.Status) << row.Line << "\n" << r.Err;
    const std::string help = "Run with --help for more information.\n";
    const std::string err = r.Err.size() > help.size() && r.Err.ends_with(help)
                                ? r.Err.substr(0, r.Err.size() - help.size())
                                : r.Err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << row.Line << "\n" << r.Err;
    EXPECT_NE(err.find(row.Says), std::string::npos) << row.Line << "\n" << r.Err;
    EXPECT_EQ(fs::exists(Current.File("x.pat")), row.Status == 0) << row.Line;
  }

  // Standard output is checked like a file; the grids can be left out and counted instead.
  const std::string dump = "cd " + ShellQuote(Current.Path) + " && " + ShellQuote(QUILLANE_CLI) +
                           " dump in.pat >/dev/full 2>/dev/null";
  if (fs::is_character_file("/dev/full")) {
    EXPECT_NE(std::system(dump.c_str()), 0);
  }
}

} // namespace
} // namespace quillane::test
