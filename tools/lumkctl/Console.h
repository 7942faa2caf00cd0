// Standard output and standard error of the tool. Results go to the output;
// messages, traces and the progress to the error stream. The progress bar is
// drawn only on a terminal and is cleared before any other line is printed; a
// console that takes no terminal sequences gets the progress as plain lines.
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// How the transfer's progress is shown on the error stream.
enum class ProgressStyle {
    Hidden, // not at all (a file or a pipe)
    Bar,    // one bar redrawn in place ("\r" and "ESC [K")
    Lines,  // a plain line at every tenth, no control characters
};

class Console
{
public:
    Console(QIODevice& out, QIODevice& err, ProgressStyle progress);

    // Bytes to the output exactly as given (the image's text form, JSON).
    void Out(const QByteArray& bytes);
    // One line of text to the output; a line end is appended.
    void OutLine(const QString& text);
    // One line of text to the error stream; a line end is appended.
    void ErrLine(const QString& text);
    // The same for bytes (names kept byte for byte).
    void ErrBytes(const QByteArray& line);
    // Shows the transfer's position (0..100) in the console's style.
    void Progress(int position);
    // Removes the bar, if one is shown.
    void EndProgress();

    ProgressStyle progressStyle() const { return progress_; }
    // Why the output could not take everything (a full disk, a closed pipe);
    // empty while every write has gone through.
    const QString& outFailure() const { return outFailure_; }
    // The same for the error stream (closed, as by `2>&1 | head -1`).
    const QString& errFailure() const { return errFailure_; }

private:
    void ClearBar();
    void WriteOut(const QByteArray& bytes);
    void WriteErr(const QByteArray& bytes);

    QIODevice& out_;
    QIODevice& err_;
    ProgressStyle progress_;
    bool barShown_ = false;
    int lastPosition_ = -1;
    QString outFailure_;
    QString errFailure_;
};
