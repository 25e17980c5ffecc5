// Tabrine: editor and librarian for E-mu Proteus family sound modules.
#include "core/Logger.h"
#include "core/Settings.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Problems of the settings file found while starting (by the logger's
    // first read) are shown once the configuration is open.
    CollectSettingsProblems();
    // The start-up logger first: it deletes the previous run's log file
    // before anything of this run is logged.
    TheTmpLogStore();

    // The whole command line names the configuration; an unsafe name is
    // refused (and logged) in favour of the default one.
    const ConfigurationChoice configuration = ChooseConfiguration(QCoreApplication::arguments().mid(1).join(u' '));
    GetGlobalConfigurations().SetKeyName(configuration.name);
    ShowSettingsProblems();
    TLOG(kLogInfo, u"Tabrine initialised");

    std::fputs(GetGlobalConfigurations().DumpToText().toLocal8Bit().constData(), stdout);
    TLOG(kLogInfo, u"Tabrine shutdown");
    return 0;
}
