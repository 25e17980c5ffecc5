#include "FuzzSupport.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace fuzz {
namespace {

// Takes every log line and keeps none: a run makes millions.
class QuietLog final : public Logger {
public:
    QuietLog() : Logger(QStringLiteral("Tabrine"), kDefaultLogFlags) {}
    void Output(int, const QString&) override {}
};

struct AnsweringPresenter : MessagePresenter {
    int answer = msgbox::IdYes;
    int shown = 0;
    int Present(QObject*, const QString&, const QString&, unsigned) override
    {
        ++shown;
        return answer;
    }
};

std::shared_ptr<AnsweringPresenter>& Presenter()
{
    static std::shared_ptr<AnsweringPresenter> p;
    return p;
}

} // namespace

void Init()
{
    static bool done = false;
    if (!done) {
        done = true;
        static int argc = 1;
        static char name[] = "tabrine_fuzz";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv); // lives for the whole run
        // A private home: nothing the targets write reaches the user's files.
        static QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        Presenter() = std::make_shared<AnsweringPresenter>();
        SetMessagePresenter(Presenter());
    }
    InstallQuietLog();
    TheTmpLogStore().TakeWaiting();
}

void InstallQuietLog()
{
    static QuietLog* log = [] {
        auto* l = new QuietLog;
        l->AddRef();
        return l;
    }();
    SetLogWindow(log);
}

void InstallPresenter()
{
    SetMessagePresenter(Presenter());
}

void SetAnswer(int answer)
{
    Presenter()->answer = answer;
}

int TakeMessageCount()
{
    const int n = Presenter()->shown;
    Presenter()->shown = 0;
    return n;
}

QString ScratchFolder()
{
    static QTemporaryDir root;
    QDir dir(root.filePath(QStringLiteral("scratch")));
    dir.removeRecursively();
    QDir().mkpath(dir.path());
    return dir.path();
}

bool IsCleanSysEx(const QByteArray& m)
{
    if (m.size() < 2 || std::uint8_t(m.front()) != 0xF0 || std::uint8_t(m.back()) != 0xF7)
        return false;
    for (qsizetype i = 1; i + 1 < m.size(); ++i)
        if (std::uint8_t(m[i]) >= 0x80)
            return false;
    return true;
}

} // namespace fuzz
