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

void nameAfterLabel(QWidget *control, QLabel *label)
{
    label->setBuddy(control); // also tells a screen reader which label it is
    control->setAccessibleName(captionOf(label));
}

} // namespace

void setAccessibleNames(const Form1Controls &form)
{
    nameAfterLabel(form.Text1, form.Label3);
    nameAfterLabel(form.Text2, form.Label5);
    nameAfterLabel(form.Text3, form.Label4);
    nameAfterLabel(form.zttext, form.Label2);
    nameAfterLabel(form.comdk, form.Label1);
    form.fssj0->setAccessibleName(form.Frame1[0]->title());
    form.fssj1->setAccessibleName(form.Frame1[1]->title());
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
