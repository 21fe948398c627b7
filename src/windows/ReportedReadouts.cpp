#include "windows/ReportedReadouts.h"

#include "link/Serial.h"
#include "platform/PostedBoxes.h"
#include "platform/UserPrompts.h"

#include <QLabel>

namespace ReportedReadouts {

namespace {
const char *const Property = "vkmReported";
} // namespace

QLabel *mark(QLabel *label)
{
    label->setProperty(Property, true);
    return label;
}

void follow(QWidget *window, Serial &link)
{
    QObject::connect(&link, &Serial::connectedChanged, window, [window](bool connected) {
        if (connected)
            return;
        for (QLabel *label : window->findChildren<QLabel *>())
            if (label->property(Property).toBool())
                label->clear();
    });
    // The same box from both windows opens once.
    QObject::connect(&link, &Serial::closedOnItsOwn, window, [](const QString &notice) {
        PostedBoxes::Application().postOnce(notice, vbconst::vbExclamation, QStringLiteral("VKM"));
    });
}

} // namespace ReportedReadouts
