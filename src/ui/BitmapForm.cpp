#include "ui/BitmapForm.h"

#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "ImageIO.h"
#include "app/App.h"
#include "data/DesignOwner.h"
#include "editors/ViewStates.h"
#include "elements/Region.h"
#include "model/BitmapStates.h"
#include "model/Pattern.h"
#include "ui/DesignForm.h"
#include "ui/PaletteStrip.h"

namespace quillane {

// The cells the region will receive, a block each and never smoothed, or at a toggle the
// drawing itself scaled to fit; both keep their proportions.
class TBitmapPreview : public QFrame {
public:
  TBitmapPreview(QWidget* parent, const OBitmap24& bitmap)
      : QFrame(parent), Source(ToImage(bitmap)) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAccessibleName(QStringLiteral("Bitmap"));
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMouseTracking(true);
  }
  // Builds the cells' picture for a size; called again as the size changes.
  std::function<QImage(QSize)> MakeCells;
  bool Original = false;
  void Refresh() {
    Cells = MakeCells ? MakeCells(contentsRect().size()) : QImage();
    Scale();
    update();
  }
  const QImage& Shown() const { return Scaled; }

  static QImage ToImage(const OBitmap24& bitmap) {
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      const uint32_t* row = bitmap.Row(y);
      for (int x = 0; x < bitmap.Width(); ++x)
        line[x] = ToQRgb(row[x]);
    }
    return image;
  }

protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect inside = contentsRect();
    painter.drawImage(inside.x() + (inside.width() - Scaled.width()) / 2,
                      inside.y() + (inside.height() - Scaled.height()) / 2, Scaled);
  }
  void resizeEvent(QResizeEvent* event) override {
    QFrame::resizeEvent(event);
    Refresh();
  }

private:
  QImage Source, Cells, Scaled;
  // Scaled once per size, not per paint: the drawing may be large.
  void Scale() {
    const QSize size = contentsRect().size();
    if (Original || Cells.isNull())
      Scaled = Source.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else
      Scaled = Cells.scaled(size, Qt::KeepAspectRatio, Qt::FastTransformation);
  }
};

TColourColumn::TColourColumn(TfmBitmap& form, bool palette, const char* name)
    : QWidget(&form), Form(form), Palette(palette) {
  setObjectName(QString::fromLatin1(name));
  setAccessibleName(palette ? QStringLiteral("Assigned palette colours")
                            : QStringLiteral("Bitmap colours"));
  setAccessibleDescription(
      QStringLiteral("Up and Down choose a colour; Space gives it the left button's palette "
                     "colour, Shift+Space the right button's"));
  setFixedWidth(40);
  setMinimumHeight(120);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void TColourColumn::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const OBitmapMapping& m = Form.Work;
  const int h = m.RowHeight(height());
  for (int i = 1; i <= m.NoBitmapColours; ++i) {
    const QRect box(0, (i - 1) * h, width(), h);
    const OPaletteEntry index = m.Mapping[static_cast<size_t>(i)];
    const uint32_t colour =
        Palette ? m.WorkPalette.GetColour(index) : m.BitmapColours[static_cast<size_t>(i)];
    painter.fillRect(box, QColor::fromRgb(ToQRgb(colour)));
    if (Palette) {
      painter.save();
      painter.setClipRect(box);
      painter.setPen(QColor::fromRgb(ToQRgb(LabelInk(colour))));
      painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QString::number(index));
      painter.restore();
    }
    if (hasFocus() && i == Current) {
      painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
      painter.drawRect(box.adjusted(1, 1, -1, -1));
    }
  }
}

void TColourColumn::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Hint(Form.Work.RowAt(width(), height(), at.x(), at.y()));
}

void TColourColumn::leaveEvent(QEvent*) {
  Form.StatusBar1->clearMessage();
}

void TColourColumn::mousePressEvent(QMouseEvent* event) {
  const TMouseButton button = event->button() == Qt::LeftButton    ? TMouseButton::Left
                              : event->button() == Qt::RightButton ? TMouseButton::Right
                                                                   : TMouseButton::Middle;
  const QPoint at = event->position().toPoint();
  if (Form.Work.Press(button, Form.pbPalette->Box(), width(), height(), at.x(), at.y()))
    Changed(Form.Work.RowAt(width(), height(), at.x(), at.y()));
}

void TColourColumn::keyPressEvent(QKeyEvent* event) {
  if (Form.Work.NoBitmapColours == 0) {
    QWidget::keyPressEvent(event);
  } else if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
    Current = Form.Work.KeyRow(Current, event->key() == Qt::Key_Up ? -1 : 1);
    Hint(Current);
    update();
  } else if (event->key() == Qt::Key_Space) {
    Form.Work.KeyAssign(Current, Form.pbPalette->Box(), event->modifiers() & Qt::ShiftModifier);
    Changed(Current);
  } else {
    QWidget::keyPressEvent(event);
  }
}

void TColourColumn::focusInEvent(QFocusEvent* event) {
  Current = Form.Work.KeyRow(Current, 0);
  Hint(Current);
  QWidget::focusInEvent(event);
  update();
}

void TColourColumn::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void TColourColumn::Hint(int row) {
  Form.StatusBar1->showMessage(QString::fromStdString(Palette ? Form.Work.PaletteColourHint(row)
                                                              : Form.Work.BitmapColourHint(row)));
}

void TColourColumn::Changed(int row) {
  Form.pbBitmapColours->update();
  Form.pbPaletteColours->update();
  Form.CellsChanged();
  Hint(row);
}

namespace {

QRadioButton* NewRadio(QWidget* parent, const char* name, const char* caption,
                       const char* hint = nullptr) {
  auto* radio = new QRadioButton(QString::fromLatin1(caption), parent);
  radio->setObjectName(QString::fromLatin1(name));
  radio->setAccessibleName(radio->text());
  if (hint)
    radio->setToolTip(QString::fromLatin1(hint));
  return radio;
}

} // namespace

TfmBitmap::TfmBitmap(ORegion& region, OBitmap24 bitmap, QWidget* parent)
    : QDialog(parent), Work(region, std::move(bitmap)), ToolBar1(new QToolBar(this)),
      buPalette(AddToolButton(*ToolBar1, "buPalette", "Palette", "Update Palette")),
      buCancel(AddToolButton(*ToolBar1, "buCancel", "Cancel")),
      buApply(AddToolButton(*ToolBar1, "buApply", "Apply", "Apply Bitmap")),
      rbDesign(NewRadio(this, "rbDesign", "Design", "Design View")),
      rbMachine(NewRadio(this, "rbMachine", "Machine", "Machine View")),
      cbColours(new QComboBox(this)), cbDither(new QComboBox(this)), seReduce(new QSpinBox(this)),
      cbTakeColours(new QCheckBox(QStringLiteral("&Take colours into palette"), this)),
      cbOriginal(new QCheckBox(QStringLiteral("&Original"), this)), lbUnstated(new QLabel(this)),
      imBitmap(new TBitmapPreview(this, Work.Bitmap())),
      pbPalette(new TPaletteStrip(this, &Work.WorkPalette, false)),
      pbBitmapColours(new TColourColumn(*this, false, "pbBitmapColours")),
      pbPaletteColours(new TColourColumn(*this, true, "pbPaletteColours")),
      StatusBar1(new QStatusBar(this)) {
  setObjectName(QStringLiteral("fmBitmap"));
  setWindowTitle(QStringLiteral("Import Bitmap"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setAccessibleName(QStringLiteral("Toolbar"));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ToolBar1->addSeparator();
  ToolBar1->addWidget(rbDesign);
  ToolBar1->addWidget(rbMachine);
  imBitmap->setObjectName(QStringLiteral("imBitmap"));
  pbPalette->setObjectName(QStringLiteral("pbPalette"));
  pbPalette->setFixedWidth(40);
  pbPalette->setFocusPolicy(Qt::StrongFocus);
  pbPalette->setAccessibleDescription(
      QStringLiteral("Up and Down choose the left button's colour, with Shift the right's"));
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setAccessibleName(QStringLiteral("Status"));
  StatusBar1->setSizeGripEnabled(false);

  // The assignment: its mode, the reduction's count, the dithering; then the preview's toggle.
  auto* choices = new QHBoxLayout;
  choices->setContentsMargins(8, 4, 8, 0);
  auto labelled = [&](QWidget* control, const char* name, const char* caption) {
    control->setObjectName(QString::fromLatin1(name));
    auto* label = new QLabel(QString::fromLatin1(caption), this);
    label->setBuddy(control);
    control->setAccessibleName(label->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    choices->addWidget(label);
    choices->addWidget(control);
  };
  cbColours->addItems(
      {QStringLiteral("Exact"), QStringLiteral("Nearest"), QStringLiteral("Reduce")});
  cbDither->addItems(
      {QStringLiteral("None"), QStringLiteral("Floyd-Steinberg"), QStringLiteral("Ordered")});
  seReduce->setRange(1, std::max(1, Work.MaxColours));
  labelled(cbColours, "cbColours", "&Colours:");
  labelled(seReduce, "seReduce", "&Reduce to:");
  choices->addWidget(cbTakeColours);
  labelled(cbDither, "cbDither", "D&ithering:");
  choices->addStretch(1);
  choices->addWidget(cbOriginal);
  cbTakeColours->setObjectName(QStringLiteral("cbTakeColours"));
  cbTakeColours->setAccessibleName(QStringLiteral("Take colours into palette"));
  cbOriginal->setObjectName(QStringLiteral("cbOriginal"));
  cbOriginal->setAccessibleName(QStringLiteral("Original"));
  cbOriginal->setToolTip(QStringLiteral("Show the drawing instead of its cells"));
  // Tab goes as the controls are laid out, then through the preview's neighbours.
  QWidget* order[] = {cbColours, seReduce, cbTakeColours, cbDither, cbOriginal};
  for (size_t i = 1; i < std::size(order); ++i)
    QWidget::setTabOrder(order[i - 1], order[i]);
  lbUnstated->setObjectName(QStringLiteral("lbUnstated"));
  StatusBar1->addPermanentWidget(lbUnstated);

  auto* body = new QHBoxLayout;
  body->setContentsMargins(8, 8, 8, 8);
  body->setSpacing(8);
  body->addWidget(imBitmap, 1);
  body->addWidget(pbPalette);
  body->addWidget(pbBitmapColours);
  body->addWidget(pbPaletteColours);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ToolBar1);
  layout->addLayout(choices);
  layout->addLayout(body, 1);
  layout->addWidget(StatusBar1);
  resize(640, 440);
  setMouseTracking(true);

  // The choices of the last import, the design view at first.
  const bool offersDesign = OffersDesignView(*region.Owner);
  const TImportChoices kept = TImportChoices::Read(g.Persist(), offersDesign, Work.MaxColours);
  rbDesign->setEnabled(offersDesign);
  (kept.Machine ? rbMachine : rbDesign)->setChecked(true);
  cbColours->setCurrentIndex(static_cast<int>(kept.Assignment.Mode));
  cbDither->setCurrentIndex(static_cast<int>(kept.Assignment.Dither));
  seReduce->setValue(kept.Assignment.ReduceTo > 0 ? kept.Assignment.ReduceTo : Work.MaxColours);
  cbTakeColours->setChecked(kept.Assignment.TakeColours);
  imBitmap->MakeCells = [this](QSize size) {
    const bool machine = rbMachine->isChecked();
    return TBitmapPreview::ToImage(
        CellPicture(Cells, Work.WorkPalette, machine, size.width(), size.height()));
  };
  Choose();
  for (QRadioButton* radio : {rbDesign, rbMachine})
    connect(radio, &QRadioButton::toggled, this, [this](bool on) {
      if (on)
        Choose();
    });
  connect(cbColours, &QComboBox::currentIndexChanged, this, [this] { Choose(); });
  connect(cbDither, &QComboBox::currentIndexChanged, this, [this] { Choose(); });
  connect(seReduce, &QSpinBox::valueChanged, this, [this] { Choose(); });
  connect(cbTakeColours, &QCheckBox::toggled, this, [this] { Choose(); });
  connect(cbOriginal, &QCheckBox::toggled, this, [this](bool on) {
    imBitmap->Original = on;
    imBitmap->Refresh();
  });
  connect(buPalette, &QToolButton::clicked, this, [this] {
    Work.UpdatePalette();
    Repaint();
    CellsChanged();
  });
  connect(buCancel, &QToolButton::clicked, this, [this] {
    Work.Choice = OBitmapMapping::TChoice::Cancel;
    QDialog::reject();
  });
  connect(buApply, &QToolButton::clicked, this, [this] {
    Work.Choice = OBitmapMapping::TChoice::Apply;
    accept();
  });
  pbPalette->installEventFilter(this);
  imBitmap->installEventFilter(this);
  MoveFocusOnEnter(*this, [this] { focusNextChild(); });
}

TfmBitmap::~TfmBitmap() = default;

void TfmBitmap::ShowHint(const std::string& text) {
  if (text.empty())
    StatusBar1->clearMessage();
  else
    StatusBar1->showMessage(QString::fromStdString(text));
}

void TfmBitmap::Repaint() {
  pbPalette->update();
  pbBitmapColours->update();
  pbPaletteColours->update();
}

TImportChoices TfmBitmap::Chosen() const {
  TImportChoices c;
  c.Machine = rbMachine->isChecked();
  c.Assignment.Mode = static_cast<TColourMode>(std::max(0, cbColours->currentIndex()));
  c.Assignment.Dither = static_cast<TDither>(std::max(0, cbDither->currentIndex()));
  c.Assignment.ReduceTo = seReduce->value();
  c.Assignment.TakeColours = cbTakeColours->isChecked();
  return c;
}

void TfmBitmap::Choose() {
  const TImportChoices c = Chosen();
  c.Write(g.Persist());
  const bool exact = c.Assignment.Mode == TColourMode::Exact,
             reduce = c.Assignment.Mode == TColourMode::Reduce;
  seReduce->setEnabled(reduce);
  cbTakeColours->setEnabled(reduce);
  cbDither->setEnabled(!exact);
  {
    OWaitCursor wait;
    if (auto* pattern = dynamic_cast<OPattern*>(Work.Region.Owner))
      Work.States = StatedEntries(*pattern, c.Machine);
    // Exact's rows are the drawing's colours in either view; the user's choices stay.
    if (!(exact && Work.Assignment().Mode == TColourMode::Exact))
      Work.Assign(c.Assignment, c.Machine);
  }
  Repaint();
  CellsChanged();
}

void TfmBitmap::CellsChanged() {
  {
    OWaitCursor wait;
    Cells = Work.Cells(rbMachine->isChecked(), true);
  }
  lbUnstated->setText(QString::fromStdString(
      UnstatedText(Cells.NoUnstated, Work.Region.Owner->PatternMode == pmColours)));
  imBitmap->Refresh();
}

void TfmBitmap::reject() {
  if (Work.Close())
    accept();
  else
    QDialog::reject();
}

void TfmBitmap::mouseMoveEvent(QMouseEvent* event) {
  ShowHint("");
  QDialog::mouseMoveEvent(event);
}

bool TfmBitmap::eventFilter(QObject* watched, QEvent* event) {
  if (watched == imBitmap && event->type() == QEvent::MouseMove) {
    ShowHint("");
  } else if (watched == pbPalette && event->type() == QEvent::MouseMove) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    OPalettePaintBox& strip = pbPalette->Box();
    strip.MouseMove(0, at.x(), at.y());
    ShowHint(strip.HintText);
  } else if (watched == pbPalette && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Up && key->key() != Qt::Key_Down)
      return false;
    OPalettePaintBox& strip = pbPalette->Box();
    if (strip.Step(key->modifiers() & Qt::ShiftModifier, key->key() == Qt::Key_Up ? -1 : 1)) {
      ShowHint(strip.HintText);
      pbPalette->update();
    }
    return true;
  }
  return false;
}

void TfmBitmap::ApplyChoice() {
  Work.Finish(rbMachine->isChecked());
}

void TfmBitmap::Execute(ORegion& region, QWidget* parent, std::optional<bool> machine) {
  std::unique_ptr<TfmBitmap> form;
  try {
    OWaitCursor wait;
    form = std::make_unique<TfmBitmap>(region, LoadImage(region.BitmapFileName), parent);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
    return;
  }
  if (machine && (*machine || form->rbDesign->isEnabled()))
    (*machine ? form->rbMachine : form->rbDesign)->setChecked(true);
  form->exec();
  form->hide();
  form->ApplyChoice();
}

TfmExportMode::TfmExportMode(QWidget* parent)
    : QDialog(parent), rbMachineView(NewRadio(this, "rbMachineView", "Machine View")),
      rbDesignView(NewRadio(this, "rbDesignView", "DesignView")) {
  setObjectName(QStringLiteral("fmExportMode"));
  setWindowTitle(QStringLiteral("Export Mode"));
  auto* group = new QGroupBox(QStringLiteral("Export Mode Selection"), this);
  group->setObjectName(QStringLiteral("gbExportMode"));
  auto* column = new QVBoxLayout(group);
  column->addWidget(rbMachineView);
  column->addWidget(rbDesignView);
  rbMachineView->setChecked(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("buOK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("buCancel"));
  for (QAbstractButton* button : buttons->buttons())
    button->setAccessibleName(button->text().remove(QLatin1Char('&')));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(12);
  layout->addWidget(group);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TfmExportMode::Ask(QWidget* parent, bool& machine) {
  TfmExportMode dialog(parent);
  if (dialog.exec() != QDialog::Accepted)
    return false;
  machine = dialog.rbMachineView->isChecked();
  return true;
}

} // namespace quillane
