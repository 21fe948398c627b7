#include "link/DeviceHalts.h"

#include <QString>
#include <QStringTokenizer>

void DeviceHalts::Sent(QStringView text)
{
    for (const QStringView token : text.tokenize(u' ', Qt::SkipEmptyParts)) {
        if (token.front() == u'S') {
            ++m_focuser;
        } else if (token.front() == u'q') {
            // "q" adds to the move; by nothing it stops the rotator.
            bool ok = false;
            if (token.sliced(1).toString().toLongLong(&ok) == 0 && ok)
                ++m_rotator;
        } else if (token.front() == u'3' && token.size() > 1) {
            // A bare "3" asks which steppers are present.
            ++m_stepper;
        }
    }
}

uint64_t DeviceHalts::Count(MovedDevice device) const
{
    switch (device) {
    case MovedDevice::Focuser: return m_focuser;
    case MovedDevice::Rotator: return m_rotator;
    case MovedDevice::Stepper: return m_stepper;
    case MovedDevice::None: break;
    }
    return 0;
}
