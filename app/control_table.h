// The control table of Form1: every control in creation order, with its kind,
// container, geometry in twips, text and settings, as data for one loop to build.
#pragma once

#include "form/form1_controls.h"

#include <QColor>
#include <QList>
#include <QString>

class QObject;

constexpr int kTwipsPerPixel = 15;
constexpr int twipsToPixels(int twips)
{
    return twips / kTwipsPerPixel;
}

// Client area of the window, in twips.
constexpr int kFormWidthTwips = 7935;
constexpr int kFormHeightTwips = 5475;

enum class ControlKind {
    SerialControl, // invisible at run time
    TextBox, // one line
    SendBox, // multi-line, editable once unlocked
    ReceiveBox, // multi-line, read-only, fast appending
    PortList, // drop-down list with an editable text field
    Frame,
    Button,
    PictureBox, // a drawing: a lamp or the computer
    Label,
};

enum ControlFlag {
    NoFlags = 0,
    ReadOnly = 0x1,
    NotTabStop = 0x2,
    Centred = 0x4,
    FlatBorder = 0x8,
};

// Keeps a built control in its member of Form1Controls, where the handlers
// find it, and returns that member's address; a control not of the member's
// kind stops the program at start-up.
using ControlSlot = const void *(*)(Form1Controls &form, QObject *control, const QString &name);

struct ControlRow
{
    QString name; // objectName, array members as "fssj(0)"
    ControlSlot slot; // its member of Form1Controls
    ControlKind kind;
    QString container; // empty: the window
    int left = 0, top = 0, width = 0, height = 0; // twips
    QString text; // caption, text, or the name of the picture
    QColor background; // invalid: the platform's default
    QColor foreground; // text or caption colour; invalid: default
    int flags = NoFlags;
    int tabIndex = -1; // -1: takes no place in the tab order
    QString namedAfter; // the label or frame whose caption names it for a screen reader
};

// The controls in creation order. Within one container a control is stacked
// above every later one. Each fills one member of Form1Controls.
const QList<ControlRow> &form1ControlTable();

// Texts of the window itself.
QString form1Caption();
QString sendBoxPrompt();
QStringList portListItems();
