#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/PatternEvents.h"
#include "shell/Tabs.h"

namespace quillane {

class OPattern;
class OPatternTree;
class OPicture;
class ORegion;
class OSection;
class OWindowUI;

// The commands a node offers in the tree, as bits of GetCommands.
enum TCommandBits : uint16_t {
  cmNew = 1,
  cmOpen = 2,
  cmProduction = 4,
  cmPreview = 8,
  cmDelete = 16,
  cmImport = 32,
  cmExport = 64,
  cmClose = 128,
  cmCheck = 256,
  cmColourways = 512,
};

// A file as it stood on disk: whether another program has written it since, without
// reading it again.
struct TFileStamp {
  bool Exists = false;
  uintmax_t Size = 0;
  int64_t Time = 0; // the last write, in the file system's ticks
  friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
  static TFileStamp Of(const std::string& path);
};

// Which editor window a node's Open shows.
enum class TEditorKind : uint8_t {
  ControlSetup,
  PatternSetup,
  Picture,
  Region,
  Window,
  Section,
  Production,
  Preview,
  Check,
  Colourways
};

// The controller behind one node of the pattern tree: its name, its pattern, its element,
// and the editor window it opened. It owns the window for the window's whole life: every
// close, the user's or the node's own, is the controller letting go of it.
class ODesignUI {
public:
  ODesignUI(OPatternTree& tree, std::string name, OPattern* pattern);
  // Closes the editor first.
  virtual ~ODesignUI();
  ODesignUI(const ODesignUI&) = delete;
  ODesignUI& operator=(const ODesignUI&) = delete;

  OPattern* const Pattern;
  // The node under which this one stands; none for the root.
  ODesignUI* Parent = nullptr;
  uint32_t Colour;

  const std::string& Name() const { return NameText; }
  // Also the node's text.
  void SetName(const std::string& name);
  // The node's look may have changed (a region's import flag).
  void RepaintNode();

  // The open editor window; none while the node shows none.
  OEditor* Editor() const { return Window.get(); }

  // Called when the user closes this controller's editor window.
  virtual void QueryClose() {}
  virtual void Delete() {}
  virtual void Export() {}
  virtual void Import() {}
  virtual void New() {}
  virtual void Open() {}
  // The pattern's yarn figures in the Production window.
  virtual void Production() {}
  // The picture's pattern as carpet in its Preview window.
  virtual void Preview() {}
  // The pattern's findings against its machine in the Check window.
  virtual void Check() {}
  // The pattern's colourways side by side in the Colourways window.
  virtual void Colourways() {}
  // Writes the pattern to its file; a pattern never saved asks where, as Save As does.
  // False when nothing was written (cancelled or failed, the failure shown).
  virtual bool Save();
  virtual bool SaveAs();
  // Closes the editor asking nothing: its tab goes, the tree comes to the front and the
  // window is let go.
  void CloseEditor();
  // The user closes the editor window (its close box, a Close button or command): the
  // window may stay, holding changes it could not write back; else the node hears of it
  // and closes it. False when it stays.
  bool CloseEditorAsked();
  // The view window of the node's pattern, brought up (OPatternTree::ShowViewWindow).
  OWindowUI* ShowViewWindow();
  // A double click on the node.
  virtual void Activate() {}
  virtual uint16_t GetCommands() const { return 0; }
  virtual const char* ExportCaption() const { return " Export "; }
  virtual const char* ImportCaption() const { return " Import "; }
  // Whether the tree shows the node standing out: a region a bitmap is imported into.
  virtual bool StandsOut() const { return false; }

protected:
  OPatternTree& Tree;
  // Shows this node's editor: brings an open one to the front or creates it; either way
  // its tab is selected.
  void OpenEditor(TEditorKind kind);

private:
  std::string NameText;
  TEditorWindow Window;
};

// "Patterns", the root.
class OPatternsUI : public ODesignUI {
public:
  explicit OPatternsUI(OPatternTree& tree);
  void New() override;
  void Open() override;
  uint16_t GetCommands() const override { return cmNew | cmOpen; }
};

// A pattern's node. It owns the pattern: closing the branch frees it.
class OPatternUI : public ODesignUI {
public:
  OPatternUI(OPatternTree& tree, std::unique_ptr<OPattern> pattern);
  ~OPatternUI() override;
  void Export() override;
  void Production() override { OpenEditor(TEditorKind::Production); }
  void Check() override;
  void Colourways() override;
  uint16_t GetCommands() const override {
    return cmExport | cmClose | cmProduction | cmCheck | cmColourways;
  }
  const char* ExportCaption() const override { return " Export Tuft "; }

  // The file as this program last read or wrote it, and the outside change the user chose
  // to keep this program's version over (asked once per change).
  TFileStamp DiskStamp;
  TFileStamp KeptStamp;
  // Another program wrote the pattern's file since this program read or wrote it.
  bool ChangedOnDisk() const;

private:
  std::unique_ptr<OPattern> Owned;
  OPatternEvents::TSubscription Subscription;
  // After the pattern it checks, so that it goes first.
  std::unique_ptr<ODesignUI> CheckNode;
  std::unique_ptr<ODesignUI> ColourwaysNode;
};

// A node whose Open, and a double click on it, shows its editor window.
class OEditorNodeUI : public ODesignUI {
public:
  OEditorNodeUI(OPatternTree& tree, std::string name, OPattern& pattern, TEditorKind kind)
      : ODesignUI(tree, std::move(name), &pattern), Kind(kind) {}
  void Open() override { OpenEditor(Kind); }
  void Activate() override { Open(); }
  uint16_t GetCommands() const override { return cmOpen; }

private:
  TEditorKind Kind;
};

class OControlSetupUI : public OEditorNodeUI {
public:
  OControlSetupUI(OPatternTree& tree, OPattern& pattern);
};

class OPatternSetupUI : public OEditorNodeUI {
public:
  OPatternSetupUI(OPatternTree& tree, OPattern& pattern);
};

class OPicturesUI : public ODesignUI {
public:
  OPicturesUI(OPatternTree& tree, OPattern& pattern);
  void New() override;
  uint16_t GetCommands() const override { return cmNew; }
};

// The Preview window of a picture: no node of the tree, but the picture's, which goes with it.
class OPreviewUI : public ODesignUI {
public:
  OPreviewUI(OPatternTree& tree, OPattern& pattern, OPicture& picture, const std::string& name)
      : ODesignUI(tree, name + " Preview", &pattern), Picture(picture) {}
  OPicture& Picture;
  void Open() override { OpenEditor(TEditorKind::Preview); }
};

class OPictureUI : public OEditorNodeUI {
public:
  OPictureUI(OPatternTree& tree, OPattern& pattern, OPicture& picture);
  OPicture& Picture;
  void Delete() override;
  void Preview() override;
  uint16_t GetCommands() const override { return cmOpen | cmDelete | cmPreview; }

private:
  std::unique_ptr<OPreviewUI> PreviewNode;
};

class ORegionsUI : public ODesignUI {
public:
  ORegionsUI(OPatternTree& tree, OPattern& pattern, OPicture& picture);
  OPicture& Picture;
  void New() override;
  uint16_t GetCommands() const override { return cmNew; }
};

class ORegionUI : public OEditorNodeUI {
public:
  ORegionUI(OPatternTree& tree, OPattern& pattern, OPicture& picture, ORegion& region);
  OPicture& Picture;
  ORegion& Region;
  void Delete() override;
  // "Import Bitmap" and "Export Bitmap".
  void Import() override;
  void Export() override;
  uint16_t GetCommands() const override { return cmOpen | cmDelete | cmImport | cmExport; }
  const char* ExportCaption() const override { return " Export Bitmap "; }
  const char* ImportCaption() const override { return " Import Bitmap "; }
  bool StandsOut() const override;
};

class OWindowsUI : public ODesignUI {
public:
  OWindowsUI(OPatternTree& tree, OPattern& pattern, OPicture& picture);
  OPicture& Picture;
  void New() override;
  uint16_t GetCommands() const override { return cmNew; }
};

class OWindowUI : public OEditorNodeUI {
public:
  // Without a name: a new one.
  OWindowUI(OPatternTree& tree, OPattern& pattern, OPicture& picture, std::string name = {});
  OPicture& Picture;
  // The preview of the window's picture.
  void Preview() override;
  uint16_t GetCommands() const override { return cmOpen | cmDelete; }
};

class OSectionsUI : public ODesignUI {
public:
  OSectionsUI(OPatternTree& tree, OPattern& pattern);
  void New() override;
  uint16_t GetCommands() const override { return cmNew; }
};

class OSectionUI : public OEditorNodeUI {
public:
  OSectionUI(OPatternTree& tree, OPattern& pattern, OSection& section);
  OSection& Section;
  void Delete() override;
  uint16_t GetCommands() const override { return cmOpen | cmDelete; }
};

} // namespace quillane
