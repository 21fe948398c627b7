#pragma once

#include "link/ReplyState.h"

#include <QString>
#include <cstdint>

// The rotator status queries (" R ") written to the controller and not yet answered. The
// controller answers in order, each query with a burst that ends in ":rt", so a reader that
// starts listening now knows how many of the next bursts answer queries written before.
// A late reply still counts as the answer to its own query: a slow controller or a busy line
// never makes an old burst pass for a new one. A lost reply keeps the count one too high,
// which costs a reader one more burst, until the port closes or opens or the line has been
// quiet for LostAfterMs since the oldest unanswered query: then no earlier reply is to come.
class RotatorQueryCount
{
public:
    RotatorQueryCount();

    // Text written to the controller.
    void Sent(const QString &data);
    // A chunk received from it.
    void Received(const QString &chunk);
    int Pending();
    // The port closed or opened: no earlier reply is to come.
    void Clear();

    static constexpr uint32_t LostAfterMs = 10000;

private:
    ReplyState m_framing;
    int m_pending = 0;
    uint32_t m_quietSince = 0; // the oldest unanswered query's writing or the last chunk, the later

};
