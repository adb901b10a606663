// The view window's selection: its menu, the clipboard, and the outline and floating block
// drawn over the grid. What is selected, where a block floats and what its commands do is
// the core's OSelection, reached through the window's mouse.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

#include "ImageIO.h"
#include "elements/Bitmap.h"
#include "elements/Picture.h"
#include "setup/Palette.h"
#include "ui/WindowForm.h"

namespace quillane {

namespace {

// Our own format, which keeps a block's palette values from one pattern's window to another's.
const QString BlockMime = QStringLiteral("application/x-quillane-block");

QImage ToQImage(const OBitmap24& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  for (int y = 0; y < bitmap.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.Width(); ++x)
      line[x] = ToQRgb(bitmap.GetPixel(x, y));
  }
  return image;
}

// Another program's image, unless it is larger than any picture could be.
std::optional<OBitmap24> FromQImage(const QImage& image) {
  if (image.isNull() || int64_t{image.width()} * image.height() > OPicture::MaxPixels)
    return std::nullopt;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  OBitmap24 bitmap;
  bitmap.SetSize(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uint32_t* row = bitmap.Row(y);
    for (int x = 0; x < rgb.width(); ++x)
      row[x] = FromQRgb(line[x]);
  }
  return bitmap;
}

} // namespace

void TfmWindow::BuildSelectionMenu() {
  SelectionMenu = new QMenu(this);
  SelectionMenu->setObjectName(QStringLiteral("pmSelection"));
  struct TItem {
    TSelectionCommand Command;
    const char* Name;
    QString Caption;
    QList<QKeySequence> Keys;
  };
  using C = TSelectionCommand;
  const TItem items[] = {
      {C::Copy, "miCopy", QStringLiteral("&Copy"), QKeySequence::keyBindings(QKeySequence::Copy)},
      {C::Cut, "miCut", QStringLiteral("Cu&t"), QKeySequence::keyBindings(QKeySequence::Cut)},
      {C::Paste, "miPaste", QStringLiteral("&Paste"),
       QKeySequence::keyBindings(QKeySequence::Paste)},
      {C::Delete, "miDelete", QStringLiteral("&Delete"), {QKeySequence(Qt::Key_Delete)}},
      {C::FlipHorizontal, "miFlipHorizontal", QStringLiteral("Flip &Horizontal"), {}},
      {C::FlipVertical, "miFlipVertical", QStringLiteral("Flip &Vertical"), {}},
      {C::Turn, "miTurn", QStringLiteral("T&urn 90°"), {}},
  };
  for (const TItem& item : items) {
    if (item.Command == C::FlipHorizontal)
      SelectionMenu->addSeparator();
    QAction* action = SelectionMenu->addAction(item.Caption);
    action->setObjectName(QString::fromLatin1(item.Name));
    action->setShortcuts(item.Keys);
    // Each view window's own keys, as the tools' are.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
    const TSelectionCommand command = item.Command;
    connect(action, &QAction::triggered, this, [this, command] { SelectionCommand(command); });
    SelectionActions.push_back(action);
  }
  ToolBar2->addSeparator();
  auto* button = new QToolButton(ToolBar2);
  button->setObjectName(QStringLiteral("buSelectionMenu"));
  button->setText(QStringLiteral("&Selection"));
  button->setAccessibleName(QStringLiteral("Selection"));
  button->setToolTip(QStringLiteral("Copy, cut, paste, delete, flip or turn the selection"));
  button->setFocusPolicy(Qt::TabFocus);
  button->setPopupMode(QToolButton::InstantPopup);
  button->setMenu(SelectionMenu);
  ToolBar2->addWidget(button);

  QClipboard* clipboard = QGuiApplication::clipboard();
  auto clipboardChanged = [this, clipboard] {
    const QMimeData* mime = clipboard->mimeData();
    ClipboardHasBlock = mime && (mime->hasFormat(BlockMime) || mime->hasImage());
    ShowSelectionCommands();
  };
  connect(clipboard, &QClipboard::dataChanged, this, clipboardChanged);
  clipboardChanged();
}

void TfmWindow::ShowSelectionCommands() {
  for (size_t i = 0; i < SelectionActions.size(); ++i)
    SelectionActions[i]->setEnabled(SelectionCommandEnabled(
        MouseState.Selection, static_cast<TSelectionCommand>(i), ClipboardHasBlock));
}

void TfmWindow::SelectionCommand(TSelectionCommand command) {
  OSelection& selection = MouseState.Selection;
  if (!SelectionCommandEnabled(selection, command, ClipboardHasBlock))
    return;
  const TView view = MouseState.View;
  // Our own bytes for this program's windows and an image for any other program.
  auto copy = [this](const TBlock& block) {
    if (block.Empty())
      return;
    const std::vector<uint8_t> bytes = BlockBytes(block);
    auto* mime = new QMimeData;
    mime->setData(BlockMime, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<qsizetype>(bytes.size())));
    mime->setImageData(ToQImage(BlockImage(block, *Palette)));
    QGuiApplication::clipboard()->setMimeData(mime);
  };
  std::string why;
  switch (command) {
  case TSelectionCommand::Copy:
    copy(selection.Copy(view));
    break;
  case TSelectionCommand::Cut:
    copy(selection.Cut(view, &why));
    break;
  case TSelectionCommand::Paste: {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    std::optional<TBlock> block;
    if (mime && mime->hasFormat(BlockMime)) {
      const QByteArray bytes = mime->data(BlockMime);
      block = BlockFromBytes(reinterpret_cast<const uint8_t*>(bytes.constData()),
                             static_cast<size_t>(bytes.size()));
    }
    if (!block && mime && mime->hasImage())
      if (const auto image = FromQImage(qvariant_cast<QImage>(mime->imageData())))
        block = BlockFromImage(Pattern, Picture, *image);
    if (!block || block->Empty()) {
      why = "The clipboard holds no block or image to paste";
      break;
    }
    // The block moves with the selection tool, whichever tool pasted it.
    if (ChosenTool(MouseState) != TDrawTool::Selection)
      ChooseTool(TDrawTool::Selection);
    why = PasteInView(MouseState, std::move(*block));
    break;
  }
  case TSelectionCommand::Delete:
    why = selection.Delete(view);
    break;
  case TSelectionCommand::FlipHorizontal:
    selection.FlipHorizontal(view);
    break;
  case TSelectionCommand::FlipVertical:
    selection.FlipVertical(view);
    break;
  case TSelectionCommand::Turn:
    selection.Turn(view);
    break;
  }
  if (!why.empty())
    Status(why);
  // A turned block may reach anywhere the old one did not.
  PaintBox1->update();
  ShowSelectionCommands();
}

void TfmWindow::PaintSelection(QPainter& painter, const QRegion& exposed) {
  const OSelection& selection = MouseState.Selection;
  if (!selection.Area && !selection.Floating)
    return;
  painter.setClipRegion(exposed);
  const TViewFrame f = View.Frame();
  if (const auto& floating = selection.Floating) {
    // Only the part in sight, one image pixel a picture pixel, stretched as the grid is.
    const TBlock& block = floating->Block;
    const int left = std::max(floating->At.C, f.X0);
    const int right = std::min(floating->At.C + block.Width, f.X1) - 1;
    const int bottom = std::max(floating->At.R, f.Y0);
    const int top = std::min(floating->At.R + block.Height, f.Y1) - 1;
    if (left <= right && bottom <= top) {
      QImage part(right - left + 1, top - bottom + 1, QImage::Format_RGB32);
      for (int r = top; r >= bottom; --r) {
        auto* line = reinterpret_cast<QRgb*>(part.scanLine(top - r));
        for (int c = left; c <= right; ++c)
          line[c - left] =
              ToQRgb(Swap(Palette->GetColour(block.At(c - floating->At.C, r - floating->At.R))));
      }
      const TScreenRect s = View.ScreenRect({left, bottom, right, top});
      painter.drawImage(QRect(s.Left, s.Top, s.Right - s.Left, s.Bottom - s.Top), part);
    }
  }
  if (selection.Area) {
    const TScreenRect s = View.ScreenRect(*selection.Area);
    if (s.Empty())
      return;
    // Black dashes on white show on any colour; drawn just outside, they hide no pixel.
    const QRect outline(s.Left - 1, s.Top - 1, s.Right - s.Left + 1, s.Bottom - s.Top + 1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(outline);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(outline);
  }
}

} // namespace quillane
