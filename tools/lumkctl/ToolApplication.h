// The tool's Qt application object: Qt Core for every command but sheet,
// whose fonts and PDF writer need Qt Gui, on a platform that needs no display.
#pragma once

#include <QCoreApplication>

#include <memory>

// `drawing`: the command line asks for a sheet (not its help, no usage error).
// The arguments stay the caller's to read: Qt Gui would take its own options
// out of them.
std::unique_ptr<QCoreApplication> CreateToolApplication(char* program, bool drawing);

// Makes the Gui application work without a display (a twin per platform).
void UseHeadlessPlatform();
