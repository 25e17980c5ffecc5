#pragma once
// What every fuzz target shares: a Qt application for the whole run, a
// memory settings store, a message presenter that answers every question
// with one fixed answer, and FUZZ_CHECK, which ends the run with a message
// when a property of the code under test does not hold (libFuzzer keeps the
// input that did it).
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                                    \
    do {                                                                                                    \
        if (!(cond)) {                                                                                      \
            std::fprintf(stderr, "Property does not hold: %s (%s:%d)\n", #cond, __FILE__, __LINE__);      \
            std::abort();                                                                                   \
        }                                                                                                   \
    } while (0)

namespace fuzz {

/// Builds the application, the settings store and the presenter once; later
/// calls only empty the log's waiting lines.
void Init();

/// Makes the current logger one that drops every line (again, after
/// something replaced it).
void InstallQuietLog();

/// Installs the fuzz presenter again (after something replaced it).
void InstallPresenter();

/// The answer the presenter gives to every message box (msgbox::IdYes by default).
void SetAnswer(int answer);

/// How many message boxes were shown since the last call.
int TakeMessageCount();

/// A fresh empty folder under the system's temporary folder, the same one for
/// the whole run (emptied on each call).
QString ScratchFolder();

/// The input as bytes, copied.
inline QByteArray Bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

/// A message as it may travel: F0, then only data bytes, then F7.
bool IsCleanSysEx(const QByteArray& message);

} // namespace fuzz
