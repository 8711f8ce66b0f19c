#pragma once
// What the program's dialogs share: the window that owns a new dialog, file
// names between bytes and Qt text, and an edit limit in bytes of UTF-8.

#include <QString>
#include <QValidator>
#include <cstddef>
#include <string>

class QWidget;

namespace zandro::ui {

// The window a new modal window belongs to: the modal one open at the time,
// else the active one.
QWidget* OwnerWindow();

// File names are bytes; Qt shows them through the locale's decoding and
// gives them back unchanged.
QString PathText(const std::string& path);
std::string PathBytes(const QString& text);

// UTF-8 text for display and back.
QString Utf8Text(const std::string& text);
std::string Utf8Bytes(const QString& text);

// Keeps an edit's text within `maxBytes` bytes of UTF-8. Input that would
// pass the limit is refused: of a typed or pasted piece only the whole
// characters that fit are kept, never half of one.
class Utf8LimitValidator final : public QValidator {
 public:
  Utf8LimitValidator(std::size_t maxBytes, QObject* parent);
  State validate(QString& text, int& position) const override;
  std::size_t maxBytes() const { return maxBytes_; }

 private:
  std::size_t maxBytes_;
};

}  // namespace zandro::ui
