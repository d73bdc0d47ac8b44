#pragma once

#include "AppContext.h"
#include "Screen.h"

namespace gpibconfig {

// What the configuration window's logic needs from the toolkit.
class ConfigHost {
public:
    virtual ~ConfigHost() = default;
    // Unloads the configuration window; the main window is in front again.
    virtual void closeConfigWindow() = 0;
};

// The configuration window's behaviour: one configuration run.
class ConfigLogic {
public:
    ConfigLogic(AppContext& app, Screen& screen, ConfigHost& host);

    void Form_Load();
    void cmdDone_Click();

    bool doneArmed() const { return m_doneArmed != 0; }

    static QString titleFor(std::int16_t modelCode);

private:
    AppContext& m_app;
    Screen& m_screen;
    ConfigHost& m_host;

    // Fields of the window itself; they live as long as the window.
    std::int16_t m_scrollCount = 0;
    std::int16_t m_doneArmed = 0;
    QString m_crLf;
};

} // namespace gpibconfig
