#include "link/ReplyState.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// A failing dispatch entry or hook costs its own pair or chunk, never the walk.
template<typename Call>
void trapped(Call &&call)
{
    try {
        call();
    } catch (const std::exception &) {
    }
}

// Keeps the string's buffer, so a receiver's steady stream allocates nothing per chunk.
void assign(QString &to, QStringView from)
{
    to.resize(0);
    to.append(from);
}

// No report token comes near this length. A line that never sends a blank (another device,
// noise) must not grow the carried token without end: a longer token is cut to its start.
constexpr qsizetype MaxToken = 256;

QStringView capped(QStringView token)
{
    return token.first(std::min(token.size(), MaxToken));
}

} // namespace

ReplyState::ReplyState(Dispatcher dispatch) : m_dispatch(std::move(dispatch)) {}

ReplyState::~ReplyState()
{
    if (m_destroyed)
        *m_destroyed = true;
}

void ReplyState::setChunkHook(ChunkHook hook)
{
    m_chunkHook = std::move(hook);
}

void ReplyState::setCodeHook(CodeHook hook)
{
    m_codeHook = std::move(hook);
}

void ReplyState::Handle_Received(const QString &data)
{
    if (m_destroyed) {
        m_queued.append(data);
        return;
    }

    bool destroyed = false;
    m_destroyed = &destroyed;
    QString chunk = data; // our own: the caller's buffer may change while a dispatch waits
    for (;;) {
        if (m_chunkHook) {
            trapped([&] { m_chunkHook(chunk); });
            if (destroyed)
                return;
        }
        walk(chunk, destroyed);
        if (destroyed)
            return;
        if (m_queued.isEmpty())
            break;
        chunk = m_queued.takeFirst();
    }
    m_destroyed = nullptr;
}

// Pieces are the text between blanks. The piece after the last blank is incomplete and waits
// for the next chunk; a chunk ending in a blank has no such piece. The record's fields are
// written once at the end, so tokens are views into the chunk (or the joined first piece).
void ReplyState::walk(const QString &data, const bool &destroyed)
{
    if (data.isEmpty())
        return;
    const QStringView text(data);
    const bool endsInBlank = text.back() == u' ';

    QStringView token;
    QStringView code = Code;
    bool codeChanged = false;

    qsizetype start = 0;
    for (bool first = true;; first = false) {
        const qsizetype blank = text.indexOf(u' ', start);
        const QStringView piece = text.sliced(start, (blank < 0 ? text.size() : blank) - start);
        if (first && Partial) {
            assign(m_joined, Carry);
            m_joined.append(piece.first(std::clamp(MaxToken - m_joined.size(), qsizetype(0), piece.size())));
            token = m_joined;
        } else {
            token = capped(piece);
        }
        if (blank < 0)
            break;

        // An empty piece (doubled blanks, a chunk that begins with a blank) is no value.
        if (!token.isEmpty()) {
            if (!code.isEmpty()) {
                trapped([&] { m_dispatch(code, token); });
                if (destroyed)
                    return;
                code = {};
                codeChanged = true;
            }
            // Runs after the dispatch: a code right after a code is first offered as its value.
            if (token.front() == u':') {
                code = token;
                codeChanged = true;
                if (m_codeHook) {
                    trapped([&] { m_codeHook(code); });
                    if (destroyed)
                        return;
                }
            }
        }

        if (blank == text.size() - 1)
            break;
        start = blank + 1;
    }

    if (codeChanged)
        assign(Code, code);
    assign(Token, token);
    assign(Carry, token);
    Partial = !endsInBlank;
}
