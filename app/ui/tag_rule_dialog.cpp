#include "tag_rule_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_support.h"

namespace zandro::ui {

TfmTagRule::TfmTagRule(const TagRuleSettings& rule, QWidget* parent) : QDialog(parent), rule_(rule) {
  setObjectName(QStringLiteral("fmTagRule"));
  setWindowTitle(QStringLiteral("TagRule"));

  auto* layout = new QVBoxLayout(this);
  Edit1_ = new QLineEdit(this);
  Edit1_->setObjectName(QStringLiteral("Edit1"));
  Edit1_->setEnabled(false);
  Edit1_->setMinimumWidth(320);
  layout->addWidget(Edit1_);

  auto* boxes = new QGridLayout;
  auto makeBox = [this](const char* name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    connect(box, &QCheckBox::toggled, this, &TfmTagRule::cbAuthorClick);
    return box;
  };
  cbAuthor_ = makeBox("cbAuthor", QStringLiteral("Author"), rule.author);
  cbYear_ = makeBox("cbYear", QStringLiteral("Year"), rule.year);
  cbAlbum_ = makeBox("cbAlbum", QStringLiteral("Album"), rule.album);
  cbTitle_ = makeBox("cbTitle", QStringLiteral("Title"), rule.title);
  cbTrack_ = makeBox("cbTrack", QStringLiteral("Track"), rule.track);
  boxes->addWidget(cbAuthor_, 0, 0);
  boxes->addWidget(cbYear_, 0, 1);
  boxes->addWidget(cbAlbum_, 0, 2);
  boxes->addWidget(cbTitle_, 1, 0);
  boxes->addWidget(cbTrack_, 1, 1);
  layout->addLayout(boxes);

  auto* splitterRow = new QHBoxLayout;
  auto* splitterLabel = new QLabel(QStringLiteral("Splitter Letter :"), this);
  edSplitter_ = new QLineEdit(Utf8Text(rule.splitter), this);
  edSplitter_->setObjectName(QStringLiteral("edSplitter"));
  splitterLabel->setBuddy(edSplitter_);
  splitterRow->addWidget(splitterLabel);
  splitterRow->addWidget(edSplitter_, 1);
  layout->addLayout(splitterRow);
  auto* refused = new QLabel(QStringLiteral("do NOT include \\ / : * ? \" < > |"), this);
  refused->setObjectName(QStringLiteral("Label2"));
  refused->setTextFormat(Qt::PlainText);
  layout->addWidget(refused);
  edSplitter_->installEventFilter(this);
  connect(edSplitter_, &QLineEdit::textChanged, this, &TfmTagRule::cbAuthorClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("SeSkinButton1"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("SeSkinButton2"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(ok, &QPushButton::clicked, this, &TfmTagRule::SeSkinButton1Click);
  connect(cancel, &QPushButton::clicked, this, &TfmTagRule::SeSkinButton2Click);

  cbAuthorClick();
}

TagRuleSettings TfmTagRule::FromControls() const {
  TagRuleSettings rule;
  rule.author = cbAuthor_->isChecked();
  rule.year = cbYear_->isChecked();
  rule.album = cbAlbum_->isChecked();
  rule.track = cbTrack_->isChecked();
  rule.title = cbTitle_->isChecked();
  rule.splitter = Utf8Bytes(edSplitter_->text());
  return rule;
}

void TfmTagRule::cbAuthorClick() { Edit1_->setText(Utf8Text(RulePattern(FromControls()))); }

bool TfmTagRule::eventFilter(QObject* watched, QEvent* event) {
  // Typed characters only: a paste arrives as a shortcut, not as text.
  if (watched == edSplitter_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (!text.isEmpty()) {
      const QList<uint> characters = text.toUcs4();
      for (const uint character : characters) {
        if (IsRefusedSplitterCharacter(static_cast<char32_t>(character))) return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfmTagRule::SeSkinButton1Click() {
  rule_ = FromControls();
  accepted_ = true;
  accept();
}

void TfmTagRule::SeSkinButton2Click() {
  accepted_ = false;
  reject();
}

bool QtTagRuleDialog::Edit(TagRuleSettings& rule) {
  TfmTagRule dialog(rule, OwnerWindow());
  dialog.exec();
  if (!dialog.accepted()) return false;
  rule = dialog.rule();
  return true;
}

}  // namespace zandro::ui
