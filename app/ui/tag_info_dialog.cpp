#include "tag_info_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "dialog_support.h"
#include "zplatform/text.h"

namespace zandro::ui {

namespace {

// A field's text up to its first NUL.
template <std::size_t N>
QString FieldText(const char (&field)[N]) {
  return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, N)));
}

}  // namespace

TfmTagInfo::TfmTagInfo(const SongTags& tags, QWidget* parent) : QDialog(parent), tags_(tags) {
  setObjectName(QStringLiteral("fmTagInfo"));
  setWindowTitle(QStringLiteral("TagInfo"));

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto makeEdit = [this, form](const char* name, const QString& caption, const QString& text, std::size_t width) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(300);
    // The field holds width - 1 bytes and its NUL.
    edit->setValidator(new Utf8LimitValidator(width - 1, edit));
    edit->setText(text);
    form->addRow(caption, edit);
    return edit;
  };
  edTitle_ = makeEdit("edTitle", QStringLiteral("Title"), FieldText(tags_.title), sizeof tags_.title);
  edAuthor_ = makeEdit("edAuthor", QStringLiteral("Author"), FieldText(tags_.author), sizeof tags_.author);
  edAlbum_ = makeEdit("edAlbum", QStringLiteral("Album"), FieldText(tags_.album), sizeof tags_.album);
  edTrack_ = makeEdit("edTrack", QStringLiteral("Track"), FieldText(tags_.track), sizeof tags_.track);
  edYear_ = makeEdit("edYear", QStringLiteral("Year"), FieldText(tags_.year), sizeof tags_.year);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* update = new QPushButton(QStringLiteral("Update"), this);
  update->setObjectName(QStringLiteral("SeSkinButton1"));
  update->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("SeSkinButton2"));
  buttons->addWidget(update);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(update, &QPushButton::clicked, this, &TfmTagInfo::SeSkinButton1Click);
  connect(cancel, &QPushButton::clicked, this, &TfmTagInfo::SeSkinButton2Click);
}

void TfmTagInfo::SeSkinButton1Click() {
  updated_ = true;
  // The edits keep within their fields; the copy cuts at a character all the same.
  zplatform::CopyToField(Utf8Bytes(edTitle_->text()), tags_.title);
  zplatform::CopyToField(Utf8Bytes(edAuthor_->text()), tags_.author);
  zplatform::CopyToField(Utf8Bytes(edAlbum_->text()), tags_.album);
  zplatform::CopyToField(Utf8Bytes(edTrack_->text()), tags_.track);
  zplatform::CopyToField(Utf8Bytes(edYear_->text()), tags_.year);
  accept();
}

void TfmTagInfo::SeSkinButton2Click() {
  updated_ = false;
  reject();
}

bool QtTagDialog::Edit(SongTags& tags) {
  TfmTagInfo dialog(tags, OwnerWindow());
  dialog.exec();
  if (!dialog.updated()) return false;
  tags = dialog.tags();
  return true;
}

}  // namespace zandro::ui
