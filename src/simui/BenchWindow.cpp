// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchWindow.h"

#include "sim/Board.h"
#include "ui/ConfigWindow.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMargins>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace gpibconfig::sim {

namespace {

enum UnitColumn { ColModel, ColAddress, ColMode, ColLock, ColEsr, ColPower, UnitColumns };
enum SettingColumn { ColHeader, ColCurrent, ColSaved, SettingColumns };

QString text(const std::string& s) { return QString::fromStdString(s); }

// "11-14" for the usual run of channels, a list otherwise.
QString secondariesText(const UnitView& unit)
{
    std::vector<int> secondaries;
    for (const auto& channel : unit.channels) {
        if (channel.secondary >= 0)
            secondaries.push_back(channel.secondary);
    }
    if (secondaries.empty())
        return {};
    const bool consecutive =
        std::adjacent_find(secondaries.begin(), secondaries.end(),
                           [](int a, int b) { return b != a + 1; }) == secondaries.end();
    if (consecutive && secondaries.size() > 1)
        return QStringLiteral("%1-%2").arg(secondaries.front()).arg(secondaries.back());
    QStringList list;
    for (const int secondary : secondaries)
        list << QString::number(secondary);
    return list.join(QLatin1Char(','));
}

QString addressText(const UnitView& unit)
{
    QString address = unit.onSwitchAddress ? QStringLiteral("sw %1").arg(unit.primary)
                                           : QString::number(unit.primary);
    const QString secondaries = secondariesText(unit);
    if (!secondaries.isEmpty())
        address += QStringLiteral(" / ") + secondaries;
    return address;
}

QString addressToolTip(const UnitView& unit)
{
    QString tip =
        unit.onSwitchAddress
            ? QStringLiteral("Primary address %1, from its address switches").arg(unit.primary)
            : QStringLiteral("Primary address %1 (address switches: %2)")
                  .arg(unit.primary)
                  .arg(unit.switchAddress);
    const QString secondaries = secondariesText(unit);
    if (!secondaries.isEmpty())
        tip += QStringLiteral("; its channels answer at secondary addresses ") + secondaries;
    return tip;
}

QString modeText(const UnitView& unit)
{
    if (!unit.needsTrigger)
        return QStringLiteral("ready");
    return unit.triggered ? QStringLiteral("triggered") : QStringLiteral("waiting for trigger");
}

QString lockText(const UnitView& unit)
{
    if (!unit.lockable)
        return QStringLiteral("-");
    return unit.locked ? QStringLiteral("locked") : QStringLiteral("unlocked");
}

QString esrText(const UnitView& unit)
{
    QStringList values;
    for (const auto& channel : unit.channels)
        values << QString::number(channel.esr);
    return values.join(QStringLiteral(", "));
}

QString faultsText(const UnitFaults& faults)
{
    QStringList parts;
    if (faults.silent)
        parts << QStringLiteral("never answers");
    if (faults.replyDelay > 0)
        parts << QStringLiteral("answers after %1 s").arg(faults.replyDelay);
    if (faults.garbage)
        parts << QStringLiteral("answers garbage");
    if (faults.esrReply)
        parts << QStringLiteral("answers *ESR? with \"%1\"").arg(text(*faults.esrReply));
    if (faults.refuseSave)
        parts << QStringLiteral("refuses *SAV");
    return parts.join(QStringLiteral(", "));
}

// Updates a cell in place (Qt drops a value that did not change), so refreshing an unchanged
// bench repaints nothing and keeps the user's selection and scroll position.
void setCell(QTableWidget* table, int row, int column, const QString& value,
             const QString& toolTip = {}, bool bold = false)
{
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        table->setItem(row, column, item);
    }
    item->setText(value);
    item->setToolTip(toolTip);
    if (item->font().bold() != bold) {
        QFont font = item->font();
        font.setBold(bold);
        item->setFont(font);
    }
}

QString powerButtonName(const std::string& model, Bench::UnitId id, bool firstOfModel)
{
    QString name = QStringLiteral("btnPowerCycle_") + text(model);
    if (!firstOfModel)
        name += QStringLiteral("_%1").arg(id);
    return name;
}

} // namespace

BenchWindow::BenchWindow(Bench& bench, QWidget* parent)
    : QWidget(parent)
    , m_bench(bench)
{
    setObjectName(QStringLiteral("BenchWindow"));
    setWindowTitle(QStringLiteral("gpibconfig Bench - simulated GPIB units"));
    setAccessibleName(QStringLiteral("Bench"));
    setAccessibleDescription(
        QStringLiteral("The simulated GPIB units the program talks to, and the bus trace"));
    // The program ends with its main window; this one is only its bench.
    setAttribute(Qt::WA_QuitOnClose, false);

    buildUi();

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &BenchWindow::refresh);

    // What happened on the bus before the window opened is worth seeing too.
    const std::size_t kept = m_bench.trace().size();
    const std::size_t skip =
        kept > static_cast<std::size_t>(kTraceViewLines) ? kept - kTraceViewLines : 0;
    for (const BusCall& record : m_bench.trace().records(skip))
        m_pendingTrace.push_back(text(record.traceLine()));

    // Both listeners run in the middle of a driver call: they only note the news.
    m_changeListener = m_bench.addChangeListener([this] {
        m_unitsStale = true;
        scheduleRefresh();
    });
    m_traceListener = m_bench.trace().addListener([this](const BusCall& record) {
        // A device clear is how a run starts on a unit (and on each channel of the 7379); which
        // unit it reached is looked up now, before the run moves it to another address.
        if (record.kind == BusCall::Kind::DevClear && !record.failed()) {
            if (const auto addressed = m_bench.addressedBy(record.address))
                m_addressed = addressed;
        }
        m_pendingTrace.push_back(text(record.traceLine()));
        if (m_pendingTrace.size() > static_cast<std::size_t>(kTraceViewLines))
            m_pendingTrace.pop_front();
        scheduleRefresh();
    });

    refresh();
    if (m_units->rowCount() > 0)
        m_units->selectRow(0);
    m_units->resizeColumnsToContents();
    m_split->setSizes({m_units->sizeHint().width(), settingsWidthHint()});
    // The unit table would take all the height it could use; the trace deserves a good share.
    const int height = sizeHint().height();
    m_traceSplit->setSizes({3 * height / 5, 2 * height / 5});
}

BenchWindow::~BenchWindow()
{
    m_bench.trace().removeListener(m_traceListener);
    m_bench.removeChangeListener(m_changeListener);
}

void BenchWindow::buildUi()
{
    m_board = new QLabel(this);
    m_board->setObjectName(QStringLiteral("lblBoard"));
    // Named by the state it shows (refreshBoard), so a screen reader reads the state itself.
    m_board->setAccessibleDescription(
        QStringLiteral("The simulated GPIB board: online, controller role, remote enable and "
                       "time-out"));

    m_units = new QTableWidget(0, UnitColumns, this);
    m_units->setObjectName(QStringLiteral("tblUnits"));
    m_units->setAccessibleName(QStringLiteral("Units"));
    m_units->setAccessibleDescription(
        QStringLiteral("Every unit on the bench with its address, mode, lock, event status "
                       "register and power switch; the selected unit's settings are shown "
                       "beside. The unit the program addresses is selected at each Set "
                       "Address"));
    m_units->setHorizontalHeaderLabels({QStringLiteral("Model"), QStringLiteral("Address"),
                                        QStringLiteral("Mode"), QStringLiteral("Lock"),
                                        QStringLiteral("ESR"), QStringLiteral("Power")});
    m_units->horizontalHeaderItem(ColAddress)
        ->setToolTip(
            QStringLiteral("Primary address (\"sw\": taken from the address switches) and the "
                           "channels' secondary addresses"));
    m_units->horizontalHeaderItem(ColEsr)->setToolTip(
        QStringLiteral("Standard event status register, one value per channel"));
    m_units->verticalHeader()->hide();
    m_units->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The table is as wide as its columns, so the power switches are never scrolled away.
    m_units->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    // Counted in that width from the start, rather than appearing later and pushing the last
    // column out of sight.
    m_units->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_units->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_units->setSelectionMode(QAbstractItemView::SingleSelection);
    m_units->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the power switches instead of walking its cells.
    m_units->setTabKeyNavigation(false);
    m_units->setAlternatingRowColors(true);
    connect(m_units, &QTableWidget::itemSelectionChanged, this, &BenchWindow::refreshSettings);

    auto* unitsLabel = new QLabel(QStringLiteral("&Units"), this);
    unitsLabel->setBuddy(m_units);

    m_settings = new QTableWidget(0, SettingColumns, this);
    m_settings->setObjectName(QStringLiteral("tblSettings"));
    m_settings->setAccessibleName(QStringLiteral("Settings"));
    m_settings->setAccessibleDescription(
        QStringLiteral("The selected unit's settings: the value it has now and the saved value a "
                       "power cycle brings back; rows that differ are bold"));
    m_settings->setHorizontalHeaderLabels(
        {QStringLiteral("Setting"), QStringLiteral("Current"), QStringLiteral("Saved")});
    m_settings->horizontalHeaderItem(ColSaved)->setToolTip(
        QStringLiteral("What the unit has after a power cycle"));
    // Values are short; the headers take what is left and are elided rather than pushing the
    // saved values out of sight.
    m_settings->horizontalHeader()->setSectionResizeMode(ColHeader, QHeaderView::Stretch);
    m_settings->horizontalHeader()->setSectionResizeMode(ColCurrent, QHeaderView::ResizeToContents);
    m_settings->horizontalHeader()->setSectionResizeMode(ColSaved, QHeaderView::ResizeToContents);
    m_settings->setTextElideMode(Qt::ElideMiddle);
    m_settings->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_settings->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_settings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_settings->setTabKeyNavigation(false);
    m_settings->setAlternatingRowColors(true);

    m_settingsLabel = new QLabel(this);
    m_settingsLabel->setObjectName(QStringLiteral("lblSettings"));
    m_settingsLabel->setBuddy(m_settings);

    m_trace = new QPlainTextEdit(this);
    m_trace->setObjectName(QStringLiteral("txtTrace"));
    m_trace->setAccessibleName(QStringLiteral("Bus trace"));
    m_trace->setAccessibleDescription(
        QStringLiteral("Every driver call the program makes, with the status it got, and bench "
                       "events such as power cycles; newest at the bottom"));
    m_trace->setReadOnly(true);
    m_trace->setUndoRedoEnabled(false);
    m_trace->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_trace->setMaximumBlockCount(kTraceViewLines);
    m_trace->setTabChangesFocus(true);
    m_trace->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_trace->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* traceLabel = new QLabel(QStringLiteral("&Trace"), this);
    traceLabel->setBuddy(m_trace);

    m_clearTrace = new QPushButton(QStringLiteral("C&lear"), this);
    m_clearTrace->setObjectName(QStringLiteral("btnClearTrace"));
    m_clearTrace->setAccessibleName(QStringLiteral("Clear trace"));
    m_clearTrace->setAccessibleDescription(
        QStringLiteral("Empties the trace view; the bench keeps its own record"));
    m_clearTrace->setToolTip(QStringLiteral("Empty the trace view (the bench keeps its record)"));
    connect(m_clearTrace, &QPushButton::clicked, this, &BenchWindow::clearTraceView);

    // Layout: units and settings side by side above the trace, all resizable.
    auto* unitsPane = new QWidget(this);
    auto* unitsLayout = new QVBoxLayout(unitsPane);
    unitsLayout->setContentsMargins(0, 0, 0, 0);
    unitsLayout->addWidget(unitsLabel);
    unitsLayout->addWidget(m_units);

    auto* settingsPane = new QWidget(this);
    auto* settingsLayout = new QVBoxLayout(settingsPane);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    settingsLayout->addWidget(m_settingsLabel);
    settingsLayout->addWidget(m_settings);

    auto* tracePane = new QWidget(this);
    auto* traceLayout = new QVBoxLayout(tracePane);
    traceLayout->setContentsMargins(0, 0, 0, 0);
    auto* traceHeader = new QHBoxLayout;
    traceHeader->addWidget(traceLabel);
    traceHeader->addStretch(1);
    traceHeader->addWidget(m_clearTrace);
    traceLayout->addLayout(traceHeader);
    traceLayout->addWidget(m_trace);

    m_split = new QSplitter(Qt::Horizontal, this);
    m_split->setObjectName(QStringLiteral("splitUnits"));
    m_split->setAccessibleName(QStringLiteral("Units and settings divider"));
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(unitsPane);
    m_split->addWidget(settingsPane);
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);

    auto* whole = new QSplitter(Qt::Vertical, this);
    whole->setObjectName(QStringLiteral("splitTrace"));
    whole->setAccessibleName(QStringLiteral("Tables and trace divider"));
    whole->setChildrenCollapsible(false);
    whole->addWidget(m_split);
    whole->addWidget(tracePane);
    whole->setStretchFactor(0, 3);
    whole->setStretchFactor(1, 2);
    m_traceSplit = whole;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_board);
    layout->addWidget(whole, 1);
}

int BenchWindow::settingsWidthHint() const
{
    // The longest headers ("SYSTem:COMMunicate:SERial:PARity:CHECk") and two short values.
    return fontMetrics().averageCharWidth() * 84;
}

QSize BenchWindow::sizeHint() const
{
    // The whole unit table and the settings side by side, and a good part of the trace below.
    const QMargins margins = layout()->contentsMargins();
    const int width = margins.left() + m_units->sizeHint().width() + m_split->handleWidth() +
                      settingsWidthHint() + margins.right();
    return {width, fontMetrics().lineSpacing() * 48};
}

void BenchWindow::scheduleRefresh()
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void BenchWindow::refresh()
{
    m_refreshTimer.stop();
    flushTrace();
    refreshBoard();
    if (m_unitsStale) {
        m_unitsStale = false;
        refreshUnits();
        refreshSettings();
    }
    followAddressedUnit();
    emit refreshed();
}

void BenchWindow::followAddressedUnit()
{
    if (!m_addressed)
        return;
    const Bench::Addressed addressed = *m_addressed;
    m_addressed.reset();
    if (addressed.unit >= static_cast<std::size_t>(m_units->rowCount()))
        return;
    const int row = static_cast<int>(addressed.unit);
    // The selection brings the unit's settings along.
    m_units->selectRow(row);
    m_units->scrollToItem(m_units->item(row, ColModel));
    const UnitView unit = m_bench.unit(addressed.unit);
    if (unit.channels.size() < 2 || addressed.channel >= unit.channels.size())
        return;
    // Of a unit with channels, the one the run works on comes into sight.
    const QString channel = QStringLiteral("ch %1").arg(unit.channels[addressed.channel].secondary);
    for (int r = 0; r < m_settings->rowCount(); ++r) {
        const QTableWidgetItem* header = m_settings->verticalHeaderItem(r);
        if (header && header->text() == channel) {
            m_settings->scrollToItem(m_settings->item(r, ColHeader),
                                     QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void BenchWindow::refreshBoard()
{
    const Board& board = m_bench.board();
    QString state = QStringLiteral("Board 0: ");
    if (!board.online()) {
        state += QStringLiteral("offline");
    } else {
        QStringList parts;
        parts << QStringLiteral("online");
        parts << (board.controllerInCharge() ? QStringLiteral("controller in charge")
                                             : QStringLiteral("not controller in charge"));
        parts << (board.remoteEnable() ? QStringLiteral("remote enable on")
                                       : QStringLiteral("remote enable off"));
        const double timeout = Board::timeoutSeconds(board.timeoutCode());
        parts << (timeout > 0 ? QStringLiteral("time-out %1 s").arg(text(BusCall::number(timeout)))
                              : QStringLiteral("no time-out"));
        state += parts.join(QStringLiteral(", "));
    }
    m_board->setText(state);
    m_board->setAccessibleName(state);
}

void BenchWindow::refreshUnits()
{
    const std::vector<UnitView> units = m_bench.units();
    const bool added = units.size() > m_powerButtons.size();
    for (std::size_t id = m_powerButtons.size(); id < units.size(); ++id)
        addUnitRow(id, units[id]);
    for (std::size_t id = 0; id < units.size(); ++id) {
        const UnitView& unit = units[id];
        const int row = static_cast<int>(id);
        const QString faults = faultsText(unit.faults);
        setCell(m_units, row, ColModel, text(unit.model),
                faults.isEmpty() ? QString() : QStringLiteral("Fault: ") + faults);
        setCell(m_units, row, ColAddress, addressText(unit), addressToolTip(unit));
        setCell(m_units, row, ColMode, modeText(unit),
                unit.needsTrigger ? QStringLiteral("Takes settings only after a group execute "
                                                   "trigger since its last power-on")
                                  : QString());
        setCell(m_units, row, ColLock, lockText(unit));
        setCell(m_units, row, ColEsr, esrText(unit));
    }
    if (added) {
        m_units->resizeRowsToContents();
        updateTabOrder();
    }
}

void BenchWindow::addUnitRow(Bench::UnitId id, const UnitView& unit)
{
    const int row = static_cast<int>(id);
    m_units->setRowCount(row + 1);
    bool firstOfModel = true;
    for (std::size_t other = 0; other < id; ++other) {
        if (m_units->item(static_cast<int>(other), ColModel)->text() == text(unit.model))
            firstOfModel = false;
    }
    auto* button = new QPushButton(QStringLiteral("Power cycle"));
    button->setObjectName(powerButtonName(unit.model, id, firstOfModel));
    button->setAccessibleName(QStringLiteral("Power cycle ") + text(unit.model));
    button->setAccessibleDescription(
        QStringLiteral("Switches the %1 off and on: saved settings come back and its event "
                       "status register reads 128")
            .arg(text(unit.model)));
    button->setToolTip(QStringLiteral("Switch the %1 off and back on").arg(text(unit.model)));
    connect(button, &QPushButton::clicked, this, [this, id] { m_bench.powerCycle(id); });
    m_units->setCellWidget(row, ColPower, button);
    m_powerButtons.push_back(button);
    // The model cell must exist before the next row looks for duplicates.
    setCell(m_units, row, ColModel, text(unit.model));
}

void BenchWindow::updateTabOrder()
{
    QWidget* previous = m_units;
    for (QPushButton* button : m_powerButtons) {
        setTabOrder(previous, button);
        previous = button;
    }
    setTabOrder(previous, m_settings);
    setTabOrder(m_settings, m_trace);
    setTabOrder(m_trace, m_clearTrace);
}

int BenchWindow::selectedUnit() const
{
    const QList<QTableWidgetItem*> selected = m_units->selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

std::vector<BenchWindow::SettingRow> BenchWindow::settingRows(const UnitView& unit) const
{
    std::vector<SettingRow> rows;
    const bool channels = unit.channels.size() > 1;
    for (const auto& channel : unit.channels) {
        const QString label = channels ? QStringLiteral("ch %1").arg(channel.secondary) : QString();
        for (std::size_t i = 0; i < channel.settings.size(); ++i) {
            const std::string saved =
                i < channel.saved.size() ? channel.saved[i].second : std::string();
            rows.push_back({label, text(channel.settings[i].first),
                            text(channel.settings[i].second), text(saved)});
        }
        // The enable registers are not saved with *SAV; a power cycle keeps or clears them as
        // *PSC says, which is what "saved" means for them.
        const auto atPowerOn = [&](int value) {
            return QString::number(unit.powerOnClear ? 0 : value);
        };
        rows.push_back(
            {label, QStringLiteral("*ESE"), QString::number(channel.ese), atPowerOn(channel.ese)});
        rows.push_back(
            {label, QStringLiteral("*SRE"), QString::number(channel.sre), atPowerOn(channel.sre)});
    }
    const QString psc = unit.powerOnClear ? QStringLiteral("1") : QStringLiteral("0");
    rows.push_back(
        {channels ? QStringLiteral("unit") : QString(), QStringLiteral("*PSC"), psc, psc});
    return rows;
}

void BenchWindow::refreshSettings()
{
    const int id = selectedUnit();
    // The table is called what its label says, for whichever unit (or none) it shows.
    const auto caption = [this](const QString& words) {
        m_settingsLabel->setText(QLatin1Char('&') + words);
        m_settings->setAccessibleName(words);
    };
    if (id < 0 || static_cast<std::size_t>(id) >= m_bench.unitCount()) {
        caption(QStringLiteral("Settings (no unit selected)"));
        m_settings->setRowCount(0);
        m_settingsUnit = -1;
        return;
    }
    const UnitView unit = m_bench.unit(static_cast<Bench::UnitId>(id));
    caption(QStringLiteral("Settings of the %1 at %2").arg(text(unit.model), addressText(unit)));

    const std::vector<SettingRow> rows = settingRows(unit);
    m_settings->setRowCount(static_cast<int>(rows.size()));
    const bool channels = unit.channels.size() > 1;
    m_settings->verticalHeader()->setVisible(channels);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingRow& setting = rows[i];
        const int row = static_cast<int>(i);
        if (channels) {
            QTableWidgetItem* header = m_settings->verticalHeaderItem(row);
            if (!header) {
                header = new QTableWidgetItem;
                m_settings->setVerticalHeaderItem(row, header);
            }
            header->setText(setting.channel);
        }
        const bool differs = setting.current != setting.saved;
        const QString tip = differs ? QStringLiteral("Differs from the saved value; a power "
                                                     "cycle brings back %1")
                                          .arg(setting.saved)
                                    : QString();
        setCell(m_settings, row, ColHeader, setting.header,
                tip.isEmpty() ? setting.header : setting.header + QStringLiteral(": ") + tip,
                differs);
        setCell(m_settings, row, ColCurrent, setting.current, tip, differs);
        setCell(m_settings, row, ColSaved, setting.saved, tip, differs);
    }
    if (id != m_settingsUnit) {
        m_settingsUnit = id;
        m_settings->scrollToTop();
    }
}

void BenchWindow::flushTrace()
{
    if (m_pendingTrace.empty())
        return;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_pendingTrace.size()));
    for (QString& line : m_pendingTrace)
        lines << std::move(line);
    m_pendingTrace.clear();

    // Follow the newest line only while the reader is at the bottom; someone who scrolled up to
    // read keeps their place.
    QScrollBar* bar = m_trace->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    m_trace->appendPlainText(lines.join(QLatin1Char('\n')));
    if (following)
        bar->setValue(bar->maximum());
}

void BenchWindow::clearTraceView()
{
    m_pendingTrace.clear();
    m_trace->clear();
}

void BenchWindow::showBeside(const QWidget& mainWindow)
{
    const QScreen* screen = mainWindow.screen();
    const QRect available = screen ? screen->availableGeometry() : mainWindow.frameGeometry();
    // Until the window manager has framed the window this is nothing, and the frame is a few
    // pixels off; good enough for a first placement.
    const QSize frame = frameGeometry().size() - size();
    const QRect where = placeBeside(mainWindow.frameGeometry(), available, sizeHint() + frame,
                                    minimumSizeHint().expandedTo(QSize(1, 1)) + frame,
                                    fontMetrics().averageCharWidth());
    resize(where.size() - frame);
    move(where.topLeft());
    show();
    raise();
}

QRect BenchWindow::placeBeside(const QRect& mainFrame, const QRect& available, QSize preferred,
                               QSize minimum, int gap)
{
    const int height = std::min(preferred.height(), available.height());
    const int top = std::clamp(mainFrame.top(), available.top(),
                               std::max(available.top(), available.bottom() - height + 1));
    const int roomRight = available.right() - mainFrame.right() - gap;
    if (roomRight >= minimum.width()) {
        const int width = std::min(preferred.width(), roomRight);
        return {mainFrame.right() + gap + 1, top, width, height};
    }
    const int roomLeft = mainFrame.left() - gap - available.left();
    if (roomLeft >= minimum.width()) {
        const int width = std::min(preferred.width(), roomLeft);
        return {mainFrame.left() - gap - width, top, width, height};
    }
    const int width = std::min(preferred.width(), available.width());
    return {available.right() - width + 1, top, width, height};
}

void keepBenchUsableUnderDialogs(MainWindow& mainWindow)
{
    // Window-modal to their parents still blocks every window of the program, since they all
    // descend from the main window; the bench window has no parent and stays free.
    mainWindow.setConfigWindowHook([](ConfigWindow& config) {
        config.setWindowModality(Qt::WindowModal);
        config.setChannelDialogHook(
            [](ChannelDialog& dialog) { dialog.setWindowModality(Qt::WindowModal); });
        config.setNoticeDialogHook(
            [](NoticeDialog& dialog) { dialog.setWindowModality(Qt::WindowModal); });
    });
}

} // namespace gpibconfig::sim
