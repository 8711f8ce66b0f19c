#include "convert_to_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "convert_preview_dialog.h"
#include "converting_window.h"
#include "dialog_support.h"
#include "engine/conversion_options.h"
#include "engine/conversion_plan.h"
#include "engine/conversion_run.h"
#include "file_exist_dialog.h"
#include "tag_rule_dialog.h"

namespace zandro::ui {

namespace {

enum StreamColumn { kRateColumn = 0, kChannelsColumn = 1, kBitrateColumn = 2 };

QString ChooseFolderWithDesktopDialog(QWidget* parent, const QString& title, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

}  // namespace

QString TfmConvertTo::DefaultOutputDirectory() { return QDir::home().filePath(QStringLiteral("converted music")); }

TfmConvertTo::TfmConvertTo(FileList& list, TagRuleSettings& rule, bool selectedOnly, int tab, QWidget* parent)
    : QDialog(parent),
      list_(list),
      rule_(rule),
      selectedOnly_(selectedOnly),
      streams_(BuildStreamTable(list, selectedOnly)),
      chooseFolder_(ChooseFolderWithDesktopDialog) {
  setObjectName(QStringLiteral("fmConvertTo"));
  setWindowTitle(QStringLiteral("Convert"));
  // A choice of switches lasts for one conversion; the splitter stays.
  rule_.author = rule_.year = rule_.album = rule_.track = rule_.title = true;

  auto* layout = new QVBoxLayout(this);
  tcConvert_ = new QTabBar(this);
  tcConvert_->setObjectName(QStringLiteral("tcConvert"));
  for (const char* caption : {"To WMA", "To MP3", "To WAV"}) tcConvert_->addTab(QLatin1String(caption));
  tcConvert_->setExpanding(false);
  layout->addWidget(tcConvert_);

  auto* streams = new QHBoxLayout;
  lvSelectBitrate_ = new QTreeWidget(this);
  lvSelectBitrate_->setObjectName(QStringLiteral("lvSelectBitrate"));
  lvSelectBitrate_->setRootIsDecorated(false);
  lvSelectBitrate_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvSelectBitrate_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvSelectBitrate_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvSelectBitrate_->setHeaderLabels(
      {QStringLiteral("Sample/Sec"), QStringLiteral("Channels"), QStringLiteral("Convert Bitrate")});
  lvSelectBitrate_->header()->setStretchLastSection(false);
  lvSelectBitrate_->header()->resizeSection(kRateColumn, 80);
  lvSelectBitrate_->header()->resizeSection(kChannelsColumn, 80);
  lvSelectBitrate_->header()->resizeSection(kBitrateColumn, 100);
  lvSelectBitrate_->setMinimumSize(80 + 80 + 100 + 24, 140);
  for (const StreamBitrateRow& row : streams_) {
    new QTreeWidgetItem(lvSelectBitrate_,
                        {Utf8Text(row.sampleRateText), Utf8Text(row.channelsText), Utf8Text(row.bitrateText)});
  }
  streams->addWidget(lvSelectBitrate_, 1);

  spChangeBitrate_ = new QGroupBox(QStringLiteral("Change Bitrate"), this);
  spChangeBitrate_->setObjectName(QStringLiteral("spChangeBitrate"));
  auto* choicesLayout = new QVBoxLayout(spChangeBitrate_);
  lbChangeBitrate_ = new QListWidget(spChangeBitrate_);
  lbChangeBitrate_->setObjectName(QStringLiteral("lbChangeBitrate"));
  lbChangeBitrate_->setMinimumWidth(90);
  choicesLayout->addWidget(lbChangeBitrate_);
  streams->addWidget(spChangeBitrate_);
  layout->addLayout(streams);

  auto* directory = new QGroupBox(QStringLiteral("Convert To Directory"), this);
  auto* directoryLayout = new QGridLayout(directory);
  rbSameDir_ = new QRadioButton(QStringLiteral("Same as source file"), directory);
  rbSameDir_->setObjectName(QStringLiteral("rbSameDir"));
  rbSameDir_->setChecked(true);
  rbDirectoryTo_ = new QRadioButton(QStringLiteral("To"), directory);
  rbDirectoryTo_->setObjectName(QStringLiteral("rbDirectoryTo"));
  edConvertDir_ = new QLineEdit(DefaultOutputDirectory(), directory);
  edConvertDir_->setObjectName(QStringLiteral("edConvertDir"));
  edConvertDir_->setReadOnly(true);
  edConvertDir_->setMinimumWidth(260);
  sbDir_ = new QToolButton(directory);
  sbDir_->setObjectName(QStringLiteral("sbDir"));
  sbDir_->setText(QStringLiteral(".."));
  sbDir_->setToolTip(QStringLiteral("Convert To Directory"));
  directoryLayout->addWidget(rbSameDir_, 0, 0, 1, 3);
  directoryLayout->addWidget(rbDirectoryTo_, 1, 0);
  directoryLayout->addWidget(edConvertDir_, 1, 1);
  directoryLayout->addWidget(sbDir_, 1, 2);
  directoryLayout->setColumnStretch(1, 1);
  layout->addWidget(directory);

  auto* naming = new QGroupBox(QStringLiteral("Convert To File Name"), this);
  auto* namingLayout = new QGridLayout(naming);
  rbSameFileName_ = new QRadioButton(QStringLiteral("Same as source file"), naming);
  rbSameFileName_->setObjectName(QStringLiteral("rbSameFileName"));
  rbSameFileName_->setChecked(true);
  rbUseTag_ = new QRadioButton(QStringLiteral("Use tag information"), naming);
  rbUseTag_->setObjectName(QStringLiteral("rbUseTag"));
  sbTagRule_ = new QPushButton(QStringLiteral("Tag Rule"), naming);
  sbTagRule_->setObjectName(QStringLiteral("sbTagRule"));
  sbTagRule_->setAutoDefault(false);
  namingLayout->addWidget(rbSameFileName_, 0, 0, 1, 2);
  namingLayout->addWidget(rbUseTag_, 1, 0);
  namingLayout->addWidget(sbTagRule_, 1, 1, Qt::AlignLeft);
  namingLayout->setColumnStretch(1, 1);
  layout->addWidget(naming);

  cbDeleteSourceFile_ = new QCheckBox(QStringLiteral("Delete source file from disk after converted"), this);
  cbDeleteSourceFile_->setObjectName(QStringLiteral("cbDeleteSourceFile"));
  layout->addWidget(cbDeleteSourceFile_);

  auto* buttons = new QHBoxLayout;
  auto* preview = new QPushButton(QStringLiteral("Preview..."), this);
  preview->setObjectName(QStringLiteral("btnPreview"));
  preview->setAutoDefault(false);
  auto* convert = new QPushButton(QStringLiteral("Convert"), this);
  convert->setObjectName(QStringLiteral("SeSkinButton1"));
  convert->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("SeSkinButton2"));
  cancel->setAutoDefault(false);
  buttons->addWidget(preview);
  buttons->addStretch(1);
  buttons->addWidget(convert);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(lvSelectBitrate_, &QTreeWidget::itemSelectionChanged, this, &TfmConvertTo::lvSelectBitrateChange);
  // A click, or Enter on the keyboard, takes the choice.
  connect(lbChangeBitrate_, &QListWidget::itemClicked, this, &TfmConvertTo::lbChangeBitrateClick);
  connect(lbChangeBitrate_, &QListWidget::itemActivated, this, &TfmConvertTo::lbChangeBitrateClick);
  connect(sbDir_, &QToolButton::clicked, this, &TfmConvertTo::sbDirClick);
  connect(sbTagRule_, &QPushButton::clicked, this, &TfmConvertTo::sbTagRuleClick);
  // The enabling rules follow the two radio buttons that decide them.
  connect(rbDirectoryTo_, &QRadioButton::toggled, this, &TfmConvertTo::ApplicationEvents1Idle);
  connect(rbUseTag_, &QRadioButton::toggled, this, &TfmConvertTo::ApplicationEvents1Idle);
  connect(preview, &QPushButton::clicked, this, &TfmConvertTo::PreviewClick);
  connect(convert, &QPushButton::clicked, this, &TfmConvertTo::SeSkinButton1Click);
  connect(cancel, &QPushButton::clicked, this, &TfmConvertTo::SeSkinButton2Click);

  tcConvert_->setCurrentIndex(std::clamp(tab, 0, 2));
  connect(tcConvert_, &QTabBar::currentChanged, this, &TfmConvertTo::tcConvertChange);
  tcConvertChange();
  ApplicationEvents1Idle();
}

AudioKind TfmConvertTo::TargetKind() const {
  switch (tcConvert_->currentIndex()) {
    case 0:
      return AudioKind::Wma;
    case 1:
      return AudioKind::Mp3;
    default:
      return AudioKind::Wav;
  }
}

ConvertSettings TfmConvertTo::Settings() const {
  ConvertSettings settings;
  settings.targetKind = TargetKind();
  settings.streamBitrates = streams_;
  settings.sameDirectory = rbSameDir_->isChecked();
  settings.outputDirectory = PathBytes(edConvertDir_->text());
  settings.sameFileName = rbSameFileName_->isChecked();
  settings.deleteSources = cbDeleteSourceFile_->isChecked();
  settings.selectedOnly = selectedOnly_;
  return settings;
}

void TfmConvertTo::ShowBitrate(int row) {
  if (QTreeWidgetItem* item = lvSelectBitrate_->topLevelItem(row)) {
    item->setText(kBitrateColumn, Utf8Text(streams_[static_cast<std::size_t>(row)].bitrateText));
  }
}

void TfmConvertTo::tcConvertChange() {
  lvSelectBitrate_->clearSelection();
  // Choices made for another kind do not fit this one.
  ResetBitrates(streams_);
  for (int row = 0; row < static_cast<int>(streams_.size()); ++row) ShowBitrate(row);
  const bool wav = TargetKind() == AudioKind::Wav;
  lvSelectBitrate_->setVisible(!wav);
  spChangeBitrate_->setVisible(!wav);
  if (wav) return;
  if (QTreeWidgetItem* first = lvSelectBitrate_->topLevelItem(0)) {
    lvSelectBitrate_->setCurrentItem(first);
    first->setSelected(true);
  }
}

void TfmConvertTo::lvSelectBitrateChange() {
  lbChangeBitrate_->clear();
  const QList<QTreeWidgetItem*> selected = lvSelectBitrate_->selectedItems();
  if (selected.isEmpty()) return;
  const int row = lvSelectBitrate_->indexOfTopLevelItem(selected.first());
  if (row < 0) return;
  const StreamKey stream = StreamOf(streams_[static_cast<std::size_t>(row)]);
  for (const std::string& choice : BitrateChoices(TargetKind(), stream)) lbChangeBitrate_->addItem(Utf8Text(choice));
}

void TfmConvertTo::lbChangeBitrateClick() {
  QListWidgetItem* choice = lbChangeBitrate_->currentItem();
  const QList<QTreeWidgetItem*> selected = lvSelectBitrate_->selectedItems();
  if (!choice || !choice->isSelected() || selected.isEmpty()) return;
  const int row = lvSelectBitrate_->indexOfTopLevelItem(selected.first());
  if (row < 0) return;
  streams_[static_cast<std::size_t>(row)].bitrateText = Utf8Bytes(choice->text());
  ShowBitrate(row);
}

void TfmConvertTo::sbDirClick() {
  const QString chosen = chooseFolder_(this, QStringLiteral("Convert To Directory"), edConvertDir_->text());
  if (!chosen.isEmpty()) edConvertDir_->setText(QDir::toNativeSeparators(chosen));
}

void TfmConvertTo::sbTagRuleClick() {
  QtTagRuleDialog dialog;
  dialog.Edit(rule_);  // only its "OK" changes the rule
}

void TfmConvertTo::ApplicationEvents1Idle() {
  const bool directoryTo = rbDirectoryTo_->isChecked();
  edConvertDir_->setEnabled(directoryTo);
  sbDir_->setEnabled(directoryTo);
  sbTagRule_->setEnabled(rbUseTag_->isChecked());
}

void TfmConvertTo::PreviewClick() {
  TfmConvertPreview preview(PlanConversion(list_, Settings(), rule_), this);
  preview.exec();
}

void TfmConvertTo::SeSkinButton1Click() {
  const ConvertSettings settings = Settings();
  if (!CheckAllBitratesSet(settings)) return;
  std::vector<StatusRow> rows;
  if (!BuildStatusRows(list_, settings, rule_, rows)) return;  // the dialog stays open
  QtOverwritePrompt prompt;
  const std::vector<StatusRow> finished = RunConversionWindow(std::move(rows), settings, prompt, this);
  accept();
  DeleteConvertedSources(list_, settings, finished);
}

void TfmConvertTo::SeSkinButton2Click() { reject(); }

void OpenConvertOptions(FileList& list, TagRuleSettings& rule, bool selectedOnly, int tab, QWidget* parent) {
  TfmConvertTo dialog(list, rule, selectedOnly, tab, parent);
  dialog.exec();
}

}  // namespace zandro::ui
