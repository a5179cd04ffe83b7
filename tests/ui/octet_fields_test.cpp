// The six octet fields of the main template show what was typed: two of the
// widest characters fit inside each field's text area at the default font
// and theme, and the template's layout stays around them.
#include "res/resource.h"
#include "tests/support/guitest.h"
#include "tests/ui/testdlg.h"

#include <gtest/gtest.h>

#include <gtk/gtk.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>

using namespace guitest;

TEST(OctetFields, TwoWideCharactersFitInsideAndTheLayoutStays)
{
    CProbeDlg dlg;
    dlg.bindControls = false;
    RunModal(dlg, [](CDialog& d) {
        EXPECT_EQ(d.GetClientSize(), d.ConvertDialogToPixels(wxSize(448, 292)));
        const wxPoint templatePos[6] = {{249, 209}, {277, 209}, {305, 209},
                                        {333, 209}, {361, 209}, {389, 209}};
        for (int id = IDC_MAC1; id <= IDC_MAC6; ++id) {
            SCOPED_TRACE(id);
            auto* edit = FindControlAs<wxTextCtrl>(d, id);
            ASSERT_TRUE(edit);
            edit->ChangeValue(wxS("WW"));
            edit->SetInsertionPointEnd();
            Flush();

            GtkEntry* entry = GTK_ENTRY(edit->GetHandle());
            GdkRectangle area{};
            gtk_entry_get_text_area(entry, &area);
            PangoRectangle logical{};
            pango_layout_get_pixel_extents(gtk_entry_get_layout(entry), nullptr, &logical);
            int x = 0, y = 0;
            gtk_entry_get_layout_offsets(entry, &x, &y);
            // Scrolled or clipped text starts left of the area or ends right of it.
            EXPECT_GE(x + logical.x, area.x);
            EXPECT_LE(x + logical.x + logical.width, area.x + area.width);

            // Where the template puts it, as high; wider only into free space.
            const wxRect rect = edit->GetRect();
            const auto& pos = templatePos[id - IDC_MAC1];
            EXPECT_EQ(rect.GetPosition(), d.ConvertDialogToPixels(pos));
            EXPECT_EQ(rect.height, d.ConvertDialogToPixels(wxSize(13, 12)).y);
            for (wxWindow* other : d.GetChildren()) {
                if (other != edit && !dynamic_cast<wxStaticBox*>(other)) {
                    EXPECT_FALSE(rect.Intersects(other->GetRect())) << other->GetId();
                }
            }
        }
        d.EndDialog(IDCANCEL);
    });
}
