// The tool's command line: what each accepted line means, and that every
// malformed line is refused before anything runs.
#include "CtlArguments.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QStringList Words(const char* line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

struct Accepted
{
    const char* line;
    CtlCommand command;
    bool help;
    const char* port;
    const char* file;
    const char* output;
    bool verify, noBackup, json, trace;
    std::chrono::milliseconds timeout;
};

TEST(CtlArguments, AcceptedLines_GiveTheirCommandAndOptions)
{
    const Accepted cases[] = {
        {"ports", CtlCommand::Ports, false, "", "", "", false, false, false, false, 20s},
        {"read --port ttyS0", CtlCommand::Read, false, "ttyS0", "", "", false, false, false, false,
         20s},
        {"read --port=/dev/pts/3 --output=a.lmk --trace", CtlCommand::Read, false, "/dev/pts/3", "",
         "a.lmk", false, false, false, true, 20s},
        {"read --timeout 2.5 --port ttyUSB0 --output out", CtlCommand::Read, false, "ttyUSB0", "",
         "out", false, false, false, false, 2500ms},
        {"write conf.txt --port ttyS1 --verify --no-backup", CtlCommand::Write, false, "ttyS1",
         "conf.txt", "", true, true, false, false, 20s},
        // "--" ends the options: a file may start with a dash.
        {"write --port ttyS1 -- --odd.lmk", CtlCommand::Write, false, "ttyS1", "--odd.lmk", "",
         true, false, false, false, 20s},
        // A write verifies by default; --no-verify restores the unchecked write.
        {"write a.lmk --port ttyS1 --no-verify", CtlCommand::Write, false, "ttyS1", "a.lmk", "",
         false, false, false, false, 20s},
        {"show a.lmk --json", CtlCommand::Show, false, "", "a.lmk", "", false, false, true, false,
         20s},
        {"show -", CtlCommand::Show, false, "", "-", "", false, false, false, false, 20s},
        {"diff --port ttyS0 a.lmk --timeout=1", CtlCommand::Diff, false, "ttyS0", "a.lmk", "",
         false, false, false, false, 1s},
        {"sheet a.lmk --output s.pdf", CtlCommand::Sheet, false, "", "a.lmk", "s.pdf", false,
         false, false, false, 20s},
        {"sheet --port ttyS0 --output=s.pdf --timeout 2", CtlCommand::Sheet, false, "ttyS0", "",
         "s.pdf", false, false, false, false, 2s},
        // Help wins over missing and wrong arguments anywhere on the line.
        {"write --help", CtlCommand::Write, true, "", "", "", false, false, false, false, 20s},
        {"read --bogus -h", CtlCommand::Read, true, "", "", "", false, false, false, false, 20s},
        {"help diff", CtlCommand::Diff, true, "", "", "", false, false, false, false, 20s},
        {"--help", CtlCommand::None, true, "", "", "", false, false, false, false, 20s},
        {"help", CtlCommand::None, true, "", "", "", false, false, false, false, 20s},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.line);
        const CtlArguments a = ParseCtlArguments(Words(c.line));
        EXPECT_EQ(a.error, QString());
        EXPECT_EQ(a.command, c.command);
        EXPECT_EQ(a.help, c.help);
        if (c.help)
            continue;
        EXPECT_EQ(a.port, QString::fromUtf8(c.port));
        EXPECT_EQ(a.file, QString::fromUtf8(c.file));
        EXPECT_EQ(a.output, QString::fromUtf8(c.output));
        EXPECT_EQ(a.verify, c.verify);
        EXPECT_EQ(a.noBackup, c.noBackup);
        EXPECT_EQ(a.json, c.json);
        EXPECT_EQ(a.trace, c.trace);
        EXPECT_EQ(a.timeout, c.timeout);
    }
}

TEST(CtlArguments, MalformedLines_AreRefusedWithAReason)
{
    const char* const lines[] = {
        "",                            // no command
        "frobnicate",                  // unknown command
        "--bogus",                     // unknown option instead of a command
        "help frobnicate",             // help for an unknown command
        "read",                        // no port
        "read --port",                 // option without its value
        "read --port=",                // empty value
        "read --port a --port b",      // repeated option
        "read --port a extra",         // read takes no file
        "read --port a --json",        // option of another command
        "read --port a --trace=yes",   // flag with a value
        "read --port a --timeout 0",   // time-out must be positive
        "read --port a --timeout -3",  //
        "read --port a --timeout abc", //
        "read --port a --timeout nan", //
        "read --port a --timeout 1e9", // more than a day
        "write --port a",              // no file
        "write a.lmk",                 // no port
        "write --port a a.lmk b.lmk",  // two files
        "show",                        // no file
        "show a.lmk --port ttyS0",     // show never talks to a device
        "diff a.lmk",                  // no port
        "diff --port x a.lmk b.lmk",   // two files are compared without a port
        "diff a.lmk b.lmk c.lmk",      // at most two files
        "read --port a --force",       // --force belongs to write
        "ports extra",                 // ports takes nothing
        "ports --trace",               // nor options
        "sheet --output s.pdf",        // neither file nor port
        "sheet a.lmk",                 // no output
        "sheet a.lmk --port x --output s.pdf", // file and port
        "sheet a.lmk b.lmk --output s.pdf",    // two files
        "sheet a.lmk --output s.pdf --json",   // option of another command
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const CtlArguments a = ParseCtlArguments(Words(line));
        EXPECT_FALSE(a.error.isEmpty());
        EXPECT_FALSE(a.help);
    }
}

TEST(CtlArguments, EmptyFileArgument_IsRefused)
{
    const CtlArguments a = ParseCtlArguments({QStringLiteral("show"), QString()});
    EXPECT_FALSE(a.error.isEmpty());
}

TEST(CtlArguments, EveryCommand_HasItsOwnHelpNamingIt)
{
    for (CtlCommand c : {CtlCommand::Ports, CtlCommand::Read, CtlCommand::Write, CtlCommand::Show,
                         CtlCommand::Diff, CtlCommand::Sheet}) {
        const QString name = CommandName(c);
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(CommandHelp(c).startsWith(QStringLiteral("Использование: lumkctl ") + name));
        EXPECT_TRUE(CommandHelp(CtlCommand::None).contains(QStringLiteral("  ") + name));
    }
}

} // namespace
