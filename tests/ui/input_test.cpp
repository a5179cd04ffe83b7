// Octet fields under real key input: letters typed or pasted become upper
// case, nothing is refused, the caret stays where the user expects.
#include "tests/support/guitest.h"
#include "tests/ui/testdlg.h"

#include <gtest/gtest.h>
#include <wx/textctrl.h>

using namespace guitest;

namespace {

wxTextCtrl* Edit(CDialog& d, int id)
{
    return FindControlAs<wxTextCtrl>(d, id);
}

bool HasText(wxTextCtrl* edit, const char* utf8)
{
    return PollUntil([&] { return Utf8(edit->GetValue()) == utf8; });
}

}  // namespace

TEST(OctetFields, TypedLettersBecomeUpperCaseWithTheCaretAfterThem)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        for (int id = IDC_MAC1; id <= IDC_MAC6; ++id) {
            SCOPED_TRACE(id);
            wxTextCtrl* edit = Edit(d, id);
            ASSERT_TRUE(FocusControl(dlg, edit));
            TypeText("ab12");
            ASSERT_TRUE(HasText(edit, "AB12"));
            EXPECT_EQ(edit->GetInsertionPoint(), 4);
        }
        // Typing in the middle inserts there.
        wxTextCtrl* edit = Edit(d, IDC_MAC1);
        ASSERT_TRUE(FocusControl(dlg, edit));
        PressKey(WXK_HOME);
        TypeText("f");
        ASSERT_TRUE(HasText(edit, "FAB12"));
        EXPECT_EQ(edit->GetInsertionPoint(), 1);
        d.EndDialog(IDCANCEL);
    });
}

TEST(OctetFields, NothingIsRefusedAndThereIsNoLengthLimit)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        wxTextCtrl* edit = Edit(d, IDC_MAC3);
        ASSERT_TRUE(FocusControl(dlg, edit));
        TypeText("g-z 0.x");
        ASSERT_TRUE(HasText(edit, "G-Z 0.X"));
        const std::string many(40, 'e');
        TypeText(many.c_str());
        EXPECT_TRUE(HasText(edit, ("G-Z 0.X" + std::string(40, 'E')).c_str()));
        d.EndDialog(IDCANCEL);
    });
}

TEST(OctetFields, PastedTextBecomesUpperCase)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        wxTextCtrl* edit = Edit(d, IDC_MAC4);
        ASSERT_TRUE(SetClipboardText("4d-é"));
        ASSERT_TRUE(FocusControl(dlg, edit));
        PressKey('V', wxMOD_CONTROL);
        ASSERT_TRUE(HasText(edit, "4D-É"));
        EXPECT_EQ(edit->GetInsertionPoint(), 4);
        d.EndDialog(IDCANCEL);
    });
}

TEST(OctetFields, OtherFieldsKeepWhatIsTyped)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        // The read-only fields take no typing; the template has no other
        // editable field, so make one editable for the comparison.
        wxTextCtrl* edit = Edit(d, IDC_ADAPTER_NAME);
        edit->SetEditable(true);
        ASSERT_TRUE(FocusControl(dlg, edit));
        TypeText("eth0");
        EXPECT_TRUE(HasText(edit, "eth0"));
        d.EndDialog(IDCANCEL);
    });
}
