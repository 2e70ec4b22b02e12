// Module1: the program-wide variables, each written by one handler only.
#pragma once

#include <QString>
#include <QtGlobal>

struct Module1
{
    quint8 portNo = 0; // n of the COMn last chosen; written by the port opening
    bool relayState = false; // written by the relay switch
    QString keyChar; // the last key's character; written by the keyboard send
};
