// What screen readers learn about the controls, on GTK (ATK).
//
// wx's report list on GTK is its own drawing on a bare widget, which ATK
// shows as an empty panel. The list keeps its model, drawing, keys and
// events, on which the dialog relies; the widget that takes its keyboard
// focus gets an ATK table instead: the column headers, a cell per row and
// column, the selected row and the focused cell. Everything is read from
// the list when asked, and the list's own notifications are passed on, so
// the table never holds a copy of the rows. Nothing is built until an
// assistive technology asks.
//
// Here: the table handed out for the list's widget, the list's
// notifications passed on to it, and the names of named controls. The
// table is in afxaccess_gtk_table.cpp, its cells in afxaccess_gtk_cell.cpp.
#include "platform/ui/afxcontrols.h"

#include "platform/ui/afxaccess_gtk_impl.h"

#include <map>

using afx_atk::DataOf;
using afx_atk::Drop;
using afx_atk::ListState;
using afx_atk::orv_table_get_type;
using afx_atk::OrvTable;

namespace {

// ------------------------------------------- the list's widget, and its news
GQuark StateQuark()
{
    static const GQuark quark = g_quark_from_static_string("orvane-list-table");
    return quark;
}

gboolean OnListFocusIn(GtkWidget* widget, GdkEvent*, gpointer);

using GetAccessibleFn = AtkObject* (*)(GtkWidget*);
std::map<GType, GetAccessibleFn>& Originals()
{
    static std::map<GType, GetAccessibleFn> originals;
    return originals;
}

AtkObject* GetAccessible(GtkWidget* widget)
{
    auto* held = static_cast<std::shared_ptr<ListState>*>(g_object_get_qdata(G_OBJECT(widget), StateQuark()));
    if (held && (*held)->list) {
        ListState& s = **held;
        if (!s.table) {
            auto* obj = static_cast<AtkObject*>(g_object_new(orv_table_get_type(), nullptr));
            *reinterpret_cast<OrvTable*>(obj)->state = *held;
            gtk_accessible_set_widget(GTK_ACCESSIBLE(obj), widget);
            atk_object_initialize(obj, widget);
            s.table = obj;
            // After the handlers the table's initialisation connected.
            g_signal_connect_after(widget, "focus-in-event", G_CALLBACK(OnListFocusIn), nullptr);
        }
        return s.table;
    }
    for (GType type = G_TYPE_FROM_INSTANCE(widget); type; type = g_type_parent(type)) {
        const auto original = Originals().find(type);
        if (original != Originals().end())
            return original->second(widget);
    }
    return nullptr;
}

// The widget's class hands out the table for this widget; every other
// widget of the class keeps its own accessible.
void HookClass(GtkWidget* widget)
{
    GtkWidgetClass* klass = GTK_WIDGET_GET_CLASS(widget);
    if (klass->get_accessible == GetAccessible)
        return;
    Originals()[G_TYPE_FROM_CLASS(klass)] = klass->get_accessible;
    klass->get_accessible = GetAccessible;
}

GtkWidget* FocusWidget(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (widget && !gtk_widget_get_can_focus(widget) && GTK_IS_BIN(widget))
        widget = gtk_bin_get_child(GTK_BIN(widget));
    return widget;
}

void OnInserted(ListState& s, int row)
{
    if (!s.table)
        return;
    const int columns = s.Columns();
    if (s.cells.size() + 1 == static_cast<std::size_t>(s.Rows()) && row >= 0 &&
        row <= static_cast<int>(s.cells.size()) && s.headers.size() == static_cast<std::size_t>(columns)) {
        s.cells.insert(s.cells.begin() + row,
                       std::vector<AtkObject*>(static_cast<std::size_t>(columns), nullptr));
        for (std::size_t r = static_cast<std::size_t>(row) + 1; r < s.cells.size(); ++r)
            for (AtkObject* cell : s.cells[r])
                if (cell)
                    DataOf(cell)->row = static_cast<int>(r);
    } else {
        s.Sync();
    }
    g_signal_emit_by_name(s.table, "row-inserted", row, 1);
    for (int c = 0; c < columns; ++c)
        if (AtkObject* cell = s.Cell(row, c))
            g_signal_emit_by_name(s.table, "children-changed::add", columns * (row + 1) + c, cell);
}

void OnAllDeleted(ListState& s)
{
    if (!s.table)
        return;
    const int rows = static_cast<int>(s.cells.size());
    const int columns = static_cast<int>(s.headers.size());
    std::vector<std::vector<AtkObject*>> gone;
    gone.swap(s.cells);
    s.focused = nullptr;
    for (int r = rows - 1; r >= 0; --r)
        for (int c = columns - 1; c >= 0; --c)
            if (AtkObject* cell = gone[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])
                g_signal_emit_by_name(s.table, "children-changed::remove", columns * (r + 1) + c, cell);
    if (rows > 0)
        g_signal_emit_by_name(s.table, "row-deleted", 0, rows);
    for (auto& row : gone)
        for (AtkObject* cell : row)
            Drop(cell);
}

// As GTK's own tree view does for its cursor: the focused row's first cell
// is the table's active descendant while the list has the focus, whatever
// moved it (arrows, Home, End, a click, a selection made by a program).
// Read from the list's state: wx does not report every move of its focus
// mark as a focus event.
void UpdateFocusCell(ListState& s)
{
    if (!s.table)
        return;
    const int row = s.FocusedRow();
    const bool mine = !s.focusImplicit || s.RowSelected(row);
    AtkObject* cell = s.focusReported && mine && s.HasFocus() ? s.Cell(row, 0) : nullptr;
    if (cell == s.focused)
        return;
    if (s.focused)
        atk_object_notify_state_change(s.focused, ATK_STATE_FOCUSED, FALSE);
    s.focused = cell;
    if (!cell)
        return;
    atk_object_notify_state_change(cell, ATK_STATE_FOCUSED, TRUE);
    g_signal_emit_by_name(s.table, "active-descendant-changed", cell);
}

void OnSelection(ListState& s, int row, bool selected)
{
    if (!s.table || row < 0 || row >= static_cast<int>(s.cells.size()))
        return;
    for (AtkObject* cell : s.cells[static_cast<std::size_t>(row)])
        if (cell)
            atk_object_notify_state_change(cell, ATK_STATE_SELECTED, selected);
    g_signal_emit_by_name(s.table, "selection-changed");
    s.focusImplicit = false;
    UpdateFocusCell(s);
}

GQuark NamedQuark()
{
    static const GQuark quark = g_quark_from_static_string("orvane-named");
    return quark;
}

// A label made the mnemonic label of a named control lets go of it.
void OnMnemonicWidget(GObject* label, GParamSpec*, gpointer)
{
    GtkWidget* target = gtk_label_get_mnemonic_widget(GTK_LABEL(label));
    if (target && g_object_get_qdata(G_OBJECT(target), NamedQuark()))
        gtk_label_set_mnemonic_widget(GTK_LABEL(label), nullptr);
}

void WatchLabels(GtkWidget* widget)
{
    static const GQuark watched = g_quark_from_static_string("orvane-label-watched");
    if (GTK_IS_LABEL(widget) && !g_object_get_qdata(G_OBJECT(widget), watched)) {
        g_object_set_qdata(G_OBJECT(widget), watched, GINT_TO_POINTER(1));
        g_signal_connect(widget, "notify::mnemonic-widget", G_CALLBACK(OnMnemonicWidget), nullptr);
    }
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(
            GTK_CONTAINER(widget), [](GtkWidget* child, gpointer) { WatchLabels(child); }, nullptr);
}

void OnFocusOut(ListState& s)
{
    s.focusReported = false;
    UpdateFocusCell(s);
}

// GTK reports a widget's focus to screen readers twice: from the focus-in
// event and again on idle (the focus tracker). A screen reader takes the
// second for the real one, so whatever a widget reports in between (a
// focused cell, an entry's selected text) comes before the focus itself and
// is read as a mere caret or selection move. Reporting to the focus tracker
// at once makes the idle report a repeat, which the tracker drops.
void ReportFocus(GtkWidget* widget)
{
    if (AtkObject* accessible = gtk_widget_get_accessible(widget)) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        atk_focus_tracker_notify(accessible);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
}

gboolean OnEntryFocusIn(GtkWidget* widget, GdkEvent*, gpointer)
{
    ReportFocus(widget);
    return FALSE;
}

// Back in the list: once the list's own focus is reported, its focused row
// is, as GTK's tree view does on focus-in.
gboolean OnListFocusIn(GtkWidget* widget, GdkEvent*, gpointer)
{
    auto* held = static_cast<std::shared_ptr<ListState>*>(g_object_get_qdata(G_OBJECT(widget), StateQuark()));
    if (!held || !(*held)->list || !(*held)->table || (*held)->focusReported || !(*held)->HasFocus())
        return FALSE;
    ReportFocus(widget);
    (*held)->focusReported = true;
    UpdateFocusCell(**held);
    return FALSE;
}

// The widget may go before the list does.
void OnWidgetDestroy(GtkWidget* widget, gpointer)
{
    if (auto* held =
            static_cast<std::shared_ptr<ListState>*>(g_object_get_qdata(G_OBJECT(widget), StateQuark())))
        (*held)->Forget();
}

// Handles a notification and passes it on, never consuming it: the dialog
// sees every notification as before.
template <typename Event, typename Handler>
void PassOn(wxWindow* window, const wxEventTypeTag<Event>& type, Handler handler, int id = wxID_ANY)
{
    window->Bind(
        type,
        [handler](Event& event) {
            handler(event);
            event.Skip();
        },
        id);
}

}  // namespace

namespace afx {

void ExposeListAsTable(wxListCtrl* list)
{
    if (!list || !list->InReportView())
        return;
    wxWindow* body = nullptr;
    wxWindow* header = nullptr;
    for (wxWindow* child : list->GetChildren()) {
        GtkWidget* widget = FocusWidget(child);
        if (widget && gtk_widget_get_can_focus(widget))
            body = child;
        else
            header = child;
    }
    GtkWidget* widget = body ? FocusWidget(body) : nullptr;
    if (!widget || g_object_get_qdata(G_OBJECT(widget), StateQuark()))
        return;
    auto state = std::make_shared<ListState>();
    state->list = list;
    state->body = body;
    state->header = header;
    g_object_set_qdata_full(G_OBJECT(widget), StateQuark(), new std::shared_ptr<ListState>(state),
                            [](gpointer held) { delete static_cast<std::shared_ptr<ListState>*>(held); });
    g_signal_connect(widget, "destroy", G_CALLBACK(OnWidgetDestroy), nullptr);
    HookClass(widget);

    const auto row = [](const wxListEvent& event) { return static_cast<int>(event.GetIndex()); };
    PassOn(list, wxEVT_LIST_INSERT_ITEM,
           [state, row](wxListEvent& event) { OnInserted(*state, row(event)); });
    PassOn(list, wxEVT_LIST_DELETE_ALL_ITEMS, [state](wxListEvent&) { OnAllDeleted(*state); });
    // The cells that stay are made again when asked for.
    PassOn(list, wxEVT_LIST_DELETE_ITEM, [state](wxListEvent&) { OnAllDeleted(*state); });
    PassOn(list, wxEVT_LIST_ITEM_SELECTED,
           [state, row](wxListEvent& event) { OnSelection(*state, row(event), true); });
    PassOn(list, wxEVT_LIST_ITEM_DESELECTED,
           [state, row](wxListEvent& event) { OnSelection(*state, row(event), false); });
    PassOn(list, wxEVT_LIST_ITEM_FOCUSED, [state](wxListEvent&) { UpdateFocusCell(*state); });
    // Until the list's own focus is reported (OnListFocusIn), its cell waits.
    PassOn(body, wxEVT_SET_FOCUS, [state](wxFocusEvent&) {
        OnFocusOut(*state);
        state->focusImplicit = state->FocusedRow() < 0;
    });
    PassOn(body, wxEVT_KILL_FOCUS, [state](wxFocusEvent&) { OnFocusOut(*state); });
    // Should GTK not run the handlers after wx's (a handler that stops the
    // focus event), the cell still follows once the event is over.
    PassOn(body, wxEVT_SET_FOCUS, [state, body](wxFocusEvent&) {
        body->CallAfter([weak = std::weak_ptr<ListState>(state)] {
            auto s = weak.lock();
            if (s && s->body && s->table && !s->focusReported)
                OnListFocusIn(FocusWidget(s->body), nullptr, nullptr);
        });
    });
    // Whichever goes first, nothing is read from the list after it.
    const auto forget = [state](wxWindowDestroyEvent&) { state->Forget(); };
    PassOn(list, wxEVT_DESTROY, forget, list->GetId());
    PassOn(body, wxEVT_DESTROY, forget, body->GetId());
}

void SetAccessibleName(wxWindow* control, const wxString& name)
{
    auto* widget = control ? static_cast<GtkWidget*>(control->GetHandle()) : nullptr;
    AtkObject* accessible = widget ? gtk_widget_get_accessible(widget) : nullptr;
    if (!accessible)
        return;
    atk_object_set_name(accessible, name.utf8_str());
    // wx makes a label the mnemonic label of the next control in tab order
    // (on idle, again whenever the order changes), and ATK turns that into
    // "labelled by". A named control keeps no such label.
    // A named entry's focus reaches the screen reader before the text
    // GTK selects in it, so its name and role are read, then its text.
    if (GTK_IS_ENTRY(widget) && !g_object_get_qdata(G_OBJECT(widget), NamedQuark()))
        g_signal_connect_after(widget, "focus-in-event", G_CALLBACK(OnEntryFocusIn), nullptr);
    g_object_set_qdata(G_OBJECT(widget), NamedQuark(), GINT_TO_POINTER(1));
    if (GtkWidget* top = gtk_widget_get_toplevel(widget))
        WatchLabels(top);
    GList* mnemonic = gtk_widget_list_mnemonic_labels(widget);
    for (GList* l = mnemonic; l; l = l->next)
        if (GTK_IS_LABEL(l->data))
            OnMnemonicWidget(G_OBJECT(l->data), nullptr, nullptr);
    g_list_free(mnemonic);
    AtkRelationSet* relations = atk_object_ref_relation_set(accessible);
    if (AtkRelation* by = atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY)) {
        GPtrArray* targets = atk_relation_get_target(by);
        std::vector<AtkObject*> labels;
        for (guint i = 0; targets && i < targets->len; ++i)
            labels.push_back(ATK_OBJECT(g_object_ref(g_ptr_array_index(targets, i))));
        for (AtkObject* label : labels) {
            atk_object_remove_relationship(accessible, ATK_RELATION_LABELLED_BY, label);
            atk_object_remove_relationship(label, ATK_RELATION_LABEL_FOR, accessible);
            g_object_unref(label);
        }
    }
    g_object_unref(relations);
}

}  // namespace afx
