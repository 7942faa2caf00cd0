// How the window shows a port that did not open.
#pragma once

#include <QString>

class SerialLink;

// The box's caption and text for `notOpenText` ("Not open " + name) from
// `link`: a local port keeps that text with an empty caption; a network port
// gets the application title and its backend's address, reason and remedy.
struct OpenFailureBox
{
    QString caption;
    QString text;
};
OpenFailureBox DescribeOpenFailure(const SerialLink& link, const QString& notOpenText);

// Shows it, owned by the application.
void ShowOpenFailure(const SerialLink& link, const QString& notOpenText);
