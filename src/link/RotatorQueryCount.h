#pragma once

#include "link/ReplyState.h"

#include <QString>
#include <cstdint>
#include <deque>

// The rotator status queries (" R ") written to the controller and not yet answered. The
// controller answers in order, each query with a burst that ends in ":rt", so a reader that
// starts listening now knows how many of the next bursts answer queries written before.
// A query unanswered for longer than AnswerWithinMs counts no more: a lost reply must not
// hold every later reader.
class RotatorQueryCount
{
public:
    RotatorQueryCount();

    // Text written to the controller.
    void Sent(const QString &data);
    // A chunk received from it.
    void Received(const QString &chunk);
    int Pending();

    static constexpr uint32_t AnswerWithinMs = 1000;

private:
    void dropExpired();

    ReplyState m_framing;
    std::deque<uint32_t> m_sent; // tick of each unanswered query, oldest first
};
