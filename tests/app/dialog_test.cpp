// The main dialog in a lab client namespace: initialisation, exchange,
// About, Wake and the adapter fields.
#include "net/magic_packet.h"
#include "net/wake.h"
#include "tests/app/app_test_support.h"
#include "tests/support/lab.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

using namespace apptest;
using namespace labtest;
using namespace guitest;

namespace {

void SetOctets(TestDlg& dlg, const char* a, const char* b, const char* c, const char* d, const char* e,
               const char* f)
{
    dlg.m_strMac1 = a;
    dlg.m_strMac2 = b;
    dlg.m_strMac3 = c;
    dlg.m_strMac4 = d;
    dlg.m_strMac5 = e;
    dlg.m_strMac6 = f;
    dlg.UpdateData(FALSE);
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
};

// The template itself is checked with the framework's tests; here, what the
// dialog's own initialisation adds to it.
TEST_F(DialogTest, InitialisationSetsUpTheHostListAndTheFocus)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [](CDialog& d) {
        EXPECT_EQ(Utf8(d.GetTitle()), "Orvane");
        // Two centred columns, both inserted at position 1.
        wxListCtrl* list = List(d);
        ASSERT_EQ(list->GetColumnCount(), 2);
        wxListItem column;
        column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH);
        list->GetColumn(0, column);
        EXPECT_EQ(Utf8(column.GetText()), "IP地址");
        EXPECT_EQ(column.GetWidth(), 95);
        list->GetColumn(1, column);
        EXPECT_EQ(Utf8(column.GetText()), "MAC地址");
        EXPECT_EQ(column.GetWidth(), 115);
        EXPECT_EQ(list->GetItemCount(), 0);
        for (int id = IDC_ADAPTER_NAME; id <= IDC_LOCAL_GATEWAY; ++id)
            EXPECT_FALSE(Edit(d, id)->IsEditable()) << id;
        for (int id = IDC_MAC1; id <= IDC_MAC6; ++id)
            EXPECT_TRUE(Edit(d, id)->IsEditable()) << id;
        // TRUE from OnInitDialog: the first tab stop, the host list, has the focus.
        EXPECT_TRUE(PollUntil([&] { return FocusedId(d) == IDC_HOST_LIST; }));
        d.EndDialog(IDCANCEL);
    });
}

// ----------------------------------------------------------------- exchange

TEST_F(DialogTest, LoadingTheFieldsRunsNoHandler)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        ASSERT_TRUE(PollUntil([&] { return FocusedId(d) == 1000; }));
        // Two characters in an octet field would move the focus on: during
        // the exchange the notification is dropped.
        SetOctets(dlg, "AB", "12", "", "", "", "9F");
        Flush();
        EXPECT_EQ(OctetTexts(d), (std::vector<std::string>{"AB", "12", "", "", "", "9F"}));
        EXPECT_EQ(FocusedId(d), 1000);

        // The same change outside an exchange reaches the handler.
        Edit(d, IDC_MAC3)->SetValue(wxString::FromUTF8("CD"));
        EXPECT_TRUE(PollUntil([&] { return FocusedId(d) != 1000; }));
        EXPECT_EQ(dlg.m_strMac3, "CD");
        d.EndDialog(IDCANCEL);
    });
}

// -------------------------------------------------------------------- About

TEST_F(DialogTest, AboutOpensForItsCommandAndNothingElse)
{
    REQUIRE_LAB();
    struct Command {
        UINT id;
        bool opensAbout;
    };
    const Command commands[] = {{0x0010, true},  {0x0011, true},  {0x001F, true},
                                {0x0020, false}, {0x0000, false}, {0xF010, false}};
    for (const Command& c : commands) {
        SCOPED_TRACE(c.id);
        AboutWatcher about;
        TestDlg dlg;
        RunModal(dlg, [&](CDialog& d) {
            // Through the event table, as the menu item raises it.
            wxCommandEvent command(AFX_EVT_SYSCOMMAND);
            command.SetInt(static_cast<int>(c.id));
            command.SetEventObject(&d);
            d.GetEventHandler()->ProcessEvent(command);
            Flush();
            d.EndDialog(IDCANCEL);
        });
        EXPECT_EQ(about.titles.size(), c.opensAbout ? 1u : 0u);
        if (c.opensAbout && !about.titles.empty()) {
            EXPECT_EQ(about.titles[0], "关于 Orvane");
            EXPECT_NE(std::find(about.labels.begin(), about.labels.end(), "Orvane 1.0 版"),
                      about.labels.end());
            EXPECT_NE(std::find(about.labels.begin(), about.labels.end(), "确定"), about.labels.end());
        }
    }
}

TEST_F(DialogTest, TheSystemMenuCarriesTheAboutItem)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [](CDialog& d) {
        const CMenu* menu = d.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        ASSERT_GE(menu->Items().size(), 2u);
        const auto& items = menu->Items();
        EXPECT_EQ(items[items.size() - 2].flags, MF_SEPARATOR);
        EXPECT_EQ(items.back().id, 0x0010u);
        EXPECT_EQ(Utf8FromGbk(items.back().text.Bytes()), "关于 Orvane(&A)...");
        d.EndDialog(IDCANCEL);
    });
}

// --------------------------------------------------------------------- Wake

TEST_F(DialogTest, WakeWithAnEmptyFieldWarnsOnceAndSendsNothing)
{
    REQUIRE_LAB();
    const auto hosts = LabHosts();
    ASSERT_FALSE(hosts.empty());
    Listener there(hosts[0], WAKE_PORT);
    Listener here("", WAKE_PORT);
    ASSERT_TRUE(there.Ready() && here.Ready());
    MessageBoxWatcher boxes;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        SetOctets(dlg, "00", "1A", "", "3C", "4D", "5E");
        Click(FindControl(d, IDC_WAKE));
        ASSERT_TRUE(PollUntil([&] { return boxes.Count() == 1; }));
        d.EndDialog(IDCANCEL);
    });
    ASSERT_EQ(boxes.Count(), 1u);
    const auto& box = boxes.Boxes()[0];
    EXPECT_EQ(box.text, "You should fill in all MAC address fields");
    EXPECT_EQ(box.caption, "Orvane");
    EXPECT_TRUE(box.style & wxICON_EXCLAMATION);
    EXPECT_FALSE(there.WaitFor(1, std::chrono::milliseconds(300)));
    EXPECT_TRUE(here.Received().empty());
}

TEST_F(DialogTest, WakeBroadcastsOneMagicPacket)
{
    REQUIRE_LAB();
    const auto hosts = LabHosts();
    ASSERT_FALSE(hosts.empty());
    Listener there(hosts[0], WAKE_PORT);
    ASSERT_TRUE(there.Ready());
    MessageBoxWatcher boxes;
    const int descriptorsBefore = OpenDescriptorCount();
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        SetOctets(dlg, "00", "1a", "2B", "3C", "4D", "5E");
        Click(FindControl(d, IDC_WAKE));
        ASSERT_TRUE(there.WaitFor(1, std::chrono::seconds(3)));
        d.EndDialog(IDCANCEL);
    });
    EXPECT_FALSE(there.WaitFor(2, std::chrono::milliseconds(200))) << "one datagram per click";
    EXPECT_EQ(boxes.Count(), 0u) << "success shows nothing";
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore) << "the socket must be closed";

    const auto received = there.Received();
    ASSERT_EQ(received.size(), 1u);
    std::vector<unsigned char> expected(6, 0xFF);
    const unsigned char mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    for (int i = 0; i < 16; ++i)
        expected.insert(expected.end(), mac, mac + 6);
    expected.resize(108, 0);
    EXPECT_EQ(received[0].bytes, expected);
    EXPECT_EQ(received[0].destination, "255.255.255.255");
    EXPECT_EQ(received[0].port, 5050);
}

// An isolated LAN: the client has no default route. The datagram still
// leaves, once, on the adapter the dialog shows; where the lab gives the
// client a second adapter (ORVANE_TEST_SECOND_ADDRESS, on a link of its
// own), nothing goes out there.
TEST_F(DialogTest, NoRouteWakeLeavesOnTheShownAdapterOnly)
{
    REQUIRE_LAB();
    if (LabEnv("ORVANE_TEST_NO_ROUTE").empty())
        GTEST_SKIP() << "needs a lab without a default route";
    constexpr unsigned short kMarkerPort = 5051;
    const std::string secondAddress = LabEnv("ORVANE_TEST_SECOND_ADDRESS");
    LinkCapture shown(LabEnv("ORVANE_LAB_BRIDGE"), "br0");
    ASSERT_TRUE(shown.Ready());
    std::unique_ptr<LinkCapture> other;
    if (!secondAddress.empty()) {
        other = std::make_unique<LinkCapture>(LabEnv("ORVANE_LAB") + "-p1", "eth0");
        ASSERT_TRUE(other->Ready());
    }
    MessageBoxWatcher boxes;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        EXPECT_EQ(Text(d, IDC_ADAPTER_NAME), LabEnv("ORVANE_LAB_CLIENT_IF"));
        SetOctets(dlg, "00", "1A", "2B", "3C", "4D", "5E");
        ClickButton(d, IDC_WAKE);
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(boxes.Count(), 0u) << (boxes.Count() ? boxes.Boxes()[0].text : "");

    // The handler has returned, so its datagram is ahead of a marker sent
    // now on the same link: once the marker is seen, everything is.
    const auto wakeDatagrams = [](const LinkCapture& capture) {
        std::vector<LinkCapture::Udp> found;
        for (const auto& d : capture.Seen())
            if (d.port == WAKE_PORT)
                found.push_back(d);
        return found;
    };
    ASSERT_TRUE(SendMarker(LabEnv("ORVANE_LAB_CLIENT_IP").c_str(), kMarkerPort));
    ASSERT_TRUE(shown.WaitForPort(kMarkerPort, std::chrono::seconds(10)));
    const auto onShown = wakeDatagrams(shown);
    ASSERT_EQ(onShown.size(), 1u);
    EXPECT_EQ(onShown[0].length, static_cast<std::size_t>(MAGIC_PACKET_SEND_LEN));
    EXPECT_EQ(onShown[0].destination, "255.255.255.255");
    EXPECT_EQ(onShown[0].source, LabEnv("ORVANE_LAB_CLIENT_IP"));
    if (other) {
        ASSERT_TRUE(SendMarker(secondAddress.c_str(), kMarkerPort));
        ASSERT_TRUE(other->WaitForPort(kMarkerPort, std::chrono::seconds(10)));
        EXPECT_TRUE(wakeDatagrams(*other).empty()) << "left on the other adapter too";
    }
}

// The LAN renumbers the client while the dialog is up (a renewed lease):
// Wake leaves from the address the shown adapter holds now, once, and the
// fields keep what was read at start. A send from an address the system no
// longer holds still leaves, through the restored default route.
TEST_F(DialogTest, RenumberedWakeLeavesFromTheNewAddress)
{
    REQUIRE_LAB();
    if (LabEnv("ORVANE_TEST_RENUMBER").empty())
        GTEST_SKIP() << "needs a lab of its own: it changes the client's address";
    constexpr unsigned short kMarkerPort = 5051;
    const std::string oldAddress = LabEnv("ORVANE_LAB_CLIENT_IP");
    const std::string newAddress = "192.168.1.24";
    LinkCapture bridge(LabEnv("ORVANE_LAB_BRIDGE"), "br0");
    ASSERT_TRUE(bridge.Ready());
    MessageBoxWatcher boxes;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        const std::string dev = " dev '" + LabEnv("ORVANE_LAB_CLIENT_IF") + "'";
        ASSERT_EQ(Shell("ip addr del " + oldAddress + "/24" + dev + " && ip addr add " + newAddress + "/24" +
                        dev + " && ip route replace default via 192.168.1.1" + dev)
                      .status,
                  0);
        SetOctets(dlg, "00", "1A", "2B", "3C", "4D", "5E");
        ClickButton(d, IDC_WAKE);
        EXPECT_EQ(Text(d, IDC_LOCAL_IP), oldAddress);
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(boxes.Count(), 0u) << (boxes.Count() ? boxes.Boxes()[0].text : "");

    BYTE packet[MAGIC_PACKET_SEND_LEN] = {};
    CString error;
    EXPECT_TRUE(BroadcastMagicPacket(packet, inet_addr(oldAddress.c_str()), error)) << error.GetString();

    // Frames on one link keep their order: after the marker, all are in.
    ASSERT_TRUE(SendMarker(newAddress.c_str(), kMarkerPort));
    ASSERT_TRUE(bridge.WaitForPort(kMarkerPort, std::chrono::seconds(10)));
    std::vector<LinkCapture::Udp> wakes;
    for (const auto& datagram : bridge.Seen())
        if (datagram.port == WAKE_PORT)
            wakes.push_back(datagram);
    ASSERT_EQ(wakes.size(), 2u) << "one from the dialog, one from the gone address";
    for (const auto& wake : wakes) {
        EXPECT_EQ(wake.length, static_cast<std::size_t>(MAGIC_PACKET_SEND_LEN));
        EXPECT_EQ(wake.source, newAddress);
        EXPECT_EQ(wake.destination, "255.255.255.255");
    }
}

// ------------------------------------------------------------- the adapter

TEST_F(DialogTest, AdapterFieldsShowTheFirstAdapter)
{
    REQUIRE_LAB();
    if (!LabEnv("ORVANE_TEST_LOOPBACK_ONLY").empty())
        GTEST_SKIP() << "the loopback-only lab has no adapter";
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        // The interface's UTF-8 name (Chinese in one lab) shows as it is,
        // and the member holds it as the program's GBK text.
        EXPECT_EQ(Text(d, IDC_ADAPTER_NAME), LabEnv("ORVANE_LAB_CLIENT_IF"));
        EXPECT_EQ(dlg.m_strAdapterName, CString(GbkFromUtf8(LabEnv("ORVANE_LAB_CLIENT_IF"))));
        EXPECT_EQ(Text(d, IDC_LOCAL_IP), "192.168.1.23");
        EXPECT_EQ(Text(d, IDC_LOCAL_MAC), "02-4F-52-00-01-17") << "no glyph for the line feed";
        EXPECT_EQ(Text(d, IDC_LOCAL_MASK), "255.255.255.0");
        EXPECT_EQ(Text(d, IDC_LOCAL_GATEWAY), "192.168.1.1");
        EXPECT_EQ(dlg.m_strLocalMac, "02-4F-52-00-01-17\n");
        // A save exchange keeps the member's line feed.
        d.UpdateData(TRUE);
        EXPECT_EQ(dlg.m_strLocalMac, "02-4F-52-00-01-17\n");
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(g_localIp, inet_addr("192.168.1.23"));
    EXPECT_EQ(g_localMask, inet_addr("255.255.255.0"));
    EXPECT_EQ(dlg.m_gateway, inet_addr("192.168.1.1"));
    const BYTE mac[6] = {0x02, 0x4F, 0x52, 0x00, 0x01, 0x17};
    EXPECT_EQ(std::memcmp(dlg.m_localMac, mac, 6), 0);
}

TEST_F(DialogTest, NoAdapterLeavesTheFieldsEmpty)
{
    REQUIRE_LAB();
    if (LabEnv("ORVANE_TEST_LOOPBACK_ONLY").empty())
        GTEST_SKIP() << "needs the loopback-only lab";
    MessageBoxWatcher boxes;
    TestDlg dlg;
    const INT_PTR result = RunModal(dlg, [&](CDialog& d) {
        for (int id = IDC_ADAPTER_NAME; id <= IDC_LOCAL_GATEWAY; ++id)
            EXPECT_EQ(Text(d, id), "") << id;
        // The program runs on: Scan probes nothing and comes back idle.
        ClickButton(d, IDC_SCAN);
        EXPECT_TRUE(PollUntil([] { return g_scanIdle.load() == 1; }));
        EXPECT_TRUE(Rows(d).empty());
        Click(FindControl(d, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(g_localIp, 0u);
    EXPECT_EQ(g_localMask, 0u);
    EXPECT_EQ(boxes.Count(), 0u);
}

// Nothing to send from and no route: the datagram cannot leave, and the box
// says why in the system's words; the typed address stays for another try.
TEST_F(DialogTest, NoAdapterWakeFailsWithTheSystemsReason)
{
    REQUIRE_LAB();
    if (LabEnv("ORVANE_TEST_LOOPBACK_ONLY").empty())
        GTEST_SKIP() << "needs the loopback-only lab";
    MessageBoxWatcher boxes;
    TestDlg dlg;
    std::vector<std::string> octets;
    RunModal(dlg, [&](CDialog& d) {
        SetOctets(dlg, "00", "1A", "2B", "3C", "4D", "5E");
        ClickButton(d, IDC_WAKE);
        octets = OctetTexts(d);
        d.EndDialog(IDCANCEL);
    });
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, std::string("唤醒数据包发送失败\n") + std::strerror(ENETUNREACH));
    EXPECT_EQ(octets, (std::vector<std::string>{"00", "1A", "2B", "3C", "4D", "5E"}));
}

}  // namespace
