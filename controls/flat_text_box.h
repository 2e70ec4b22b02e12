// A one-line text box with a flat one-pixel border instead of the sunken one.
#pragma once

#include <QLineEdit>

class FlatTextBox : public QLineEdit
{
    Q_OBJECT

public:
    explicit FlatTextBox(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
