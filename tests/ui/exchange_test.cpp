// Data exchange between edit fields and GBK members, and the lock-out of
// notifications while an exchange runs.
#include "tests/support/guitest.h"
#include "tests/ui/testdlg.h"

#include <gtest/gtest.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

using namespace guitest;

namespace {

CString Gbk(const char* utf8)
{
    return CString(GbkFromUtf8(utf8));
}

wxTextCtrl* Edit(CDialog& d, int id)
{
    return FindControlAs<wxTextCtrl>(d, id);
}

// Counts the text events a field emits (seen at the field itself, before
// they travel to the dialog).
struct TextEventCounter {
    explicit TextEventCounter(wxTextCtrl* edit)
    {
        edit->Bind(wxEVT_TEXT, [this](wxCommandEvent& e) {
            ++count;
            e.Skip();
        });
    }
    int count = 0;
};

}  // namespace

TEST(DataExchange, LoadAndSaveRoundTripGbkMembers)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        struct Case {
            const char* utf8;
        } cases[] = {{"网卡 eth0"}, {""}, {"Realtek PCIe GBE 系列控制器"}, {"00"}};
        for (const Case& c : cases) {
            dlg.m_strName = Gbk(c.utf8);
            ASSERT_TRUE(d.UpdateData(FALSE));
            EXPECT_EQ(Utf8(Edit(d, IDC_ADAPTER_NAME)->GetValue()), c.utf8);
            dlg.m_strName = "stale";
            ASSERT_TRUE(d.UpdateData(TRUE));
            EXPECT_EQ(dlg.m_strName, Gbk(c.utf8)) << c.utf8;
        }
        // What the user put in a field comes back in GBK; what GBK cannot
        // hold becomes "?".
        Edit(d, IDC_MAC1)->ChangeValue(wxString::FromUTF8("网\xED\x95\x9C"));
        d.UpdateData(TRUE);
        EXPECT_EQ(dlg.m_strMac1, Gbk("网?"));
        EXPECT_EQ(dlg.m_strMac1.GetLength(), 3);
        d.EndDialog(IDCANCEL);
    });
}

TEST(DataExchange, TrailingLineFeedIsNotShownButKeptWhileTheFieldIsUnchanged)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        dlg.m_strMac = "00-1A-2B-3C-4D-5E\n";
        d.UpdateData(FALSE);
        EXPECT_EQ(Utf8(Edit(d, IDC_LOCAL_MAC)->GetValue()), "00-1A-2B-3C-4D-5E");

        d.UpdateData(TRUE);
        EXPECT_EQ(dlg.m_strMac, "00-1A-2B-3C-4D-5E\n");
        d.UpdateData(TRUE);  // and again
        EXPECT_EQ(dlg.m_strMac, "00-1A-2B-3C-4D-5E\n");

        // Once the field holds something else, the member follows it.
        Edit(d, IDC_LOCAL_MAC)->ChangeValue(wxS("00-00-00-00-00-01"));
        d.UpdateData(TRUE);
        EXPECT_EQ(dlg.m_strMac, "00-00-00-00-00-01");
        d.EndDialog(IDCANCEL);
    });
}

TEST(DataExchange, LoadSetsAFieldOnlyWhenItsTextDiffers)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        TextEventCounter events(Edit(d, IDC_MAC1));
        dlg.m_strMac1 = "1a";
        d.UpdateData(FALSE);
        EXPECT_EQ(events.count, 1);  // set with an event...
        d.UpdateData(FALSE);
        EXPECT_EQ(events.count, 1);  // ...and not again when equal
        // Programmatic text is taken as it is, not upper-cased.
        EXPECT_EQ(Utf8(Edit(d, IDC_MAC1)->GetValue()), "1a");
        dlg.m_strMac1.Empty();
        d.UpdateData(FALSE);
        EXPECT_EQ(events.count, 2);
        EXPECT_TRUE(Edit(d, IDC_MAC1)->IsEmpty());
        d.EndDialog(IDCANCEL);
    });
}

TEST(NotificationLockOut, EventsOfAnExchangeReachNoHandler)
{
    CProbeDlg dlg;
    dlg.onInit = [](CProbeDlg& d) {
        d.m_list.InsertColumn(0, "IP", LVCFMT_LEFT, 90);
        d.m_list.InsertColumn(1, "MAC", LVCFMT_LEFT, 110);
        d.m_list.InsertItem(0, "192.168.1.1");
    };
    RunModal(dlg, [&](CDialog& d) {
        auto* list = FindControlAs<wxListCtrl>(d, IDC_HOST_LIST);
        TextEventCounter mac1Events(Edit(d, IDC_MAC1));

        // An exchange in each direction, during which the fields change,
        // a row is selected and a button is clicked.
        dlg.duringExchange = [&](CProbeDlg& p) {
            if (!p.IsExchanging())
                return;
            list->SetItemState(0, list->GetItemState(0, wxLIST_STATE_SELECTED) ^ wxLIST_STATE_SELECTED,
                               wxLIST_STATE_SELECTED);
            wxCommandEvent click(wxEVT_BUTTON, IDC_SCAN);
            click.SetEventObject(FindControl(p, IDC_SCAN));
            FindControl(p, IDC_SCAN)->ProcessWindowEvent(click);
        };
        dlg.m_strMac1 = "AB";
        d.UpdateData(FALSE);
        d.UpdateData(TRUE);
        dlg.m_strMac1 = "CD";
        d.UpdateData(FALSE);
        dlg.duringExchange = nullptr;

        EXPECT_EQ(mac1Events.count, 2);  // the events were emitted...
        EXPECT_EQ(dlg.mac1Changes, 0);   // ...and dropped
        EXPECT_EQ(dlg.listChanges, 0);
        EXPECT_EQ(dlg.scanClicks, 0);
        EXPECT_FALSE(d.IsExchanging());

        // Outside an exchange the same events are routed.
        Edit(d, IDC_MAC1)->SetValue(wxS("EF"));
        list->SetItemState(0, 0, wxLIST_STATE_SELECTED);
        list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        EXPECT_EQ(dlg.mac1Changes, 1);
        EXPECT_GE(dlg.listChanges, 1);
        d.EndDialog(IDCANCEL);
    });
}

TEST(NotificationLockOut, NothingIsRoutedWhileTheWindowGoesAway)
{
    CProbeDlg dlg;
    dlg.onInit = [](CProbeDlg& d) {
        d.m_list.InsertColumn(0, "IP", LVCFMT_LEFT, 90);
        d.m_list.InsertItem(0, "192.168.1.1");
    };
    RunModal(dlg, [&](CDialog& d) {
        auto* list = FindControlAs<wxListCtrl>(d, IDC_HOST_LIST);
        list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                           wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        d.EndDialog(IDOK);
    });
    const int routed = dlg.listChanges;
    // The window is gone; the list reported nothing on its way out.
    EXPECT_FALSE(dlg.HasWindow());
    EXPECT_EQ(dlg.listChanges, routed);
    EXPECT_EQ(dlg.m_list.GetItemCount(), 0);  // the binding has expired
}

TEST(NotificationLockOut, OkRunsASaveExchangeBeforeEnding)
{
    CProbeDlg dlg;
    const INT_PTR result = RunModal(dlg, [&](CDialog& d) {
        Edit(d, IDC_MAC2)->ChangeValue(wxS("5E"));
        Click(FindControl(d, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strMac2, "5E");
}
