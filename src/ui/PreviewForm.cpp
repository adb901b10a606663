#include "ui/PreviewForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "PreviewImage.h"
#include "SheetPdf.h"
#include "TrueSizePdf.h"
#include "app/App.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"

namespace quillane {

namespace {

// Thrown from a progress report when the user cancels; the work's file is not written.
struct TCancelled {};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The part of the picture the box shows, as a print at true size takes it.
TTrueSizeOptions TrueSizeOptions(const OStrikeOffEditor& strike, const TPreviewView& view,
                                 const QString& title) {
  const TPrintArea area = strike.PrintArea(view);
  TTrueSizeOptions options;
  options.Left = area.Left;
  options.Top = area.Top;
  options.Width = area.Width;
  options.Length = area.Length;
  options.EdgesAcross = area.EdgesAcross;
  options.EdgesAlong = area.EdgesAlong;
  options.Title = (title + QStringLiteral(": ")).toStdString() + area.Title;
  options.Paper = LocalPageSize().id() == QPageSize::Letter ? TPaper::Letter : TPaper::A4;
  return options;
}

} // namespace

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
  if (!ScaleBarOf)
    return;
  // Light on dark edges, so that it reads over any carpet.
  const TScaleBar bar = ScaleBarOf(view.Scale);
  const int x = ScaleBarMargin, y = height() - ScaleBarMargin - 8;
  const QRect line(x, y, bar.Pixels, 8);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawRect(line);
  painter.fillRect(x + 1, y + 1, std::max(bar.Pixels / 2 - 1, 0), 7, Qt::black);
  const QRect label(x, y - 22, std::max(bar.Pixels, 120), 20);
  painter.setPen(Qt::black);
  painter.drawText(label.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, Q(bar.Label));
  painter.setPen(Qt::white);
  painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, Q(bar.Label));
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
    : TfmEditorForm(controller), buZoomIn(AddButton("buZoomIn", " Zoom &In ")),
      buZoomOut(AddButton("buZoomOut", " Zoom O&ut ")), buFit(AddButton("buFit", " &Fit ")),
      edWidth(new QDoubleSpinBox(ToolBar1)), edSize(new QSpinBox(ToolBar1)),
      edDpi(new QSpinBox(ToolBar1)), buExport(nullptr), buPrint(nullptr), buSavePdf(nullptr),
      pbPreview(nullptr), tbPiles(new QTableWidget(Panel1)), Pattern(*controller.Pattern),
      Carpet(Pattern), Canvas(Carpet), Strike(Pattern, Carpet), ScoreTimer(new QTimer(this)) {
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
  buExport = AddButton("buExport", " &Export PNG... ");
  buExport->setAccessibleName(QStringLiteral("Export PNG"));
  ToolBar1->addSeparator();
  buPrint = AddButton("buPrint", " &Print... ");
  buPrint->setAccessibleName(QStringLiteral("Print at true size"));
  buPrint->setToolTip(QStringLiteral("Print the part shown at its real size"));
  buSavePdf = AddButton("buSavePdf", " Save &true-size PDF... ");
  buSavePdf->setAccessibleName(QStringLiteral("Save true-size PDF"));

  pbPreview = new TPreviewBox(Panel1, Canvas);
  pbPreview->ScaleBarOf = [this](double scale) { return Strike.ScaleBar(scale); };
  tbPiles->setObjectName(QStringLiteral("tbPiles"));
  tbPiles->setAccessibleName(QStringLiteral("Piles"));
  tbPiles->setColumnCount(3);
  tbPiles->setHorizontalHeaderLabels(
      {QStringLiteral("State"), QStringLiteral("Tuft"), QStringLiteral("Pile (mm)")});
  tbPiles->verticalHeader()->hide();
  tbPiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbPiles->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tbPiles->setMaximumWidth(280);
  auto* layout = new QHBoxLayout(Panel1);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pbPreview, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(MakeStrikeOffPanel());
  side->addWidget(tbPiles, 1);
  layout->addLayout(side);
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
    dialog.FileName = StripExtension(Pattern.FileName) + Strike.ExportSuffix();
    dialog.Filters = {TFileFilter::ForExtension("PNG files (*.PNG)", "PNG")};
    dialog.InitialDir = g.CurrentDir;
    dialog.Title = Strike.ExportTitle();
    dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist;
    if (ExecuteSaveDialog(dialog))
      ExportImage(dialog.FileName);
  });
  connect(buPrint, &QToolButton::clicked, this, &TfmPreview::Print);
  connect(buSavePdf, &QToolButton::clicked, this, [this] {
    TFileDialog& dialog = g.UI().SaveDialog;
    dialog.DefaultExt = "PDF";
    dialog.FileName = StripExtension(Pattern.FileName) + Strike.ExportSuffix() + "-true-size";
    dialog.Filters = {TFileFilter::ForExtension("PDF files (*.PDF)", "PDF")};
    dialog.InitialDir = g.CurrentDir;
    dialog.Title = "Save True-Size PDF";
    dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist;
    if (ExecuteSaveDialog(dialog))
      SavePdf(dialog.FileName);
  });
  ScoreTimer->setSingleShot(true);
  ScoreTimer->setInterval(400);
  connect(ScoreTimer, &QTimer::timeout, this, [this] {
    Strike.Refresh();
    ShowStrikeOffFields();
  });

  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& c) { Changed(c); });
  RefreshGrids();
}

QWidget* TfmPreview::MakeStrikeOffPanel() {
  auto* box = new QGroupBox(QStringLiteral("Strike-off"), Panel1);
  box->setObjectName(QStringLiteral("gbStrikeOff"));
  box->setMaximumWidth(280);
  auto* form = new QFormLayout(box);
  auto named = [](QWidget* field, const char* name, const char* accessible) {
    field->setObjectName(QString::fromLatin1(name));
    field->setAccessibleName(QString::fromLatin1(accessible));
    return field;
  };
  auto row = [&](const char* caption, QWidget* field) {
    auto* label = new QLabel(QString::fromLatin1(caption), box);
    label->setBuddy(field);
    form->addRow(label, field);
  };
  auto sizes = [](QComboBox* list, const std::vector<std::string>& items) {
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& item : items)
      list->addItem(Q(item));
  };

  cbCarpet = new QComboBox(box);
  cbCarpet->addItems(
      {QStringLiteral("Goods"), QStringLiteral("Tiles"), QStringLiteral("Broadloom")});
  row("&Carpet", named(cbCarpet, "cbCarpet", "Carpet shown"));

  cbTileSize = new QComboBox(box);
  sizes(cbTileSize, OStrikeOffEditor::TileSizes());
  cbTileSize->setToolTip(QStringLiteral("Square tiles of this size: 500 mm, 18 in, or typed"));
  row("Tile si&ze", named(cbTileSize, "cbTileSize", "Tile size"));

  // Each installation with the share of its joins that do not match beside it.
  auto* installs = new QWidget(box);
  auto* grid = new QGridLayout(installs);
  grid->setContentsMargins(0, 0, 0, 0);
  auto* group = new QButtonGroup(installs);
  static const char* const captions[] = {"Mo&nolithic", "&Quarter turn", "&Ashlar", "&Half drop"};
  static const char* const names[] = {"rbMonolithic", "rbQuarterTurn", "rbAshlar", "rbHalfDrop"};
  static const char* const scores[] = {"lbScoreMonolithic", "lbScoreQuarterTurn", "lbScoreAshlar",
                                       "lbScoreHalfDrop"};
  for (size_t i = 0; i < rbInstall.size(); ++i) {
    const std::string name(InstallName(AllInstalls[i]));
    rbInstall[i] = new QRadioButton(QString::fromLatin1(captions[i]), installs);
    named(rbInstall[i], names[i], name.c_str());
    lbScore[i] = new QLabel(installs);
    named(lbScore[i], scores[i], (name + " joins").c_str());
    lbScore[i]->setToolTip(
        QStringLiteral("The share of tufts along the joins that differ from the one across"));
    group->addButton(rbInstall[i], static_cast<int>(i));
    grid->addWidget(rbInstall[i], static_cast<int>(i), 0);
    grid->addWidget(lbScore[i], static_cast<int>(i), 1);
  }
  rbInstall[0]->setChecked(true);
  form->addRow(installs);

  cbJoins = new QCheckBox(QStringLiteral("&Joins shown"), box);
  cbJoins->setChecked(true);
  form->addRow(named(cbJoins, "cbJoins", "Joins shown"));

  cbBroadloom = new QComboBox(box);
  sizes(cbBroadloom, OStrikeOffEditor::BroadloomWidths());
  row("&Broadloom width", named(cbBroadloom, "cbBroadloom", "Broadloom width"));
  cbMatch = new QComboBox(box);
  cbMatch->addItems({QStringLiteral("Set"), QStringLiteral("Drop")});
  cbMatch->setToolTip(QStringLiteral("Set: the repeats side by side; drop: each width dropped by "
                                     "half a repeat"));
  row("&Match", named(cbMatch, "cbMatch", "Match"));
  edBow = new QLineEdit(box);
  edBow->setToolTip(QStringLiteral("How far the middle of a line across lies behind its ends"));
  row("B&ow", named(edBow, "edBow", "Bow"));
  edSkew = new QLineEdit(box);
  edSkew->setToolTip(QStringLiteral("How far the right end of a line across lies behind its left"));
  row("S&kew", named(edSkew, "edSkew", "Skew"));
  edRoom = new QLineEdit(box);
  edRoom->setPlaceholderText(QStringLiteral("e.g. 9 x 13 m"));
  edRoom->setToolTip(QStringLiteral("The room's width x length; empty: a few tiles or widths"));
  row("&Room", named(edRoom, "edRoom", "Room size"));

  lbTileCut = new QLabel(box);
  lbRepeatFit = new QLabel(box);
  for (QLabel* text : {lbTileCut, lbRepeatFit}) {
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(text);
  }
  named(lbTileCut, "lbTileCut", "Where the tile cuts the pattern");
  named(lbRepeatFit, "lbRepeatFit", "Repeat fit");

  connect(cbCarpet, &QComboBox::currentIndexChanged, this, [this](int index) {
    Strike.SetView(static_cast<TStrikeView>(index));
    StrikeOffChanged();
  });
  // A typed size counts when its field is left or Enter pressed, a listed one when chosen.
  auto typed = [this](QComboBox* list, std::string (OStrikeOffEditor::*set)(const std::string&)) {
    auto take = [this, list, set] {
      if (list->currentText().toStdString() ==
          (list == cbTileSize ? Strike.TileSizeText() : Strike.BroadloomWidthText()))
        return;
      Typed(list, (Strike.*set)(list->currentText().toStdString()));
    };
    connect(list, &QComboBox::activated, this, take);
    connect(list->lineEdit(), &QLineEdit::editingFinished, this, take);
  };
  typed(cbTileSize, &OStrikeOffEditor::SetTileSize);
  typed(cbBroadloom, &OStrikeOffEditor::SetBroadloomWidth);
  auto line = [this](QLineEdit* edit, std::string (OStrikeOffEditor::*set)(const std::string&),
                     std::string (OStrikeOffEditor::*shown)() const) {
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, set, shown] {
      if (edit->text().toStdString() != (Strike.*shown)())
        Typed(edit, (Strike.*set)(edit->text().toStdString()));
    });
  };
  line(edBow, &OStrikeOffEditor::SetBow, &OStrikeOffEditor::BowText);
  line(edSkew, &OStrikeOffEditor::SetSkew, &OStrikeOffEditor::SkewText);
  line(edRoom, &OStrikeOffEditor::SetRoom, &OStrikeOffEditor::RoomText);
  connect(group, &QButtonGroup::idClicked, this, [this](int id) {
    Strike.SetInstall(AllInstalls[static_cast<size_t>(id) % std::size(AllInstalls)]);
    StrikeOffChanged();
  });
  connect(cbJoins, &QCheckBox::toggled, this, [this](bool shown) {
    Strike.SetJoins(shown);
    StrikeOffChanged();
  });
  connect(cbMatch, &QComboBox::currentIndexChanged, this, [this](int index) {
    Strike.SetMatch(index == 1 ? TMatch::Drop : TMatch::Set);
    StrikeOffChanged();
  });
  return box;
}

void TfmPreview::Typed(QWidget* field, const std::string& problem) {
  // The field shows what holds before any message, so that leaving it for the message
  // box finds nothing new to take.
  ShowStrikeOffFields();
  if (!problem.empty()) {
    g.UI().ShowMessage(problem);
    field->setFocus();
    return;
  }
  StrikeOffChanged();
}

void TfmPreview::StrikeOffChanged() {
  ShowStrikeOffFields();
  // A new picture, or one of a new size, is fitted; a change within the same room (joins,
  // bow, an installation) keeps the place and zoom the user chose.
  const OCarpetPicture& picture = Strike.Picture();
  const std::pair<int64_t, int64_t> size{picture.GoodsWidth(1000), picture.GoodsHeight(1000)};
  if (&picture != &Canvas.Picture() || size != ShownSize)
    Canvas.Show(picture);
  else
    Canvas.DrawAll();
  ShownSize = size;
  pbPreview->update();
}

void TfmPreview::ShowStrikeOffFields() {
  const QSignalBlocker quiet(cbCarpet);
  cbCarpet->setCurrentIndex(static_cast<int>(Strike.View()));
  edWidth->setEnabled(Strike.GoodsFieldsEnabled());
  const bool tiles = Strike.TileFieldsEnabled(), broadloom = Strike.BroadloomFieldsEnabled();
  cbTileSize->setEnabled(tiles);
  for (size_t i = 0; i < rbInstall.size(); ++i) {
    rbInstall[i]->setEnabled(tiles);
    lbScore[i]->setEnabled(tiles);
    if (i < Strike.InstallScores().size())
      lbScore[i]->setText(Q(Strike.InstallScores()[i]));
  }
  for (QWidget* field : std::initializer_list<QWidget*>{cbBroadloom, cbMatch, edBow, edSkew})
    field->setEnabled(broadloom);
  edRoom->setEnabled(Strike.RoomFieldsEnabled());
  cbJoins->setEnabled(Strike.RoomFieldsEnabled());
  cbTileSize->setEditText(Q(Strike.TileSizeText()));
  cbBroadloom->setEditText(Q(Strike.BroadloomWidthText()));
  edBow->setText(Q(Strike.BowText()));
  edSkew->setText(Q(Strike.SkewText()));
  edRoom->setText(Q(Strike.RoomText()));
  lbTileCut->setText(Q(Strike.TileCutText()));
  lbTileCut->setVisible(!lbTileCut->text().isEmpty());
  lbRepeatFit->setText(Q(Strike.RepeatFitText()));
  lbRepeatFit->setVisible(!lbRepeatFit->text().isEmpty());
}

void TfmPreview::ExportImage(const std::string& path) {
  try {
    const OCarpetPicture& picture = Strike.Picture();
    OProgress progress(g.UI(), "Exporting " + path, 100);
    SavePreviewImage(picture, PreviewExportScale(picture, edSize->value()), path, edDpi->value(),
                     [&progress](int percent) {
                       if (!progress.Step(percent))
                         throw TCancelled();
                     });
  } catch (const TCancelled&) {
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
}

void TfmPreview::SavePdf(const std::string& path) {
  try {
    const TTrueSizeOptions options = TrueSizeOptions(Strike, Canvas.View(), windowTitle());
    const TTrueSizeLayout layout = TrueSizePages(options);
    if (layout.Pages.size() > 1 &&
        !g.UI().Confirm(OStrikeOffEditor::PagesQuestion(
            layout.Columns, layout.Rows, options.Paper == TPaper::Letter ? "Letter" : "A4", false)))
      return;
    OWaitCursor wait(g.UI());
    SaveTrueSizePdf(path, Strike.Picture(), options);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
}

void TfmPreview::Print() {
  try {
    TTrueSizeOptions options = TrueSizeOptions(Strike, Canvas.View(), windowTitle());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(LocalPageSize());
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print at True Size"));
    if (dialog.exec() != QDialog::Accepted)
      return;
    const bool letter = printer.pageLayout().pageSize().id() == QPageSize::Letter;
    options.Paper = letter ? TPaper::Letter : TPaper::A4;
    const TTrueSizeLayout layout = TrueSizePages(options);
    if (layout.Pages.size() > 1 &&
        !g.UI().Confirm(OStrikeOffEditor::PagesQuestion(layout.Columns, layout.Rows,
                                                        letter ? "Letter" : "A4", true)))
      return;
    // The whole sheet is drawn on, so that a millimetre of the drawing is one of paper.
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
    printer.setPageOrientation(layout.Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    OProgress progress(g.UI(), "Printing " + windowTitle().toStdString(),
                       static_cast<int64_t>(layout.Pages.size()));
    QPainter painter;
    if (!painter.begin(&printer))
      throw Exception("The printer cannot be started");
    const QRectF paper(QPointF(0, 0), printer.paperRect(QPrinter::DevicePixel).size());
    for (size_t i = 0; i < layout.Pages.size(); ++i) {
      if (!progress.Step(static_cast<int64_t>(i))) {
        printer.abort();
        return;
      }
      if (i > 0)
        printer.newPage();
      PaintTrueSizePage(painter, paper, Strike.Picture(), options, layout, i);
    }
    painter.end();
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
  Strike.Refresh();
  ShowStrikeOffFields();
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
  // The strike-off reads the refreshed preview when drawn; its scores are compared anew.
  ScoreTimer->stop();
  Strike.Refresh();
  ShowStrikeOffFields();
  Canvas.DrawAll();
  pbPreview->update();
}

void TfmPreview::Changed(const TPatternChange& change) {
  using K = TPatternChange::TKind;
  switch (change.Kind) {
  case K::Cells:
    for (const TPixelRect& r : Canvas.CellsChanged(change.Area))
      pbPreview->update(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
    if (Strike.View() == TStrikeView::Tiles)
      ScoreTimer->start();
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
