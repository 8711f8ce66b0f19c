#include "qt_message_sink.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_support.h"

namespace zandro::ui {

using zplatform::MessageAnswer;
using zplatform::MessageButtons;
using zplatform::MessageKind;

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QMessageBox::Icon IconFor(MessageKind kind) {
  switch (kind) {
    case MessageKind::Plain:
      return QMessageBox::NoIcon;
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Error:
      return QMessageBox::Critical;
    case MessageKind::Confirm:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer QtMessageSink::Show(MessageKind kind, std::string_view caption, std::string_view text) {
  return ShowChoice(kind, caption, text, MessageButtons::Ok);
}

MessageAnswer QtMessageSink::ShowChoice(MessageKind kind, std::string_view caption, std::string_view text,
                                        MessageButtons buttons) {
  QMessageBox box(IconFor(kind), Text(caption), Text(text), QMessageBox::NoButton, OwnerWindow());
  box.setTextFormat(Qt::PlainText);
  box.setObjectName(QStringLiteral("msgbox"));

  QPushButton* ok = nullptr;
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* cancel = nullptr;
  if (kind == MessageKind::Confirm) {
    yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
  } else {
    ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    if (buttons == MessageButtons::OkCancel) cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
  }
  // Escape and the window's close button count as the last way out.
  box.setEscapeButton(cancel ? cancel : ok);
  box.exec();

  QAbstractButton* pressed = box.clickedButton();
  if (pressed == nullptr) return cancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
  if (pressed == yes) return MessageAnswer::Yes;
  if (pressed == no) return MessageAnswer::No;
  if (pressed == cancel) return MessageAnswer::Cancel;
  return MessageAnswer::Ok;
}

bool QtMessageSink::InputQuery(std::string_view caption, std::string_view prompt, std::string& value,
                               std::size_t maxBytes) {
  QDialog dialog(OwnerWindow());
  dialog.setObjectName(QStringLiteral("InputQuery"));
  dialog.setWindowTitle(Text(caption));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(Text(prompt), &dialog);
  auto* edit = new QLineEdit(Text(value), &dialog);
  label->setBuddy(edit);
  layout->addWidget(label);
  layout->addWidget(edit);
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  // The limit is in bytes of the stored text: input past it is refused,
  // never half of a character kept.
  edit->setValidator(new Utf8LimitValidator(maxBytes, edit));

  if (dialog.exec() != QDialog::Accepted) return false;
  const QByteArray utf8 = edit->text().toUtf8();
  value.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  return true;
}

}  // namespace zandro::ui
