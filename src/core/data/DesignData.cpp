#include "data/DesignData.h"

#include <algorithm>
#include <vector>

#include "app/App.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"

namespace quillane {

namespace {
// Indexed by record kind code.
const TKindTexts Texts[] = {
    {},
    {"CRE", "Creel files (*.CRE)", "Export Creel",
     "Error creating creel file: ", "Error writing creel file: ", "Import Creel",
     "Error reading creel data: ", "Error, creel file not found ", "Error reading creel data"},
    {"DES", "Design table files (*.DES)", "Export Design Table",
     "Error creating design table file: ", "Error writing design table file: ",
     "Import Design Table Files", "Error reading design table data: ",
     "Error, design table file not found ", "Error reading design table data"},
    {"MCH", "Machine table files (*.MCH)", "Export Machine Table",
     "Error creating machine table file: ", "Error writing machine table file: ",
     "Import Machine Table Files", "Error reading machine table data: ",
     "Error, machine table file not found ", "Error reading machine table data"},
    {"PAL", "Palette files (*.PAL)", "Export Palette",
     "Error creating palette file: ", "Error writing palette file: ", "Import Palette",
     "Error reading palette data: ", "Error, palette file not found ",
     "Error reading palette data"},
    {"PAT", "", "", "", "", "", "", "", "Error reading pattern data"},
    {"PIC", "Picture files (*.PIC)", "Export Picture",
     "Error creating picture file: ", "Error writing picture file: ", "Import Picture",
     "Error reading picture data: ", "Error, picture file not found ",
     "Error reading picture data"},
    {"REG", "Region files (*.REG)", "Export Region",
     "Error creating region file: ", "Error writing region file: ", "Import Region",
     "Error reading region data: ", "Error, region file not found ", "Error reading region data"},
    {"SEC", "Section files (*.SEC)", "Export Section",
     "Error creating section file: ", "Error writing section file: ", "Import Section",
     "Error reading section data: ", "Error, section file not found ",
     "Error reading section data"},
    {"SET", "Settings files (*.SET)", "Export Settings",
     "Error creating settings file: ", "Error writing settings file: ", "Import Settings",
     "Error reading settings file: ", "Error, settings file not found ",
     "Error reading settings data"},
};

std::string LowerCase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

void PrepareDialog(TFileDialog& dialog, const TKindTexts& texts) {
  dialog.DefaultExt = texts.Extension;
  dialog.FileName = StripExtension(dialog.FileName);
  dialog.Filters = {TFileFilter::ForExtension(texts.FilterDescription, texts.Extension)};
  dialog.InitialDir = g.CurrentDir;
}
} // namespace

const TKindTexts& KindTexts(TDesignRecordKind kind) {
  auto code = static_cast<size_t>(kind);
  if (code < 1 || code >= std::size(Texts))
    throw ERangeError("Unknown record kind " + std::to_string(code));
  return Texts[code];
}

uint8_t ODesignData::ReadHeader(OReader& stream, uint8_t lowestVersion,
                                uint8_t highestVersion) const {
  uint8_t kind = stream.ReadByte();
  uint8_t version = stream.ReadByte();
  if (kind != static_cast<uint8_t>(Kind()) || version < lowestVersion || version > highestVersion)
    throw EDesignData(KindTexts(Kind()).HeaderError);
  return version;
}

bool LoadDefaultFile(const std::string& extension,
                     const std::function<bool(const TBytes&)>& tryRead) {
  // A DEFAULT.set written by hand must be found as well as DEFAULT.SET.
  const std::string names[] = {"DEFAULT." + extension, "DEFAULT." + LowerCase(extension)};
  std::vector<std::string> tried;
  for (const std::string& folder : {g.CurrentDir, g.StartDir}) {
    for (const std::string& name : names) {
      const std::string path = JoinPath(folder, name);
      // The two folders, or the two spellings, may name one file: tried (and reported) once.
      if (std::any_of(tried.begin(), tried.end(),
                      [&](const std::string& t) { return SameFile(t, path); }))
        continue;
      tried.push_back(path);
      // A damaged one, or one that is no file at all (a folder, a pipe, a device), is passed
      // over too, but the user would not know why the new pattern ignores it.
      const auto ignored = [&] { g.UI().ShowWarning("Damaged default file ignored: " + path); };
      try {
        if (tryRead(ReadFileBytes(path)))
          return true;
      } catch (const EUnreadableFile&) {
        ignored();
      } catch (const EFOpenError&) {
        // A missing default file is no error; try the next one.
      } catch (const std::exception&) {
        ignored();
      }
    }
  }
  return false;
}

bool ODesignData::LoadDefault() {
  return LoadDefaultFile(GetExtension(), [this](const TBytes& bytes) {
    // Trial read into a fresh object first, so a truncated file leaves nothing behind.
    {
      std::unique_ptr<ODesignData> trial = NewEmpty();
      OReader stream(bytes);
      trial->ReadFromStream(stream);
      stream.RequireEnd();
    }
    OReader stream(bytes);
    ReadFromStream(stream);
    return true;
  });
}

void ODesignData::ExportFlow() {
  const TKindTexts& texts = KindTexts(Kind());
  OPlatform& ui = g.UI();
  TFileDialog& dialog = ui.SaveDialog;
  PrepareDialog(dialog, texts);
  dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofShowHelp | ofPathMustExist;
  dialog.Title = texts.ExportTitle;
  if (!ExecuteSaveDialog(dialog))
    return;
  const std::string fileName = dialog.FileName;
  OWriter writer;
  try {
    WriteToStream(writer);
  } catch (const EStreamError&) {
    ui.ShowError(texts.WritingError + fileName);
    return;
  } catch (const std::exception& e) {
    // A refusal with its own reason (an object the file cannot represent).
    ui.ShowError(e.what());
    return;
  }
  try {
    WriteFileAtomic(fileName, writer.Bytes());
  } catch (const EFCreateError&) {
    ui.ShowError(texts.CreatingError + fileName);
  } catch (const std::exception&) {
    ui.ShowError(texts.WritingError + fileName);
  }
}

void ODesignData::ImportFlow(const std::function<void(OReader&)>& readAndAssign) {
  const TKindTexts& texts = KindTexts(Kind());
  OPlatform& ui = g.UI();
  TFileDialog& dialog = ui.OpenDialog;
  PrepareDialog(dialog, texts);
  dialog.Options = ofReadOnly | ofShowHelp | ofFileMustExist;
  dialog.Title = texts.ImportTitle;
  if (!ExecuteOpenDialog(dialog))
    return;
  const std::string fileName = dialog.FileName;
  TBytes bytes;
  try {
    bytes = ReadFileBytes(fileName);
  } catch (const EUnreadableFile& e) {
    ui.ShowError(e.what()); // there, but no file to read: "not found" would mislead
    return;
  } catch (const EFOpenError&) {
    ui.ShowError(texts.NotFoundError + fileName);
    return;
  } catch (const std::exception&) {
    ui.ShowError(texts.ImportReadError + fileName);
    return;
  }
  try {
    OReader stream(bytes);
    readAndAssign(stream);
  } catch (const std::exception&) {
    ui.ShowError(texts.ImportReadError + fileName);
  }
}

} // namespace quillane
