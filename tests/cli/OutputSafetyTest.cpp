#include "CliSupport.h"
#include "InterchangeSupport.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace quillane::test {
namespace {
namespace fs = std::filesystem;

// Every regular file of the folder (links not followed) and its bytes.
std::map<std::string, Bytes> Snapshot(const std::string& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (!entry.is_symlink() && entry.is_regular_file())
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
      {"report in.pat -o OUT", "json", "in.pat"},
      {"check in.pat --rules needles -o OUT", "json", "in.pat"},
  };
  const bool full = fs::is_character_file("/dev/full");
  for (const auto& c : commands) {
    const bool single = c.Ext != "TUF";
    for (const std::string name : {"old", "target", "full"}) {
      WriteBytes(Current.File(name + "." + c.Ext), {'o', 'l', 'd'});
      fs::remove(Current.File("link." + c.Ext));
    }
    fs::remove(Current.File("full." + c.Ext));
    fs::remove(Current.File("loop." + c.Ext));
    fs::create_symlink("target." + c.Ext, Current.File("link." + c.Ext));
    fs::create_symlink("loop." + c.Ext, Current.File("loop." + c.Ext));
    // The longest name the folder takes: its temporary must fit too.
    const std::string longest(255 - 1 - c.Ext.size(), 'L');
    if (full)
      fs::create_symlink("/dev/full", Current.File("full." + c.Ext));
    // Pipes no reader opens: writing to one would wait for ever.
    for (const std::string& name : {"fifo." + c.Ext, std::string("fifoset.DAT")}) {
      if (!fs::is_fifo(Current.File(name))) {
        ASSERT_EQ(::mkfifo(Current.File(name).c_str(), 0600), 0);
      }
    }
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
        {"loop." + c.Ext, 1, ""},
        {longest + "." + c.Ext, single ? 0 : -1, longest + "."},
        {"-", single ? 0 : 2, ""},
        {"out.gif", c.Ext == "bmp" || c.Ext == "png" ? 2 : -1, ""},
        {"fifo." + c.Ext, 1, ""},
        {"/dev/null", c.Ext == "bmp" || c.Ext == "png" || c.Ext == "json" ? -1 : 1, ""},
        {"fifoset.TUF", single ? -1 : 1, ""},
        {"." + c.Ext, single ? -1 : 1, ""},
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
        // A check that finds nothing prints nothing.
        EXPECT_EQ(r.Out.empty(), k.Out != "-" || c.Line.starts_with("check")) << what;
      } else {
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), k.Status == 2 ? 2 : 1) << what;
        // A set's refusal may name the companion at fault.
        const std::string named = single ? k.Out : k.Out.substr(0, k.Out.rfind('.'));
        EXPECT_NE(r.Err.find(k.Out == "-" ? "standard output" : named), std::string::npos) << what;
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
      EXPECT_TRUE(fs::is_symlink(Current.File("loop." + c.Ext)));
      if (!k.Changes.empty()) {
        EXPECT_TRUE(after.count(k.Changes + c.Ext) &&
                    after.at(k.Changes + c.Ext) != Bytes({'o', 'l', 'd'}))
            << what;
      }
    }
  }
}

TEST_F(OutputSafety, MistakesAndNoOpsAreReportedOnOneLine) {
  auto run = [&](const std::string& line) { return RunLine(Current.Path, line); };
  Prepare();
  for (const char* folder : {"fifo", "dir", "dir/DEFAULT.SET", "zero"})
    fs::create_directory(Current.File(folder));
  ASSERT_EQ(::mkfifo(Current.File("fifo.pat").c_str(), 0600), 0);
  WriteBytes(Current.File("bad.json"), Text("{\n  \"name\": \"Bad\",\n  \"needles\": -4\n}"));
  ASSERT_EQ(::mkfifo(Current.File("fifo/DEFAULT.PAL").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", Current.File("zero/DEFAULT.PAT"));
  const struct {
    std::string Line;
    int Status;
    std::string Says;
  } rows[] = {
      // Inputs that are no files are refused, not waited on.
      {"info fifo.pat", 1, "not a regular file"},
      {"info dir", 1, "not a regular file but a folder"},
      // A DEFAULT file that is no file is passed over, and said so.
      {"--dir fifo new -o x.pat", 0, "Damaged default file ignored: fifo/DEFAULT.PAL"},
      {"--dir dir new -o x.pat", 0, "Damaged default file ignored: dir/DEFAULT.SET"},
      {"--dir zero new -o x.pat", 0, "Damaged default file ignored: zero/DEFAULT.PAT"},
      {"paint in.pat --picture 1 --view machine 6,0,1 -o x.pat", 2,
       "X must be a whole number "
       "from 0 to 5: 6,0,1"},
      // Judged before the pattern (which is not there) is opened, the number at fault named.
      {"paint none.pat --picture 1 --view machine 4294967296,0,1 -o x.pat", 2, "X must be"},
      {"paint none.pat --picture 1 --view machine 0,-1,1 -o x.pat", 2, "Y must be"},
      {"draw none.pat --picture 1 --view machine line 0,0,1,1,256 -o x.pat", 2, "V must be"},
      {"draw in.pat --picture 1 --view machine fill 0,4,1 -o x.pat", 2,
       "Y must be a whole number "
       "from 0 to 3: 0,4,1"},
      {"render in.pat --preview --width-m 0x10 -o x.png", 2, "not a decimal number: 0x10"},
      {"report in.pat --run-length 10 -o x.json", 1, "laid out in PLines: in.pat"},
      {"check in.pat --rules nosuch", 2, "--rules: no rule is named \"nosuch\""},
      {"check in.pat --machine none.json", 1, "Error, machine profile file not found: none.json"},
      // A profile is read as hostile: the refusal names its line and field.
      {"check in.pat --machine bad.json", 1, "bad.json: line 3: needles"},
      {"render in.pat --preview --width-m 1e1 -o x.png", 2, "not a decimal number: 1e1"},
      {"import-bitmap painted.pat img.bmp --picture 1 --region 1 --view machine -o x.pat", 0,
       "0 cells changed"},
      {"import-bitmap painted.pat img.bmp --picture 1 --region 1 --view machine --dither ordered "
       "-o x.pat",
       2, "--dither: only with --colours nearest or reduce"},
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
    EXPECT_EQ(r.Err.ends_with(help), row.Status == 2) << row.Line << "\n" << r.Err;
    EXPECT_NE(err.find(row.Says), std::string::npos) << row.Line << "\n" << r.Err;
    EXPECT_EQ(fs::exists(Current.File("x.pat")), row.Status == 0) << row.Line;
  }

  // Standard output is checked like a file; the grids can be left out and counted instead.
  const std::string dump = "cd " + ShellQuote(Current.Path) + " && " + ShellQuote(QUILLANE_CLI) +
                           " dump in.pat >/dev/full 2>/dev/null";
  if (fs::is_character_file("/dev/full")) {
    EXPECT_NE(std::system(dump.c_str()), 0);
  }

  // Past the file size limit the write fails with its reason; no temporary is left.
  const std::string limited = "cd " + ShellQuote(Current.Path) + " && ulimit -f 8 && " +
                              ShellQuote(QUILLANE_CLI) +
                              " wizard plain --controls 400 --plines 400 -o big.pat 2>err";
  const int raw = std::system(limited.c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
  EXPECT_EQ(ReadText(Current.File("err")),
            "Cannot write file \"big.pat\". " + std::string(std::strerror(EFBIG)) + "\n");
  for (const auto& entry : fs::directory_iterator(Current.Path))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
}

TEST_F(OutputSafety, ConcurrentExportsToOneNameLeaveTheSetWholeAndOfOneWriter) {
  // A state set (TUF, DAT, CLR) and a colour set (TUF, DAT) are exported to one name at once,
  // round after round; each time both succeed and the set is all of one of them.
  std::vector<std::map<std::string, Bytes>> sets;
  for (const uint8_t type : {0, 11}) {
    auto p = MakePattern(type, 400, 300, 3);
    for (int pl = 1; pl <= 300 && type == 11; ++pl)
      for (int c = 1; c <= 400; ++c)
        p->SetMachineColour(c, pl, 1);
    const std::string name = "p" + std::to_string(type);
    p->FileName = Current.File(name + ".pat");
    p->SaveToFile();
    fs::create_directory(Current.File(name));
    const TCliResult r = RunLine(Current.Path, "export " + name + ".pat " + name + "/S.TUF");
    ASSERT_EQ(r.Status, 0) << r.Err;
    sets.push_back(Snapshot(Current.File(name)));
  }
  fs::create_directory(Current.File("set"));
  const std::string round = "cd " + ShellQuote(Current.Path) + " && C=" + ShellQuote(QUILLANE_CLI) +
                            " && { $C export p0.pat set/S.TUF & a=$!; $C export p11.pat "
                            "set/S.TUF & b=$!; wait $a && wait $b; } 2>>err";
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(std::system(round.c_str()), 0) << i << ReadText(Current.File("err"));
    const auto set = Snapshot(Current.File("set"));
    ASSERT_TRUE(set == sets[0] || set == sets[1]) << i;
  }
}

} // namespace
} // namespace quillane::test
