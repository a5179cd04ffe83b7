// The main dialog in a lab client namespace: template, exchange, endings,
// About, Wake, the adapter fields and the octet fields.
#include "tests/app/app_test_support.h"
#include "net/magic_packet.h"
#include "tests/app/lab_gate.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

using namespace apptest;
using namespace guitest;

namespace {

struct TemplateControl {
    const char* kind;  // box, label, list, edit, button
    int id;            // 0 for labels and boxes
    const char* text;
    int x, y, w, h;
};

// The main dialog's template, in template order (which is the tab order).
const TemplateControl kMainTemplate[] = {
    {"box", 0, "网络主机", 18, 12, 179, 256},
    {"list", 1000, "", 29, 27, 154, 229},
    {"box", 0, "本机信息", 208, 12, 215, 174},
    {"label", 0, "网卡", 226, 40, 17, 8},
    {"edit", 1001, "", 249, 37, 155, 14},
    {"label", 0, "I P", 227, 58, 13, 8},
    {"edit", 1002, "", 249, 57, 155, 14},
    {"label", 0, "MAC", 227, 79, 13, 8},
    {"edit", 1003, "", 249, 77, 155, 14},
    {"label", 0, "掩码", 227, 100, 17, 8},
    {"edit", 1004, "", 249, 98, 155, 14},
    {"label", 0, "网关", 227, 121, 17, 8},
    {"edit", 1005, "", 249, 118, 155, 14},
    {"button", 1013, "网络探测", 249, 152, 50, 14},
    {"button", 1014, "清除列表", 332, 152, 50, 14},
    {"box", 0, "唤醒", 207, 191, 215, 77},
    {"label", 0, "MAC", 227, 212, 13, 8},
    {"label", 0, "－", 267, 212, 9, 8},
    {"label", 0, "－", 295, 212, 9, 8},
    {"label", 0, "－", 323, 212, 9, 8},
    {"label", 0, "－", 351, 212, 9, 8},
    {"label", 0, "－", 379, 212, 9, 8},
    {"edit", 1006, "", 249, 209, 13, 12},
    {"edit", 1007, "", 277, 209, 13, 12},
    {"edit", 1008, "", 305, 209, 13, 12},
    {"edit", 1009, "", 333, 209, 13, 12},
    {"edit", 1010, "", 361, 209, 13, 12},
    {"edit", 1011, "", 389, 209, 13, 12},
    {"button", 1012, "唤醒", 249, 237, 50, 14},
    {"button", 1, "退出", 332, 237, 50, 14},
};

const std::vector<int> kTabOrder = {1000, 1001, 1002, 1003, 1004, 1005, 1013, 1014,
                                    1006, 1007, 1008, 1009, 1010, 1011, 1012, 1};

std::string KindOf(wxWindow* w)
{
    if (dynamic_cast<wxStaticBox*>(w))
        return "box";
    if (dynamic_cast<wxStaticText*>(w))
        return "label";
    if (dynamic_cast<wxListCtrl*>(w))
        return "list";
    if (dynamic_cast<wxTextCtrl*>(w))
        return "edit";
    if (dynamic_cast<wxButton*>(w))
        return "button";
    return "other";
}

void SetOctets(TestDlg& dlg, const char* a, const char* b, const char* c, const char* d, const char* e, const char* f)
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

// ----------------------------------------------------------------- template

TEST_F(DialogTest, TemplateBuildsEveryControlInPlace)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [](CDialog& d) {
        EXPECT_EQ(Utf8(d.GetTitle()), "Orvane");
        EXPECT_EQ(d.GetClientSize(), d.ConvertDialogToPixels(wxSize(448, 292)));
        EXPECT_FALSE(d.HasFlag(wxMINIMIZE_BOX));
        EXPECT_FALSE(d.HasFlag(wxMAXIMIZE_BOX));

        const wxWindowList& children = d.GetChildren();
        ASSERT_EQ(children.size(), std::size(kMainTemplate));
        size_t i = 0;
        for (wxWindow* child : children) {
            const TemplateControl& t = kMainTemplate[i++];
            SCOPED_TRACE(std::string(t.kind) + " " + std::to_string(t.id) + " " + t.text);
            EXPECT_EQ(KindOf(child), t.kind);
            if (t.id != 0) {
                EXPECT_EQ(child->GetId(), t.id);
            }
            if (std::string(t.kind) != "edit" && std::string(t.kind) != "list") {
                EXPECT_EQ(Utf8(child->GetLabel()), t.text);
            }
            EXPECT_EQ(child->GetPosition(), d.ConvertDialogToPixels(wxPoint(t.x, t.y)));
            EXPECT_EQ(child->GetSize(), d.ConvertDialogToPixels(wxSize(t.w, t.h)));
            if (std::string(t.kind) == "edit") {
                const bool readOnly = t.id <= 1005;
                EXPECT_EQ(!static_cast<wxTextCtrl*>(child)->IsEditable(), readOnly);
            }
            if (std::string(t.kind) == "button") {
                EXPECT_NE(d.GetDefaultItem(), child) << "no button is the default";
            }
        }

        std::vector<int> tabStops;
        for (wxWindow* child : children)
            if (child->AcceptsFocusFromKeyboard() && child->IsEnabled() && child->IsShown())
                tabStops.push_back(child->GetId());
        EXPECT_EQ(tabStops, kTabOrder);

        // The framework's tab-order walk agrees, and wraps at the end.
        std::vector<int> walked;
        CWnd* w = d.GetDlgItem(1000);
        for (size_t n = 0; n <= kTabOrder.size() && w != nullptr; ++n) {
            walked.push_back(w->GetDlgCtrlID());
            w = d.GetNextDlgTabItem(w);
        }
        std::vector<int> expectedWalk = kTabOrder;
        expectedWalk.push_back(1000);
        EXPECT_EQ(walked, expectedWalk);

        // The host list: two centred columns, the first tab stop has the focus.
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
        EXPECT_TRUE(PollUntil([&] { return FocusedId(d) == 1000; }));
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

// ------------------------------------------------------------------ endings

TEST_F(DialogTest, EnterEscExitAndCloseEndTheDialog)
{
    REQUIRE_LAB();
    struct Ending {
        const char* how;
        std::function<void(CDialog&)> act;
        INT_PTR result;
    };
    const Ending endings[] = {
        {"Enter in the host list (focused at start)",
         [](CDialog&) { PressKey(WXK_RETURN); }, IDOK},
        {"Enter in an octet field",
         [](CDialog& d) {
             ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_MAC2)));
             PressKey(WXK_RETURN);
         },
         IDOK},
        {"Enter in a read-only field",
         [](CDialog& d) {
             ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_LOCAL_IP)));
             PressKey(WXK_RETURN);
         },
         IDOK},
        {"Esc", [](CDialog&) { PressKey(WXK_ESCAPE); }, IDCANCEL},
        {"Exit clicked", [](CDialog& d) { Click(FindControl(d, IDOK)); }, IDOK},
        {"close box", [](CDialog& d) { d.Close(); }, IDCANCEL},
    };
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.how);
        TestDlg dlg;
        const INT_PTR result = RunModal(dlg, [&](CDialog& d) {
            ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_HOST_LIST)));
            e.act(d);
        });
        EXPECT_EQ(result, e.result);
    }
}

TEST_F(DialogTest, EnterAndSpaceOnAPushButtonClickIt)
{
    REQUIRE_LAB();
    for (int key : {static_cast<int>(WXK_RETURN), static_cast<int>(WXK_SPACE)}) {
        SCOPED_TRACE(key == WXK_RETURN ? "Enter" : "Space");
        MessageBoxWatcher boxes;
        Listener here("", WAKE_PORT);
        TestDlg dlg;
        const INT_PTR result = RunModal(dlg, [&](CDialog& d) {
            // Wake with empty fields: the click shows its message, sends nothing.
            ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_WAKE)));
            PressKey(key);
            ASSERT_TRUE(PollUntil([&] { return boxes.Count() == 1; }));
            EXPECT_TRUE(d.IsShown()) << "the dialog must stay open";
            d.EndDialog(IDCANCEL);
        });
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, "You should fill in all MAC address fields");
        EXPECT_TRUE(here.Received().empty());
    }
}

// -------------------------------------------------------------------- About

TEST_F(DialogTest, AboutOpensForItsCommandAndNothingElse)
{
    REQUIRE_LAB();
    struct Command {
        UINT id;
        bool opensAbout;
    };
    const Command commands[] = {{0x0010, true}, {0x0011, true}, {0x001F, true}, {0x0020, false},
                                {0x0000, false}, {0xF010, false}};
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
            EXPECT_NE(std::find(about.labels.begin(), about.labels.end(), "Orvane 1.0 版"), about.labels.end());
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

// Run in a lab whose client has no route: the broadcast cannot leave.
TEST_F(DialogTest, NoRouteWakeReportsTheFailure)
{
    REQUIRE_LAB();
    if (LabEnv("ORVANE_TEST_NO_ROUTE").empty())
        GTEST_SKIP() << "needs the no-route lab";
    MessageBoxWatcher boxes;
    int descriptorsBefore = -1;
    int descriptorsAfter = -1;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        SetOctets(dlg, "00", "1A", "2B", "3C", "4D", "5E");
        Click(FindControl(d, IDC_WAKE));
        ASSERT_TRUE(PollUntil([&] { return boxes.Count() == 1; }));
        // The first box may open the toolkit's own files; count around the second.
        descriptorsBefore = OpenDescriptorCount();
        Click(FindControl(d, IDC_WAKE));
        ASSERT_TRUE(PollUntil([&] { return boxes.Count() == 2; }));
        descriptorsAfter = OpenDescriptorCount();
        d.EndDialog(IDCANCEL);
    });
    ASSERT_EQ(boxes.Count(), 2u);
    for (const auto& box : boxes.Boxes()) {
        EXPECT_EQ(box.text, "唤醒数据包发送失败\nNetwork is unreachable");
        EXPECT_EQ(box.caption, "Orvane");
        EXPECT_TRUE(box.style & wxICON_EXCLAMATION);
    }
    EXPECT_EQ(descriptorsAfter, descriptorsBefore) << "the socket must be closed";
}

// ------------------------------------------------------------- the adapter

TEST_F(DialogTest, AdapterFieldsShowTheFirstAdapter)
{
    REQUIRE_LAB();
    if (!LabEnv("ORVANE_TEST_LOOPBACK_ONLY").empty())
        GTEST_SKIP() << "the loopback-only lab has no adapter";
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        EXPECT_EQ(Text(d, IDC_ADAPTER_NAME), LabEnv("ORVANE_LAB_CLIENT_IF"));
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

}  // namespace
