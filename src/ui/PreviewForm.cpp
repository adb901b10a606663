#include "ui/PreviewForm.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "PreviewImage.h"
#include "app/App.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"

namespace quillane {

TPreviewBox::TPreviewBox(QWidget* parent, OPreviewCanvas& canvas)
    : QWidget(parent), Canvas(canvas) {
  setObjectName(QStringLiteral("pbPreview"));
  setAccessibleName(QStringLiteral("Carpet preview"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::OpenHandCursor);
  setMinimumSize(64, 64);
}

void TPreviewBox::paintEvent(QPaintEvent* event) {
  const TPreviewView& view = Canvas.View();
  if (view.Width != width() || view.Height != height())
    Canvas.SetBox(width(), height());
  QPainter painter(this);
  const QRect r = event->rect();
  const uint32_t* buffer = Canvas.Buffer().data();
  for (const OPreviewCanvas::TPiece& piece :
       Canvas.Pieces({r.left(), r.top(), r.right() + 1, r.bottom() + 1})) {
    // Each piece an image of its own over the canvas's pixels, no copy, drawn whole: a
    // part of a larger image would take the painter's slower textured path.
    const QImage image(
        reinterpret_cast<const uchar*>(
            buffer + static_cast<size_t>(piece.Y) * static_cast<size_t>(view.Width) + piece.X),
        piece.Box.Right - piece.Box.Left, piece.Box.Bottom - piece.Box.Top, view.Width * 4,
        QImage::Format_RGB32);
    painter.drawImage(QPoint(piece.Box.Left, piece.Box.Top), image);
  }
}

void TPreviewBox::resizeEvent(QResizeEvent*) {
  Canvas.SetBox(width(), height());
}

void TPreviewBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton)
    return;
  DragFrom = event->position().toPoint();
  Dragging = true;
  setCursor(Qt::ClosedHandCursor);
}

void TPreviewBox::mouseMoveEvent(QMouseEvent* event) {
  if (!Dragging)
    return;
  const QPoint at = event->position().toPoint();
  Pan(at.x() - DragFrom.x(), at.y() - DragFrom.y());
  DragFrom = at;
}

void TPreviewBox::Pan(int dx, int dy) {
  if (const auto [x, y] = Canvas.Pan(dx, dy); x || y)
    update();
}

void TPreviewBox::Zoom(int x, int y, int steps) {
  Canvas.ZoomAt(x, y, steps);
  update();
}

void TPreviewBox::mouseReleaseEvent(QMouseEvent*) {
  Dragging = false;
  setCursor(Qt::OpenHandCursor);
}

void TPreviewBox::wheelEvent(QWheelEvent* event) {
  const int notches = Wheel.Take(event->angleDelta().y());
  if (notches == 0)
    return;
  const QPoint at = event->position().toPoint();
  Zoom(at.x(), at.y(), notches);
}

TfmPreview::TfmPreview(OPreviewUI& controller)
    : TfmEditorForm(controller), buZoomIn(AddButton("buZoomIn", " Zoom In ")),
      buZoomOut(AddButton("buZoomOut", " Zoom Out ")), buFit(AddButton("buFit", " Fit ")),
      edWidth(new QDoubleSpinBox(ToolBar1)), edSize(new QSpinBox(ToolBar1)),
      edDpi(new QSpinBox(ToolBar1)), buExport(nullptr), pbPreview(nullptr),
      tbPiles(new QTableWidget(Panel1)), Pattern(*controller.Pattern), Carpet(Pattern),
      Canvas(Carpet) {
  setObjectName(QStringLiteral("fmPreview"));
  setWindowTitle(QString::fromStdString(controller.Name()));
  auto labelled = [this](QWidget* box, const char* name, const char* caption) {
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(QString::fromLatin1(caption).remove(QLatin1Char('&')));
    auto* label = new QLabel(QString::fromLatin1(caption), ToolBar1);
    label->setBuddy(box);
    ToolBar1->addWidget(label);
    ToolBar1->addWidget(box);
  };
  ToolBar1->addSeparator();
  edWidth->setRange(0, 100);
  edWidth->setDecimals(2);
  edWidth->setSingleStep(0.5);
  edWidth->setSpecialValueText(QStringLiteral("pattern"));
  edWidth->setToolTip(
      QStringLiteral("Goods this many metres wide, the pattern repeated across; "
                     "each width continues the pattern's own repeat across the seam"));
  labelled(edWidth, "edWidth", " &Width (m) ");
  ToolBar1->addSeparator();
  edSize->setRange(16, 20000);
  edSize->setValue(PreviewLongestSide);
  labelled(edSize, "edSize", " Export &size (px) ");
  edDpi->setRange(1, 9600);
  edDpi->setValue(100);
  labelled(edDpi, "edDpi", " &DPI ");
  buExport = AddButton("buExport", " Export PNG ");

  pbPreview = new TPreviewBox(Panel1, Canvas);
  tbPiles->setObjectName(QStringLiteral("tbPiles"));
  tbPiles->setAccessibleName(QStringLiteral("Piles"));
  tbPiles->setColumnCount(3);
  tbPiles->setHorizontalHeaderLabels(
      {QStringLiteral("State"), QStringLiteral("Tuft"), QStringLiteral("Pile (mm)")});
  tbPiles->verticalHeader()->hide();
  tbPiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbPiles->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tbPiles->setMaximumWidth(260);
  auto* layout = new QHBoxLayout(Panel1);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pbPreview, 1);
  layout->addWidget(tbPiles);
  setFocusProxy(pbPreview);

  auto zoom = [this](int steps) {
    Canvas.ZoomAt(pbPreview->width() / 2, pbPreview->height() / 2, steps);
    pbPreview->update();
  };
  connect(buZoomIn, &QToolButton::clicked, this, [zoom] { zoom(1); });
  connect(buZoomOut, &QToolButton::clicked, this, [zoom] { zoom(-1); });
  connect(buFit, &QToolButton::clicked, this, [this] {
    Canvas.Fit();
    pbPreview->update();
  });
  connect(edWidth, &QDoubleSpinBox::valueChanged, this, [this](double metres) {
    Carpet.SetGoods(GoodsAcross(Pattern, metres));
    Canvas.Fit();
    pbPreview->update();
  });
  connect(buExport, &QToolButton::clicked, this, [this] {
    TFileDialog& dialog = g.UI().SaveDialog;
    dialog.DefaultExt = "PNG";
    dialog.FileName = StripExtension(Pattern.FileName) + "-preview";
    dialog.Filters = {TFileFilter::ForExtension("PNG files (*.PNG)", "PNG")};
    dialog.InitialDir = g.CurrentDir;
    dialog.Title = "Export Preview";
    dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist;
    if (ExecuteSaveDialog(dialog))
      ExportImage(dialog.FileName);
  });

  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& c) { Changed(c); });
  RefreshGrids();
}

void TfmPreview::ExportImage(const std::string& path) {
  try {
    OWaitCursor wait(g.UI());
    SavePreviewImage(Carpet, PreviewExportScale(Carpet, edSize->value()), path, edDpi->value());
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
}

void TfmPreview::ShowPiles() {
  const std::vector<TPile>& piles = Carpet.Piles();
  const bool fromFile = PileHeightsFromFile(Pattern);
  tbPiles->setRowCount(static_cast<int>(piles.size()) - 1);
  for (int row = 0; row < tbPiles->rowCount(); ++row) {
    const TPile& pile = piles[static_cast<size_t>(row) + 1];
    tbPiles->setItem(row, 0,
                     new QTableWidgetItem(QString::fromStdString(Pattern.GetStateName(row + 1))));
    auto* kind = new QComboBox(tbPiles);
    kind->addItems({QStringLiteral("Bare"), QStringLiteral("Loop"), QStringLiteral("Cut")});
    kind->setCurrentIndex(static_cast<int>(pile.Kind));
    auto* height = new QDoubleSpinBox(tbPiles);
    height->setRange(0, 100);
    height->setDecimals(1);
    height->setValue(pile.Height);
    height->setEnabled(!fromFile && pile.Kind != TPileKind::Bare);
    if (fromFile)
      height->setToolTip(QStringLiteral("From the tuft lengths of the production parameters"));
    tbPiles->setCellWidget(row, 1, kind);
    tbPiles->setCellWidget(row, 2, height);
    connect(kind, &QComboBox::currentIndexChanged, this, [this, row] { PileChosen(row); });
    connect(height, &QDoubleSpinBox::editingFinished, this, [this, row] { PileChosen(row); });
  }
}

void TfmPreview::PileChosen(int row) {
  auto* kind = static_cast<QComboBox*>(tbPiles->cellWidget(row, 1));
  auto* height = static_cast<QDoubleSpinBox*>(tbPiles->cellWidget(row, 2));
  TPile pile{static_cast<TPileKind>(kind->currentIndex()), height->value()};
  if (pile.Kind != TPileKind::Bare && !(pile.Height > 0))
    pile.Height = DefaultPile(Pattern.GetStateName(row + 1)).Height;
  RememberPile(g.Persist(), Pattern.GetStateName(row + 1), pile);
  height->setEnabled(height->toolTip().isEmpty() && pile.Kind != TPileKind::Bare);
  std::string problem;
  Carpet.SetPiles(PreviewPilesBeside(Pattern, problem, &g.Persist()));
  Canvas.DrawAll();
  pbPreview->update();
}

void TfmPreview::RefreshGrids() {
  std::string problem;
  Carpet.Refresh();
  Carpet.SetPiles(PreviewPilesBeside(Pattern, problem, &g.Persist()));
  ShowPiles();
  if (!problem.empty())
    g.UI().ShowWarning(problem + " The preview takes the default piles.");
  Canvas.DrawAll();
  pbPreview->update();
}

void TfmPreview::Changed(const TPatternChange& change) {
  using K = TPatternChange::TKind;
  switch (change.Kind) {
  case K::Cells:
    for (const TPixelRect& r : Canvas.CellsChanged(change.Area))
      pbPreview->update(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
    break;
  case K::All:
  case K::Setup:
    RefreshGrids();
    break;
  default:
    break;
  }
}

void TfmPreview::Destroy() {
  Subscription.Reset();
  TfmEditorForm::Destroy();
}

} // namespace quillane
