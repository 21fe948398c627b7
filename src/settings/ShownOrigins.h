#pragma once

#include <QSet>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

class Serial;

// Where the values some controls show may go back to the controller from: the operator's
// hand, or the controller's own report as the link's record holds it now. A value read back
// that a later command (of any sender) changed, or one from a port since closed, is no
// longer anybody's to send: the controller keeps what it has.
class ShownOrigins
{
public:
    void clear() { m_edited.clear(); }
    void edited(const QString &control) { m_edited.insert(control); }
    bool byOperator(const QString &control) const { return m_edited.contains(control); }

    // What `control` sends: `shown` when the operator chose it, else the number `code` holds
    // now on `link` (reported since the port opened, after the last command that changes it),
    // else nothing.
    std::optional<double> value(const QString &control, double shown, QStringView code,
                                const std::shared_ptr<Serial> &link) const;

private:
    QSet<QString> m_edited;
};
