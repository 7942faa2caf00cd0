// The file commands' questions and messages for tests: every error recorded,
// every replace question recorded and answered with `answer`.
#pragma once

#include "ConfigFiles.h"

#include <QStringList>

class RecordingPrompts : public FileCommandPrompts
{
public:
    explicit RecordingPrompts(bool replace = false) : answer(replace) {}
    void ShowFileError(const QString& text) override { errors.append(text); }
    bool ConfirmReplace(const QString& path) override
    {
        questions.append(path);
        return answer;
    }
    QStringList errors;
    QStringList questions;
    bool answer;
};
