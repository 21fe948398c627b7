#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

// Reassembly of the controller's report stream: blank-separated tokens, where a token that
// begins with ":" is a report code and the next token that is not empty is its value. Every
// receiver of the stream owns one and gives it its own dispatch; chunks may cut tokens
// anywhere and a code's value may come chunks later. Doubled blanks (within a chunk or
// across a cut) give no value: the code still waits for its own.
class ReplyState
{
public:
    // Called with each completed (code, value) pair. The views are valid during the call
    // only. Anything it throws is trapped: that pair is dropped and the walk goes on.
    using Dispatcher = std::function<void(QStringView code, QStringView value)>;
    // Called with each chunk, empty ones too, right before it is walked (the main window
    // logs it there).
    using ChunkHook = std::function<void(const QString &chunk)>;
    // Called with each report code as soon as its closing blank arrives, before its value (a
    // code that takes none is acted on there). Trapped as the dispatch is.
    using CodeHook = std::function<void(QStringView code)>;

    explicit ReplyState(Dispatcher dispatch);
    ~ReplyState();
    ReplyState(const ReplyState &) = delete;
    ReplyState &operator=(const ReplyState &) = delete;

    void setChunkHook(ChunkHook hook);
    void setCodeHook(CodeHook hook);

    // Walks one received chunk. Never throws. A chunk that arrives while a dispatch is still
    // running (a nested wait pumps the event loop) is walked right after the current one.
    // An empty chunk changes nothing (only the hook sees it). A token longer than 256
    // characters is cut to its first 256 (no report is that long). The receiver may be destroyed
    // inside a dispatch; the walk then stops and queued chunks are dropped.
    void Handle_Received(const QString &data);

    // The record, brought up to date at the end of each chunk's walk.
    QString Carry;        // the last piece of the previous chunk (a token being continued)
    QString Token;        // the last piece handled
    QString Code;         // the code waiting for its value; empty when none
    bool Partial = false; // the previous chunk did not end in a blank

private:
    void walk(const QString &data, const bool &destroyed);

    Dispatcher m_dispatch;
    ChunkHook m_chunkHook;
    CodeHook m_codeHook;
    QStringList m_queued;
    QString m_joined; // the carried text and the first piece of the chunk being walked
    bool *m_destroyed = nullptr; // non-null while walking; points at the walk's own flag
};
