// The port list comdk: a drop-down list with an editable text field. Only a
// choice from the list counts; typing in the field changes just its text.
#pragma once

#include <QComboBox>

class PortList : public QComboBox
{
    Q_OBJECT

public:
    explicit PortList(QWidget *parent = nullptr);

    void showPopup() override;

signals:
    // The list is about to drop down (its item tooltips can be refreshed).
    void listAboutToOpen();
    // The list's own tooltip is about to show (and can be refreshed).
    void toolTipAboutToShow();

protected:
    bool event(QEvent *event) override;
};
