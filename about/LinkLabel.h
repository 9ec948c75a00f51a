#pragma once

// A label that reports a click, for the About dialog's web page and mail
// address: they look like text, not like buttons, and open on a click.

#include <QLabel>

class QMouseEvent;

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed = false;
};
