// File and child-process helpers shared by the test suites.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The whole file, or "<unreadable>", which no expected content equals.
QByteArray ReadBytes(const QString& path);
// Replaces the file's content; a failure fails the calling test.
void WriteBytes(const QString& path, const QByteArray& data);

// Exit code of a child that had to drop root and could not.
constexpr int ChildNoPrivilegeDrop = 20;
// Runs `body` in a forked child. Returns its exit code, 100 + the signal when
// it died, or 200 when it was still running after `seconds` (it is killed).
int RunInChild(const std::function<int()>& body, int seconds = 20);
// As RunInChild, as the unprivileged user "nobody" when started as root:
// root ignores file permissions.
int RunUnprivileged(const std::function<int()>& body);
