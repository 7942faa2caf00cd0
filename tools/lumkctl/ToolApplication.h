// The tool's Qt application object: Qt Core for every command but sheet,
// whose fonts and PDF writer need Qt Gui, on a platform that needs no display.
#pragma once

#include <QCoreApplication>

#include <memory>

// `command`: the first argument, or null. The arguments are the caller's to
// read: Qt Gui would take its own options out of them.
std::unique_ptr<QCoreApplication> CreateToolApplication(char* program, const char* command);

// Makes the Gui application work without a display (a twin per platform).
void UseHeadlessPlatform();
