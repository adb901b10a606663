#include "ui/AboutForm.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/App.h"

namespace quillane {

namespace {

const char* const Notice =
    "Quillane is free software under the MIT licence.\n\n"
    "Permission is hereby granted, free of charge, to any person obtaining a copy of this "
    "software, to deal in it without restriction, provided the copyright notice and this "
    "permission notice are kept in all copies or substantial portions of it. The software "
    "is provided \"as is\", without warranty of any kind.";

QLabel* AddLabel(QVBoxLayout& layout, const char* name, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(QString::fromLatin1(name));
  label->setAccessibleName(text);
  label->setWordWrap(true);
  layout.addWidget(label);
  return label;
}

} // namespace

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmAbout"));
  setWindowTitle(QStringLiteral("About Quillane"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->setSpacing(10);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  QLabel* name = AddLabel(*layout, "lbProductName", QStringLiteral("Quillane"));
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  name->setFont(big);
  AddLabel(*layout, "lbComments",
           QStringLiteral("A design tool for computer-controlled tufting machines"));
  AddLabel(
      *layout, "lbVersion",
      QString::fromStdString("Version " + g.GetVersionText() + "    " + g.GetProductVersion()));
  QLabel* notice = AddLabel(*layout, "lbNotice", QString::fromLatin1(Notice));
  notice->setFixedWidth(380);
  notice->setAccessibleName(QStringLiteral("Licence notice"));
  AddLabel(*layout, "lbCopyright", QStringLiteral("Copyright (c) 2026 The Quillane developers"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("buOK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addSpacing(6);
  layout->addWidget(buttons);
}

void TfmAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* shown = screen())
    move(shown->availableGeometry().center() - rect().center());
}

} // namespace quillane
