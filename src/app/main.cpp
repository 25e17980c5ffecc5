// Tabrine: editor and librarian for E-mu Proteus family sound modules.
#include "core/Logger.h"
#include "core/Settings.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TLOG(0, u"Tabrine initialised");
    std::fputs(GetGlobalConfigurations().DumpToText().toLocal8Bit().constData(), stdout);
    TLOG(0, u"Tabrine shutdown");
    return 0;
}
