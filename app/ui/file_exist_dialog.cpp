#include "file_exist_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_support.h"

namespace zandro::ui {

TfmFileExist::TfmFileExist(const std::string& existingPath, QWidget* parent)
    : QDialog(parent), existingPath_(existingPath) {
  setObjectName(QStringLiteral("fmFileExist"));
  setWindowTitle(QStringLiteral("File Exist"));
  // No border icons: the buttons are the way out.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto* layout = new QVBoxLayout(this);
  auto* question = new QLabel(QStringLiteral("Sorry, we found this file already exists, What to do now ?"), this);
  question->setObjectName(QStringLiteral("Label1"));
  layout->addWidget(question);

  lbFile_ = new QLabel(PathText(existingPath), this);
  lbFile_->setObjectName(QStringLiteral("lbFile"));
  lbFile_->setTextFormat(Qt::PlainText);
  lbFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lbFile_);

  auto* nameRow = new QHBoxLayout;
  auto* nameLabel = new QLabel(QStringLiteral("New File Name"), this);
  Edit1_ = new QLineEdit(PathText(InitialNewName(existingPath)), this);
  Edit1_->setObjectName(QStringLiteral("Edit1"));
  Edit1_->setMinimumWidth(320);
  nameLabel->setBuddy(Edit1_);
  nameRow->addWidget(nameLabel);
  nameRow->addWidget(Edit1_, 1);
  layout->addLayout(nameRow);

  auto* buttons = new QHBoxLayout;
  auto* useNewName = new QPushButton(QStringLiteral("Use New Name"), this);
  useNewName->setObjectName(QStringLiteral("e"));
  auto* overWrite = new QPushButton(QStringLiteral("OverWrite"), this);
  overWrite->setObjectName(QStringLiteral("SeSkinButton3"));
  auto* skip = new QPushButton(QStringLiteral("Skip"), this);
  skip->setObjectName(QStringLiteral("SeSkinButton2"));
  for (QPushButton* button : {useNewName, overWrite, skip}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
  setTabOrder(useNewName, skip);
  setTabOrder(skip, overWrite);
  setTabOrder(overWrite, Edit1_);
  useNewName->setFocus();

  connect(useNewName, &QPushButton::clicked, this, &TfmFileExist::eClick);
  connect(overWrite, &QPushButton::clicked, this, &TfmFileExist::SeSkinButton3Click);
  connect(skip, &QPushButton::clicked, this, &TfmFileExist::SeSkinButton2Click);

  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
}

void TfmFileExist::eClick() {
  const std::string typed = PathBytes(Edit1_->text());
  // A refused name leaves the question open with the edit as it is.
  if (!AcceptNewName(existingPath_, typed)) return;
  reply_ = {FileExistAnswer::UseNewName, typed};
  accept();
}

void TfmFileExist::SeSkinButton3Click() {
  reply_ = {FileExistAnswer::OverWrite, {}};
  accept();
}

void TfmFileExist::SeSkinButton2Click() {
  reply_ = {FileExistAnswer::Skip, {}};
  accept();
}

FileExistReply QtOverwritePrompt::Ask(const std::string& existingPath) {
  TfmFileExist prompt(existingPath, OwnerWindow());
  prompt.exec();
  return prompt.reply();
}

}  // namespace zandro::ui
