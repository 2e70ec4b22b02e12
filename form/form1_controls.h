// The named controls of Form1 that the handlers work on.
#pragma once

#include <array>

class MSComm;
class PictureBox;
class PortList;
class ReceiveView;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

struct Form1Controls
{
    QWidget *Form1 = nullptr;
    MSComm *MSComm1 = nullptr;
    QLineEdit *zttext = nullptr;
    PortList *comdk = nullptr;
    std::array<QGroupBox *, 2> Frame1 {};
    QPushButton *Command2 = nullptr;
    PictureBox *Picture1 = nullptr;
    QPlainTextEdit *fssj0 = nullptr; // fssj(0), the send box
    ReceiveView *fssj1 = nullptr; // fssj(1), the receive box
    QPushButton *Command1 = nullptr;
    PictureBox *LEDG = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text1 = nullptr;
    PictureBox *LEDR = nullptr;
    PictureBox *LEDM2 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
};
