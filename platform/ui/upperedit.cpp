#include "platform/ui/upperedit.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>

#include <cstring>
#endif

wxIMPLEMENT_DYNAMIC_CLASS(CUpperCaseEdit, wxTextCtrl);

#ifdef __WXGTK__
namespace {

// "insert-text" sees every insertion (keys, input methods, paste, drops):
// re-insert the upper-cased text in its place and advance the position, so
// the caret ends after the inserted text.
void OnInsertText(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer data)
{
    auto* edit = static_cast<CUpperCaseEdit*>(data);
    if (edit->IsVerbatim())
        return;
    const gsize bytes = length < 0 ? std::strlen(text) : static_cast<gsize>(length);
    gchar* upper = g_utf8_strup(text, static_cast<gssize>(bytes));
    if (std::strlen(upper) == bytes && std::memcmp(upper, text, bytes) == 0) {
        g_free(upper);
        return;
    }
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(&OnInsertText), data);
    gtk_editable_insert_text(editable, upper, -1, position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(&OnInsertText), data);
    g_signal_stop_emission_by_name(editable, "insert-text");
    g_free(upper);
}

}  // namespace
#endif

void CUpperCaseEdit::Activate()
{
    if (m_activated || !GetHandle())
        return;
    m_activated = true;
#ifdef __WXGTK__
    if (GTK_IS_EDITABLE(GetHandle()))
        g_signal_connect(GetHandle(), "insert-text", G_CALLBACK(OnInsertText), this);
#else
    ForceUpper();
#endif
}

void CUpperCaseEdit::SetValueVerbatim(const wxString& text)
{
    m_verbatim = true;
    SetValue(text);
    m_verbatim = false;
}
