#include "command_line.h"

#include "morvel_version.h"
#include "private_profile.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

CommandLineAction parseCommandLine(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return CommandLineAction::Run;
    if (arguments.size() == 1 && arguments[0] == u"--version"_s)
        return CommandLineAction::PrintVersion;
    if (arguments.size() == 1 && arguments[0] == u"--help"_s)
        return CommandLineAction::PrintHelp;
    return CommandLineAction::Refuse;
}

QString versionLabel()
{
    return u"Версия Morvel " MORVEL_VERSION "   (Сборка " MORVEL_BUILD ")"_s;
}

QString statusBanner()
{
    return u"  Morvel для программы \"Skarpa\"    "_s + versionLabel() + u"  "_s;
}

QString versionText()
{
    return u"Morvel " MORVEL_VERSION " (Сборка " MORVEL_BUILD ")\n"_s;
}

QString helpText(const QString &executablePath)
{
    const QString appDir = QFileInfo(executablePath).absolutePath();
    return usageText()
        + u"Morvel — просмотр склада режущего инструмента (сверла, фрезы, державки, пластины\n"
          "и долги) в базе данных Microsoft Access (.mdb) программы \"Skarpa\". База только читается.\n"
          "\n"
          "Путь к базе выбирается командой меню \"Путь к БД\" и хранится в файле конфигурации\n"
          "  "_s + platform::configFileFor(executablePath) + u"\n"
          "Картинки по умолчанию берутся из папки\n"
          "  "_s + QDir(appDir).filePath(u"Images/NoFoto"_s) + u"/\n"
          "\n"
          "  --version  показать версию и сборку\n"
          "  --help     показать эту справку\n"_s;
}

QString usageText()
{
    return u"Использование: morvel [--version | --help]\n"_s;
}
