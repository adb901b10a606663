#pragma once

#include <functional>

#include <QFrame>

#include "editors/PatternSetupEditor.h"

class QScrollBar;
class QStaticText;

namespace quillane {

// One grid of the pattern setup editor, drawn straight from the editor model's cells: a title
// column, then columns of one width scrolled a column at a time. Only the columns in sight
// are asked for, so a grid of any width opens and paints in the same time.
class TSetupGridView : public QFrame {
public:
  TSetupGridView(QWidget* parent, const OPatternSetupEditor& editor, TSetupGrid grid,
                 int titleWidth, int columnWidth);

  // The grid's columns, the title column not counted; the first is column 1.
  int ColumnCount() const { return Columns; }
  // The widget that takes the mouse: the grid itself, which has no separate viewport.
  QWidget* viewport() { return this; }
  // Where a cell is drawn; empty when out of sight.
  QRect CellRect(int row, int column) const;
  // A changed column count moves the scroll bar; the cells in sight are drawn again.
  void Reload();
  // One cell changed: drawn again if it is in sight.
  void CellChanged(int row, int column);

  std::function<void(int column, Qt::MouseButton button)> Pressed;
  // The mouse, pressed in a column, moved on from column `from` to column `to`.
  std::function<void(int from, int to)> Dragged;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // The press before it counted already.
  void mouseDoubleClickEvent(QMouseEvent*) override {}
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  const OPatternSetupEditor& Editor;
  QScrollBar* Bar;
  int BarHeight;
  TSetupGrid Grid;
  int Rows;
  int TitleWidth;
  int ColumnWidth;
  int Columns = 0;
  int CurrentRow = 0, CurrentColumn = 1;
  int DragColumn = 0; // the column under a pressed mouse, 0 when none is pressed
  int FirstColumn() const;
  // Where the cells go, above the scroll bar.
  QRect Area() const;
  int ColumnAt(int x) const;
  void UpdateScrollBar();
  void MakeCurrent(int row, int column);
  static const QStaticText& Laid(const QString& s, const QFont& font, const QString& fontKey);
};

} // namespace quillane
