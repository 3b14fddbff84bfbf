// An X server of the test's own: Xvfb on a display number it picks itself (-displayfd), no TCP, with an
// optional compositing manager (xcompmgr) and window manager (openbox). Everything it starts is stopped by
// PID when the object goes. Start it before the QApplication: it sets DISPLAY and QT_QPA_PLATFORM=xcb.
#pragma once

#include "tests/support/ChildProcess.h"

#include <string>
#include <vector>

namespace testsupport {

class TXServer {
public:
    // Throws std::runtime_error when Xvfb does not come up.
    explicit TXServer(const std::string& Screen = "1024x768x24");
    ~TXServer();
    TXServer(const TXServer&) = delete;
    TXServer& operator=(const TXServer&) = delete;

    // ":N"
    const std::string& Display() const { return FDisplay; }
    void StartCompositor(); // xcompmgr -n; wait until it owns the compositing selection yourself
    void StopCompositor();
    void StartWindowManager(); // openbox; returns once it manages the screen
    void StopWindowManager();

private:
    pid_t FXvfb = -1;
    std::string FDisplay;
    std::string FLogDir;
    TChildProcess FCompositor;
    TChildProcess FWindowManager;
};

// Runs a program (searched in PATH) to its end with DISPLAY as set; returns its exit status, -1 on failure.
int RunTool(const std::vector<std::string>& Argv);

} // namespace testsupport
