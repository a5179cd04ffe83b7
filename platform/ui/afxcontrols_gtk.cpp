// Controls on GTK 3. Templates are drawn for edit fields with a pixel or two
// of inner margin; GTK's theme gives an entry 8 pixels a side, which leaves
// a field of 13 dialog units room for one clipped character.
#include "platform/ui/afxcontrols.h"

#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <algorithm>

namespace {

// The widest two characters the fields are meant to show.
const char kTwoWide[] = "WW";

GtkStyleProvider* CompactEntryStyle()
{
    static GtkCssProvider* provider = [] {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, "entry { padding-left: 0; padding-right: 0; }", -1, nullptr);
        return css;
    }();
    return GTK_STYLE_PROVIDER(provider);
}

int HorizontalSum(const GtkBorder& b)
{
    return b.left + b.right;
}

}  // namespace

namespace afx {

void AdaptControl(wxWindow* control)
{
    if (auto* list = dynamic_cast<wxListCtrl*>(control))
        ExposeListAsTable(list);
    else if (auto* edit = dynamic_cast<wxTextCtrl*>(control))
        FitNarrowEdit(edit);
}

void FitNarrowEdit(wxTextCtrl* edit)
{
    if (!edit || edit->IsMultiLine() || !GTK_IS_ENTRY(edit->GetHandle()))
        return;
    GtkWidget* entry = static_cast<GtkWidget*>(edit->GetHandle());
    GtkStyleContext* style = gtk_widget_get_style_context(entry);
    const GtkStateFlags state = gtk_style_context_get_state(style);
    GtkBorder border{}, padding{};
    gtk_style_context_get_border(style, state, &border);
    gtk_style_context_get_padding(style, state, &padding);
    PangoLayout* layout = gtk_widget_create_pango_layout(entry, kTwoWide);
    int text = 0;
    pango_layout_get_pixel_size(layout, &text, nullptr);
    g_object_unref(layout);

    const wxRect rect = edit->GetRect();
    if (text + HorizontalSum(border) + HorizontalSum(padding) <= rect.width)
        return;
    gtk_style_context_add_provider(style, CompactEntryStyle(), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    gtk_entry_set_alignment(GTK_ENTRY(entry), 0.5f);
    const int needed = text + HorizontalSum(border);
    if (needed <= rect.width)
        return;

    // Wider, up to the next control on its right: the template's order and
    // the dialog's size stay.
    int right = rect.x + needed;
    for (wxWindow* sibling : edit->GetParent()->GetChildren()) {
        const wxRect other = sibling->GetRect();
        if (sibling == edit || !sibling->IsShown() || dynamic_cast<wxStaticBox*>(sibling))
            continue;
        const bool beside = other.y < rect.GetBottom() && rect.y < other.GetBottom();
        if (beside && other.x >= rect.GetRight())
            right = std::min(right, other.x);
    }
    if (right - rect.x > rect.width)
        edit->SetSize(rect.x, rect.y, right - rect.x, rect.height);
}

}  // namespace afx
