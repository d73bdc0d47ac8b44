// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The real AR488 firmware in front of the bench, as a test starts it: one ar488-oracle-<release>
// program (oracle_main.cpp), its pseudo-terminal for the driver, its control channel for the
// bench's state.

#include "sim/BenchTypes.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace gpibconfig::test {

// The releases built (CMake passes each program's path).
inline const QStringList kAr488Releases = {QStringLiteral("0.53.04"), QStringLiteral("0.51.09")};

inline QString ar488Program(const QString& release)
{
    return release == QLatin1String("0.51.09") ? QStringLiteral(AR488_ORACLE_0_51_09)
                                               : QStringLiteral(AR488_ORACLE_0_53_04);
}

class Ar488Oracle {
public:
    explicit Ar488Oracle(const QString& release)
    {
        m_process.setProgram(ar488Program(release));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        const QString first = line();
        if (first.startsWith(QStringLiteral("pty ")))
            m_pty = first.mid(4);
    }
    ~Ar488Oracle()
    {
        m_process.closeWriteChannel(); // the end of its input ends it
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    Ar488Oracle(const Ar488Oracle&) = delete;
    Ar488Oracle& operator=(const Ar488Oracle&) = delete;

    // The pseudo-terminal to give the driver; empty when the program did not start.
    QString pty() const { return m_pty; }

    // One control command and its answer's lines ("error: ..." for a refused one).
    QStringList ask(const QString& command)
    {
        m_process.write(command.toUtf8() + '\n');
        QStringList answer;
        for (QString l = line(); l != QLatin1String("."); l = line()) {
            if (l.isNull())
                return {QStringLiteral("error: no answer to ") + command};
            answer << l;
        }
        return answer;
    }
    QString value(const QString& command) { return ask(command).value(0); }

    long eepromWrites() { return value(QStringLiteral("eeprom")).toLong(); }
    // The unit as far as the window's list and the 7352A's walk show it (see WindowOnDriver.h).
    sim::UnitView unit(const QString& model)
    {
        sim::UnitView view;
        for (const QString& field : value(QStringLiteral("unit ") + model).split(' ')) {
            const int number = field.section(QLatin1Char('='), 1).toInt();
            const QString name = field.section(QLatin1Char('='), 0, 0);
            if (name == QLatin1String("primary"))
                view.primary = number;
            else if (name == QLatin1String("switch"))
                view.switchAddress = number;
            else if (name == QLatin1String("onswitch"))
                view.onSwitchAddress = number != 0;
            else if (name == QLatin1String("needstrigger"))
                view.needsTrigger = number != 0;
            else if (name == QLatin1String("triggered"))
                view.triggered = number != 0;
            else if (name == QLatin1String("locked"))
                view.locked = number != 0;
            else if (name == QLatin1String("saved"))
                view.everSaved = number != 0;
            else if (name == QLatin1String("psc"))
                view.powerOnClear = number != 0;
        }
        return view;
    }
    // Messages the units took, as "7352A VOLT:SLOPe -1.5" ("7379/0 ..." for a channel).
    QStringList messages() { return ask(QStringLiteral("messages")); }

private:
    // The next line of its output; a null string when none came within seconds.
    QString line()
    {
        while (!m_process.canReadLine()) {
            if (m_process.state() == QProcess::NotRunning || !m_process.waitForReadyRead(20000))
                return {};
        }
        return QString::fromUtf8(m_process.readLine()).chopped(1);
    }

    QProcess m_process;
    QString m_pty;
};

} // namespace gpibconfig::test
