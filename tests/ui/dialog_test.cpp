// Dialogs from templates: controls and geometry, tab order and focus, the
// keys that end a dialog, the system menu route, help and message boxes.
#include "tests/support/guitest.h"
#include "tests/support/testapp.h"
#include "tests/ui/testdlg.h"

#include "platform/ui/afxinit.h"
#include "res/version.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

using namespace guitest;

BEGIN_MESSAGE_MAP(CProbeDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_BN_CLICKED(IDC_SCAN, &CProbeDlg::OnScan)
    ON_BN_CLICKED(IDC_WAKE, &CProbeDlg::OnWake)
    ON_EN_CHANGE(IDC_MAC1, &CProbeDlg::OnMac1Changed)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_HOST_LIST, &CProbeDlg::OnListChanged)
END_MESSAGE_MAP()

namespace {

enum class Kind { Box, List, Label, Edit, ReadOnlyEdit, Button };

struct ControlSpec {
    Kind kind;
    int id;  // -1: no fixed identifier
    const char* text;
    int x, y, w, h;
};

// Template 102 in template order.
const ControlSpec kMainTemplate[] = {
    {Kind::Box, -1, "网络主机", 18, 12, 179, 256},
    {Kind::List, 1000, "", 29, 27, 154, 229},
    {Kind::Box, -1, "本机信息", 208, 12, 215, 174},
    {Kind::Label, -1, "网卡", 226, 40, 17, 8},
    {Kind::ReadOnlyEdit, 1001, "", 249, 37, 155, 14},
    {Kind::Label, -1, "I P", 227, 58, 13, 8},
    {Kind::ReadOnlyEdit, 1002, "", 249, 57, 155, 14},
    {Kind::Label, -1, "MAC", 227, 79, 17, 8},
    {Kind::ReadOnlyEdit, 1003, "", 249, 77, 155, 14},
    {Kind::Label, -1, "掩码", 227, 100, 17, 8},
    {Kind::ReadOnlyEdit, 1004, "", 249, 98, 155, 14},
    {Kind::Label, -1, "网关", 227, 121, 17, 8},
    {Kind::ReadOnlyEdit, 1005, "", 249, 118, 155, 14},
    {Kind::Button, 1013, "网络探测", 249, 152, 50, 14},
    {Kind::Button, 1014, "清除列表", 332, 152, 50, 14},
    {Kind::Box, -1, "唤醒", 207, 191, 215, 77},
    {Kind::Label, -1, "MAC", 227, 212, 17, 8},
    {Kind::Label, -1, "－", 267, 212, 9, 8},
    {Kind::Label, -1, "－", 295, 212, 9, 8},
    {Kind::Label, -1, "－", 323, 212, 9, 8},
    {Kind::Label, -1, "－", 351, 212, 9, 8},
    {Kind::Label, -1, "－", 379, 212, 9, 8},
    {Kind::Edit, 1006, "", 249, 209, 13, 12},
    {Kind::Edit, 1007, "", 277, 209, 13, 12},
    {Kind::Edit, 1008, "", 305, 209, 13, 12},
    {Kind::Edit, 1009, "", 333, 209, 13, 12},
    {Kind::Edit, 1010, "", 361, 209, 13, 12},
    {Kind::Edit, 1011, "", 389, 209, 13, 12},
    {Kind::Button, 1012, "唤醒", 249, 237, 50, 14},
    {Kind::Button, 1, "退出", 332, 237, 50, 14},
};

const ControlSpec kAboutTemplate[] = {
    {Kind::Label, -1, "Orvane 1.0 版", 40, 11, 119, 8},
    {Kind::Button, 1, "确定", 178, 7, 50, 16},
};

struct TemplateSpec {
    UINT id;
    const char* caption;
    int width, height;
    const ControlSpec* controls;
    std::size_t count;
};

const TemplateSpec kTemplates[] = {
    {IDD_ORVANE_DIALOG, "Orvane", 448, 292, kMainTemplate, std::size(kMainTemplate)},
    {IDD_ABOUTBOX, "关于 Orvane", 235, 55, kAboutTemplate, std::size(kAboutTemplate)},
};

std::string ControlText(wxWindow* w)
{
    if (auto* edit = dynamic_cast<wxTextCtrl*>(w))
        return Utf8(edit->GetValue());
    return Utf8(w->GetLabel());
}

void ExpectKind(Kind kind, wxWindow* w, std::size_t index)
{
    switch (kind) {
        case Kind::Box:
            EXPECT_TRUE(dynamic_cast<wxStaticBox*>(w)) << index;
            break;
        case Kind::List: {
            auto* list = dynamic_cast<wxListCtrl*>(w);
            ASSERT_TRUE(list) << index;
            EXPECT_TRUE(list->HasFlag(wxLC_REPORT));
            EXPECT_TRUE(list->HasFlag(wxLC_SINGLE_SEL));
            EXPECT_EQ(list->GetBorder(), wxBORDER_SUNKEN);
            break;
        }
        case Kind::Label:
            EXPECT_TRUE(dynamic_cast<wxStaticText*>(w)) << index;
            break;
        case Kind::Edit:
        case Kind::ReadOnlyEdit: {
            auto* edit = dynamic_cast<wxTextCtrl*>(w);
            ASSERT_TRUE(edit) << index;
            EXPECT_EQ(!edit->IsEditable(), kind == Kind::ReadOnlyEdit) << index;
            EXPECT_FALSE(edit->IsMultiLine());
            break;
        }
        case Kind::Button: {
            auto* button = dynamic_cast<wxButton*>(w);
            ASSERT_TRUE(button) << index;
            break;
        }
    }
}

}  // namespace

// ------------------------------------------------------------- templates
TEST(DialogTemplate, ControlsKindsTextsAndGeometryFollowTheTemplate)
{
    for (const TemplateSpec& spec : kTemplates) {
        SCOPED_TRACE(spec.caption);
        CProbeDlg dlg(spec.id);
        dlg.bindControls = false;
        RunModal(dlg, [&](CDialog& d) {
            EXPECT_EQ(Utf8(d.GetTitle()), spec.caption);
            EXPECT_EQ(d.GetClientSize(), d.ConvertDialogToPixels(wxSize(spec.width, spec.height)));
            EXPECT_FALSE(d.HasFlag(wxMINIMIZE_BOX));
            EXPECT_FALSE(d.HasFlag(wxMAXIMIZE_BOX));
            EXPECT_TRUE(d.HasFlag(wxSYSTEM_MENU));
            EXPECT_EQ(d.GetFont().GetPointSize(), 9);

            const wxWindowList& children = d.GetChildren();
            ASSERT_EQ(children.size(), spec.count);
            std::size_t i = 0;
            for (wxWindow* w : children) {
                const ControlSpec& c = spec.controls[i];
                SCOPED_TRACE(i);
                ExpectKind(c.kind, w, i);
                if (c.id >= 0) {
                    EXPECT_EQ(w->GetId(), c.id);
                }
                EXPECT_EQ(ControlText(w), c.text);
                const wxRect expected(d.ConvertDialogToPixels(wxPoint(c.x, c.y)),
                                      d.ConvertDialogToPixels(wxSize(c.w, c.h)));
                if (c.kind == Kind::Edit) {
                    // Narrow edits may grow to the right to show two
                    // characters (OctetFields.* checks how far).
                    EXPECT_EQ(w->GetPosition(), expected.GetPosition());
                    EXPECT_EQ(w->GetSize().y, expected.height);
                    EXPECT_GE(w->GetSize().x, expected.width);
                } else {
                    EXPECT_EQ(w->GetRect(), expected);
                }
                ++i;
            }
            d.EndDialog(IDCANCEL);
        });
    }
}

TEST(DialogTemplate, NoButtonIsADefaultPushButtonExceptTheAboutBoxOk)
{
    {
        CProbeDlg dlg;
        dlg.bindControls = false;
        RunModal(dlg, [](CDialog& d) {
            EXPECT_EQ(d.GetDefaultItem(), nullptr);
            d.EndDialog(IDCANCEL);
        });
    }
    CProbeDlg about(IDD_ABOUTBOX);
    about.bindControls = false;
    RunModal(about, [](CDialog& d) {
        EXPECT_EQ(d.GetDefaultItem(), FindControl(d, IDOK));
        d.EndDialog(IDCANCEL);
    });
}

TEST(DialogTemplate, VersionAndIconResources)
{
    EXPECT_STREQ(AfxGetFileVersion(), "1.0.0.1");
    EXPECT_NE(std::string(g_afxVersionRecord).find("FileVersion=1.0.0.1"), std::string::npos);
    EXPECT_NE(std::string(g_afxVersionRecord).find("ProductVersion=1.0.0.1"), std::string::npos);
    HICON icon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->GetIcon(wxSize(16, 16)).GetSize(), wxSize(16, 16));
    EXPECT_EQ(icon->GetIcon(wxSize(32, 32)).GetSize(), wxSize(32, 32));
    EXPECT_EQ(AfxGetApp()->LoadIcon(999), nullptr);
}

// ------------------------------------------------------------ tab order
TEST(DialogFocus, TabStopsFollowTemplateOrderAndWrap)
{
    CProbeDlg dlg;
    dlg.bindControls = false;
    RunModal(dlg, [](CDialog& d) {
        const std::vector<int> forward = {1000, 1001, 1002, 1003, 1004, 1005, 1013, 1014,
                                          1006, 1007, 1008, 1009, 1010, 1011, 1012, 1};
        std::vector<int> seen;
        CWnd* at = d.GetNextDlgTabItem(nullptr);
        for (std::size_t i = 0; i < forward.size() + 1 && at; ++i) {
            seen.push_back(at->GetDlgCtrlID());
            at = d.GetNextDlgTabItem(at);
        }
        std::vector<int> expected = forward;
        expected.push_back(1000);  // wraps at the end
        EXPECT_EQ(seen, expected);

        // Backwards from the list wraps to Exit.
        EXPECT_EQ(d.GetNextDlgTabItem(d.GetDlgItem(1000), TRUE)->GetDlgCtrlID(), 1);

        // Disabled and hidden controls are skipped.
        FindControl(d, 1013)->Disable();
        FindControl(d, 1014)->Hide();
        EXPECT_EQ(d.GetNextDlgTabItem(d.GetDlgItem(1005))->GetDlgCtrlID(), 1006);
        d.EndDialog(IDCANCEL);
    });
}

TEST(DialogFocus, FirstTabStopHasTheFocusAndFocusServicesWork)
{
    CProbeDlg dlg;
    dlg.bindControls = false;
    RunModal(dlg, [](CDialog& d) {
        ASSERT_TRUE(PollUntil([&] { return FocusedControl(d) == FindControl(d, IDC_HOST_LIST); }));
        CWnd* focus = CWnd::GetFocus();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(focus->GetDlgCtrlID(), IDC_HOST_LIST);

        CWnd* mac1 = d.GetDlgItem(IDC_MAC1);
        FindControlAs<wxTextCtrl>(d, IDC_MAC1)->ChangeValue(wxS("AB"));
        mac1->SetFocus();
        ASSERT_TRUE(PollUntil([&] { return FocusedControl(d) == FindControl(d, IDC_MAC1); }));
        EXPECT_EQ(CWnd::GetFocus(), mac1);  // one wrapper per control
        mac1->SetSel(0, 1024);
        long from = -1, to = -1;
        FindControlAs<wxTextCtrl>(d, IDC_MAC1)->GetSelection(&from, &to);
        EXPECT_EQ(from, 0);
        EXPECT_EQ(to, 2);
        d.GetDlgItem(IDC_WAKE)->SetSel(0, 1024);  // ignored by a button
        d.EndDialog(IDCANCEL);
    });
}

// ---------------------------------------------------------------- keys
namespace {

struct KeyCase {
    const char* name;
    int focusId;
    int key;
    INT_PTR result;
    int ok, cancel;
};

}  // namespace

class DialogKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(DialogKeys, EndTheDialogAsExpected)
{
    const KeyCase& c = GetParam();
    CProbeDlg dlg;
    const INT_PTR result = RunModal(dlg, [&](CDialog& d) {
        ASSERT_TRUE(FocusControl(dynamic_cast<CProbeDlg&>(d), FindControl(d, c.focusId)));
        PressKey(c.key);
        PollUntil([&] { return !d.IsModal(); });
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(dlg.okCount, c.ok);
    EXPECT_EQ(dlg.cancelCount, c.cancel);
    EXPECT_EQ(dlg.scanClicks + dlg.wakeClicks, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeys,
    ::testing::Values(KeyCase{"EnterInOctetField", IDC_MAC1, WXK_RETURN, IDOK, 1, 0},
                      KeyCase{"EnterInReadOnlyField", IDC_LOCAL_IP, WXK_RETURN, IDOK, 1, 0},
                      KeyCase{"KeypadEnterInList", IDC_HOST_LIST, WXK_NUMPAD_ENTER, IDOK, 1, 0},
                      KeyCase{"EnterInList", IDC_HOST_LIST, WXK_RETURN, IDOK, 1, 0},
                      KeyCase{"EnterOnExit", IDOK, WXK_RETURN, IDOK, 1, 0},
                      KeyCase{"SpaceOnExit", IDOK, WXK_SPACE, IDOK, 1, 0},
                      KeyCase{"EscInOctetField", IDC_MAC1, WXK_ESCAPE, IDCANCEL, 0, 1},
                      KeyCase{"EscInList", IDC_HOST_LIST, WXK_ESCAPE, IDCANCEL, 0, 1}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(DialogKeysOnButtons, EnterAndSpaceClickTheFocusedButtonOnly)
{
    CProbeDlg dlg;
    const INT_PTR result = RunModal(dlg, [&](CDialog& d) {
        ASSERT_TRUE(FocusControl(dlg, FindControl(d, IDC_SCAN)));
        PressKey(WXK_RETURN);
        ASSERT_TRUE(PollUntil([&] { return dlg.scanClicks == 1; }));
        ASSERT_TRUE(FocusControl(dlg, FindControl(d, IDC_WAKE)));
        PressKey(WXK_SPACE);
        ASSERT_TRUE(PollUntil([&] { return dlg.wakeClicks == 1; }));
        EXPECT_TRUE(d.IsModal());
        EXPECT_EQ(dlg.scanClicks, 1);
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dlg.okCount, 0);
}

TEST(DialogKeysOnButtons, CloseBoxAndExitButtonEndTheDialog)
{
    CProbeDlg closed;
    EXPECT_EQ(RunModal(closed, [](CDialog& d) { d.Close(); }), IDCANCEL);
    EXPECT_EQ(closed.cancelCount, 1);

    CProbeDlg exited;
    EXPECT_EQ(RunModal(exited, [](CDialog& d) { Click(FindControl(d, IDOK)); }), IDOK);
    EXPECT_EQ(exited.okCount, 1);

    CProbeDlg about(IDD_ABOUTBOX);
    about.bindControls = false;
    EXPECT_EQ(RunModal(about, [](CDialog&) { PressKey(WXK_RETURN); }), IDOK);
}

TEST(DialogKeysOnButtons, F1RaisesTheApplicationsHelpCommand)
{
    CProbeDlg dlg;
    const int before = HelpCommandCount();
    RunModal(dlg, [&](CDialog& d) {
        ASSERT_TRUE(FocusControl(dlg, FindControl(d, IDC_MAC1)));
        PressKey(WXK_F1);
        EXPECT_TRUE(PollUntil([&] { return HelpCommandCount() == before + 1; }));
        EXPECT_TRUE(d.IsModal());
        d.EndDialog(IDCANCEL);
    });
}

// ---------------------------------------------------------- system menu
namespace {

// The popup menu that is open (a mapped popup window holding a menu), or
// nullptr.
GtkWidget* OpenPopupMenu()
{
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        GtkWidget* window = GTK_WIDGET(w->data);
        if (!gtk_widget_get_mapped(window) || !GTK_IS_BIN(window))
            continue;
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(window));
        if (GTK_IS_MENU(child))
            found = child;
    }
    g_list_free(windows);
    return found;
}

// Clicks item `index` (separators not counted) of the open menu, with the
// pointer. Only sends the input: the menu's loop reads it.
bool ClickMenuItem(GtkWidget* menu, int index)
{
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    GtkWidget* item = nullptr;
    for (GList* c = children; c; c = c->next) {
        if (GTK_IS_SEPARATOR_MENU_ITEM(c->data))
            continue;
        if (index-- == 0) {
            item = GTK_WIDGET(c->data);
            break;
        }
    }
    g_list_free(children);
    if (!item || !gtk_widget_get_window(item))
        return false;
    GtkAllocation a;
    gtk_widget_get_allocation(item, &a);
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(item), &x, &y);
    wxUIActionSimulator sim;
    sim.MouseMove(x + a.x + a.width / 2, y + a.y + a.height / 2);
    sim.MouseClick();
    return true;
}

// Picks item `index` of the menu that opens next (-1: dismisses it with
// Esc). A timer looks for the menu, so that the caller can go on to open it.
void ChooseFromNextMenu(int index)
{
    auto* timer = new wxTimer;
    const auto deadline = std::chrono::steady_clock::now() + 5000ms;
    timer->Bind(wxEVT_TIMER, [timer, index, deadline](wxTimerEvent&) {
        GtkWidget* menu = OpenPopupMenu();
        if (!menu && std::chrono::steady_clock::now() < deadline)
            return;
        timer->Stop();
        wxTheApp->CallAfter([timer] { delete timer; });
        if (!menu)
            return;
        if (index < 0 || !ClickMenuItem(menu, index))
            wxUIActionSimulator().Char(WXK_ESCAPE);
    });
    timer->Start(5);
}

void AddAboutItem(CProbeDlg& d)
{
    CMenu* menu = d.GetSystemMenu(FALSE);
    ASSERT_NE(menu, nullptr);
    CString about;
    ASSERT_TRUE(about.LoadString(IDS_ABOUTBOX));
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
}

}  // namespace

TEST(SystemMenu, OffersCloseThenTheAppendedItems)
{
    CProbeDlg dlg;
    dlg.onInit = [](CProbeDlg& d) { AddAboutItem(d); };
    RunModal(dlg, [](CDialog& d) {
        const auto& items = d.GetSystemMenu(FALSE)->Items();
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(items[0].id, SC_CLOSE);
        EXPECT_TRUE(items[1].flags & MF_SEPARATOR);
        EXPECT_EQ(items[2].id, static_cast<UINT_PTR>(IDM_ABOUTBOX));
        EXPECT_EQ(Utf8FromGbk(items[2].text.Bytes()), "关于 Orvane(&A)...");
        d.EndDialog(IDCANCEL);
    });
}

TEST(SystemMenu, RightClickOnBackgroundRoutesTheChosenCommandToOnSysCommand)
{
    CProbeDlg dlg;
    dlg.onInit = [](CProbeDlg& d) { AddAboutItem(d); };
    RunModal(dlg, [&](CDialog& d) {
        ChooseFromNextMenu(1);  // Close, (separator), About
        RightClick(&d, d.ConvertDialogToPixels(wxPoint(6, 6)));
        ASSERT_TRUE(PollUntil([&] { return !dlg.sysCommands.empty(); }));
        EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{IDM_ABOUTBOX});
        EXPECT_TRUE(d.IsModal());  // the base ignores a command it does not know
        d.EndDialog(IDCANCEL);
    });
}

TEST(SystemMenu, MenuKeyAndShiftF10OpenItFromTheKeyboard)
{
    for (const auto& [key, modifiers] :
         {std::pair{int(WXK_MENU), int(wxMOD_NONE)}, std::pair{int(WXK_F10), int(wxMOD_SHIFT)}}) {
        SCOPED_TRACE(key);
        CProbeDlg dlg;
        dlg.onInit = [](CProbeDlg& d) { AddAboutItem(d); };
        RunModal(dlg, [&](CDialog& d) {
            ASSERT_TRUE(FocusControl(dlg, FindControl(d, IDC_MAC1)));
            ChooseFromNextMenu(1);
            PressKey(key, modifiers);
            ASSERT_TRUE(PollUntil([&] { return !dlg.sysCommands.empty(); }));
            EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{IDM_ABOUTBOX});
            d.EndDialog(IDCANCEL);
        });
    }
}

TEST(SystemMenu, CloseItemEndsTheDialogAsCancel)
{
    CProbeDlg dlg;
    EXPECT_EQ(RunModal(dlg,
                       [](CDialog& d) {
                           ChooseFromNextMenu(0);
                           RightClick(&d, d.ConvertDialogToPixels(wxPoint(6, 6)));
                       }),
              IDCANCEL);
    EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{SC_CLOSE});
    EXPECT_EQ(dlg.cancelCount, 1);
}

TEST(SystemMenu, WithoutAnEventTableEntryCommandsGetDefaultHandling)
{
    CPlainDlg dlg;
    EXPECT_EQ(RunModal(dlg,
                       [](CDialog& d) {
                           d.RaiseSysCommand(IDM_ABOUTBOX);  // unknown: nothing
                           EXPECT_TRUE(d.IsModal());
                           d.RaiseSysCommand(SC_CLOSE);
                       }),
              IDCANCEL);
}

// ----------------------------------------------------------- message boxes
TEST(MessageBoxes, WindowBoxHasTheDialogAsOwnerAndTheAppNameAsCaption)
{
    MessageBoxWatcher watcher;
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        const std::string text = GbkFromUtf8("正在探测....\n请等待结束");
        EXPECT_EQ(d.MessageBox(text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION), IDOK);
        EXPECT_EQ(d.MessageBox("x", "Caption", MB_OK), IDOK);
        EXPECT_EQ(d.MessageBox("q", nullptr, MB_YESNO | MB_ICONQUESTION), IDYES);
        d.EndDialog(IDCANCEL);
    });
    ASSERT_EQ(watcher.Count(), 3u);
    const auto& boxes = watcher.Boxes();
    EXPECT_EQ(boxes[0].text, "正在探测....\n请等待结束");
    EXPECT_EQ(boxes[0].caption, "Orvane");
    EXPECT_TRUE(boxes[0].style & wxICON_EXCLAMATION);
    EXPECT_TRUE(boxes[0].style & wxOK);
    EXPECT_EQ(boxes[0].parent, &dlg);
    EXPECT_EQ(boxes[1].caption, "Caption");
    EXPECT_TRUE(boxes[1].style & wxICON_NONE);
    EXPECT_TRUE(boxes[2].style & wxYES_NO);
}

TEST(MessageBoxes, ApplicationBoxIsOwnedByTheMainWindowAndWarnsByDefault)
{
    MessageBoxWatcher watcher;
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        AfxGetApp()->m_pMainWnd = &dlg;
        AfxMessageBox("plain");
        AfxMessageBox("error", MB_OK | MB_ICONHAND);
        AfxGetApp()->m_pMainWnd = nullptr;
        AfxMessageBox("no owner");
        d.EndDialog(IDCANCEL);
    });
    ASSERT_EQ(watcher.Count(), 3u);
    const auto& boxes = watcher.Boxes();
    EXPECT_EQ(boxes[0].caption, "Orvane");
    EXPECT_TRUE(boxes[0].style & wxICON_EXCLAMATION);
    EXPECT_EQ(boxes[0].parent, &dlg);
    EXPECT_TRUE(boxes[1].style & wxICON_ERROR);
    EXPECT_FALSE(boxes[1].style & wxICON_EXCLAMATION);
    EXPECT_EQ(boxes[2].caption, "Orvane");
}

// ---------------------------------------------------------------- about
TEST(NestedDialogs, AboutBoxIsCentredOverItsOwner)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        // Like the program: no parent given, the main window owns it.
        AfxGetApp()->m_pMainWnd = &dlg;
        CPlainDlg about(IDD_ABOUTBOX);
        wxRect aboutRect;
        RunModal(about, [&](CDialog& a) {
            aboutRect = a.GetScreenRect();
            EXPECT_EQ(a.GetParent(), &d);
            a.EndDialog(IDOK);
        });
        const wxPoint ownerCentre = d.GetScreenRect().GetPosition() + d.GetScreenRect().GetSize() / 2;
        const wxPoint aboutCentre = aboutRect.GetPosition() + aboutRect.GetSize() / 2;
        EXPECT_NEAR(aboutCentre.x, ownerCentre.x, 40);
        EXPECT_NEAR(aboutCentre.y, ownerCentre.y, 40);
        AfxGetApp()->m_pMainWnd = nullptr;
        d.EndDialog(IDCANCEL);
    });
}
