// Accessible names of Form1's controls.
#include "app/form1_accessibility.h"

#include "controls/lamp_names.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/port_list_accessible.h"
#include "controls/receive_view.h"
#include "controls/receive_view_accessible.h"
#include "controls/screen_reader_notice.h"
#include "form/form1_controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// A label's caption without the colon that ends it: "10进制：" -> "10进制".
QString captionOf(const QLabel *label)
{
    QString caption = label->text();
    if (caption.endsWith(u'：') || caption.endsWith(u':'))
        caption.chop(1);
    return caption;
}

} // namespace

void nameAfterCaption(QWidget *control, QWidget *captioned)
{
    if (auto *label = qobject_cast<QLabel *>(captioned)) {
        label->setBuddy(control); // also tells a screen reader which label it is
        control->setAccessibleName(captionOf(label));
    } else if (auto *frame = qobject_cast<QGroupBox *>(captioned)) {
        control->setAccessibleName(frame->title());
    } else {
        qFatal("Form1: %s is named after %s, which has no caption",
               qPrintable(control->objectName()), qPrintable(captioned->objectName()));
    }
}

void setAccessibleNames(const Form1Controls &form)
{
    makeAccessible(form.fssj1);
    makeAccessible(form.comdk);

    auto *lamps = new LampNames({{form.LEDG, QStringLiteral("指示灯：绿灯亮")},
                                 {form.LEDR, QStringLiteral("指示灯：红灯亮")},
                                 {form.LEDM2, QStringLiteral("指示灯：不亮")}},
                                form.Frame1[0]);

    // Changes away from the focus, told as notices: the status line, which
    // a screen reader does not follow, and the lamp.
    auto *status = new ScreenReaderNotice(form.zttext, form.zttext->text());
    QObject::connect(form.zttext, &QLineEdit::textChanged, status,
                     [status](const QString &text) { status->sayIfChanged(text); });
    auto *lamp = new ScreenReaderNotice(form.Frame1[0], lamps->currentName());
    QObject::connect(lamps, &LampNames::currentNameChanged, lamp,
                     [lamp, lamps] { lamp->sayIfChanged(lamps->currentName()); });
}
