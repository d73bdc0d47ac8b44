// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/Bench.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <optional>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableWidget;

namespace gpibconfig {
class MainWindow;
}

namespace gpibconfig::sim {

// The bench as a person at the bench sees it: every unit with its address, mode, lock and event
// status and a power switch; the selected unit's settings next to what a power cycle brings back;
// and the bus trace as it happens. When the program addresses a unit to configure it (the device
// clear of Set Address), that unit is selected, so its settings change before the operator's
// eyes as the run goes on; a unit selected by hand stays selected until the next Set Address.
//
// The window listens to the bench and takes its listeners off again in its destructor, so the
// bench must outlive the window (declare the bench first). The window may go first at any time.
//
// Bench events arrive in bursts (a configuration run is hundreds of driver calls in a row), so
// they only mark the view stale; the tables and the trace view catch up once the event loop
// runs, in one go.
class BenchWindow final : public QWidget {
    Q_OBJECT
public:
    // Lines the trace view keeps; the bench keeps its own, longer record.
    static constexpr int kTraceViewLines = 20000;

    explicit BenchWindow(Bench& bench, QWidget* parent = nullptr);
    ~BenchWindow() override;

    QSize sizeHint() const override;

    // Shows the window to the right of `mainWindow` on its screen, beside it when there is room.
    void showBeside(const QWidget& mainWindow);

    // Where a window of `preferred` size (at least `minimum`) goes beside a window whose frame is
    // `mainFrame`, within the screen's `available` area: right of it if it fits there without
    // overlapping, else left of it, else against the right edge of the screen. `gap` pixels stay
    // between the two.
    static QRect placeBeside(const QRect& mainFrame, const QRect& available, QSize preferred,
                             QSize minimum, int gap);

signals:
    // The tables and the trace view have caught up with the bench.
    void refreshed();

private:
    struct SettingRow {
        QString channel; // row label of a multi-channel unit
        QString header;
        QString current;
        QString saved;
    };

    void buildUi();
    void scheduleRefresh();
    void refresh();
    void refreshBoard();
    void refreshUnits();
    void refreshSettings();
    void followAddressedUnit();
    void flushTrace();
    void clearTraceView();
    void addUnitRow(Bench::UnitId id, const UnitView& unit);
    void updateTabOrder();
    std::vector<SettingRow> settingRows(const UnitView& unit) const;
    int selectedUnit() const;
    int settingsWidthHint() const;

    Bench& m_bench;
    int m_changeListener = 0;
    int m_traceListener = 0;
    QTimer m_refreshTimer;
    bool m_unitsStale = true;
    std::deque<QString> m_pendingTrace;
    // The unit the program addressed last, until the view has selected it.
    std::optional<Bench::Addressed> m_addressed;

    QLabel* m_board = nullptr;
    QTableWidget* m_units = nullptr;
    QSplitter* m_split = nullptr;
    QSplitter* m_traceSplit = nullptr;
    std::vector<QPushButton*> m_powerButtons;
    QLabel* m_settingsLabel = nullptr;
    QTableWidget* m_settings = nullptr;
    int m_settingsUnit = -1;
    QPlainTextEdit* m_trace = nullptr;
    QPushButton* m_clearTrace = nullptr;
};

// While the program's configuration window or one of its dialogs is open, the rest of the program
// must stay blocked but the bench must not: the bench stands for hardware, and switching a unit
// off and on in the middle of a run is part of what it is for. Installs hooks on `mainWindow`
// that make those windows modal to the program's own windows only (replacing any hook set
// before).
void keepBenchUsableUnderDialogs(MainWindow& mainWindow);

} // namespace gpibconfig::sim
