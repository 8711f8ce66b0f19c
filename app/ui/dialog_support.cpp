#include "dialog_support.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

namespace zandro::ui {

QWidget* OwnerWindow() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

QString PathText(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string PathBytes(const QString& text) {
  const QByteArray bytes = QFile::encodeName(text);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString Utf8Text(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8Bytes(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

Utf8LimitValidator::Utf8LimitValidator(std::size_t maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State Utf8LimitValidator::validate(QString& text, int& position) const {
  auto bytes = [](const QString& value) { return static_cast<std::size_t>(value.toUtf8().size()); };
  if (bytes(text) <= maxBytes_) return Acceptable;
  // The new input ends at the cursor: drop characters before it, a
  // surrogate pair as one, until the text fits.
  QString cut = text;
  int at = std::min(position, static_cast<int>(cut.size()));
  while (at > 0 && bytes(cut) > maxBytes_) {
    const int width = at >= 2 && cut.at(at - 1).isLowSurrogate() && cut.at(at - 2).isHighSurrogate() ? 2 : 1;
    cut.remove(at - width, width);
    at -= width;
  }
  if (bytes(cut) > maxBytes_) return Invalid;
  text = cut;
  position = at;
  return Acceptable;
}

}  // namespace zandro::ui
