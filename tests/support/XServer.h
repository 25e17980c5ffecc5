#pragma once
// A private X server (Xvfb) for the tests that need a real display: window
// placement, window-manager-free screenshots, tooltips. Start() launches
// Xvfb on the first free display number (it reports the number through a
// pipe) and points this process at it, with Qt's xcb platform and the session
// bus switched off (without a bus libdbus keeps memory to the end of the run,
// which the leak checker would report). The server stops with the object.

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

class XServer {
public:
    XServer() = default;
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() { Stop(); }

    bool Start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return Fail("no pipe");
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        const std::string fd = std::to_string(fds[1]);
        const char* args[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                              "-nolisten", "tcp", "-noreset", nullptr};
        const int spawned = posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, const_cast<char**>(args), environ);
        close(fds[1]);
        if (spawned != 0) {
            close(fds[0]);
            m_pid = 0;
            return Fail(std::string("Xvfb could not be started: ") + std::strerror(spawned));
        }
        // The server writes its display number and a line end once it accepts clients.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos) {
            if (poll(&p, 1, 20000) <= 0)
                break;
            char buffer[16];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            number.append(buffer, static_cast<size_t>(n));
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos) {
            Stop();
            return Fail("Xvfb reported no display number");
        }
        number.erase(number.find('\n'));
        m_display = ":" + number;
        setenv("DISPLAY", m_display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        unsetenv("WAYLAND_DISPLAY");
        return true;
    }

    void Stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = 0;
    }

    const std::string& Display() const { return m_display; }
    const std::string& Error() const { return m_error; }

private:
    bool Fail(std::string text)
    {
        m_error = std::move(text);
        return false;
    }

    pid_t m_pid = 0;
    std::string m_display;
    std::string m_error;
};
