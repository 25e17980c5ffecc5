// Tabrine: editor and librarian for E-mu Proteus family sound modules.
#include "app/Application.h"
#include "app/TestGeometry.h"
#include "editors/EditorPopups.h"
#include "ui/framework/Popup.h"

#include <QApplication>
#include <QStringList>

// The application object is the first of the program's global objects: it is
// built before every other static object and destroyed after them.
__attribute__((init_priority(101))) Application theApp;

int main(int argc, char** argv)
{
    SetTheApp(&theApp);
    QApplication app(argc, argv);
    // Tests that drive the program from outside read its windows' places from
    // here; without TABRINE_TEST_GEOMETRY this does nothing.
    InstallTestGeometryReport();
    BuildStartupGlobals();
    Application::Options options;
    options.editorFactory = CreateEditorPopup;
    theApp.SetOptions(std::move(options));

    // The whole command line names the configuration; QApplication has taken
    // its own options out of it.
    if (!theApp.InitInstance(QApplication::arguments().mid(1).join(u' ')))
        return theApp.ExitInstance();
    app.exec();
    return theApp.ExitInstance();
}
