#include "about/LinkLabel.h"

#include <QMouseEvent>

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

// A click is a press and a release on the label, so a press that the user
// drags away before letting go opens nothing.
void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}
