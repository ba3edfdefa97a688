// The program's own command-line options. Qt removes the options it knows
// (-platform, -style, ...) when the application object is created; whatever
// is left must be one of ours.
#pragma once

#include <QString>
#include <QStringList>

enum class CommandLineAction {
    Run,            // no argument: start the program
    PrintVersion,   // --version
    PrintHelp,      // --help
    Refuse,         // anything else: print the usage line and fail
};

// `arguments` without the program name.
CommandLineAction parseCommandLine(const QStringList &arguments);

// "Версия Morvel 0.0.2   (Сборка 0010)", as the status bar shows it.
QString versionLabel();

// The status bar's fixed right-hand panel text.
QString statusBanner();

// What --version prints: the program, its version and its build.
QString versionText();

// What --help prints: what the program does and where it keeps its
// configuration file and fallback pictures, for the executable at
// `executablePath`.
QString helpText(const QString &executablePath);

QString usageText();
