#include "tests/app/app_test_support.h"

#include <wx/button.h>
#include <wx/stattext.h>

namespace apptest {

int AboutWatcher::Enter(wxDialog* dialog)
{
    auto* about = dynamic_cast<CDialog*>(dialog);
    if (about == nullptr || about->GetTemplateId() != IDD_ABOUTBOX)
        return wxID_NONE;
    titles.push_back(guitest::Utf8(dialog->GetTitle()));
    for (wxWindow* child : dialog->GetChildren())
        labels.push_back(guitest::Utf8(child->GetLabel()));
    // Close it the way a user does: its OK button.
    dialog->CallAfter([dialog] {
        wxCommandEvent click(wxEVT_BUTTON, IDOK);
        click.SetEventObject(dialog->FindWindow(IDOK));
        dialog->GetEventHandler()->ProcessEvent(click);
    });
    return wxID_NONE;
}

wxTextCtrl* Edit(const CDialog& dlg, int id)
{
    return guitest::FindControlAs<wxTextCtrl>(dlg, id);
}

wxListCtrl* List(const CDialog& dlg)
{
    return guitest::FindControlAs<wxListCtrl>(dlg, IDC_HOST_LIST);
}

std::string Text(const CDialog& dlg, int id)
{
    wxTextCtrl* edit = Edit(dlg, id);
    return edit ? guitest::Utf8(edit->GetValue()) : "<no control>";
}

std::vector<std::string> OctetTexts(const CDialog& dlg)
{
    std::vector<std::string> texts;
    for (int id = IDC_MAC1; id <= IDC_MAC6; ++id)
        texts.push_back(Text(dlg, id));
    return texts;
}

int FocusedId(const CDialog& dlg)
{
    wxWindow* focused = guitest::FocusedControl(dlg);
    return focused ? focused->GetId() : -1;
}

void ClickButton(CDialog& dlg, int id)
{
    wxWindow* button = guitest::FindControl(dlg, id);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

std::vector<std::string> Rows(const CDialog& dlg)
{
    std::vector<std::string> rows;
    wxListCtrl* list = List(dlg);
    for (long i = 0; i < list->GetItemCount(); ++i)
        rows.push_back(guitest::Utf8(list->GetItemText(i, 0)) + " " + guitest::Utf8(list->GetItemText(i, 1)));
    return rows;
}

}  // namespace apptest
