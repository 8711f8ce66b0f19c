#pragma once
// A tool button that opens its pop-up menu where a mouse button is released
// over it (any button), with the menu's corner at that point.

#include <QToolButton>

class QMenu;

namespace zandro::ui {

// Does not own the menu.
class PopupButton final : public QToolButton {
  Q_OBJECT

 public:
  PopupButton(QMenu* popup, QWidget* parent = nullptr);

  QMenu* popup() const { return popup_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QMenu* popup_;
};

}  // namespace zandro::ui
