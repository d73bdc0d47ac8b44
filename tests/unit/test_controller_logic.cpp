// SPDX-License-Identifier: GPL-3.0-or-later
// The controller dialog's decisions, without widgets: what it offers for the ports the system
// lists and the controller in force, what a choice becomes, and what it says of bad input.
#include "drivers/ControllerLogic.h"
#include "support/ParamNames.h"
#include "support/TestContext.h" // PrintTo for QString

#include <gtest/gtest.h>

using namespace gpibconfig;

namespace {

enum class Ports { Found, None, Unlistable };

QList<prologix::SerialPort> benchPorts()
{
    // In the order a Linux system lists them: the built-in port first.
    return {
        {QStringLiteral("/dev/ttyS0"), {}, {}, {}, std::nullopt, std::nullopt},
        {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("Prologix GPIB-USB Controller"),
         QStringLiteral("Prologix"), QStringLiteral("PX9A1B2C"), 0x0403, 0x6001},
        {QStringLiteral("/dev/ttyACM0"), QStringLiteral("Arduino Uno"),
         QStringLiteral("Arduino (www.arduino.cc)"), {}, 0x2341, 0x0043},
    };
}

DriverSpec spec(const char* text)
{
    auto parsed = DriverSpec::parse(QString::fromLatin1(text));
    if (!std::holds_alternative<DriverSpec>(parsed))
        ADD_FAILURE() << "bad spec in the test: " << text;
    return std::get_if<DriverSpec>(&parsed) ? std::get<DriverSpec>(parsed) : DriverSpec{};
}

ControllerSituation situation(const char* current, DriverSource source, Ports ports)
{
    ControllerSituation s;
    s.current = spec(current);
    s.startedWith = DriverChoice{s.current, source};
    if (ports == Ports::Found)
        s.ports = benchPorts();
    else if (ports == Ports::None)
        s.ports = QList<prologix::SerialPort>{};
    else
        s.portsProblem = QStringLiteral("it is not in /usr/lib/gpibconfig");
    return s;
}

struct Host final : ControllerHost {
    QString saveProblem;
    QStringList saved;
    QStringList used;
    int closed = 0;
    QString saveChoice(const DriverSpec& s) override
    {
        saved << s.toString();
        return saveProblem;
    }
    void useChoice(const DriverSpec& s) override { used << s.toString(); }
    void closeControllerDialog() override { ++closed; }
};

struct Dialog {
    explicit Dialog(ControllerSituation s)
        : logic(screen, host, std::move(s))
    {
        logic.reset();
    }
    // Selects the line that contains `part`, as the operator does with the arrow keys.
    void pick(const QString& part)
    {
        const QStringList& lines = screen.listController.lines();
        int row = -1;
        for (int i = 0; i < lines.size(); ++i)
            if (lines.at(i).contains(part))
                row = i;
        ASSERT_GE(row, 0) << "no line with " << part.toStdString();
        screen.listController.userSelectedLine(row);
        logic.entryPicked();
    }
    QString selected() const
    {
        const int row = screen.listController.selectedLine();
        return row < 0 ? QString() : screen.listController.lines().at(row);
    }
    ControllerScreen screen;
    Host host;
    ControllerLogic logic;
};

const QString kSystemLine = QStringLiteral("System GPIB library (NI-488.2 or linux-gpib)");
const QString kNetworkLine = QStringLiteral("Prologix GPIB-ETHERNET on the network (host below)");
const QString kGatewayLine = QStringLiteral("LAN/GPIB gateway (VXI-11) on the network (host below)");

} // namespace

TEST(ControllerLogic, OffersTheSystemLibraryTheUsbPortsFirstAndTheNetwork)
{
    Dialog d(situation("system", DriverSource::Default, Ports::Found));
    EXPECT_EQ(d.screen.listController.lines(),
              (QStringList{kSystemLine,
                           QStringLiteral("Serial port /dev/ttyUSB0: Prologix GPIB-USB Controller, "
                                          "Prologix, PX9A1B2C, USB 0403:6001"),
                           QStringLiteral("Serial port /dev/ttyACM0: Arduino Uno, Arduino "
                                          "(www.arduino.cc), USB 2341:0043"),
                           QStringLiteral("Serial port /dev/ttyS0"), kNetworkLine, kGatewayLine}));
    // The description assistive tools read names every kind.
    EXPECT_EQ(d.screen.listController.toolTip(),
              QStringLiteral("Where the bus goes: the system's GPIB library; the serial ports "
                             "found, for a Prologix GPIB-USB controller or an AR488 board; a "
                             "Prologix GPIB-ETHERNET controller on the network; a LAN/GPIB "
                             "gateway speaking VXI-11 (E5810, ICS 8065 and others) on the "
                             "network."));
    EXPECT_EQ(d.screen.focus(), ctl::listController);
}

struct Offer {
    const char* name;
    const char* current;
    DriverSource source;
    Ports ports;
    QString selected; // the line selected when the dialog opens
    int lines;
    QString host; // in the host box; "-" when the box is closed
    QString portsNote;
    QString overrideNote; // the start of it
};

class Offered : public ::testing::TestWithParam<Offer> {};

TEST_P(Offered, SelectsTheControllerInForceAndSaysWhatItCannotOffer)
{
    const Offer& c = GetParam();
    Dialog d(situation(c.current, c.source, c.ports));
    EXPECT_EQ(d.selected(), c.selected);
    EXPECT_EQ(d.screen.listController.lineCount(), c.lines);
    EXPECT_EQ(d.screen.txtHost.enabled(), c.host != QLatin1String("-"));
    EXPECT_EQ(d.screen.labelHost.enabled(), d.screen.txtHost.enabled());
    if (d.screen.txtHost.enabled()) {
        EXPECT_EQ(d.screen.txtHost.text(), c.host);
    }
    EXPECT_EQ(d.screen.labelPorts.visible(), !c.portsNote.isEmpty());
    EXPECT_EQ(d.screen.labelPorts.text(), c.portsNote);
    EXPECT_EQ(d.screen.labelOverride.visible(), !c.overrideNote.isEmpty());
    EXPECT_TRUE(d.screen.labelOverride.text().startsWith(c.overrideNote))
        << d.screen.labelOverride.text().toStdString();
    EXPECT_FALSE(d.screen.txtErrMsg.visible());
}

const QString kUsb0 = QStringLiteral(
    "Serial port /dev/ttyUSB0: Prologix GPIB-USB Controller, Prologix, PX9A1B2C, USB 0403:6001");

INSTANTIATE_TEST_SUITE_P(
    Cases, Offered,
    ::testing::Values(
        Offer{"system library by default", "system", DriverSource::Default, Ports::Found,
              kSystemLine, 6, "-", {}, {}},
        Offer{"the port in use", "prologix:/dev/ttyUSB0", DriverSource::Settings, Ports::Found,
              kUsb0, 6, "-", {}, {}},
        Offer{"an unplugged port in use is still offered", "prologix:/dev/ttyUSB1",
              DriverSource::Settings, Ports::Found,
              QStringLiteral("Serial port /dev/ttyUSB1 (not found now)"), 7, "-", {}, {}},
        Offer{"network controller without its usual port", "prologix-tcp:lab.example:1234",
              DriverSource::Settings, Ports::Found, kNetworkLine, 6, "lab.example", {}, {}},
        Offer{"network controller on another port", "prologix-tcp:[fe80::1]:1235",
              DriverSource::Settings, Ports::Found, kNetworkLine, 6, "[fe80::1]:1235", {}, {}},
        Offer{"gateway in use", "vxi11:gw.lab:1024,gpib1", DriverSource::Settings, Ports::Found,
              kGatewayLine, 6, "gw.lab:1024,gpib1", {}, {}},
        Offer{"no serial ports", "system", DriverSource::Default, Ports::None, kSystemLine, 3,
              "-",
              QStringLiteral("No serial ports were found. A USB controller plugged in now is "
                             "listed when this window opens again."),
              {}},
        Offer{"no Prologix module", "system", DriverSource::Default, Ports::Unlistable,
              kSystemLine, 3, "-",
              QStringLiteral("No serial ports are listed: the Prologix driver module "
                             "gpibconfig-prologix could not be opened (it is not in "
                             "/usr/lib/gpibconfig)."),
              {}},
        Offer{"no Prologix module, its port in use", "prologix:COM3", DriverSource::Settings,
              Ports::Unlistable, QStringLiteral("Serial port COM3 (not found now)"), 4, "-",
              QStringLiteral("No serial ports are listed: the Prologix driver module "
                             "gpibconfig-prologix could not be opened (it is not in "
                             "/usr/lib/gpibconfig)."),
              {}},
        Offer{"--driver comes first", "prologix:/dev/ttyUSB0", DriverSource::Option, Ports::Found,
              kUsb0, 6, "-", {},
              QStringLiteral("Started with --driver prologix:/dev/ttyUSB0. The controller chosen "
                             "here is used from the next Configure and saved, but the saved choice "
                             "counts only when gpibconfig starts without --driver.")},
        Offer{"GPIBCONFIG_DRIVER comes first", "system", DriverSource::Environment, Ports::Found,
              kSystemLine, 6, "-", {},
              QStringLiteral("GPIBCONFIG_DRIVER is set to system. The controller chosen here is "
                             "used from the next Configure and saved, but while GPIBCONFIG_DRIVER "
                             "is set gpibconfig starts with system instead of the saved choice.")}),
    test::namedBy([](const Offer& c) { return std::string_view(c.name); }));

struct Choice {
    const char* name;
    const char* pick; // part of the line to select; nullptr: none
    const char* host; // typed in the host box
    QString result;   // the --driver form saved and used, or the complaint
    const char* focus = nullptr; // where the focus goes after a complaint
};

class Chosen : public ::testing::TestWithParam<Choice> {};

TEST_P(Chosen, BecomesTheDriverValueOrSaysWhatIsWrong)
{
    const Choice& c = GetParam();
    Dialog d(situation("system", DriverSource::Default, Ports::Found));
    if (c.pick)
        d.pick(QString::fromLatin1(c.pick));
    else
        d.screen.listController.userSelectedLine(-1);
    d.screen.txtHost.userEditedText(QString::fromLatin1(c.host));
    d.logic.accept();
    if (!c.focus) {
        EXPECT_EQ(d.host.saved, QStringList{c.result});
        EXPECT_EQ(d.host.used, QStringList{c.result});
        EXPECT_EQ(d.host.closed, 1);
        EXPECT_FALSE(d.screen.txtErrMsg.visible());
        return;
    }
    EXPECT_TRUE(d.host.saved.isEmpty());
    EXPECT_EQ(d.host.closed, 0);
    EXPECT_TRUE(d.screen.txtErrMsg.visible());
    EXPECT_EQ(d.screen.txtErrMsg.text(), c.result);
    EXPECT_EQ(d.screen.focus(), QString::fromLatin1(c.focus));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Chosen,
    ::testing::Values(
        Choice{"system library", "System", "", QStringLiteral("system")},
        Choice{"usb port", "ttyUSB0", "", QStringLiteral("prologix:/dev/ttyUSB0")},
        Choice{"a serial port ignores the host box", "ttyS0", "junk",
               QStringLiteral("prologix:/dev/ttyS0")},
        Choice{"host", "ETHERNET", "192.168.1.50", QStringLiteral("prologix-tcp:192.168.1.50:1234")},
        Choice{"host and port with blanks around", "ETHERNET", " lab.example:5000 ",
               QStringLiteral("prologix-tcp:lab.example:5000")},
        Choice{"ipv6 and port", "ETHERNET", "[fe80::1]:1235",
               QStringLiteral("prologix-tcp:[fe80::1]:1235")},
        Choice{"gateway through its portmapper", "VXI-11", "192.168.1.60",
               QStringLiteral("vxi11:192.168.1.60")},
        Choice{"gateway port and interface", "VXI-11", "[fe80::1]:1024,gpib1",
               QStringLiteral("vxi11:[fe80::1]:1024,gpib1")},
        Choice{"gateway interface missing", "VXI-11", "gw,",
               QStringLiteral("\"gw,\": the interface's name after ',' is missing."), "txtHost"},
        Choice{"nothing selected", nullptr, "", QStringLiteral("Choose a controller in the list."),
               "listController"},
        Choice{"empty host", "ETHERNET", "  ",
               QStringLiteral("Type the host name or address of the controller."), "txtHost"},
        Choice{"port zero", "ETHERNET", "lab:0",
               QStringLiteral("\"0\" is not a TCP port (1 to 65535)."), "txtHost"},
        Choice{"port too big", "ETHERNET", "lab:65536",
               QStringLiteral("\"65536\" is not a TCP port (1 to 65535)."), "txtHost"},
        Choice{"port missing", "ETHERNET", "lab:",
               QStringLiteral("\"lab:\": the port after ':' is missing."), "txtHost"},
        Choice{"ipv6 without brackets", "ETHERNET", "fe80::1",
               QStringLiteral("\"fe80::1\": write an IPv6 address in brackets, [ADDRESS]:PORT."),
               "txtHost"},
        Choice{"ipv6 without its closing bracket", "ETHERNET", "[fe80::1",
               QStringLiteral("\"[fe80::1\": an IPv6 address needs its closing bracket."),
               "txtHost"},
        Choice{"blank inside the host", "ETHERNET", "my lab",
               QStringLiteral("\"my lab\" is not a host name or address."), "txtHost"},
        Choice{"a url", "ETHERNET", "http://lab",
               QStringLiteral("\"http://lab\" is not a host name or address."), "txtHost"}),
    test::namedBy([](const Choice& c) { return std::string_view(c.name); }));

TEST(ControllerLogic, AChoiceThatCannotBeSavedChangesNothingAndSaysHowElse)
{
    Dialog d(situation("system", DriverSource::Default, Ports::Found));
    d.host.saveProblem = QStringLiteral("the settings file /ro/gpibconfig.conf cannot be written");
    d.pick(QStringLiteral("ttyUSB0"));
    d.logic.accept();
    EXPECT_TRUE(d.host.used.isEmpty());
    EXPECT_EQ(d.host.closed, 0);
    EXPECT_EQ(d.screen.txtErrMsg.text(),
              QStringLiteral("The choice could not be saved: the settings file "
                             "/ro/gpibconfig.conf cannot be written. Nothing was changed; "
                             "gpibconfig --driver prologix:/dev/ttyUSB0 uses this controller "
                             "without saving it."));
}
