#include "popup_button.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace zandro::ui {

PopupButton::PopupButton(QMenu* popup, QWidget* parent) : QToolButton(parent), popup_(popup) {
  // A right press must not open the tool bar's own menu: every button opens ours.
  setContextMenuPolicy(Qt::PreventContextMenu);
}

void PopupButton::mousePressEvent(QMouseEvent* event) {
  setDown(true);
  event->accept();
}

void PopupButton::mouseReleaseEvent(QMouseEvent* event) {
  setDown(false);
  event->accept();
  if (!rect().contains(event->position().toPoint())) return;
  popup_->popup(mapToGlobal(event->position().toPoint()));
}

void PopupButton::keyPressEvent(QKeyEvent* event) {
  // From the keyboard there is no release point: open below the button.
  if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    popup_->popup(mapToGlobal(rect().bottomLeft()));
    event->accept();
    return;
  }
  QToolButton::keyPressEvent(event);
}

}  // namespace zandro::ui
