#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>

class Serial;

// Where the values some controls show came from: the operator's hand, or a report of the
// controller on a link as its port then stood. A value from neither (the window's starting
// value, or a report from a port since closed or changed) is not the controller's to be sent
// back to it.
class ShownOrigins
{
public:
    void clear() { m_origins.clear(); }
    void edited(const QString &control);
    // A report read back into `control` through `link`, as its port stands now.
    void reported(const QString &control, const std::shared_ptr<Serial> &link);

    bool byOperator(const QString &control) const;
    // Whether the value came from the operator or from the controller `link` reaches now.
    bool vouched(const QString &control, const std::shared_ptr<Serial> &link) const;

private:
    struct Origin
    {
        bool byOperator = false;
        std::weak_ptr<Serial> link;
        uint64_t epoch = 0;
    };
    QHash<QString, Origin> m_origins;
};
