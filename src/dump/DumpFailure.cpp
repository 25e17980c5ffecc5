#include "dump/DumpFailure.h"

#include "core/MessageBox.h"

#include <system_error>

bool ShowDumpFailure(const QString& operation, const QString& reason, MessagePresenter* presenter)
{
    ShowMessageWith(presenter, nullptr, msgbox::Ok, true, kDumpFailureString, operation, reason);
    return false;
}

